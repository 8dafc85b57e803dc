// The program's string table for the portable core: the same entries that
// the resource script compiles into the Windows string table.
#pragma once
#include <string>

// The text of string `id`, or nullptr when the table has no such entry.
const char16_t* FindString(int id);

// UTF-8 at the program's edges (arguments, standard output, JSON) and
// UTF-16 inside, as everywhere in the core.
#pragma once
#include <optional>
#include <string>

std::string ToUtf8(const std::u16string& text);
// Nothing when `text` is not valid UTF-8.
std::optional<std::u16string> FromUtf8(const std::string& text);

// The fixpoint check of the pages: for any image, loading it into all pages,
// storing them, and loading the result again shows the same values; a second
// store writes the same bytes as the first; no load marks the configuration
// modified. Shared by the page tests and the page_fixpoint tool.
#pragma once
#include <cstdint>
#include <string>

#include "pages/HeadlessPageDialog.h"

// Every value all pages hold, one line a field ("key=text|text2|value").
std::string ShownValues(HeadlessPages& pages);

// Runs the check on `image` (2300 bytes); empty when it holds, otherwise
// what went wrong.
std::string CheckFixpoint(HeadlessPages& pages, const std::uint8_t* image);

// The fixpoint check of the configuration model: for any image, loading it,
// storing the values, and loading the result again gives the same values; a
// second store writes the same bytes as the first; no load marks the
// configuration modified. Shared by the tests and the page_fixpoint tool.
#pragma once
#include <cstdint>
#include <string>

#include "config/Configuration.h"

// Every value the configuration holds, one line a field
// ("key=text|text2|value").
std::string ShownValues(const Configuration& config);

// Runs the check on `image` (2300 bytes); empty when it holds, otherwise
// what went wrong.
std::string CheckFixpoint(Configuration& config, const std::uint8_t* image);

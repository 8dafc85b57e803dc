// Seed inputs of the fuzz targets whose inputs are not files: edit
// sessions (FilterSession.h) and answer scripts of the emulated alarm
// (LinkScript.h).
#pragma once
#include <cstdint>
#include <vector>

std::vector<std::vector<std::uint8_t>> FilterSeeds();
std::vector<std::vector<std::uint8_t>> LinkSeeds();

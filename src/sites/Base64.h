// base64 (the standard alphabet), as the registry's exported histories and
// the office's JSON carry configuration images.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

std::string EncodeBase64(const std::vector<std::uint8_t>& bytes);
// base64 to bytes, its padding optional; false when it is not base64.
bool DecodeBase64(const std::string& text, std::vector<std::uint8_t>& bytes);

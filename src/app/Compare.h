// Two configurations compared field by field through the configuration
// model, as the command-line tool's diff and the sites registry show them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "config/Configuration.h"

using Image = std::vector<std::uint8_t>;  // kImageSize bytes

struct FieldDifference {
  FieldRef field;
  std::u16string a, b;  // as shown
};
struct Difference {
  std::vector<FieldDifference> fields;
  // Bytes that differ although no field shows it (bytes no page owns, or
  // owned bytes the pages show alike), in order.
  std::vector<int> otherBytes;
  bool Equal() const { return fields.empty() && otherBytes.empty(); }
};
Difference Compare(const Image& a, const Image& b);

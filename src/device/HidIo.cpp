#include "device/HidIo.h"

std::u16string NumberedPath(std::string_view prefix, std::size_t index) {
  const std::string name = std::string(prefix) + std::to_string(index);
  return std::u16string(name.begin(), name.end());
}

bool IndexInPath(const std::u16string& path, std::string_view prefix, std::size_t& index) {
  // At most 9 digits: no list of ours is longer, and the number cannot
  // overflow.
  if (path.size() <= prefix.size() || path.size() > prefix.size() + 9) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (path[i] != static_cast<char16_t>(prefix[i])) return false;
  std::size_t number = 0;
  for (std::size_t i = prefix.size(); i < path.size(); ++i) {
    if (path[i] < u'0' || path[i] > u'9') return false;
    number = number * 10 + static_cast<std::size_t>(path[i] - u'0');
  }
  index = number;
  return true;
}

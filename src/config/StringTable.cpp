#include "config/StringTable.h"

#include <algorithm>
#include <vector>

#include "res/resource.h"

namespace {
struct StringEntry {
  int id;
  const char16_t* text;
};

#define OSTREL_STRING(id, text) {id, u"" text},
const StringEntry kStrings[] = {
#include "res/strings_shell.inc"
#include "res/strings_pages.inc"
};
#undef OSTREL_STRING
}  // namespace

const char16_t* FindString(int id) {
  // The texts by id, made at the first call (ids are small numbers).
  static const std::vector<const char16_t*> byId = [] {
    int last = 0;
    for (const StringEntry& e : kStrings) last = std::max(last, e.id);
    std::vector<const char16_t*> table(static_cast<std::size_t>(last) + 1, nullptr);
    for (const StringEntry& e : kStrings)
      if (!table[e.id]) table[e.id] = e.text;
    return table;
  }();
  if (id < 0 || static_cast<std::size_t>(id) >= byId.size()) return nullptr;
  return byId[id];
}

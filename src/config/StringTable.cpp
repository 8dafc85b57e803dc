#include "config/StringTable.h"

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
  for (const StringEntry& e : kStrings)
    if (e.id == id) return e.text;
  return nullptr;
}

#include "Seeds.h"

#include "FilterSession.h"
#include "pages/PageTable.h"

std::vector<std::vector<std::uint8_t>> FilterSeeds() {
  std::vector<std::vector<std::uint8_t>> seeds;
  // On every page: each of its first fields selected whole and typed over
  // with a value at the top of a two-digit range, then a digit typed at its
  // end, one deleted at its start, and a list entry and a check box tried.
  for (int page = 0; page < kPageCount; ++page) {
    std::vector<std::uint8_t> s{static_cast<std::uint8_t>(page)};
    for (int field = 0; field < 8; ++field) {
      FilterSession::Add(s, 1, field, {0, 39});
      FilterSession::Add(s, 2, field, {1, 5, 9});  // "59"
      FilterSession::Add(s, 0, field, {39});
      FilterSession::Add(s, 2, field, {0, 7});
      FilterSession::Add(s, 0, field, {0});
      FilterSession::Add(s, 4, field);
      FilterSession::Add(s, 3, field);
      FilterSession::Add(s, 6, field, {2});
      FilterSession::Add(s, 5, field);
      FilterSession::Add(s, 2, field | 0x80, {2, 10, 13, 14});  // letters
    }
    seeds.push_back(s);
  }
  return seeds;
}

#include "Seeds.h"

#include "FilterSession.h"
#include "LinkScript.h"
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

std::vector<std::vector<std::uint8_t>> LinkSeeds() {
  std::vector<std::vector<std::uint8_t>> seeds;
  using L = LinkScript;
  // Every request answered at once, through queues of each size.
  for (int buffers = 0; buffers < 6; ++buffers) {
    std::vector<std::uint8_t> s;
    L::Header(s, buffers, 1);
    seeds.push_back(s);
  }
  // A stale answer, a late one, a damaged head, a silent request, a report
  // of noise and a second answer, by turns, over the first requests.
  std::vector<std::uint8_t> s;
  L::Header(s, 2, 1);
  for (int i = 0; i < 40; ++i) {
    switch (i % 6) {
      case 0: L::Request(s, {{L::Stale}, {L::Answer}}); break;
      case 1: L::Request(s, {{L::Late, 150}}); break;
      case 2: L::Request(s, {{L::Changed, 2, 0}, {L::Answer}}); break;
      case 3: L::Request(s, {}); break;
      case 4: {
        std::vector<int> noise = {L::Raw, 0x8C, 0x53, 0xF1, 0x2D, 2, 1, 0, 0, 32};
        noise.resize(65, 0x5A);  // the kind and 64 bytes
        L::Request(s, {noise, {L::Answer}});
        break;
      }
      default: L::Request(s, {{L::Answer}, {L::Answer}}); break;
    }
  }
  seeds.push_back(s);
  return seeds;
}

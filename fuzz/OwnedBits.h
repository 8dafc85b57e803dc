// The bits of the ConfigImage that the pages own, written from the image
// map: every byte of the parameter area but those no page owns and, of the
// bytes that several values share, only the bits that are values. The
// record area (bytes 2048-2299) belongs to no page.
#pragma once
#include <bitset>
#include <utility>

#include "config/ImageMap.h"

inline std::bitset<kImageSize * 8> OwnedBits() {
  std::bitset<kImageSize * 8> bits;
  for (std::size_t i = 0; i < kParamAreaSize * 8; ++i) bits.set(i);
  const std::pair<int, int> unowned[] = {
      {0, 1},     {6, 7},     {11, 20},   {86, 86},   {92, 92},   {97, 97},   {99, 119},
      {123, 127}, {132, 136}, {140, 144}, {148, 152}, {156, 160}, {164, 169}, {189, 189},
      {191, 191}, {198, 212}, {223, 227}, {236, 240}, {249, 253}, {281, 281}, {307, 307},
      {333, 511}, {518, 519}, {526, 527}, {534, 535}, {542, 543}, {550, 551}, {558, 559},
      {566, 567}, {574, 575}, {582, 583}, {590, 591}, {598, 599}, {606, 607}, {614, 615},
      {622, 623}, {630, 631}, {638, 639}, {646, 660}, {675, 716}, {731, 895}, {904, 904},
      {913, 913}, {930, 930}, {939, 939}, {948, 972}, {987, 2047}};
  for (auto [from, to] : unowned)
    for (int i = from * 8; i < (to + 1) * 8; ++i) bits.reset(i);
  auto keepOnly = [&](int from, int to, unsigned mask) {
    for (int i = from; i <= to; ++i)
      for (int b = 0; b < 8; ++b)
        if (!(mask >> b & 1)) bits.reset(i * 8 + b);
  };
  for (int shared : {3, 4, 93, 219, 254}) keepOnly(shared, shared, 0x06);
  keepOnly(255, 255, 0x07);
  keepOnly(624, 629, 0x07);
  keepOnly(640, 645, 0x07);
  keepOnly(190, 190, 0x0F);
  keepOnly(228, 235, 0x1F);
  keepOnly(241, 248, 0x1F);
  keepOnly(616, 621, 0x1F);
  keepOnly(632, 637, 0x1F);
  keepOnly(592, 597, 0x07);
  keepOnly(600, 605, 0x03);
  keepOnly(608, 613, 0x3F);
  return bits;
}

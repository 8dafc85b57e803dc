#include "device/DemoConfiguration.h"

#include <cstring>

#include "pages/ImageMap.h"

namespace {
// Device text: printable ASCII as code OR 0x80, Cyrillic letters as the
// low byte of their code, 0x0D after a text shorter than its field.
void PutText(std::uint8_t* image, int offset, const char16_t* text, int field) {
  int n = 0;
  for (; text[n] && n < field; ++n) {
    const char16_t c = text[n];
    image[offset + n] = c < 0x80 ? static_cast<std::uint8_t>(c | 0x80) : static_cast<std::uint8_t>(c);
  }
  if (n < field) image[offset + n] = 0x0D;
}

void PutPhone(std::uint8_t* image, int phone, const char* number) {
  const int offset = 21 + 13 * (phone - 1);
  const int n = static_cast<int>(std::strlen(number));
  std::memcpy(image + offset, number, n);
  image[offset + n] = 0x0D;
  for (int i = n + 1; i < 13; ++i) image[offset + i] = 0xFF;
  image[86 + phone] = 0x1B;
}

std::uint8_t Bcd(int value) { return static_cast<std::uint8_t>((value / 10) << 4 | value % 10); }
}  // namespace

void MakeDemoImage(std::uint8_t* image) {
  InitImage(image);
  image[2] = 1;                 // arming button: full arming
  image[3] = 0xF9;              // input 3 watched only on change (bits 0, 3-7 not ours)
  image[5] = Bcd(12);           // test message at 12 o'clock
  image[8] = 35;                // temperature bounds, °C
  image[9] = 5;
  image[10] = 1;
  PutPhone(image, 1, "+79161234567");
  PutPhone(image, 2, "+79037654321");
  image[94] = 0x1B;             // password set
  image[95] = 0xFF;
  image[96] = Bcd(50);          // critical balance 50 roubles
  image[98] = '1';
  for (int k = 1; k <= 3; ++k) {
    image[119 + k] = 2;         // restore time, minutes
    image[128 + k] = 0x15;      // lower threshold 1.5 V
    image[136 + k] = k == 3 ? 2 : 0;
    image[144 + k] = 10;        // averaging 160 ms
    image[152 + k] = 0x45;      // upper threshold 4.5 V
    image[160 + k] = k == 1 ? 30 : 0;
    image[194 + k] = static_cast<std::uint8_t>(k - 1);
    image[219 + k] = 3;         // at most three alarms
  }
  image[128] = 20;              // exit delay
  image[170] = 0x1B;            // key 1 named
  PutText(image, 896, u"Хозяин", 8);
  image[176] = 0x0D;            // no balance request number of its own
  std::memcpy(image + 185, "4711", 4);
  image[190] = 0xF3;
  image[192] = 2;
  image[193] = 5;
  image[194] = 3;
  image[213] = 0x65;            // backup battery critical below 6.5 V
  image[214] = 10;
  image[215] = Bcd(23);
  image[216] = Bcd(0);
  image[217] = Bcd(7);
  image[218] = Bcd(30);
  image[219] = 0xFD;            // input 2 is a fire zone
  for (int e = 1; e <= 8; ++e) image[227 + e] = 0xE3;  // SMS to phones 1 and 2
  for (int e = 1; e <= 3; ++e) image[240 + e] = 0xE1;  // calls to phone 1 on alarms
  for (int e = 4; e <= 8; ++e) image[240 + e] = 0xE0;
  image[255] = 0xFB;            // alarm texts of inputs 1 and 2
  PutText(image, 256, u"Открыта входная дверь", 25);
  PutText(image, 282, u"Пожар на кухне", 25);
  for (int r = 1; r <= 6; ++r) {
    image[511 + r] = 0;
    image[519 + r] = r == 1 ? 30 : 10;
    image[527 + r] = 0;
    image[535 + r] = 5;
    image[543 + r] = 0;
    image[551 + r] = r == 1 ? 2 : 0;  // relay 1 drives the siren
    for (int i = 559; i <= 583; i += 8) image[i + r] = 0;
    image[591 + r] = r == 1 ? 0xFF : 0xF8;
    image[599 + r] = 0xFC;
    image[607 + r] = 0xC0;
    image[615 + r] = 0xE0;
    image[623 + r] = 0xF8;
    image[631 + r] = 0xE0;
    image[639 + r] = 0xF8;
  }
  image[4] = 0xFF;
  image[93] = 0xF9;
  image[254] = 0xF9;
  for (int i = 0; i < 252; ++i) image[kParamAreaSize + i] = static_cast<std::uint8_t>(i * 7 + 3);
}

void LoadDemoDevice(EmulatedDevice& device) {
  std::uint8_t image[kImageSize];
  MakeDemoImage(image);
  device.EraseRecordArea();
  // Older records of the history first, the current one last.
  std::uint8_t older[252];
  std::memset(older, 0x11, sizeof older);
  device.SetRecord(0, older, 5);
  std::memset(older, 0x22, sizeof older);
  device.SetRecord(1, older, 6);
  device.SetImage(image, 2, 7);
}

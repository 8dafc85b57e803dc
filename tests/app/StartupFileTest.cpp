// A file saved right after start-up, with the real page controllers.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <vector>

#include "app/ConfigFile.h"
#include "app/Controller.h"
#include "app/Fakes.h"
#include "pages/FakePageDialog.h"
#include "config/ModifiedFlag.h"
#include "pages/PageTable.h"

namespace {

// The 23 pages as the main window builds them: the configuration model,
// and a controller from each page's factory over its part.
class RealPages : public IPageSet {
 public:
  RealPages() {
    for (int i = 0; i < kPageCount; ++i) {
      controllers[i].reset(MakePageFactory(i)->create(dialogs[i], config.Values(i)));
      dialogs[i].Attach(controllers[i].get());
    }
  }
  SimpleCtrlr* Page(int index) override { return config.Page(index); }

  Configuration config;
  FakePageDialog dialogs[kPageCount];
  std::unique_ptr<DlgCtrlr> controllers[kPageCount];
};

std::uint32_t U32(const std::vector<std::uint8_t>& f, std::size_t at) {
  return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | std::uint32_t(f[at + 3]) << 24;
}

TEST(StartupFile, HoldsThePageDefaultsOverTheInitialImage) {
  FakeView view;
  RealPages pages;
  IModifiedFlag& flag = pages.config.Modified();
  MemoryFileSystem files;
  Controller controller(view, pages, flag, files, std::make_unique<FakeWorker>(), u"C:\\");
  view.savePath = u"C:\\new.osr";
  ASSERT_EQ(controller.SaveFileAs(), 1);
  const std::vector<std::uint8_t>& f = files.files.at(u"C:\\new.osr");
  ASSERT_EQ(f.size(), 2316u);
  EXPECT_EQ(U32(f, 0), 0x2DF1538Cu);
  EXPECT_EQ(U32(f, 4), 2308u);
  EXPECT_EQ(U32(f, 8), Crc32(f.data() + 12, 2304));
  EXPECT_EQ(U32(f, 12), 3u);
  // The defaults of all 23 pages over the initial image.
  std::map<std::size_t, std::uint8_t> defaults;
  for (int k = 0; k < 3; ++k) {  // inputs 1-3
    defaults[161 + k] = 0;       // entry delay, restore time, alarms, mode
    defaults[120 + k] = defaults[220 + k] = defaults[137 + k] = 0;
    defaults[145 + k] = 50;      // averaging
    defaults[153 + k] = 0x60;    // upper threshold 6.0
    defaults[129 + k] = 0x40;    // lower threshold 4.0
    defaults[195 + k] = 0;       // zone type
    defaults[256 + 26 * k] = 0x0D;  // empty alarm text
  }
  defaults[3] = 0xF9;    // change-only off for inputs 2, 3; bit 0 and 3-7 untouched
  defaults[255] = 0xF8;  // no alarm texts
  for (std::size_t flags : {4, 93, 254}) defaults[flags] = 0xF9;  // no aliases
  for (std::size_t alias : {973, 980, 661, 668, 717, 724}) defaults[alias] = 0x0D;
  for (int r = 0; r < 6; ++r) {
    defaults[624 + r] = defaults[640 + r] = 0xF8;  // no relays switched by the inputs
    defaults[616 + r] = defaults[632 + r] = 0xE0;  // ... nor by the phones
    for (std::size_t base : {512, 520, 528, 536, 544, 552, 560, 568, 576, 584})
      defaults[base + r] = 0;  // times, mode "Выключено", clock times 00:00
    defaults[592 + r] = 0xF8;  // no siren zones
    defaults[600 + r] = 0xFC;  // siren options off
    defaults[608 + r] = 0xC4;  // options off, cyclic condition "Всегда"
  }
  for (int p = 0; p < 5; ++p) defaults[21 + 13 * p] = 0x0D;  // empty numbers, markers 0xFF
  for (int e = 0; e < 8; ++e) defaults[228 + e] = defaults[241 + e] = 0xE0;
  defaults[2] = 1;  // arming: full arming, 0 rings, 00:00, exit delay 20
  defaults[192] = 0;
  for (std::size_t clock : {215, 216, 217, 218}) defaults[clock] = 0;
  defaults[128] = 20;
  for (std::size_t key : {896, 905, 914, 922, 931, 940}) defaults[key] = 0x0D;
  defaults[190] = 0xF0;  // connection options and call arming off, bits 4-7 untouched
  defaults[98] = '0';    // balance check off, critical balance 80, no request number
  defaults[96] = 0x80;
  defaults[176] = 0x0D;
  defaults[5] = 0x00;  // security: test hour 00, battery 9.9 V, settling 30 s
  defaults[213] = 0x99;
  defaults[214] = 30;
  defaults[193] = defaults[194] = 9;  // undelivered messages
  defaults[8] = 26;  // temperature: upper, lower, mode "Выключено"
  defaults[9] = 10;
  defaults[10] = 0;
  for (std::size_t i = 0; i < kImageSize; ++i) {
    std::uint8_t expected = i < kParamAreaSize ? 0xFF : 0x00;
    if (auto it = defaults.find(i); it != defaults.end()) expected = it->second;
    ASSERT_EQ(f[16 + i], expected) << "image byte " << i;
  }
}

}  // namespace

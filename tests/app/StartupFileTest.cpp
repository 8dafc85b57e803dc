// A file saved right after start-up, with the real page controllers.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

#include "app/ConfigFile.h"
#include "app/Controller.h"
#include "app/Fakes.h"
#include "pages/FakePageDialog.h"
#include "pages/ModifiedFlag.h"
#include "pages/PageTable.h"

namespace {

// The 23 pages as the main window builds them: a controller from each
// page's factory, none where a page has no factory.
class RealPages : public IPageSet {
 public:
  RealPages() {
    for (int i = 0; i < kPageCount; ++i) {
      if (!kPageTable[i].makeFactory) continue;
      controllers[i].reset(kPageTable[i].makeFactory()->create(dialogs[i]));
      dialogs[i].Attach(controllers[i].get());
    }
  }
  DlgCtrlr* Page(int index) override { return controllers[index].get(); }

  FakePageDialog dialogs[kPageCount];
  std::unique_ptr<DlgCtrlr> controllers[kPageCount];
};

std::uint32_t U32(const std::vector<std::uint8_t>& f, std::size_t at) {
  return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | std::uint32_t(f[at + 3]) << 24;
}

TEST(StartupFile, HoldsThePageDefaultsOverTheInitialImage) {
  modifiedFlag = 0;
  FakeView view;
  RealPages pages;
  MemoryFileSystem files;
  Controller controller(view, pages, files, std::make_unique<FakeWorker>(), u"C:\\");
  view.savePath = u"C:\\new.osr";
  ASSERT_EQ(controller.SaveFileAs(), 1);
  const std::vector<std::uint8_t>& f = files.files.at(u"C:\\new.osr");
  ASSERT_EQ(f.size(), 2316u);
  EXPECT_EQ(U32(f, 0), 0x2DF1538Cu);
  EXPECT_EQ(U32(f, 4), 2308u);
  EXPECT_EQ(U32(f, 8), Crc32(f.data() + 12, 2304));
  EXPECT_EQ(U32(f, 12), 3u);
  // The defaults of the pages built so far.
  const std::map<std::size_t, std::uint8_t> defaults = {
      {8, 26}, {9, 10}, {10, 0},  // temperature: upper, lower, mode "Выключено"
      {190, 0xF8},                // connection options off, bits 3-7 untouched
      {193, 9}, {194, 9},         // undelivered messages
  };
  for (std::size_t i = 0; i < kImageSize; ++i) {
    std::uint8_t expected = i < kParamAreaSize ? 0xFF : 0x00;
    if (auto it = defaults.find(i); it != defaults.end()) expected = it->second;
    ASSERT_EQ(f[16 + i], expected) << "image byte " << i;
  }
}

}  // namespace

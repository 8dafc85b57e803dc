#include "app/ConfigFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/Controller.h"
#include "app/Fakes.h"
#include "app/fs/OsFileSystem.h"
#include "config/ModifiedFlag.h"

namespace {

constexpr char16_t kPath[] = u"C:\\cfg\\alarm.osr";

std::vector<std::uint8_t> FileFor(const std::uint8_t* image) {
  MemoryFileSystem fs;
  EXPECT_TRUE(SaveConfigFile(fs, kPath, image));
  return fs.files.at(kPath);
}

std::vector<std::uint8_t> SampleImage() {
  std::vector<std::uint8_t> image(kImageSize);
  for (std::size_t i = 0; i < kImageSize; ++i) image[i] = static_cast<std::uint8_t>(i * 31 + 7);
  return image;
}

void PutU32(std::vector<std::uint8_t>& f, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) f[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

TEST(Crc32, StandardCheckValues) {
  const std::uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(Crc32(digits, 9), 0xCBF43926u);
  EXPECT_EQ(Crc32(digits, 0), 0u);
  const std::uint8_t zero = 0;
  EXPECT_EQ(Crc32(&zero, 1), 0xD202EF8Du);
}

TEST(ConfigFile, LayoutOfAWrittenFile) {
  const auto image = SampleImage();
  const auto f = FileFor(image.data());
  ASSERT_EQ(f.size(), kConfigFileSize);
  const std::uint8_t header[] = {0x8C, 0x53, 0xF1, 0x2D, 0x04, 0x09, 0, 0};  // magic, 2308
  EXPECT_EQ(0, std::memcmp(f.data(), header, sizeof header));
  const std::uint8_t version[] = {3, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(f.data() + 12, version, 4));
  EXPECT_EQ(0, std::memcmp(f.data() + 16, image.data(), kImageSize));
  const std::uint32_t crc = f[8] | f[9] << 8 | f[10] << 16 | std::uint32_t(f[11]) << 24;
  EXPECT_EQ(crc, Crc32(f.data() + 12, 2304));
}

TEST(ConfigFile, ReaderResultsInTheOrderOfItsChecks) {
  const auto image = SampleImage();
  const auto good = FileFor(image.data());
  using Edit = void (*)(std::vector<std::uint8_t>&);
  const struct {
    const char* what;
    Edit edit;
    ConfigFileResult result;
  } cases[] = {
      {"as written", [](std::vector<std::uint8_t>&) {}, Loaded},
      {"one byte short", [](std::vector<std::uint8_t>& f) { f.pop_back(); }, BadFormat},
      {"one byte long", [](std::vector<std::uint8_t>& f) { f.push_back(0); }, BadFormat},
      {"empty", [](std::vector<std::uint8_t>& f) { f.clear(); }, BadFormat},
      {"other magic", [](std::vector<std::uint8_t>& f) { f[0] ^= 1; }, BadFormat},
      {"length 2316", [](std::vector<std::uint8_t>& f) { PutU32(f, 4, 2316); }, BadFormat},
      {"version 2", [](std::vector<std::uint8_t>& f) { PutU32(f, 12, 2); }, BadFormat},
      {"crc field changed", [](std::vector<std::uint8_t>& f) { f[8] ^= 0x80; }, Corrupt},
      {"first image byte changed", [](std::vector<std::uint8_t>& f) { f[16] ^= 1; }, Corrupt},
      {"last image byte changed", [](std::vector<std::uint8_t>& f) { f[2315] ^= 0x40; }, Corrupt},
      // The header is checked before the checksum.
      {"bad version and crc", [](std::vector<std::uint8_t>& f) { f[12] = 9; f[100] ^= 1; },
       BadFormat},
  };
  for (const auto& c : cases) {
    MemoryFileSystem fs;
    auto f = good;
    c.edit(f);
    fs.files[kPath] = f;
    std::vector<std::uint8_t> loaded(kImageSize, 0xEE);
    EXPECT_EQ(LoadConfigFile(fs, kPath, loaded.data()), c.result) << c.what;
    if (c.result == Loaded)
      EXPECT_EQ(loaded, image) << c.what;
    else
      EXPECT_EQ(loaded, std::vector<std::uint8_t>(kImageSize, 0xEE)) << c.what;
  }
  MemoryFileSystem fs;
  std::uint8_t loaded[kImageSize];
  EXPECT_EQ(LoadConfigFile(fs, u"C:\\missing.osr", loaded), ReadError);
  fs.files[kPath] = good;
  fs.locked.push_back(kPath);
  EXPECT_EQ(LoadConfigFile(fs, kPath, loaded), ReadError);
}

TEST(ConfigFile, AFailedSaveLeavesThePreviousFileAsItWas) {
  const auto image = SampleImage();
  const std::vector<std::uint8_t> previous(kConfigFileSize, 0x5A);
  const struct {
    const char* what;
    bool failCreate;
    std::size_t failWriteAfter;
    bool failMove;
  } failures[] = {{"cannot create", true, SIZE_MAX, false},
                  {"disk full after 1000 bytes", false, 1000, false},
                  {"disk full at once", false, 0, false},
                  {"cannot replace", false, SIZE_MAX, true}};
  for (const auto& f : failures) {
    MemoryFileSystem fs;
    fs.files[kPath] = previous;
    fs.failCreate = f.failCreate;
    fs.failWriteAfter = f.failWriteAfter;
    fs.failMove = f.failMove;
    EXPECT_FALSE(SaveConfigFile(fs, kPath, image.data())) << f.what;
    EXPECT_EQ(fs.files.size(), 1u) << f.what << ": the temporary file was left behind";
    EXPECT_EQ(fs.files[kPath], previous) << f.what;
  }
}

TEST(ConfigFile, RoundTripThroughTheRealFileSystem) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / "ostrel-config-file-test";
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::u16string path = (folder / "a.osr").u16string();
  StdFileSystem files;
  const auto image = SampleImage();
  {
    std::ofstream old(fs::path(path), std::ios::binary);
    old << "an older file";
  }
  ASSERT_TRUE(SaveConfigFile(files, path, image.data()));
  EXPECT_EQ(fs::file_size(fs::path(path)), kConfigFileSize);
  std::vector<std::uint8_t> loaded(kImageSize);
  EXPECT_EQ(LoadConfigFile(files, path, loaded.data()), Loaded);
  EXPECT_EQ(loaded, image);
  // Two files of the same image are identical byte for byte.
  const std::u16string second = (folder / "b.osr").u16string();
  ASSERT_TRUE(SaveConfigFile(files, second, loaded.data()));
  std::ifstream a(fs::path(path), std::ios::binary), b(fs::path(second), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(a), {}),
            std::string(std::istreambuf_iterator<char>(b), {}));
  // Only the two files are left: no temporary file stays behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
  // A file in a folder that does not exist cannot be written.
  EXPECT_FALSE(SaveConfigFile(files, (folder / "none" / "c.osr").u16string(), image.data()));
  fs::remove_all(folder);
}

// ---- the file commands of the main window ----

class FileCommandTest : public ControllerFixture {};

TEST_F(FileCommandTest, SaveAsWritesThePagesOverTheInitialImage) {
  view.savePath = u"D:\\configs\\home.osr";
  SetFlag(flag, 1);
  EXPECT_EQ(controller->SaveFileAs(), 1);
  const auto& f = files.files.at(u"D:\\configs\\home.osr");
  std::uint8_t expected[kImageSize];
  InitImage(expected);
  for (int i = 0; i < kPageCount; ++i) expected[100 + i] = 0x42;
  EXPECT_EQ(0, std::memcmp(f.data() + 16, expected, kImageSize));
  EXPECT_EQ(view.title, u"home.osr");
  EXPECT_EQ(controller->currentPath(), u"D:\\configs\\home.osr");
  EXPECT_EQ(controller->currentName(), u"home.osr");
  EXPECT_EQ(view.statuses.back(), (FakeView::Status{IDS_FILE_WRITE_DONE, u"home.osr"}));
  EXPECT_EQ(view.folders, std::vector<std::u16string>{u"D:\\configs"});
  EXPECT_EQ(controller->workingFolder(), u"D:\\configs");
  EXPECT_EQ(FlagOf(flag), 0);
  EXPECT_FALSE(view.modifiedMark);
  // Save now writes to that file without a dialog.
  view.calls.clear();
  pages.pages[0]->value = 0x17;
  EXPECT_EQ(controller->SaveFile(), 1);
  EXPECT_TRUE(view.calls.empty());
  EXPECT_EQ(files.files.at(u"D:\\configs\\home.osr")[16 + 100], 0x17);
}

TEST_F(FileCommandTest, SaveWithoutACurrentFileGoesThroughSaveAs) {
  EXPECT_EQ(controller->SaveFile(), -1);  // the dialog was cancelled
  EXPECT_EQ(view.calls, std::vector<std::string>{"save dialog"});
  EXPECT_TRUE(files.files.empty());
  EXPECT_TRUE(view.folders.empty());
}

TEST_F(FileCommandTest, AFailedWriteKeepsTheFlagAndTheCurrentFile) {
  view.savePath = u"D:\\a.osr";
  ASSERT_EQ(controller->SaveFileAs(), 1);
  files.files.clear();
  files.failWriteAfter = 10;
  SetFlag(flag, 1);
  view.savePath = u"D:\\b.osr";
  EXPECT_EQ(controller->SaveFileAs(), 0);
  EXPECT_EQ(controller->currentName(), u"a.osr");
  EXPECT_EQ(view.title, u"a.osr");
  EXPECT_EQ(FlagOf(flag), 1);
  EXPECT_EQ(view.statuses.back(), (FakeView::Status{IDS_FILE_WRITE_FAILED, u"b.osr"}));
  EXPECT_TRUE(files.files.empty());
  // The folder follows the dialog even when the write failed.
  EXPECT_EQ(view.folders.back(), u"D:\\");
}

TEST_F(FileCommandTest, OpenShowsTheReadersResultWithTheFileName) {
  std::vector<std::uint8_t> image(kImageSize, 0x33);
  MemoryFileSystem source;
  ASSERT_TRUE(SaveConfigFile(source, u"E:\\x\\good.osr", image.data()));
  files.files[u"E:\\x\\good.osr"] = source.files.at(u"E:\\x\\good.osr");
  files.files[u"E:\\x\\short.osr"] = std::vector<std::uint8_t>(2315);
  auto corrupt = source.files.at(u"E:\\x\\good.osr");
  corrupt[500] ^= 1;
  files.files[u"E:\\x\\bad.osr"] = corrupt;
  const struct {
    const char16_t* path;
    int status;
    const char16_t* name;
  } cases[] = {{u"E:\\x\\short.osr", IDS_FILE_BAD_FORMAT, u"short.osr"},
               {u"E:\\x\\bad.osr", IDS_FILE_CORRUPT, u"bad.osr"},
               {u"E:\\x\\missing.osr", IDS_FILE_READ_FAILED, u"missing.osr"},
               {u"E:\\x\\good.osr", IDS_FILE_READ_DONE, u"good.osr"}};
  // Unsaved changes, dropped at the prompt before each open: only the file
  // that is loaded clears the flag and the mark.
  SetFlag(flag, 1);
  view.ShowModifiedMark(true);
  for (const auto& c : cases) {
    view.openPath = c.path;
    view.progressPos = 99;
    view.discardAnswers = {IDC_DISCARD_DONTSAVE};
    const int prompts = view.prompts;
    controller->OpenFile();
    EXPECT_EQ(view.prompts, prompts + 1);
    EXPECT_EQ(view.statuses.back(), (FakeView::Status{c.status, c.name}));
    EXPECT_EQ(view.progressPos, 0);
    if (c.status != IDS_FILE_READ_DONE) {
      EXPECT_EQ(view.title, u"?") << "the title is not touched";
      EXPECT_EQ(pages.pages[0]->loads, 0);
      EXPECT_EQ(controller->currentPath(), u"");
      EXPECT_EQ(FlagOf(flag), 1);
      EXPECT_TRUE(view.modifiedMark);
    }
  }
  EXPECT_FALSE(view.modifiedMark);
  EXPECT_EQ(view.title, u"good.osr");
  EXPECT_EQ(controller->currentPath(), u"E:\\x\\good.osr");
  EXPECT_EQ(0, std::memcmp(controller->image(), image.data(), kImageSize));
  EXPECT_EQ(pages.pages[5]->loads, 1);
  EXPECT_EQ(pages.pages[5]->value, 0x33);
  EXPECT_EQ(FlagOf(flag), 0);
  EXPECT_EQ(view.folders.size(), 4u);
}

TEST_F(FileCommandTest, CancelledOpenChangesNothing) {
  controller->OpenFile();
  EXPECT_EQ(view.calls, std::vector<std::string>{"open dialog"});
  EXPECT_TRUE(view.folders.empty());
  EXPECT_TRUE(view.statuses.empty());
  EXPECT_EQ(controller->workingFolder(), u"C:\\start");
}

TEST_F(FileCommandTest, DriveRootKeepsItsSeparator) {
  view.savePath = u"C:\\root.osr";
  controller->SaveFileAs();
  EXPECT_EQ(view.folders.back(), u"C:\\");
}

TEST_F(FileCommandTest, ConfirmDiscardForEachButton) {
  const struct {
    const char* what;
    bool hasCurrentFile;
    int button;
    const char16_t* savePath;  // what the save dialog answers
    bool failWrite;
    bool result;
    bool wrote;
  } cases[] = {
      {"save to the current file", true, IDC_DISCARD_SAVE, u"", false, true, true},
      {"save, no current file, save as chosen", false, IDC_DISCARD_SAVE, u"F:\\n.osr", false, true,
       true},
      {"save, no current file, save as cancelled", false, IDC_DISCARD_SAVE, u"", false, false,
       false},
      {"save fails", true, IDC_DISCARD_SAVE, u"", true, false, false},
      {"save as chosen", true, IDC_DISCARD_SAVEAS, u"F:\\m.osr", false, true, true},
      {"save as cancelled", true, IDC_DISCARD_SAVEAS, u"", false, false, false},
      {"save as fails", true, IDC_DISCARD_SAVEAS, u"F:\\m.osr", true, false, false},
      {"save as fails, no current file", false, IDC_DISCARD_SAVEAS, u"F:\\m.osr", true, false,
       false},
      {"don't save", true, IDC_DISCARD_DONTSAVE, u"", false, true, false},
      {"cancel", true, IDC_DISCARD_CANCEL, u"", false, false, false},
  };
  for (const auto& c : cases) {
    SetUp();
    view = FakeView();
    files = MemoryFileSystem();
    if (c.hasCurrentFile) {
      view.savePath = u"F:\\cur.osr";
      ASSERT_EQ(controller->SaveFileAs(), 1);
      files.files.clear();
    }
    view.savePath = c.savePath;
    files.failCreate = c.failWrite;
    SetFlag(flag, 1);
    view.discardAnswers = {c.button};
    EXPECT_EQ(controller->ConfirmDiscard(), c.result) << c.what;
    EXPECT_EQ(!files.files.empty(), c.wrote) << c.what;
    EXPECT_EQ(view.prompts, 1) << c.what;
  }
  // Nothing unsaved: no prompt at all.
  SetUp();
  view = FakeView();
  EXPECT_TRUE(controller->ConfirmDiscard());
  EXPECT_EQ(view.prompts, 0);
}

TEST_F(FileCommandTest, ASaveAskedForDuringATransferStopsTheOperationThatAsked) {
  controller->StartDeviceWrite();
  SetFlag(flag, 1);
  view.discardAnswers = {IDC_DISCARD_SAVE};
  EXPECT_FALSE(controller->ConfirmDiscard());
  EXPECT_EQ(controller->pendingFileCommand(), Controller::SaveCommand);
}

}  // namespace

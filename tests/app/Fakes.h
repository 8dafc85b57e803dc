// Test doubles for the Controller's view, pages, worker and file system.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <map>
#include <utility>
#include <string>
#include <vector>

#include "app/ConfigFile.h"
#include "app/Controller.h"
#include "device/DeviceWorker.h"
#include "app/MainView.h"
#include "config/ImageMap.h"
#include "config/ModifiedFlag.h"
#include "FlagHelpers.h"
#include "pages/Ctrlr.h"
#include "res/resource.h"

class FakeView : public IMainView {
 public:
  struct Status {
    int id;
    std::u16string name;
    bool operator==(const Status&) const = default;
  };
  std::vector<Status> statuses;
  std::vector<std::string> calls;  // the order of teardown and dialog calls
  int progressMax = -1, progressPos = -1;
  bool modifiedMark = false;
  int modifiedMarkCalls = 0;
  std::u16string title = u"?";
  std::vector<int> discardAnswers;  // popped front for each prompt
  int prompts = 0;
  std::u16string openPath, savePath;  // empty: the user cancels
  std::vector<std::u16string> folders;
  int abouts = 0, closes = 0;

  int lastStatus() const { return statuses.empty() ? 0 : statuses.back().id; }

  void ShowStatus(int id) override { statuses.push_back({id, u""}); }
  void ShowFileStatus(int id, const std::u16string& name) override {
    statuses.push_back({id, name});
  }
  void ShowModifiedMark(bool on) override {
    modifiedMark = on;
    ++modifiedMarkCalls;
  }
  void UpdateTitle(const std::u16string& name) override { title = name; }
  void SetProgressRange(int maximum) override { progressMax = maximum; }
  void SetProgressPos(int position) override { progressPos = position; }
  int AskDiscard() override {
    ++prompts;
    calls.push_back("prompt");
    if (discardAnswers.empty()) return IDC_DISCARD_CANCEL;
    int answer = discardAnswers.front();
    discardAnswers.erase(discardAnswers.begin());
    return answer;
  }
  bool AskOpenPath(std::u16string& path, std::size_t& nameOffset) override {
    calls.push_back("open dialog");
    return Choose(openPath, path, nameOffset);
  }
  bool AskSavePath(std::u16string& path, std::size_t& nameOffset) override {
    calls.push_back("save dialog");
    return Choose(savePath, path, nameOffset);
  }
  void SetCurrentFolder(const std::u16string& folder) override { folders.push_back(folder); }
  void ShowAbout() override { ++abouts; }
  void RequestClose() override { ++closes; }
  void UnregisterDeviceNotification() override { calls.push_back("unregister"); }
  void PostQuit(int code) override { calls.push_back("quit " + std::to_string(code)); }

 private:
  static bool Choose(const std::u16string& chosen, std::u16string& path, std::size_t& offset) {
    if (chosen.empty()) return false;
    path = chosen;
    offset = chosen.find_last_of(u"\\/") + 1;
    return true;
  }
};

class FakeWorker : public IDeviceWorker {
 public:
  explicit FakeWorker(std::vector<std::string>* calls = nullptr) : calls_(calls) {
    std::memset(image, 0, sizeof image);
  }
  ~FakeWorker() override {
    if (calls_) calls_->push_back("worker destroyed");
  }
  std::vector<int> requests;
  bool refuse = false;
  std::uint8_t image[kDeviceImageSize];
  int setImageCalls = 0;

  bool PostRequest(int code) override {
    requests.push_back(code);
    return !refuse;
  }
  void CopyImage(std::uint8_t* buffer, std::size_t count) override {
    std::memcpy(buffer, image, count);
  }
  bool ImageEquals(const std::uint8_t* other) override {
    return std::memcmp(other, image, kImageSize) == 0;
  }
  void SetImage(const std::uint8_t* other) override {
    ++setImageCalls;
    std::memcpy(image, other, kImageSize);
  }
  void Stop(unsigned waitMs) override {
    if (calls_) calls_->push_back("stop " + std::to_string(waitMs));
  }

 private:
  std::vector<std::string>* calls_;
};

// A page that owns one byte: stores its value there and loads it back.
class FakePage : public DlgCtrlr, public IInputModeFollower {
 public:
  FakePage(IPageDialog& dialog, int offset, std::vector<int>* order, int index)
      : DlgCtrlr(dialog), offset(offset), order_(order), index_(index) {}
  int offset;
  std::uint8_t value = 0x42;
  int loads = 0, stores = 0, updates = 0;
  // The input-mode notices offered to the page: (input, changeOnly).
  std::vector<std::pair<int, bool>> notices;

  void StoreToImage(std::uint8_t* image) override {
    ++stores;
    if (order_) order_->push_back(index_);
    image[offset] = value;
  }
  void LoadFromImage(const std::uint8_t* image) override {
    ++loads;
    value = image[offset];
  }
  void OnCommand(IPageDialog&, int, int) override {}
  void FollowInputMode(int input, bool changeOnly) override {
    notices.emplace_back(input, changeOnly);
  }

 private:
  std::vector<int>* order_;
  int index_;
};

// A dialog that does nothing: the fake pages never touch their controls.
class NullDialog : public IPageDialog {
 public:
  std::u16string GetText(int) override { return {}; }
  void SetText(int, const std::u16string&) override {}
  void GetSelection(int, int& s, int& e) override { s = e = 0; }
  void SetSelection(int, int, int) override {}
  int GetComboSelection(int) override { return 0; }
  void SetComboSelection(int, int) override {}
  void AddComboString(int, const std::u16string&) override {}
  int GetCheck(int) override { return 0; }
  void SetCheck(int, int) override {}
  bool PostToParent(unsigned, std::intptr_t) override { return true; }
  std::u16string LoadText(int) override { return {}; }
};

class FakePages : public IPageSet {
 public:
  FakePages() { Reset(); }
  ~FakePages() override { Clear(); }
  void Reset() {
    Clear();
    order.clear();
    for (int i = 0; i < kPageCount; ++i) pages[i] = new FakePage(dialog, 100 + i, &order, i);
  }
  void Clear() {
    for (FakePage*& p : pages) {
      delete p;
      p = nullptr;
    }
  }
  void Remove(int i) {
    delete pages[i];
    pages[i] = nullptr;
  }
  DlgCtrlr* Page(int index) override { return pages[index]; }

  NullDialog dialog;
  FakePage* pages[kPageCount] = {};
  std::vector<int> order;
};

// An in-memory file system with injected failures.
class MemoryFileSystem : public IFileSystem {
 public:
  std::map<std::u16string, std::vector<std::uint8_t>> files;
  std::vector<std::u16string> locked;  // open elsewhere without read sharing
  // Failures to inject into the next writes.
  bool failCreate = false;
  std::size_t failWriteAfter = SIZE_MAX;  // bytes written before the disk fills up
  bool failMove = false;

  ReadOutcome ReadExactly(const std::u16string& path, std::uint8_t* buffer,
                          std::size_t size) override {
    auto it = files.find(path);
    if (it == files.end()) return ReadOutcome::Failed;
    for (const auto& l : locked)
      if (l == path) return ReadOutcome::Failed;
    if (it->second.size() != size) return ReadOutcome::WrongSize;
    std::memcpy(buffer, it->second.data(), size);
    return ReadOutcome::Done;
  }
  CreateOutcome WriteNewFile(const std::u16string& path, const std::uint8_t* data,
                             std::size_t size) override {
    if (files.count(path)) return CreateOutcome::Exists;
    if (failCreate) return CreateOutcome::Failed;
    std::size_t n = size < failWriteAfter ? size : failWriteAfter;
    files[path].assign(data, data + n);
    return n == size ? CreateOutcome::Written : CreateOutcome::Failed;
  }
  bool MoveOver(const std::u16string& from, const std::u16string& to) override {
    if (failMove || !files.count(from)) return false;
    files[to] = files[from];
    files.erase(from);
    return true;
  }
  void RemoveFile(const std::u16string& path) override { files.erase(path); }
};

// A Controller over the fakes above. SetUp makes everything afresh; a
// table-driven test calls it again between its rows.
class ControllerFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    controller.reset();
    view = FakeView();
    pages.Reset();
    files = MemoryFileSystem();
    SetFlag(flag, 0);
    auto w = std::make_unique<FakeWorker>(&view.calls);
    worker = w.get();
    controller = std::make_unique<Controller>(view, pages, flag, files, std::move(w), u"C:\\start");
  }
  void TearDown() override { SetFlag(flag, 0); }

  FakeView view;
  ModifiedFlag flag;
  FakePages pages;
  MemoryFileSystem files;
  FakeWorker* worker = nullptr;
  std::unique_ptr<Controller> controller;
};

#include "app/Controller.h"

#include <gtest/gtest.h>

#include <memory>

#include "app/Fakes.h"
#include "config/StringTable.h"
#include "config/ModifiedFlag.h"

namespace {

enum Event {
  Check,
  Read,
  Write,
  CheckDoneEv,
  ReadParamDoneEv,
  WriteParamDoneEv,
  ReadRecordDoneEv,
  WriteRecordDoneEv
};

class ControllerTest : public ControllerFixture {
 protected:

  void Notify(unsigned code, std::intptr_t value) { controller->OnWorkerMessage(code, value); }
  // Drives the controller into `state` from Idle.
  void Enter(int state) {
    switch (state) {
      case Controller::Checking:
        controller->StartDeviceCheck();
        break;
      case Controller::Reading:
        controller->StartDeviceRead();
        break;
      case Controller::PreReading:
        controller->StartDeviceWrite();
        break;
      case Controller::Writing:
        controller->StartDeviceWrite();
        Notify(Notify::ReadParamDone, 1);
        break;
      default:
        break;
    }
    ASSERT_EQ(controller->exchangeState(), state);
    worker->requests.clear();
    view.statuses.clear();
  }
  void Fire(Event event, int value) {
    switch (event) {
      case Check: controller->StartDeviceCheck(); break;
      case Read: controller->StartDeviceRead(); break;
      case Write: controller->StartDeviceWrite(); break;
      case CheckDoneEv: Notify(Notify::CheckDone, value); break;
      case ReadParamDoneEv: Notify(Notify::ReadParamDone, value); break;
      case WriteParamDoneEv: Notify(Notify::WriteParamDone, value); break;
      case ReadRecordDoneEv: Notify(Notify::ReadRecordDone, value); break;
      case WriteRecordDoneEv: Notify(Notify::WriteRecordDone, value); break;
    }
  }
};

struct Transition {
  int from;
  Event event;
  int value;
  int to;
  int request;  // posted request, 0 for none
  int status;   // status text shown, 0 for none
};

constexpr int I = Controller::Idle, C = Controller::Checking, R = Controller::Reading,
              W = Controller::Writing, P = Controller::PreReading;

const Transition kTransitions[] = {
    {I, Check, 0, C, CheckDevice, 0},
    {C, Check, 0, C, CheckDevice, 0},
    {R, Check, 0, R, 0, 0},
    {P, Check, 0, P, 0, 0},
    {W, Check, 0, W, 0, 0},
    {C, CheckDoneEv, 0, I, 0, IDS_NOT_CONNECTED},
    {C, CheckDoneEv, 1, I, 0, IDS_CONNECTED},
    {I, CheckDoneEv, 1, I, 0, IDS_CONNECTED},
    // A late answer of a check aborted by a transfer leaves the transfer alone.
    {R, CheckDoneEv, 0, R, 0, 0},
    {P, CheckDoneEv, 0, P, 0, 0},
    {W, CheckDoneEv, 0, W, 0, 0},
    {I, Read, 0, R, ReadParamMemory, IDS_READING},
    {C, Read, 0, R, ReadParamMemory, IDS_READING},
    {R, Read, 0, R, 0, 0},
    {P, Read, 0, P, 0, 0},
    {W, Read, 0, W, 0, 0},
    {I, Write, 0, P, ReadParamMemory, IDS_WRITING},
    {C, Write, 0, P, ReadParamMemory, IDS_WRITING},
    {R, Write, 0, R, 0, 0},
    {P, Write, 0, P, 0, 0},
    {W, Write, 0, W, 0, 0},
    {P, ReadParamDoneEv, 1, W, WriteParamMemory, 0},
    {P, ReadParamDoneEv, 0, I, 0, IDS_PREREAD_FAILED},
    {R, ReadParamDoneEv, 0, I, 0, IDS_READ_FAILED},
    {R, ReadParamDoneEv, 1, R, ReadFlashRecord, 0},
    {W, WriteParamDoneEv, 1, W, WriteFlashRecord, 0},
    {W, WriteParamDoneEv, 0, I, 0, IDS_WRITE_FAILED},
    {R, ReadRecordDoneEv, 1, I, 0, IDS_READ_DONE},
    {R, ReadRecordDoneEv, 0, I, 0, IDS_READ_FAILED},
    {W, WriteRecordDoneEv, 1, I, 0, IDS_WRITE_DONE},
    {W, WriteRecordDoneEv, 0, I, 0, IDS_WRITE_FAILED},
};

TEST_F(ControllerTest, ExchangeStateTable) {
  for (const Transition& t : kTransitions) {
    SCOPED_TRACE(::testing::Message() << "from " << t.from << " event " << t.event << " value "
                                      << t.value);
    SetUp();
    Enter(t.from);
    Fire(t.event, t.value);
    EXPECT_EQ(controller->exchangeState(), t.to);
    if (t.request)
      EXPECT_EQ(worker->requests, std::vector<int>{t.request});
    else
      EXPECT_TRUE(worker->requests.empty());
    if (t.status)
      EXPECT_EQ(view.lastStatus(), t.status);
    else
      EXPECT_TRUE(view.statuses.empty());
  }
}

TEST_F(ControllerTest, AWriteBegunDuringACheckStaysAWrite) {
  controller->StartDeviceCheck();
  controller->StartDeviceWrite();  // the worker aborts the check...
  Notify(Notify::CheckDone, 0);    // ...and answers it late
  EXPECT_EQ(controller->exchangeState(), Controller::PreReading);
  EXPECT_EQ(view.lastStatus(), IDS_WRITING);
  Notify(Notify::ReadParamDone, 1);
  EXPECT_EQ(controller->exchangeState(), Controller::Writing);
  EXPECT_EQ(worker->requests, (std::vector<int>{CheckDevice, ReadParamMemory, WriteParamMemory}));
  Notify(Notify::WriteParamDone, 1);
  Notify(Notify::WriteRecordDone, 1);
  EXPECT_EQ(view.lastStatus(), IDS_WRITE_DONE);
  EXPECT_EQ(controller->deviceState(), 1);
  // The same for a read: its first step is not taken for anything else.
  controller->StartDeviceCheck();
  controller->StartDeviceRead();
  Notify(Notify::CheckDone, 0);
  Notify(Notify::ReadParamDone, 1);
  EXPECT_EQ(worker->requests.back(), ReadFlashRecord);
  EXPECT_EQ(controller->deviceState(), 1);
}

TEST_F(ControllerTest, CheckDoneShowsOnlyChangesOfTheAnswer) {
  const struct {
    int value;
    int status;  // 0: nothing shown
    int deviceState;
  } steps[] = {{0, IDS_NOT_CONNECTED, 0}, {0, 0, 0}, {1, IDS_CONNECTED, 1},
               {1, 0, 1},                 {0, IDS_NOT_CONNECTED, 0}};
  EXPECT_EQ(controller->deviceState(), -1);
  for (const auto& step : steps) {
    view.statuses.clear();
    view.progressPos = 77;
    controller->StartDeviceCheck();
    Notify(Notify::CheckDone, step.value);
    EXPECT_EQ(controller->deviceState(), step.deviceState);
    if (step.status) {
      EXPECT_EQ(view.statuses, (std::vector<FakeView::Status>{{step.status, u""}}));
      EXPECT_EQ(view.progressPos, 0);
    } else {
      EXPECT_TRUE(view.statuses.empty());
      EXPECT_EQ(view.progressPos, 77);
    }
  }
}

TEST_F(ControllerTest, ReadRunsOverTheReadScaleAndLoadsTheDeviceImage) {
  for (std::size_t i = 0; i < kImageSize; ++i) worker->image[i] = static_cast<std::uint8_t>(i * 7);
  controller->StartDeviceRead();
  EXPECT_EQ(view.progressMax, 3328);
  EXPECT_EQ(view.progressPos, 0);
  Notify(Notify::Progress, 2048);
  EXPECT_EQ(view.progressPos, 2048);
  Notify(Notify::ReadParamDone, 1);
  EXPECT_EQ(controller->deviceState(), 1);
  Notify(Notify::Progress, 3328);
  Notify(Notify::ReadRecordDone, 1);
  EXPECT_EQ(view.progressPos, 3328);  // the bar keeps its last position
  EXPECT_EQ(0, std::memcmp(controller->image(), worker->image, kImageSize));
  for (int i = 0; i < kPageCount; ++i) {
    EXPECT_EQ(pages.pages[i]->loads, 1);
    EXPECT_EQ(pages.pages[i]->value, worker->image[100 + i]);
  }
  EXPECT_EQ(view.statuses.back().id, IDS_READ_DONE);
}

TEST_F(ControllerTest, ReadMarksModifiedOnlyWhenTheDeviceDiffers) {
  const struct {
    bool sameAsPages;
    int flagBefore;
    int flagAfter;
  } cases[] = {{true, 0, 0}, {true, 1, 1}, {false, 0, 1}, {false, 1, 1}};
  for (const auto& c : cases) {
    SetUp();
    // The device holds what the pages show over the initial record area...
    InitImage(worker->image);
    for (int i = 0; i < kPageCount; ++i) worker->image[100 + i] = pages.pages[i]->value;
    // ...or one byte differs.
    if (!c.sameAsPages) worker->image[2100] = 0x55;
    Enter(Controller::Reading);
    SetFlag(flag, c.flagBefore);
    Notify(Notify::ReadParamDone, 1);
    Notify(Notify::ReadRecordDone, 1);
    EXPECT_EQ(FlagOf(flag), c.flagAfter) << c.sameAsPages << c.flagBefore;
    if (!c.sameAsPages) {
      EXPECT_TRUE(view.modifiedMark);
    }
  }
}

TEST_F(ControllerTest, WriteMergesThePagesOverTheDevicesParameterMemory) {
  std::uint8_t device[kDeviceImageSize];
  for (std::size_t i = 0; i < kDeviceImageSize; ++i) device[i] = static_cast<std::uint8_t>(i * 3);
  std::memcpy(worker->image, device, sizeof device);
  controller->StartDeviceWrite();
  EXPECT_EQ(view.progressMax, 4352);
  EXPECT_EQ(view.prompts, 0);  // a write never asks
  Notify(Notify::ReadParamDone, 1);
  ASSERT_EQ(worker->setImageCalls, 1);
  for (std::size_t i = 0; i < kImageSize; ++i) {
    std::uint8_t expected = i < kParamAreaSize ? device[i] : 0x00;  // own record area kept
    if (i >= 100 && i < 100 + kPageCount) expected = pages.pages[i - 100]->value;
    ASSERT_EQ(worker->image[i], expected) << i;
  }
  EXPECT_EQ(0, std::memcmp(controller->image(), worker->image, kImageSize));
  Notify(Notify::WriteParamDone, 1);
  Notify(Notify::WriteRecordDone, 1);
  EXPECT_EQ(worker->requests, (std::vector<int>{ReadParamMemory, WriteParamMemory,
                                                WriteFlashRecord}));
  EXPECT_EQ(view.statuses.back().id, IDS_WRITE_DONE);
  EXPECT_EQ(controller->deviceState(), 1);
}

TEST_F(ControllerTest, FailedTransfersLeaveImageAndPagesAlone) {
  const struct {
    int state;
    unsigned code;
  } cases[] = {{Controller::Reading, Notify::ReadParamDone},
               {Controller::Reading, Notify::ReadRecordDone},
               {Controller::PreReading, Notify::ReadParamDone}};
  for (const auto& c : cases) {
    SetUp();
    std::memset(worker->image, 0x11, sizeof worker->image);
    Enter(c.state);
    if (c.code == Notify::ReadRecordDone) Notify(Notify::ReadParamDone, 1);
    Notify(c.code, 0);
    std::uint8_t initial[kImageSize];
    InitImage(initial);
    EXPECT_EQ(0, std::memcmp(controller->image(), initial, kImageSize));
    EXPECT_EQ(pages.pages[0]->loads, 0);
    EXPECT_EQ(worker->setImageCalls, 0);
    EXPECT_EQ(controller->exchangeState(), Controller::Idle);
  }
}

TEST_F(ControllerTest, ReadAsksFirstOnlyWithUnsavedChanges) {
  const struct {
    int flag;
    int answer;
    bool reads;
    int prompts;
  } cases[] = {{0, IDC_DISCARD_CANCEL, true, 0},
               {1, IDC_DISCARD_CANCEL, false, 1},
               {1, IDC_DISCARD_DONTSAVE, true, 1}};
  for (const auto& c : cases) {
    SetUp();
    SetFlag(flag, c.flag);
    view.discardAnswers = {c.answer};
    controller->StartDeviceRead();
    EXPECT_EQ(view.prompts, c.prompts);
    EXPECT_EQ(controller->exchangeState(), c.reads ? Controller::Reading : Controller::Idle);
    EXPECT_EQ(worker->requests.empty(), !c.reads);
  }
  // A write never asks, even with unsaved changes.
  SetUp();
  SetFlag(flag, 1);
  controller->StartDeviceWrite();
  EXPECT_EQ(view.prompts, 0);
  EXPECT_EQ(controller->exchangeState(), Controller::PreReading);
}

TEST_F(ControllerTest, FileCommandsDuringATransferWaitAndTheLastOneRuns) {
  view.savePath = u"C:\\work\\later.osr";
  Enter(Controller::Reading);
  controller->OpenFile();
  EXPECT_EQ(controller->SaveFile(), 0);
  EXPECT_EQ(controller->SaveFileAs(), 0);
  EXPECT_EQ(controller->pendingFileCommand(), Controller::SaveAsCommand);
  EXPECT_TRUE(view.calls.empty());  // nothing visible yet
  EXPECT_TRUE(files.files.empty());
  Notify(Notify::ReadParamDone, 1);
  EXPECT_TRUE(files.files.empty());
  Notify(Notify::ReadRecordDone, 1);
  EXPECT_EQ(view.calls, std::vector<std::string>{"save dialog"});
  EXPECT_TRUE(files.files.count(u"C:\\work\\later.osr"));
  EXPECT_EQ(controller->pendingFileCommand(), Controller::NoFileCommand);
}

TEST_F(ControllerTest, PendingFileCommandRunsAfterEveryWayATransferEnds) {
  const struct {
    int state;
    unsigned code;
    int value;
  } endings[] = {{Controller::Reading, Notify::ReadParamDone, 0},
                 {Controller::Reading, Notify::ReadRecordDone, 1},
                 {Controller::PreReading, Notify::ReadParamDone, 0},
                 {Controller::Writing, Notify::WriteParamDone, 0},
                 {Controller::Writing, Notify::WriteRecordDone, 1},
                 {Controller::Writing, Notify::WriteRecordDone, 0}};
  for (const auto& e : endings) {
    SetUp();
    Enter(e.state);
    // A successful read of other values sets the modified flag: the open
    // then asks first.
    view.discardAnswers = {IDC_DISCARD_DONTSAVE};
    controller->OpenFile();
    Notify(e.code, e.value);
    ASSERT_FALSE(view.calls.empty());
    EXPECT_EQ(view.calls.back(), "open dialog") << e.state << " " << e.code;
  }
  // A presence check does not defer file commands.
  SetUp();
  Enter(Controller::Checking);
  controller->OpenFile();
  EXPECT_EQ(view.calls, std::vector<std::string>{"open dialog"});
}

TEST_F(ControllerTest, CommandTable) {
  const struct {
    int id;
    const char* call;  // expected view call, or null
    int state;         // expected exchange state
  } commands[] = {
      {ID_FILE_OPEN, "open dialog", I}, {IDC_OPEN, "open dialog", I},
      {ID_FILE_SAVE, "save dialog", I}, {IDC_SAVE, "save dialog", I},
      {ID_FILE_SAVEAS, "save dialog", I}, {ID_DEVICE_READ, nullptr, R},
      {IDC_READ, nullptr, R},           {ID_DEVICE_WRITE, nullptr, P},
      {IDC_WRITE, nullptr, P},          {1, nullptr, I},
      {2, nullptr, I},                  {12345, nullptr, I},
  };
  for (const auto& c : commands) {
    SetUp();
    controller->HandleCommand(c.id);
    EXPECT_EQ(view.calls, c.call ? std::vector<std::string>{c.call} : std::vector<std::string>{})
        << c.id;
    EXPECT_EQ(controller->exchangeState(), c.state) << c.id;
    EXPECT_EQ(view.closes, 0);
  }
  controller->HandleCommand(ID_FILE_EXIT);
  EXPECT_EQ(view.closes, 1);
  controller->HandleCommand(IDM_ABOUT);
  EXPECT_EQ(view.abouts, 1);
}

TEST_F(ControllerTest, DeviceChangesOfInterfacesStartAPresenceCheck) {
  const struct {
    std::uintptr_t event;
    std::uint32_t type;
    bool checks;
  } cases[] = {{0x8000, 5, true}, {0x8004, 5, true}, {0x8000, 2, false},
               {0x0007, 5, false}, {0x8001, 5, false}};
  for (const auto& c : cases) {
    SetUp();
    controller->OnDeviceChange(c.event, c.type);
    EXPECT_EQ(worker->requests.size(), c.checks ? 1u : 0u) << c.event << " " << c.type;
  }
  SetUp();
  Enter(Controller::Reading);
  controller->OnDeviceChange(0x8000, 5);
  EXPECT_TRUE(worker->requests.empty());
}

TEST_F(ControllerTest, InputModeNoticeReachesEveryFollowingPage) {
  // Code 11: change-only switched on; 12: off; an index outside 0-2 reaches
  // the pages as -1 (they only redraw). Pages without a controller are
  // skipped; neither the image nor the modified flag changes.
  std::uint8_t before[kImageSize];
  std::memcpy(before, controller->image(), kImageSize);
  pages.Remove(7);
  Notify(Notify::ChangeOnlyOn, 1);
  Notify(Notify::ChangeOnlyOff, 2);
  Notify(Notify::ChangeOnlyOn, 5);
  Notify(Notify::ChangeOnlyOff, -1);
  const std::vector<std::pair<int, bool>> expected = {{1, true}, {2, false}, {-1, true}, {-1, false}};
  for (int i = 0; i < kPageCount; ++i)
    if (i != 7) {
      EXPECT_EQ(pages.pages[i]->notices, expected) << i;
    }
  EXPECT_EQ(FlagOf(flag), 0);
  EXPECT_EQ(std::memcmp(before, controller->image(), kImageSize), 0);
}

TEST_F(ControllerTest, StoreAndLoadGoOverThePagesInOrderSkippingMissingOnes) {
  pages.Remove(3);
  pages.Remove(22);
  std::uint8_t image[kImageSize];
  InitImage(image);
  controller->StoreToImage(image);
  std::vector<int> expected;
  for (int i = 0; i < kPageCount; ++i)
    if (i != 3 && i != 22) expected.push_back(i);
  EXPECT_EQ(pages.order, expected);
  EXPECT_EQ(image[103], 0xFF);
  EXPECT_EQ(image[101], 0x42);
}

TEST_F(ControllerTest, ShutdownInOrder) {
  view.calls.clear();
  controller->Shutdown();
  EXPECT_EQ(view.calls, (std::vector<std::string>{"unregister", "stop 2000", "quit 0",
                                                  "worker destroyed"}));
}

TEST_F(ControllerTest, ModifiedNoticeShowsTheMark) {
  SetFlag(flag, 1);
  Notify(Notify::ModifiedNotice, 0);
  EXPECT_TRUE(view.modifiedMark);
  SetFlag(flag, 0);
  Notify(Notify::ModifiedNotice, 0);
  EXPECT_FALSE(view.modifiedMark);
  Notify(99, 1);  // unknown codes are ignored
  EXPECT_TRUE(view.statuses.empty());
}

TEST(StringTable, HoldsTheShellTexts) {
  EXPECT_EQ(std::u16string(FindString(IDS_NOT_CONNECTED)), u" Устройство не подключено");
  EXPECT_EQ(std::u16string(FindString(IDS_TITLE)), u"Острел Сорна-Т v.1.0.00");
  EXPECT_EQ(FindString(99999), nullptr);
}

}  // namespace

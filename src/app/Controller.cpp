#include "app/Controller.h"

#include <cstring>
#include <utility>

#include "app/ConfigFile.h"
#include "config/Notifications.h"
#include "config/PageFields.h"
#include "res/resource.h"

namespace {
// Broadcast events and the device type that start a presence check.
constexpr std::uintptr_t kDeviceArrival = 0x8000;
constexpr std::uintptr_t kDeviceRemoveComplete = 0x8004;
constexpr std::uint32_t kDeviceInterfaceType = 5;
}  // namespace

Controller::Controller(IMainView& view, IPageSet& pages, IModifiedFlag& modified,
                       IFileSystem& files, std::unique_ptr<IDeviceWorker> worker,
                       std::u16string workingFolder)
    : view_(view),
      pages_(pages),
      modified_(modified),
      files_(files),
      workingFolder_(std::move(workingFolder)),
      worker_(std::move(worker)),
      transfer_(*worker_, image_, [this](std::uint8_t* image) { StoreToImage(image); }) {
  // The pages are not loaded from the initial image: until the first file or
  // device read they show their own initial values.
  InitImage(image_);
  // The mark follows the flag, whoever changes it.
  modifiedObserver_ = modified_.Observe([this](bool) { ShowModifiedMark(); });
}

Controller::~Controller() { modified_.Forget(modifiedObserver_); }

void Controller::ShowInitialState() {
  view_.UpdateTitle({});
  view_.SetProgressRange(static_cast<int>(kImageSize));
  view_.SetProgressPos(0);
}

void Controller::StoreToImage(std::uint8_t* image) {
  for (int i = 0; i < kPageCount; ++i)
    if (SimpleCtrlr* page = pages_.Page(i)) page->StoreToImage(image);
}

void Controller::LoadFromImage(const std::uint8_t* image) {
  for (int i = 0; i < kPageCount; ++i)
    if (SimpleCtrlr* page = pages_.Page(i)) page->LoadFromImage(image);
}

void Controller::HandleCommand(int id) {
  switch (id) {
    case ID_FILE_OPEN:
    case IDC_OPEN:
      OpenFile();
      break;
    case ID_FILE_SAVE:
    case IDC_SAVE:
      SaveFile();
      break;
    case ID_FILE_SAVEAS:
      SaveFileAs();
      break;
    case ID_FILE_EXIT:
      view_.RequestClose();
      break;
    case ID_DEVICE_READ:
    case IDC_READ:
      StartDeviceRead();
      break;
    case ID_DEVICE_WRITE:
    case IDC_WRITE:
      StartDeviceWrite();
      break;
    case IDM_ABOUT:
      view_.ShowAbout();
      break;
    default:  // among them 1 and 2, from Enter and Esc
      break;
  }
}

void Controller::OnDeviceChange(std::uintptr_t event, std::uint32_t deviceType) {
  if ((event == kDeviceArrival || event == kDeviceRemoveComplete) &&
      deviceType == kDeviceInterfaceType)
    StartDeviceCheck();
}

void Controller::StartDeviceCheck() {
  if (TransferRuns()) return;
  exchangeState_ = Checking;
  worker_->PostRequest(CheckDevice);
}

void Controller::StartDeviceRead() {
  if (TransferRuns()) return;
  if (!ConfirmDiscard()) return;
  view_.SetProgressPos(0);
  view_.SetProgressRange(kReadScale);
  view_.ShowStatus(IDS_READING);
  exchangeState_ = Reading;
  transfer_.Start(TransferKind::Read);
}

void Controller::StartDeviceWrite() {
  if (TransferRuns()) return;
  view_.SetProgressPos(0);
  view_.SetProgressRange(kWriteScale);
  view_.ShowStatus(IDS_WRITING);
  // A device write always begins by reading the device's parameter memory.
  exchangeState_ = PreReading;
  transfer_.Start(TransferKind::Write);
}

void Controller::OnWorkerMessage(unsigned code, std::intptr_t value) {
  switch (code) {
    case Notify::ModifiedNotice:
      ShowModifiedMark();
      break;
    case Notify::Progress:
      view_.SetProgressPos(static_cast<int>(value));
      break;
    case Notify::CheckDone:
      // A check that was still running when a transfer began is aborted by
      // the worker, which answers it late with 0. That answer says nothing
      // about the device and must not end the transfer's state: while a
      // transfer runs, CheckDone is ignored altogether (state, device state
      // and status line stay as the transfer set them), so a write that
      // began during a check stays a write.
      if (TransferRuns()) break;
      exchangeState_ = Idle;
      if (value != deviceState_) {
        deviceState_ = value ? DevicePresent : DeviceAbsent;
        view_.SetProgressPos(0);
        view_.ShowStatus(value ? IDS_CONNECTED : IDS_NOT_CONNECTED);
      }
      break;
    case Notify::ReadParamDone:
    case Notify::WriteParamDone:
    case Notify::ReadRecordDone:
    case Notify::WriteRecordDone:
      OnTransferStep(transfer_.OnNotification(code, value));
      break;
    case Notify::ChangeOnlyOn:
    case Notify::ChangeOnlyOff:
      RelayInputModeNotice(value, code == Notify::ChangeOnlyOn);
      break;
    default:
      break;
  }
}

void Controller::OnTransferStep(const TransferEvent& step) {
  if (step.answered) deviceState_ = DevicePresent;
  if (!step.ended) {
    // The pre-read is over and the merged image is being written.
    if (transfer_.Phase() == TransferPhase::Writing) exchangeState_ = Writing;
    return;
  }
  exchangeState_ = Idle;  // before the pages are loaded: a transfer no longer runs
  int status = IDS_READ_FAILED;
  switch (step.result) {
    case TransferResult::ReadDone:
      if (step.differs) modified_.Mark();
      LoadFromImage(image_);
      status = IDS_READ_DONE;
      break;
    case TransferResult::ReadFailed: status = IDS_READ_FAILED; break;
    case TransferResult::PreReadFailed: status = IDS_PREREAD_FAILED; break;
    case TransferResult::WriteDone: status = IDS_WRITE_DONE; break;
    case TransferResult::WriteFailed: status = IDS_WRITE_FAILED; break;
  }
  EndTransfer(status);
}

void Controller::EndTransfer(int statusId) {
  exchangeState_ = Idle;
  view_.ShowStatus(statusId);
  // The file command asked for during the transfer runs now.
  RunPendingFileCommand();
}

void Controller::RunPendingFileCommand() {
  const int command = pendingFileCommand_;
  pendingFileCommand_ = NoFileCommand;
  switch (command) {
    case OpenCommand:
      OpenFile();
      break;
    case SaveCommand:
      SaveFile();
      break;
    case SaveAsCommand:
      SaveFileAs();
      break;
    default:
      break;
  }
}

void Controller::RelayInputModeNotice(std::intptr_t input, bool changeOnly) {
  OfferInputModeNotice(pages_, input, changeOnly);
}

void Controller::ShowModifiedMark() { view_.ShowModifiedMark(modified_.IsSet()); }

// ---- configuration files ----

void Controller::SetWorkingFolderFromPath(const std::u16string& path, std::size_t nameOffset) {
  std::u16string folder = path.substr(0, nameOffset);
  // Drop the final separator, but keep it after a bare drive ("C:\"):
  // "C:" alone would mean the drive's current folder, not its root.
  if (!folder.empty() && (folder.back() == u'\\' || folder.back() == u'/') &&
      !(folder.size() == 3 && folder[1] == u':'))
    folder.pop_back();
  workingFolder_ = folder;
  view_.SetCurrentFolder(workingFolder_);
}

int Controller::ReadConfigFile(const std::u16string& path) {
  std::uint8_t loaded[kImageSize];
  const ConfigFileResult result = LoadConfigFile(files_, path, loaded);
  if (result != Loaded) return result;
  std::memcpy(image_, loaded, kImageSize);
  LoadFromImage(image_);
  modified_.Clear();
  return result;
}

int Controller::WriteConfigFile(const std::u16string& path, const std::u16string& name) {
  StoreToImage(image_);
  const bool written = SaveConfigFile(files_, path, image_);
  if (written) modified_.Clear();
  view_.SetProgressPos(0);
  view_.ShowFileStatus(written ? IDS_FILE_WRITE_DONE : IDS_FILE_WRITE_FAILED, name);
  return written ? 1 : 0;
}

void Controller::OpenFile() {
  if (TransferRuns()) {
    pendingFileCommand_ = OpenCommand;
    return;
  }
  if (!ConfirmDiscard()) return;
  std::u16string path;
  std::size_t nameOffset = 0;
  if (!view_.AskOpenPath(path, nameOffset)) return;
  SetWorkingFolderFromPath(path, nameOffset);
  const std::u16string name = path.substr(nameOffset);
  int text;
  switch (ReadConfigFile(path)) {
    case Loaded:
      currentPath_ = path;
      currentName_ = name;
      view_.UpdateTitle(currentName_);
      text = IDS_FILE_READ_DONE;
      break;
    case BadFormat:
      text = IDS_FILE_BAD_FORMAT;
      break;
    case Corrupt:
      text = IDS_FILE_CORRUPT;
      break;
    default:
      text = IDS_FILE_READ_FAILED;
      break;
  }
  view_.SetProgressPos(0);
  view_.ShowFileStatus(text, name);
}

int Controller::SaveFile() {
  if (TransferRuns()) {
    pendingFileCommand_ = SaveCommand;
    return 0;
  }
  if (currentPath_.size() < 3) return SaveFileAs();
  return WriteConfigFile(currentPath_, currentName_);
}

int Controller::SaveFileAs() {
  if (TransferRuns()) {
    pendingFileCommand_ = SaveAsCommand;
    return 0;
  }
  std::u16string path;
  std::size_t nameOffset = 0;
  if (!view_.AskSavePath(path, nameOffset)) return -1;
  SetWorkingFolderFromPath(path, nameOffset);
  const std::u16string name = path.substr(nameOffset);
  if (WriteConfigFile(path, name) != 1) return 0;
  currentPath_ = path;
  currentName_ = name;
  view_.UpdateTitle(currentName_);
  return 1;
}

bool Controller::ConfirmDiscard() {
  if (!modified_.IsSet()) return true;
  switch (view_.AskDiscard()) {
    case IDC_DISCARD_SAVE:
      return SaveFile() == 1;
    case IDC_DISCARD_SAVEAS:
      return SaveFileAs() == 1;
    case IDC_DISCARD_DONTSAVE:
      return true;
    default:
      return false;
  }
}

void Controller::Shutdown() {
  view_.UnregisterDeviceNotification();
  if (worker_) worker_->Stop(kStopWaitMs);
  view_.PostQuit(0);
  worker_.reset();
}

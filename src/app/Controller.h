// The main window's controller: holds the ConfigImage, the current file and
// the transfer state, turns commands into file operations and device
// transfers, and reacts to the device worker's notifications.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "app/FileSystem.h"
#include "app/MainView.h"
#include "config/ImageMap.h"
#include "config/ModifiedFlag.h"
#include "config/PageSet.h"
#include "device/DeviceWorker.h"
#include "device/TransferRunner.h"

class Controller : public SimpleCtrlr {
 public:
  enum ExchangeState : int { Idle = 0, Checking = 1, Reading = 2, Writing = 3, PreReading = 6 };
  enum FileCommand : int { NoFileCommand = 0, OpenCommand = 1, SaveCommand = 2, SaveAsCommand = 3 };
  enum DeviceState : int { DeviceUnknown = -1, DeviceAbsent = 0, DevicePresent = 1 };

  // Progress scales of the two transfers.
  static constexpr int kReadScale = TransferScale(TransferKind::Read);
  static constexpr int kWriteScale = TransferScale(TransferKind::Write);
  static constexpr unsigned kStopWaitMs = 2000;

  // `pages`: the 23 pages' values (the configuration model) that files and
  // transfers store and load; `modified`: the modified flag, whose owner is
  // the configuration model.
  Controller(IMainView& view, IPageSet& pages, IModifiedFlag& modified, IFileSystem& files,
             std::unique_ptr<IDeviceWorker> worker, std::u16string workingFolder);
  ~Controller() override;

  // Title, progress bar 0 ... 2300 at position 0. Called once the window's
  // controls exist.
  void ShowInitialState();

  // All 23 pages in page order; pages without values are skipped.
  void StoreToImage(std::uint8_t* image) override;
  void LoadFromImage(const std::uint8_t* image) override;

  void HandleCommand(int id);
  void OnWorkerMessage(unsigned code, std::intptr_t value);
  // WM_DEVICECHANGE: arrival or removal of a device interface starts a check.
  void OnDeviceChange(std::uintptr_t event, std::uint32_t deviceType);

  void StartDeviceCheck();
  void StartDeviceRead();
  void StartDeviceWrite();

  void OpenFile();
  int SaveFile();    // 1 written, 0 not written or deferred
  int SaveFileAs();  // 1 written, 0 not written or deferred, -1 cancelled
  // True when the operation that asks may go on (nothing unsaved, saved,
  // or the user chose to drop the changes).
  bool ConfirmDiscard();

  // Teardown in order: device notifications, worker stop (bounded wait),
  // quit message, worker destruction.
  void Shutdown();

  int exchangeState() const { return exchangeState_; }
  int deviceState() const { return deviceState_; }
  int pendingFileCommand() const { return pendingFileCommand_; }
  const std::uint8_t* image() const { return image_; }
  const std::u16string& currentPath() const { return currentPath_; }
  const std::u16string& currentName() const { return currentName_; }
  const std::u16string& workingFolder() const { return workingFolder_; }

 private:
  bool TransferRuns() const { return exchangeState_ > Checking; }
  // A step of the transfer answered: the device state, and at the end the
  // outcome (a read's image loaded into the pages).
  void OnTransferStep(const TransferEvent& step);
  // Back to Idle after a transfer: the outcome in the status line, then the
  // file command that waited for it.
  void EndTransfer(int statusId);
  void RunPendingFileCommand();
  // An input page switched input `input` (0-2) to change-only monitoring
  // (changeOnly) or back: offered, in page order, to every page that follows
  // an input's mode. Touches neither the image nor the modified flag.
  void RelayInputModeNotice(std::intptr_t input, bool changeOnly);
  int ReadConfigFile(const std::u16string& path);
  int WriteConfigFile(const std::u16string& path, const std::u16string& name);
  void SetWorkingFolderFromPath(const std::u16string& path, std::size_t nameOffset);
  void ShowModifiedMark();

  IMainView& view_;
  IPageSet& pages_;
  IModifiedFlag& modified_;
  IFileSystem& files_;
  std::uint8_t image_[kImageSize];
  std::u16string workingFolder_;
  std::u16string currentPath_;
  std::u16string currentName_;
  int pendingFileCommand_ = NoFileCommand;
  int deviceState_ = DeviceUnknown;
  int exchangeState_ = Idle;
  std::unique_ptr<IDeviceWorker> worker_;
  TransferRunner transfer_;
  int modifiedObserver_ = 0;
};

// The alarm as the command-line program uses it: the window's transfers,
// run one after the other on the calling thread, over whatever HID access
// it is given (USB, or the emulated alarm).
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/ConfigModel.h"
#include "device/HidIo.h"
#include "device/TransferRunner.h"

// The HID access for one command, and everything it lives on.
class DeviceAccess {
 public:
  virtual ~DeviceAccess() = default;
  virtual IHidEnumerator& Hid() = 0;
};

// The emulated alarm holding the demonstration configuration, in virtual
// time (its answers cost no waiting).
std::unique_ptr<DeviceAccess> MakeEmulatedAccess();

enum class DeviceOutcome { Done, NoDevice, Failed, Mismatch };

class DeviceSession {
 public:
  // Called as a transfer moves on: a name for the step, the position and
  // the end of its scale.
  using Progress = std::function<void(const char* step, int position, int end)>;

  DeviceSession(IHidEnumerator& hid, Progress progress);
  ~DeviceSession();

  // Whether an alarm is attached and answers.
  bool Present();
  // Reads the parameter memory and the current record: the whole image.
  DeviceOutcome Read(Image& image);
  // As the window writes: reads the device's parameter memory, puts the
  // pages' values of `file` over it (bytes no page owns stay as the device
  // holds them), writes the parameter memory and the record, then, when
  // `verify` is set, reads everything back and compares. `written` receives
  // the image sent to the device, `mismatched` the offsets that read back
  // differently.
  DeviceOutcome Write(const Image& file, bool verify, Image& written,
                      std::vector<int>& mismatched);
  // The step that failed, for the message.
  const std::string& failedStep() const { return failedStep_; }

 private:
  struct Worker;
  // Runs a whole transfer as the step named `step`; false when it failed.
  bool Run(TransferKind kind, const char* step, std::uint8_t* image,
           const TransferRunner::Store& store);

  std::unique_ptr<Worker> worker_;
  std::string failedStep_;
};

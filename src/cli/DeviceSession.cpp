#include "cli/DeviceSession.h"

#include <atomic>
#include <string_view>

#include "device/DemoConfiguration.h"
#include "device/InlineWorker.h"
#include "device/Sequences.h"
#include "hid/emulated/EmulatedHid.h"
#include "device/Transfers.h"

namespace {

class EmulatedAccess : public DeviceAccess {
 public:
  EmulatedAccess() : hub_(true), abort_(hub_), bus_(hub_, abort_) {
    LoadDemoDevice(device_);
    bus_.Add(device_);
  }
  IHidEnumerator& Hid() override { return bus_; }

 private:
  EmulatedDevice device_;
  SignalHub hub_;
  HubEvent abort_;
  EmulatedHidBus bus_;
};

}  // namespace

std::unique_ptr<DeviceAccess> MakeEmulatedAccess() { return std::make_unique<EmulatedAccess>(); }

struct DeviceSession::Worker : INotifySink {
  Worker(IHidEnumerator& hid, Progress p) : inline_(hid, *this), progress(std::move(p)) {}
  void Post(unsigned code, std::intptr_t value) override {
    if (code == Notify::Progress && progress) progress(step, static_cast<int>(value), end);
  }
  InlineWorker inline_;
  DeviceWorkerCore& core = inline_.core;
  Progress progress;
  const char* step = "";
  int end = 0;
};

DeviceSession::DeviceSession(IHidEnumerator& hid, Progress progress)
    : worker_(std::make_unique<Worker>(hid, std::move(progress))) {}

DeviceSession::~DeviceSession() = default;

bool DeviceSession::Run(int request, const char* step, int end) {
  // A new step starts its bar empty; the requests of one step share its scale.
  if (worker_->progress && std::string_view(step) != worker_->step) worker_->progress(step, 0, end);
  worker_->step = step;
  worker_->end = end;
  if (worker_->core.RunRequest(request)) return true;
  failedStep_ = step;
  return false;
}

bool DeviceSession::Present() { return worker_->core.RunRequest(CheckDevice); }

DeviceOutcome DeviceSession::Read(Image& image) {
  if (!Present()) return DeviceOutcome::NoDevice;
  for (const SequenceStep& step : kReadSequence)
    if (!Run(step.request, "reading", kReadRecordEnd)) return DeviceOutcome::Failed;
  image.assign(kImageSize, 0);
  worker_->core.CopyImage(image.data(), kImageSize);
  return DeviceOutcome::Done;
}

DeviceOutcome DeviceSession::Write(const Image& file, bool verify, Image& written,
                                   std::vector<int>& mismatched) {
  mismatched.clear();
  if (!Present()) return DeviceOutcome::NoDevice;
  // The file's pages over the device's own parameter memory; the record
  // area's bytes that no page owns come from the file, as in the window.
  written = file;
  ConfigModel model;
  model.Load(file);
  for (const SequenceStep& step : kWriteSequence) {
    if (step.mergeFirst) {
      Image device(kImageSize);
      worker_->core.CopyImage(device.data(), kParamAreaSize);
      MergeForWrite(device.data(), written.data(),
                    [&](std::uint8_t* image) { model.StoreOver(image); });
      worker_->core.SetImage(written.data());
    }
    if (!Run(step.request, "writing", kWriteRecordEnd)) return DeviceOutcome::Failed;
  }
  if (!verify) return DeviceOutcome::Done;
  for (const SequenceStep& step : kReadSequence)
    if (!Run(step.request, "verifying", kReadRecordEnd)) return DeviceOutcome::Failed;
  Image back(kImageSize);
  worker_->core.CopyImage(back.data(), kImageSize);
  for (std::size_t i = 0; i < kImageSize; ++i)
    if (back[i] != written[i]) mismatched.push_back(static_cast<int>(i));
  return mismatched.empty() ? DeviceOutcome::Done : DeviceOutcome::Mismatch;
}

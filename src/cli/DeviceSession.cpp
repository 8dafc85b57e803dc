#include "cli/DeviceSession.h"

#include <atomic>
#include <string_view>

#include "device/DemoConfiguration.h"
#include "device/InlineWorker.h"
#include "device/hid/emulated/EmulatedHid.h"
#include "device/TransferRunner.h"

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

bool DeviceSession::Run(TransferKind kind, const char* step, std::uint8_t* image,
                        const TransferRunner::Store& store) {
  // A new step starts its bar empty; the requests of one step share its scale.
  const int end = TransferScale(kind);
  if (worker_->progress && std::string_view(step) != worker_->step) worker_->progress(step, 0, end);
  worker_->step = step;
  worker_->end = end;
  const TransferEvent outcome = worker_->inline_.Run(kind, image, store);
  if (outcome.ended && (outcome.result == TransferResult::ReadDone ||
                        outcome.result == TransferResult::WriteDone))
    return true;
  failedStep_ = step;
  return false;
}

bool DeviceSession::Present() { return worker_->core.RunRequest(CheckDevice); }

DeviceOutcome DeviceSession::Read(Image& image) {
  if (!Present()) return DeviceOutcome::NoDevice;
  image.assign(kImageSize, 0);
  if (!Run(TransferKind::Read, "reading", image.data(), {})) return DeviceOutcome::Failed;
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
  if (!Run(TransferKind::Write, "writing", written.data(),
           [&](std::uint8_t* image) { model.StoreOver(image); }))
    return DeviceOutcome::Failed;
  if (!verify) return DeviceOutcome::Done;
  Image back(kImageSize);
  if (!Run(TransferKind::Read, "verifying", back.data(), {})) return DeviceOutcome::Failed;
  for (std::size_t i = 0; i < kImageSize; ++i)
    if (back[i] != written[i]) mismatched.push_back(static_cast<int>(i));
  return mismatched.empty() ? DeviceOutcome::Done : DeviceOutcome::Mismatch;
}

#include "device/hid/emulated/EmulatedHid.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

namespace {
std::int64_t SteadyUs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}
constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
}  // namespace

SignalHub::SignalHub(bool virtualTime) : virtual_(virtualTime), startUs_(SteadyUs()) {}

std::int64_t SignalHub::NowUs() const { return virtual_ ? virtualNow_ : SteadyUs() - startUs_; }

void SignalHub::WaitUntil(std::unique_lock<std::mutex>& lock, std::int64_t untilUs) {
  if (virtual_) {
    virtualNow_ = std::max(virtualNow_, untilUs);
    return;
  }
  if (untilUs == kNever) {
    cv_.wait(lock);
    return;
  }
  cv_.wait_until(lock, std::chrono::steady_clock::time_point(
                           std::chrono::microseconds(startUs_ + untilUs)));
}

void HubEvent::Set() {
  std::lock_guard<std::mutex> hold(hub_.mutex());
  set_ = true;
  hub_.NotifyAll();
}

void HubEvent::Reset() {
  std::lock_guard<std::mutex> hold(hub_.mutex());
  set_ = false;
}

bool HubEvent::IsSet() {
  std::lock_guard<std::mutex> hold(hub_.mutex());
  return set_;
}

int StdWorkerEvents::WaitAbortOrRequest() {
  std::unique_lock<std::mutex> lock(hub_.mutex());
  while (!abort_.IsSetLocked() && !request_.IsSetLocked()) hub_.WaitForNotification(lock);
  return abort_.IsSetLocked() ? AbortSignalled : RequestSignalled;
}

// One open emulated interface: the driver's input queue for this handle
// and the two operations with their buffers, as an overlapped handle has
// them.
class EmulatedHidHandle : public IHidDevice {
 public:
  EmulatedHidHandle(EmulatedHidBus& bus, EmulatedDevice& device) : bus_(bus), device_(device) {}
  ~EmulatedHidHandle() override {
    std::lock_guard<std::mutex> hold(bus_.hub_.mutex());
    for (Op& op : ops_) End(op);
    --bus_.openHandles;
  }

  bool GetInputBufferCount(std::uint32_t& count) override {
    std::lock_guard<std::mutex> hold(bus_.hub_.mutex());
    count = device_.inputBuffers;
    return true;
  }

  WaitResult Write(const std::uint8_t* report, unsigned ms) override {
    std::unique_lock<std::mutex> lock(bus_.hub_.mutex());
    Op& op = ops_[0];
    if (op.state != Op::Idle) ++bus_.violations;
    std::memcpy(write_.get(), report, kReportSize);
    if (const auto now = StartWrite()) return *now;
    const WaitResult result = Wait(op, ms, lock);
    // A write that did not end is cancelled and waited out: its buffer is
    // free again for the next attempt.
    if (result != WaitDone && result != WaitFailed) End(op);
    return result;
  }

  WaitResult Read(std::uint8_t* report, unsigned ms) override {
    std::unique_lock<std::mutex> lock(bus_.hub_.mutex());
    Op& op = ops_[1];
    if (op.state == Op::Idle) {
      if (device_.removed()) return WaitFailed;
      Update();
      if (!queue_.empty()) {
        TakeReport();
        std::memcpy(report, read_.get(), kReportSize);
        return WaitDone;
      }
      op = {Op::Pending, false, kNever};
    }
    const WaitResult result = Wait(op, ms, lock);
    if (result == WaitDone) std::memcpy(report, read_.get(), kReportSize);
    // A read that timed out stays under way; one that was aborted ends.
    if (result == WaitAborted || result == WaitFailed) End(op);
    return result;
  }

 private:
  struct Op {
    enum State { Idle, Pending, Cancelling, Finished } state = Idle;
    bool ok = false;
    std::int64_t doneAt = kNever;  // writes: when the write finishes
  };
  struct Flight {
    std::int64_t at;
    Report report;
  };

  // Starts the write: its result when it ended at once, nothing while it
  // is under way.
  std::optional<WaitResult> StartWrite() {
    if (device_.removed()) return WaitFailed;
    const std::int64_t now = bus_.hub_.NowUs();
    Op& op = ops_[0];
    if (!device_.TakesOutputReport()) {
      op = {Op::Pending, false, kNever};
      return std::nullopt;
    }
    // The device sends at most one report per millisecond (its polling
    // interval): the replies to one request follow each other.
    std::int64_t spacing = 0;
    for (const EmulatedReply& reply : device_.Handle(write_.get())) {
      inflight_.push_back(
          {now + 1000 * static_cast<std::int64_t>(device_.answerDelayMs + reply.extraDelayMs) +
               spacing,
           reply.report});
      spacing += 1000;
    }
    std::stable_sort(inflight_.begin(), inflight_.end(),
                     [](const Flight& a, const Flight& b) { return a.at < b.at; });
    bus_.hub_.NotifyAll();
    if (!bus_.writesPending) return WaitDone;
    op = {Op::Pending, false, now};
    return std::nullopt;
  }
  // Waits for the abort event (first) and the operation, at most `ms`.
  WaitResult Wait(Op& op, unsigned ms, std::unique_lock<std::mutex>& lock) {
    ++bus_.waits;
    const std::int64_t deadline = bus_.hub_.NowUs() + 1000 * static_cast<std::int64_t>(ms);
    for (;;) {
      if (bus_.abort_.IsSetLocked()) return WaitAborted;
      Update();
      if (op.state == Op::Finished) {
        op.state = Op::Idle;
        return op.ok ? WaitDone : WaitFailed;
      }
      if (op.state != Op::Pending) return WaitFailed;
      if (bus_.hub_.NowUs() >= deadline) return WaitTimedOut;
      bus_.hub_.WaitUntil(lock, std::min(deadline, NextEvent()));
    }
  }
  // Cancels an operation and lets it finish, so that its buffer is free.
  void End(Op& op) {
    if (op.state == Op::Pending) op = {Op::Cancelling, false, kNever};
    Settle(op);
  }
  void Settle(Op& op) {
    // An operation that was never cancelled could take forever.
    if (op.state == Op::Pending) ++bus_.violations;
    op.state = Op::Idle;
  }
  void TakeReport() {
    std::memcpy(read_.get(), queue_.front().data(), kReportSize);
    queue_.pop_front();
  }
  // Brings the link up to the present: answers whose time has come go to
  // an outstanding read, or else into the input queue, which holds as many
  // reports as the driver has buffers (the oldest is dropped when it is
  // full; with no buffers a report that no read waits for is lost), and
  // operations finish.
  void Update() {
    const std::int64_t now = bus_.hub_.NowUs();
    Op& write = ops_[0];
    Op& read = ops_[1];
    if (read.state == Op::Pending && !queue_.empty()) {
      TakeReport();
      read = {Op::Finished, true, kNever};
    }
    while (!inflight_.empty() && inflight_.front().at <= now) {
      const Report& report = inflight_.front().report;
      if (read.state == Op::Pending) {
        std::memcpy(read_.get(), report.data(), kReportSize);
        read = {Op::Finished, true, kNever};
      } else if (device_.inputBuffers > 0) {
        if (queue_.size() >= device_.inputBuffers) queue_.pop_front();
        queue_.push_back(report);
      }
      inflight_.erase(inflight_.begin());
    }
    if (write.state == Op::Pending && write.doneAt <= now) write = {Op::Finished, true, kNever};
    if (device_.removed()) {
      for (Op& op : ops_)
        if (op.state == Op::Pending) op = {Op::Finished, false, kNever};
    }
  }
  std::int64_t NextEvent() const {
    std::int64_t next = kNever;
    if (!inflight_.empty()) next = inflight_.front().at;
    if (ops_[0].state == Op::Pending) next = std::min(next, ops_[0].doneAt);
    return next;
  }

  EmulatedHidBus& bus_;
  EmulatedDevice& device_;
  // Each report buffer a block of its own, exactly one report long, so that
  // the address sanitizer sees any access past a report.
  std::unique_ptr<std::uint8_t[]> write_{new std::uint8_t[kReportSize]()};
  std::unique_ptr<std::uint8_t[]> read_{new std::uint8_t[kReportSize]()};
  Op ops_[2];
  std::vector<Flight> inflight_;
  std::deque<Report> queue_;
};

EmulatedHidBus::EmulatedHidBus(SignalHub& hub, HubEvent& abort) : hub_(hub), abort_(abort) {}

EmulatedHidBus::~EmulatedHidBus() = default;

void EmulatedHidBus::Add(EmulatedDevice& device) { entries_.push_back({Entry::Device, &device}); }
void EmulatedHidBus::AddUnopenable() { entries_.push_back({Entry::Unopenable, nullptr}); }
void EmulatedHidBus::AddBrokenDetail() { entries_.push_back({Entry::BrokenDetail, nullptr}); }

bool EmulatedHidBus::Enumerate(std::uint16_t vendorId, std::uint16_t productId,
                               std::vector<HidDeviceInfo>& list) {
  std::lock_guard<std::mutex> hold(hub_.mutex());
  list.clear();
  if (failList) return false;
  // The list is built and released within this call.
  ++listsBuilt;
  ++listsDestroyed;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const Entry& entry = entries_[i];
    if (entry.kind == Entry::BrokenDetail) break;
    if (entry.kind == Entry::Device && entry.device->removed()) continue;
    const HidAttributes ids = entry.kind == Entry::Device
                                  ? entry.device->attributes
                                  : HidAttributes{kDeviceVendorId, kDeviceProductId, kDeviceVersion};
    if (!HidIdsWanted(vendorId, productId, ids.vendorId, ids.productId)) continue;
    list.push_back({NumberedPath("emu#", i), ids.vendorId, ids.productId, ids.version});
  }
  return true;
}

std::unique_ptr<IHidDevice> EmulatedHidBus::Open(const std::u16string& path) {
  std::lock_guard<std::mutex> hold(hub_.mutex());
  std::size_t index = 0;
  if (!IndexInPath(path, "emu#", index)) return nullptr;
  if (index >= entries_.size()) return nullptr;
  const Entry& entry = entries_[index];
  if (entry.kind != Entry::Device || entry.device->removed()) return nullptr;
  ++opens;
  ++openHandles;
  return std::make_unique<EmulatedHidHandle>(*this, *entry.device);
}

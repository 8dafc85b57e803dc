#include "device/EmulatedHid.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
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
// and the two operations with their buffers.
class EmulatedHidHandle : public IHidDevice {
 public:
  EmulatedHidHandle(EmulatedHidBus& bus, EmulatedDevice& device) : bus_(bus), device_(device) {}
  ~EmulatedHidHandle() override {
    std::lock_guard<std::mutex> hold(bus_.hub_.mutex());
    for (const Op& op : ops_)
      if (op.state == Op::Pending || op.state == Op::Cancelling) ++bus_.violations;
    --bus_.openHandles;
  }

  bool GetAttributes(HidAttributes& attributes) override {
    std::lock_guard<std::mutex> hold(bus_.hub_.mutex());
    attributes = device_.attributes;
    return true;
  }
  bool GetInputBufferCount(std::uint32_t& count) override {
    std::lock_guard<std::mutex> hold(bus_.hub_.mutex());
    count = device_.inputBuffers;
    return true;
  }
  std::uint8_t* WriteBuffer() override { return write_.get(); }
  const std::uint8_t* ReadBuffer() override { return read_.get(); }

  IoStart StartWrite() override {
    std::lock_guard<std::mutex> hold(bus_.hub_.mutex());
    Op& op = ops_[0];
    if (op.state != Op::Idle) ++bus_.violations;
    if (device_.removed()) return IoStart::Failed;
    const std::int64_t now = bus_.hub_.NowUs();
    if (!device_.TakesOutputReport()) {
      op = {Op::Pending, false, kNever};
      return IoStart::Pending;
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
    if (!bus_.writesPending) return IoStart::Completed;
    op = {Op::Pending, false, now};
    return IoStart::Pending;
  }

  IoStart StartRead() override {
    std::lock_guard<std::mutex> hold(bus_.hub_.mutex());
    Op& op = ops_[1];
    if (op.state != Op::Idle) ++bus_.violations;
    if (device_.removed()) return IoStart::Failed;
    Update();
    if (!queue_.empty()) {
      TakeReport();
      return IoStart::Completed;
    }
    op = {Op::Pending, false, kNever};
    return IoStart::Pending;
  }

  WaitResult Wait(HidOp which, unsigned ms) override {
    std::unique_lock<std::mutex> lock(bus_.hub_.mutex());
    ++bus_.waits;
    Op& op = ops_[static_cast<int>(which)];
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

  void Cancel(HidOp which) override {
    std::lock_guard<std::mutex> hold(bus_.hub_.mutex());
    CancelLocked(ops_[static_cast<int>(which)]);
  }
  void CancelAll() override {
    std::lock_guard<std::mutex> hold(bus_.hub_.mutex());
    for (Op& op : ops_) CancelLocked(op);
  }
  void Settle(HidOp which) override {
    std::lock_guard<std::mutex> hold(bus_.hub_.mutex());
    Op& op = ops_[static_cast<int>(which)];
    // An operation that was never cancelled could take forever.
    if (op.state == Op::Pending) ++bus_.violations;
    op.state = Op::Idle;
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

  void CancelLocked(Op& op) {
    if (op.state == Op::Pending) op = {Op::Cancelling, false, kNever};
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

bool EmulatedHidBus::BuildList() {
  std::lock_guard<std::mutex> hold(hub_.mutex());
  if (failList) return false;
  listed_.clear();
  for (std::size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].kind != Entry::Device || !entries_[i].device->removed()) listed_.push_back(i);
  listValid_ = true;
  ++listsBuilt;
  return true;
}

bool EmulatedHidBus::InterfacePath(std::uint32_t index, std::u16string& path) {
  std::lock_guard<std::mutex> hold(hub_.mutex());
  if (!listValid_ || index >= listed_.size()) return false;
  const Entry& entry = entries_[listed_[index]];
  if (entry.kind == Entry::BrokenDetail) return false;
  const std::string name = "emu#" + std::to_string(listed_[index]);
  path.assign(name.begin(), name.end());
  return true;
}

std::unique_ptr<IHidDevice> EmulatedHidBus::Open(const std::u16string& path) {
  std::lock_guard<std::mutex> hold(hub_.mutex());
  const std::size_t index = std::stoul(std::string(path.begin() + 4, path.end()));
  if (index >= entries_.size()) return nullptr;
  const Entry& entry = entries_[index];
  if (entry.kind != Entry::Device || entry.device->removed()) return nullptr;
  ++opens;
  ++openHandles;
  return std::make_unique<EmulatedHidHandle>(*this, *entry.device);
}

void EmulatedHidBus::DestroyList() {
  std::lock_guard<std::mutex> hold(hub_.mutex());
  listValid_ = false;
  ++listsDestroyed;
}

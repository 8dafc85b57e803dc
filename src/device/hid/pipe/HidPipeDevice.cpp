#include "device/hid/pipe/HidPipeDevice.h"

#include <atomic>
#include <cstring>
#include <string>

#include "winbase/WinEvents.h"
#include "winbase/WinException.h"

namespace {
std::atomic<unsigned> pipeCount{0};

// Waits for an overlapped operation on the server end, or for one of the
// two events; false when an event came first (the operation is cancelled
// and waited out) or the operation failed.
bool Finish(HANDLE pipe, OVERLAPPED& block, HANDLE stop, HANDLE unplug, DWORD& count) {
  const HANDLE handles[3] = {stop, unplug, block.hEvent};
  if (WaitForMultipleObjects(3, handles, FALSE, INFINITE) != WAIT_OBJECT_0 + 2) {
    CancelIoEx(pipe, &block);
    GetOverlappedResult(pipe, &block, &count, TRUE);
    return false;
  }
  return GetOverlappedResult(pipe, &block, &count, FALSE) != 0;
}
}  // namespace

EmulatedPipeDevice::EmulatedPipeDevice() {
  name_ = L"\\\\.\\pipe\\ostrel-emulated-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
          std::to_wstring(pipeCount++);
  CreateManualResetEvents({&stop_, &unplug_});
}

EmulatedPipeDevice::~EmulatedPipeDevice() {
  SetEvent(stop_);
  for (std::thread& server : servers_) server.join();
  CloseHandle(unplug_);
  CloseHandle(stop_);
}

bool EmulatedPipeDevice::Present() {
  std::lock_guard<std::mutex> hold(mutex_);
  return !model_.removed();
}

void EmulatedPipeDevice::Unplug() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    model_.Remove();
  }
  SetEvent(unplug_);
}

HANDLE EmulatedPipeDevice::Connect() {
  if (!Present()) return INVALID_HANDLE_VALUE;
  // One connection at a time, as the worker opens the device: the servers
  // of earlier connections, whose clients have hung up, end here.
  for (std::thread& server : servers_) server.join();
  servers_.clear();
  ResetEvent(unplug_);
  const HANDLE server = CreateNamedPipeW(
      name_.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
      PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES,
      64 * kReportSize, kReportSize, 0, nullptr);
  if (server == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
  const HANDLE client = CreateFileW(name_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (client == INVALID_HANDLE_VALUE) {
    CloseHandle(server);
    return INVALID_HANDLE_VALUE;
  }
  DWORD mode = PIPE_READMODE_MESSAGE;
  SetNamedPipeHandleState(client, &mode, nullptr, nullptr);
  ++connections_;
  servers_.emplace_back([this, server] { Serve(server); });
  return client;
}

bool EmulatedPipeDevice::Pause(DWORD ms) {
  if (ms == 0) return WaitForSingleObject(stop_, 0) != WAIT_OBJECT_0;
  const HANDLE handles[2] = {stop_, unplug_};
  return WaitForMultipleObjects(2, handles, FALSE, ms) == WAIT_TIMEOUT;
}

void EmulatedPipeDevice::Serve(HANDLE pipe) {
  const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  for (bool running = event != nullptr; running;) {
    std::uint8_t request[kReportSize];
    OVERLAPPED block = {};
    block.hEvent = event;
    DWORD count = 0;
    if (!ReadFile(pipe, request, kReportSize, nullptr, &block) &&
        GetLastError() != ERROR_IO_PENDING)
      break;
    if (!Finish(pipe, block, stop_, unplug_, count) || count != kReportSize) break;
    std::vector<EmulatedReply> replies;
    unsigned delayMs;
    {
      std::unique_lock<std::mutex> hold(mutex_);
      // A device that does not take the report: nothing more is read from
      // this connection for a while, so the host's writes pile up.
      if (!model_.TakesOutputReport()) {
        const unsigned stallMs = model_.faults.stallMs;
        hold.unlock();
        const bool goOn = Pause(stallMs);
        hold.lock();
        if (!goOn) break;
        continue;
      }
      replies = model_.Handle(request);
      delayMs = model_.answerDelayMs;
    }
    for (const EmulatedReply& reply : replies) {
      if (!Pause(delayMs + reply.extraDelayMs)) {
        running = false;
        break;
      }
      OVERLAPPED out = {};
      out.hEvent = event;
      if (!WriteFile(pipe, reply.report.data(), kReportSize, nullptr, &out) &&
          GetLastError() != ERROR_IO_PENDING) {
        running = false;
        break;
      }
      if (!Finish(pipe, out, stop_, unplug_, count)) {
        running = false;
        break;
      }
    }
    std::lock_guard<std::mutex> hold(mutex_);
    if (model_.removed()) running = false;
  }
  // Closing the server end breaks the connection: the host's outstanding
  // read and every later write fail at once, as on an unplugged device.
  if (event) CloseHandle(event);
  CloseHandle(pipe);
}

bool PipeHidDevice::GetInputBufferCount(std::uint32_t& count) {
  std::lock_guard<std::mutex> hold(device_.mutex());
  count = device_.model().inputBuffers;
  return true;
}

EmulatedPipeDevice& PipeHidEnumerator::Own(std::unique_ptr<EmulatedPipeDevice> device) {
  owned_.push_back(std::move(device));
  Add(*owned_.back());
  return *owned_.back();
}

bool PipeHidEnumerator::Enumerate(std::uint16_t vendorId, std::uint16_t productId,
                                  std::vector<HidDeviceInfo>& list) {
  list.clear();
  for (std::size_t i = 0; i < devices_.size(); ++i) {
    EmulatedPipeDevice& device = *devices_[i];
    HidAttributes ids;
    {
      std::lock_guard<std::mutex> hold(device.mutex());
      if (device.model().removed()) continue;
      ids = device.model().attributes;
    }
    if (!HidIdsWanted(vendorId, productId, ids.vendorId, ids.productId)) continue;
    list.push_back({NumberedPath("pipe#", i), ids.vendorId, ids.productId, ids.version});
  }
  return true;
}

std::unique_ptr<IHidDevice> PipeHidEnumerator::Open(const std::u16string& path) {
  std::size_t index = 0;
  if (!IndexInPath(path, "pipe#", index)) return nullptr;
  if (index >= devices_.size()) return nullptr;
  EmulatedPipeDevice& device = *devices_[index];
  const HANDLE pipe = device.Connect();
  if (pipe == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<PipeHidDevice>(pipe, abortEvent_, watcher_, device);
}

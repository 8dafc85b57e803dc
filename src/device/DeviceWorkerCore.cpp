#include "device/DeviceWorkerCore.h"

#include <cstring>

#include "device/DeviceConnection.h"
#include "device/Transfers.h"
#include "config/ImageMap.h"

void GuardedSink::Post(unsigned code, std::intptr_t value) {
  LockHolder hold(lock_);
  if (target_) target_->Post(code, value);
}

void GuardedSink::Detach() {
  LockHolder hold(lock_);
  target_ = nullptr;
}

DeviceWorkerCore::DeviceWorkerCore(const std::atomic<int>& stopFlag, IWorkerEvents& events,
                                   ILock& requestLock, ILock& imageLock, IHidEnumerator& hid,
                                   INotifySink& sink)
    : stopFlag_(stopFlag),
      events_(events),
      requestLock_(requestLock),
      imageLock_(imageLock),
      hid_(hid),
      sink_(sink) {}

bool DeviceWorkerCore::PostRequest(int code) {
  {
    LockHolder hold(requestLock_);
    if (current_ >= ReadParamMemory && current_ <= WriteFlashRecord) return false;
    // The abort is set under the lock that the worker takes a code under,
    // so it can only meet a running check or the loop, never a request
    // that starts after this call.
    events_.SetAbort();
    pending_ = code;
  }
  events_.SetRequest();
  return true;
}

void DeviceWorkerCore::CopyImage(std::uint8_t* buffer, std::size_t count) {
  if (count > kDeviceImageSize) count = kDeviceImageSize;
  LockHolder hold(imageLock_);
  std::memcpy(buffer, image_, count);
}

bool DeviceWorkerCore::ImageEquals(const std::uint8_t* image) {
  LockHolder hold(imageLock_);
  return std::memcmp(image, image_, kImageSize) == 0;
}

void DeviceWorkerCore::SetImage(const std::uint8_t* image) {
  LockHolder hold(imageLock_);
  std::memcpy(image_, image, kImageSize);
}

int DeviceWorkerCore::currentRequest() {
  LockHolder hold(requestLock_);
  return current_;
}

int DeviceWorkerCore::pendingRequest() {
  LockHolder hold(requestLock_);
  return pending_;
}

void DeviceWorkerCore::ThreadBody() {
  for (;;) {
    {
      LockHolder hold(requestLock_);
      current_ = 0;
    }
    if (Stopping()) return;
    const int woken = events_.WaitAbortOrRequest();
    if (woken == IWorkerEvents::WaitError) return;
    if (woken == IWorkerEvents::AbortSignalled) events_.ResetAbort();
    if (Stopping()) return;
    if (woken != IWorkerEvents::RequestSignalled) continue;
    events_.ResetRequest();
    int code;
    {
      LockHolder hold(requestLock_);
      current_ = pending_;
      pending_ = 0;
      code = current_;
      // Every abort set so far was meant for a request that has ended, or
      // only to wake the loop: it must not fail the request taken now.
      events_.ResetAbort();
    }
    // A stop that came in while the code was taken: its abort may have just
    // been reset, so look at the flag again before any work.
    if (Stopping()) return;
    if (code < CheckDevice || code > WriteFlashRecord) continue;
    RunRequest(code);
  }
}

bool DeviceWorkerCore::RunRequest(int code) {
  static const unsigned kResultCode[] = {0, Notify::CheckDone, Notify::ReadParamDone,
                                         Notify::WriteParamDone, Notify::ReadRecordDone,
                                         Notify::WriteRecordDone};
  if (code < CheckDevice || code > WriteFlashRecord) return false;
  bool ok = false;
  try {
    DeviceConnection link(hid_);
    if (link.FindAndOpen()) {
      if (code == CheckDevice) {
        ok = true;
      } else {
        LockHolder hold(imageLock_);
        switch (code) {
          case ReadParamMemory:
            ok = ReadParamMemoryTransfer(link, image_, sink_);
            break;
          case WriteParamMemory:
            ok = WriteParamMemoryTransfer(link, image_, sink_);
            break;
          case ReadFlashRecord:
            ok = ReadFlashRecordTransfer(link, image_, sink_);
            break;
          case WriteFlashRecord:
            ok = WriteFlashRecordTransfer(link, image_, sink_);
            break;
          default:
            break;
        }
      }
    }
    link.CloseConnection();
  } catch (...) {
    ok = false;  // the connection's destructor has closed everything
  }
  // The request no longer counts as running before its result can be
  // handled, so a request posted in reaction to it is accepted.
  {
    LockHolder hold(requestLock_);
    current_ = 0;
  }
  sink_.Post(kResultCode[code], ok ? 1 : 0);
  return ok;
}

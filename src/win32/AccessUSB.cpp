#include "win32/AccessUSB.h"

#include "win32/DeviceWorkers.h"
#include "device/hid/windows/HidDevice.h"
#include "win32/Win32Util.h"
#include "winbase/WinException.h"

WinWorkerEvents::WinWorkerEvents() {
  CreateManualResetEvents({&abort_, &request_});
}

WinWorkerEvents::~WinWorkerEvents() {
  CloseHandle(request_);
  CloseHandle(abort_);
}

int WinWorkerEvents::WaitAbortOrRequest() {
  const HANDLE handles[2] = {abort_, request_};
  switch (WaitForMultipleObjects(2, handles, FALSE, INFINITE)) {
    case WAIT_OBJECT_0:
      return AbortSignalled;
    case WAIT_OBJECT_0 + 1:
      return RequestSignalled;
    default:
      return WaitError;
  }
}

namespace {
// What the main window holds: the worker itself stays alive until both the
// holder and the thread have let go of it.
class WorkerHandle : public IDeviceWorker {
 public:
  explicit WorkerHandle(AccessUSB* worker) : worker_(worker) {}
  ~WorkerHandle() override { AccessUSB::Dispose(worker_); }
  bool PostRequest(int code) override { return worker_->PostRequest(code); }
  void CopyImage(std::uint8_t* buffer, std::size_t count) override {
    worker_->CopyImage(buffer, count);
  }
  bool ImageEquals(const std::uint8_t* image) override { return worker_->ImageEquals(image); }
  void SetImage(const std::uint8_t* image) override { worker_->SetImage(image); }
  void Stop(unsigned waitMs) override { worker_->Stop(waitMs); }

 private:
  AccessUSB* worker_;
};
}  // namespace

AccessUSB::AccessUSB(INotifySink& sink, const HidFactory& makeHid)
    : sink_(sinkLock_, sink),
      hid_(makeHid(events_.abortEvent())),
      core_(stopFlag_, events_, requestLock_, imageLock_, *hid_, sink_) {}

std::unique_ptr<AccessUSB, void (*)(AccessUSB*)> AccessUSB::Create(INotifySink& sink,
                                                                 const HidFactory& makeHid,
                                                                 bool start) {
  std::unique_ptr<AccessUSB, void (*)(AccessUSB*)> worker(new AccessUSB(sink, makeHid),
                                                          &AccessUSB::Dispose);
  if (start) worker->Resume();
  return worker;
}

std::unique_ptr<IDeviceWorker> AccessUSB::Make(INotifySink& sink, const HidFactory& makeHid) {
  auto worker = Create(sink, makeHid);
  auto handle = std::make_unique<WorkerHandle>(worker.get());
  worker.release();
  return handle;
}

void AccessUSB::Stop(unsigned waitMs) {
  stopFlag_ = 1;
  WakeThread();
  WaitForSingleObject(threadHandle(), waitMs);
}

void AccessUSB::Dispose(AccessUSB* worker) {
  if (!worker) return;
  // From here on nothing reaches the owner's sink, which may go away; so
  // a request that the wake-up below makes fail posts nothing.
  worker->sink_.Detach();
  worker->stopFlag_ = 1;
  worker->WakeThread();
  worker->Release();
}

std::unique_ptr<IDeviceWorker> MakeDeviceWorker(INotifySink& sink) {
  return AccessUSB::Make(sink, [](HANDLE abortEvent) {
    return std::make_unique<HidSetupEnumerator>(abortEvent);
  });
}

// What the main window needs of the device worker, and the codes the two
// exchange. The worker runs device requests on its own thread and reports
// back only by posting notifications.
#pragma once
#include <cstddef>
#include <cstdint>

#include "config/Notifications.h"

// Request codes for IDeviceWorker::PostRequest.
enum RequestCode : int {
  CheckDevice = 1,
  ReadParamMemory = 2,
  WriteParamMemory = 3,
  ReadFlashRecord = 4,
  WriteFlashRecord = 5,
};

constexpr std::size_t kDeviceImageSize = 2304;  // ConfigImage + flash record trailer

// Where notifications go (the main window). Posted, never sent: Post never
// waits for the receiver.
class INotifySink {
 public:
  virtual ~INotifySink() = default;
  virtual void Post(unsigned code, std::intptr_t value) = 0;
};

// What a transfer needs of the worker: its requests and its DeviceImage.
class ITransferWorker {
 public:
  virtual ~ITransferWorker() = default;
  // Hands a request to the worker. Refused (false) while a ConfigImage
  // transfer runs; a running presence check is aborted.
  virtual bool PostRequest(int code) = 0;
  // Copies the first `count` bytes of the DeviceImage, under the image lock.
  virtual void CopyImage(std::uint8_t* buffer, std::size_t count) = 0;
  // Compares 2300 bytes with the DeviceImage, under the image lock.
  virtual bool ImageEquals(const std::uint8_t* image) = 0;
  // Copies 2300 bytes into the DeviceImage, under the image lock.
  virtual void SetImage(const std::uint8_t* image) = 0;
};

class IDeviceWorker : public ITransferWorker {
 public:
  // Sets the stop flag, wakes the thread and waits for it to end, at most
  // `waitMs` milliseconds. After it returns the object may be destroyed
  // even if the thread is still finishing.
  virtual void Stop(unsigned waitMs) = 0;
};

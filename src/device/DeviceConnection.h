// One request's connection to the device: finds and opens it among the
// present HID interfaces, confirms it with Hello, exchanges reports with it
// and closes everything again. Lives on the worker thread for one request.
#pragma once
#include <cstdint>
#include <memory>

#include "device/HidIo.h"

enum ExchangeResult : int { ExchangeAborted = -1, ExchangeFailed = 0, ExchangeDone = 1 };

// What the transfers need of a connection: one request and its answer.
class IExchanger {
 public:
  virtual ~IExchanger() = default;
  // Sends the request and waits for its answer; for read commands the
  // answer's data bytes are copied to `data`. Returns an ExchangeResult.
  virtual int Exchange(std::uint8_t command, std::uint32_t address, std::uint8_t* data,
                       std::uint8_t length) = 0;
};

class DeviceConnection : public IExchanger {
 public:
  explicit DeviceConnection(IHidEnumerator& hid);
  ~DeviceConnection() override;
  DeviceConnection(const DeviceConnection&) = delete;
  DeviceConnection& operator=(const DeviceConnection&) = delete;

  // True when a device with our ids is open and has answered Hello.
  bool FindAndOpen();
  // Fills the output report and writes it: 1 sent, 0 failed, -1 aborted.
  int SendReport(std::uint8_t command, std::uint32_t address, const std::uint8_t* data,
                 std::uint8_t length);
  int Exchange(std::uint8_t command, std::uint32_t address, std::uint8_t* data,
               std::uint8_t length) override;
  // Cancels and settles outstanding I/O, closes the device, releases the list.
  void CloseConnection();

  bool IsOpen() const { return device_ != nullptr; }
  std::uint32_t inputBufferCount() const { return inputBufferCount_; }

 private:
  // Waits for an operation that is under way: -1 aborted, 1 done, 2 time-out, 0 failed.
  int WaitIo(HidOp op);
  // Starts a read and, when it does not finish at once, waits for it.
  int StartRead();
  // Cancels everything outstanding and lets it finish, so that the buffers
  // and control blocks are free again.
  void CancelOutstanding();
  int Finish(int result);
  void CloseDevice();

  IHidEnumerator& hid_;
  bool listBuilt_ = false;
  std::uint32_t index_ = 0;
  std::unique_ptr<IHidDevice> device_;
  std::uint32_t inputBufferCount_ = 0;
  // An operation counts as outstanding from its start until a wait saw it
  // finish successfully, or until it was cancelled and settled.
  bool outstanding_[2] = {false, false};
};

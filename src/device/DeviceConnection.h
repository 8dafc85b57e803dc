// One request's connection to the device: finds and opens it among the
// present HID interfaces, confirms it with Hello, exchanges reports with it
// and closes everything again. Lives on the thread that runs the requests
// (the worker thread of the window), for one request. It keeps the rules of
// the exchange: write attempts, re-sends while a read is under way, reads
// per pass, passes, and which reply is the answer; the HID backend only
// carries reports.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "device/HidIo.h"
#include "device/Protocol.h"

enum ExchangeResult : int { ExchangeAborted = -1, ExchangeFailed = 0, ExchangeDone = 1 };

// What the transfers need of a connection: one request and its answer.
// Called by the transfers of a request, on the thread that runs it.
class IExchanger {
 public:
  virtual ~IExchanger() = default;
  // Sends the request and waits for its answer; for read commands the
  // answer's data bytes are copied to `data`. Returns an ExchangeResult.
  virtual int Exchange(std::uint8_t command, std::uint32_t address, std::uint8_t* data,
                       std::uint8_t length) = 0;
};

// Used by the worker's requests (DeviceWorkerCore), on the thread that runs
// them; created for one request and closed at its end.
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
  // Closes the device (which ends whatever is under way) and drops the list.
  void CloseConnection();

  bool IsOpen() const { return device_ != nullptr; }
  std::uint32_t inputBufferCount() const { return inputBufferCount_; }

 private:
  IHidEnumerator& hid_;
  bool listBuilt_ = false;
  std::vector<HidDeviceInfo> list_;
  std::unique_ptr<IHidDevice> device_;
  std::uint32_t inputBufferCount_ = 0;
  std::uint8_t input_[kReportSize] = {};
};

#include "device/DeviceConnection.h"

#include <algorithm>
#include <cstring>

DeviceConnection::DeviceConnection(IHidEnumerator& hid) : hid_(hid) {}

DeviceConnection::~DeviceConnection() { CloseConnection(); }

bool DeviceConnection::FindAndOpen() {
  if (!listBuilt_) {
    // The list ends at an interface whose details cannot be had: the
    // search ends there too.
    if (!hid_.Enumerate(kDeviceVendorId, kDeviceProductId, list_)) return false;
    listBuilt_ = true;
  }
  for (std::size_t index = 0;; ++index) {
    device_.reset();
    if (index >= list_.size()) return false;
    const HidDeviceInfo& info = list_[index];
    device_ = hid_.Open(info.path);
    if (!device_) continue;  // held by another program, for example
    std::uint32_t count = 0;
    if (info.vendorId == kDeviceVendorId && info.productId == kDeviceProductId &&
        info.releaseNumber == kDeviceVersion && device_->GetInputBufferCount(count)) {
      inputBufferCount_ = count;
      const int result = Exchange(Hello, 0, nullptr, 0);
      if (result == ExchangeDone) return true;
      if (result == ExchangeAborted) {
        device_.reset();
        return false;
      }
    }
  }
}

int DeviceConnection::SendReport(std::uint8_t command, std::uint32_t address,
                                 const std::uint8_t* data, std::uint8_t length) {
  for (int attempt = 1; attempt <= kWriteAttempts; ++attempt) {
    // Filled anew on every attempt. A write that timed out has ended when
    // Write returns, and a read under way is left alone.
    std::uint8_t report[kReportSize];
    BuildOutputReport(report, command, address, data, length);
    const int result = device_->Write(report, kIoTimeoutMs);
    if (result != WaitTimedOut) return result;
  }
  return 0;
}

int DeviceConnection::Exchange(std::uint8_t command, std::uint32_t address, std::uint8_t* data,
                               std::uint8_t length) {
  if (!device_) return ExchangeFailed;
  // The length as the request carries it, after the cut to the command's limit.
  const std::uint8_t sent = std::min(length, MaxLength(command));
  for (int pass = 0; pass < kExchangePasses; ++pass) {
    int result = SendReport(command, address, data, length);
    if (result != 1) return result;
    bool sendAgain = false;
    const std::uint64_t reads = static_cast<std::uint64_t>(inputBufferCount_) + 2;
    for (std::uint64_t read = 0; read < reads && !sendAgain; ++read) {
      result = device_->Read(input_, kIoTimeoutMs);
      for (int resends = 0; result == WaitTimedOut; ++resends) {
        // The read stays under way: the next read waits for it, or the
        // close ends it.
        if (resends == kResendsPerRead) return ExchangeFailed;
        // No answer yet: send the request again and wait once more for the
        // same outstanding read.
        const int sentAgain = SendReport(command, address, data, length);
        if (sentAgain != 1) return sentAgain;
        result = device_->Read(input_, kIoTimeoutMs);
      }
      if (result != WaitDone) return result;
      switch (ClassifyReply(input_, command, address, sent)) {
        case ReplyKind::WrongSignature:
          sendAgain = true;  // abandon this pass: the request is sent again
          break;
        case ReplyKind::OtherCommand:
        case ReplyKind::NotTheAnswer:
          break;  // not ours, for example a stale answer: read on
        case ReplyKind::Done:
          if (IsReadCommand(command) && data)
            std::memcpy(data, input_ + ReplyDataOffset(command), sent);
          return ExchangeDone;
        case ReplyKind::Failed:
          return ExchangeFailed;  // the device said no: no retry
      }
    }
  }
  return ExchangeFailed;
}

void DeviceConnection::CloseConnection() {
  device_.reset();
  list_.clear();
  listBuilt_ = false;
}

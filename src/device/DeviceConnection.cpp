#include "device/DeviceConnection.h"

#include <algorithm>
#include <cstring>

#include "device/Protocol.h"

namespace {
constexpr int Index(HidOp op) { return static_cast<int>(op); }
}  // namespace

DeviceConnection::DeviceConnection(IHidEnumerator& hid) : hid_(hid) {}

DeviceConnection::~DeviceConnection() { CloseConnection(); }

bool DeviceConnection::FindAndOpen() {
  index_ = 0;
  if (!listBuilt_) {
    if (!hid_.BuildList()) return false;
    listBuilt_ = true;
  }
  for (;;) {
    CloseDevice();
    std::u16string path;
    // No more interfaces, or one whose details cannot be had: the search ends.
    if (!hid_.InterfacePath(index_, path)) return false;
    device_ = hid_.Open(path);
    if (device_) {
      HidAttributes attributes;
      std::uint32_t count = 0;
      if (device_->GetAttributes(attributes) && attributes.vendorId == kDeviceVendorId &&
          attributes.productId == kDeviceProductId && attributes.version == kDeviceVersion &&
          device_->GetInputBufferCount(count)) {
        inputBufferCount_ = count;
        const int result = Exchange(Hello, 0, nullptr, 0);
        if (result == ExchangeDone) return true;
        if (result == ExchangeAborted) {
          CloseDevice();
          return false;
        }
      }
    }
    ++index_;
  }
}

int DeviceConnection::WaitIo(HidOp op) {
  const WaitResult result = device_->Wait(op, kIoTimeoutMs);
  if (result == WaitDone) outstanding_[Index(op)] = false;
  return result;
}

int DeviceConnection::SendReport(std::uint8_t command, std::uint32_t address,
                                 const std::uint8_t* data, std::uint8_t length) {
  for (int attempt = 1; attempt <= kWriteAttempts; ++attempt) {
    // The write block is free here: a write is never left outstanding
    // when a send returns 1, and a timed-out one is settled below.
    BuildOutputReport(device_->WriteBuffer(), command, address, data, length);
    switch (device_->StartWrite()) {
      case IoStart::Completed:
        return 1;
      case IoStart::Failed:
        return 0;
      case IoStart::Pending:
        break;
    }
    outstanding_[Index(HidOp::Write)] = true;
    const int result = WaitIo(HidOp::Write);
    if (result != WaitTimedOut) return result;
    if (attempt < kWriteAttempts) {
      // The write is issued again with the same buffer and control block:
      // the timed-out one is cancelled first and allowed to finish. Only
      // this write is cancelled, so a read under way stays outstanding.
      device_->Cancel(HidOp::Write);
      device_->Settle(HidOp::Write);
      outstanding_[Index(HidOp::Write)] = false;
    }
  }
  CancelOutstanding();
  return 0;
}

int DeviceConnection::StartRead() {
  switch (device_->StartRead()) {
    case IoStart::Completed:
      return WaitDone;
    case IoStart::Failed:
      return WaitFailed;
    case IoStart::Pending:
      break;
  }
  outstanding_[Index(HidOp::Read)] = true;
  return WaitIo(HidOp::Read);
}

int DeviceConnection::Exchange(std::uint8_t command, std::uint32_t address, std::uint8_t* data,
                               std::uint8_t length) {
  if (!device_) return ExchangeFailed;
  // The length as the request carries it, after the cut to the command's limit.
  const std::uint8_t sent = std::min(length, MaxLength(command));
  for (int pass = 0; pass < kExchangePasses; ++pass) {
    int result = SendReport(command, address, data, length);
    if (result != 1) return Finish(result);
    bool sendAgain = false;
    const std::uint64_t reads = static_cast<std::uint64_t>(inputBufferCount_) + 2;
    for (std::uint64_t read = 0; read < reads && !sendAgain; ++read) {
      result = StartRead();
      for (int resends = 0; result == WaitTimedOut; ++resends) {
        if (resends == kResendsPerRead) {
          CancelOutstanding();
          return ExchangeFailed;
        }
        // No answer yet: send the request again and wait once more for the
        // same outstanding read.
        const int sentAgain = SendReport(command, address, data, length);
        if (sentAgain != 1) return Finish(sentAgain);
        result = WaitIo(HidOp::Read);
      }
      if (result != WaitDone) return Finish(result);
      const std::uint8_t* reply = device_->ReadBuffer();
      switch (ClassifyReply(reply, command, address, sent)) {
        case ReplyKind::WrongSignature:
          sendAgain = true;  // abandon this pass: the request is sent again
          break;
        case ReplyKind::OtherCommand:
        case ReplyKind::NotTheAnswer:
          break;  // not ours, for example a stale answer: read on
        case ReplyKind::Done:
          if (IsReadCommand(command) && data)
            std::memcpy(data, reply + ReplyDataOffset(command), sent);
          return Finish(ExchangeDone);
        case ReplyKind::Failed:
          return Finish(ExchangeFailed);  // the device said no: no retry
      }
    }
  }
  return ExchangeFailed;
}

void DeviceConnection::CancelOutstanding() {
  if (!device_) return;
  if (!outstanding_[0] && !outstanding_[1]) return;
  device_->CancelAll();
  for (HidOp op : {HidOp::Write, HidOp::Read}) {
    if (!outstanding_[Index(op)]) continue;
    device_->Settle(op);
    outstanding_[Index(op)] = false;
  }
}

int DeviceConnection::Finish(int result) {
  CancelOutstanding();
  return result;
}

void DeviceConnection::CloseDevice() {
  CancelOutstanding();
  device_.reset();
}

void DeviceConnection::CloseConnection() {
  CloseDevice();
  if (listBuilt_) {
    hid_.DestroyList();
    listBuilt_ = false;
  }
}

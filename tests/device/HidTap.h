// A tap between a device link and the HID interfaces it opens: every
// report written passes `onWrite` first, which may change it before it
// goes, and every report read passes `onRead` with how the read ended.
// The listing and the input buffer count pass through untouched. The tests
// and the fuzz target watch or alter the traffic with it.
#pragma once
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "device/HidIo.h"
#include "device/Protocol.h"

class HidTap : public IHidEnumerator {
 public:
  using OnWrite = std::function<void(std::uint8_t* report)>;
  using OnRead = std::function<void(const std::uint8_t* report, WaitResult result)>;

  HidTap(IHidEnumerator& inner, OnWrite onWrite, OnRead onRead = nullptr)
      : inner_(inner), onWrite_(std::move(onWrite)), onRead_(std::move(onRead)) {}

  bool Enumerate(std::uint16_t vendorId, std::uint16_t productId,
                 std::vector<HidDeviceInfo>& list) override {
    return inner_.Enumerate(vendorId, productId, list);
  }
  std::unique_ptr<IHidDevice> Open(const std::u16string& path) override {
    std::unique_ptr<IHidDevice> device = inner_.Open(path);
    if (!device) return nullptr;
    return std::make_unique<Device>(std::move(device), *this);
  }

 private:
  class Device : public IHidDevice {
   public:
    Device(std::unique_ptr<IHidDevice> inner, HidTap& tap) : inner_(std::move(inner)), tap_(tap) {}
    bool GetInputBufferCount(std::uint32_t& c) override { return inner_->GetInputBufferCount(c); }
    WaitResult Write(const std::uint8_t* request, unsigned ms) override {
      std::uint8_t report[kReportSize];
      std::copy(request, request + kReportSize, report);
      if (tap_.onWrite_) tap_.onWrite_(report);
      return inner_->Write(report, ms);
    }
    WaitResult Read(std::uint8_t* report, unsigned ms) override {
      const WaitResult result = inner_->Read(report, ms);
      if (tap_.onRead_) tap_.onRead_(report, result);
      return result;
    }

   private:
    std::unique_ptr<IHidDevice> inner_;
    HidTap& tap_;
  };

  IHidEnumerator& inner_;
  OnWrite onWrite_;
  OnRead onRead_;
};

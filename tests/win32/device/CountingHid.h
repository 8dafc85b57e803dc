// Wraps an IHidEnumerator and records every wait of the devices it opens,
// with its result, so that tests see how an exchange went without timing it.
#pragma once
#include <windows.h>

#include <memory>
#include <mutex>
#include <vector>

#include "device/HidIo.h"

class CountingHid : public IHidEnumerator {
 public:
  explicit CountingHid(IHidEnumerator& inner) : inner_(inner) {}
  bool BuildList() override { return inner_.BuildList(); }
  bool InterfacePath(std::uint32_t index, std::u16string& path) override {
    return inner_.InterfacePath(index, path);
  }
  std::unique_ptr<IHidDevice> Open(const std::u16string& path) override {
    auto device = inner_.Open(path);
    if (!device) return nullptr;
    return std::make_unique<Device>(*this, std::move(device));
  }
  void DestroyList() override { inner_.DestroyList(); }

  std::vector<int> waits() {
    std::lock_guard<std::mutex> hold(mutex_);
    return waits_;
  }
  // Record each wait as 10 x operation + result instead of the result alone.
  bool recordOps = false;
  // Sleeps this long before each wait, so that what the wait is to see
  // has surely happened.
  void DelayWaits(unsigned ms) { delayMs_ = ms; }
  void Clear() {
    std::lock_guard<std::mutex> hold(mutex_);
    waits_.clear();
  }

 private:
  class Device : public IHidDevice {
   public:
    Device(CountingHid& owner, std::unique_ptr<IHidDevice> inner)
        : owner_(owner), inner_(std::move(inner)) {}
    bool GetAttributes(HidAttributes& a) override { return inner_->GetAttributes(a); }
    bool GetInputBufferCount(std::uint32_t& c) override { return inner_->GetInputBufferCount(c); }
    std::uint8_t* WriteBuffer() override { return inner_->WriteBuffer(); }
    const std::uint8_t* ReadBuffer() override { return inner_->ReadBuffer(); }
    IoStart StartWrite() override { return inner_->StartWrite(); }
    IoStart StartRead() override { return inner_->StartRead(); }
    WaitResult Wait(HidOp op, unsigned ms) override {
      if (owner_.delayMs_) Sleep(owner_.delayMs_);
      const WaitResult r = inner_->Wait(op, ms);
      std::lock_guard<std::mutex> hold(owner_.mutex_);
      owner_.waits_.push_back(owner_.recordOps ? static_cast<int>(op) * 10 + r : r);
      return r;
    }
    void Cancel(HidOp op) override { inner_->Cancel(op); }
    void CancelAll() override { inner_->CancelAll(); }
    void Settle(HidOp op) override { inner_->Settle(op); }

   private:
    CountingHid& owner_;
    std::unique_ptr<IHidDevice> inner_;
  };

  IHidEnumerator& inner_;
  std::mutex mutex_;
  std::vector<int> waits_;
  unsigned delayMs_ = 0;
};

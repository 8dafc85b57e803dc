// Stand-in device worker: answers every request as "device not found".
// It stays in place until the real device link is built.
#pragma once
#include <cstring>

#include "app/DeviceWorker.h"
#include "pages/ImageMap.h"

class StandInWorker : public IDeviceWorker {
 public:
  explicit StandInWorker(INotifySink& sink) : sink_(sink) {}

  bool PostRequest(int code) override {
    static const unsigned kResult[] = {0, Notify::CheckDone, Notify::ReadParamDone,
      Notify::WriteParamDone, Notify::ReadRecordDone, Notify::WriteRecordDone};
    if (code >= CheckDevice && code <= WriteFlashRecord) sink_.Post(kResult[code], 0);
    return true;
  }
  void CopyImage(std::uint8_t* buffer, std::size_t count) override {
    std::memcpy(buffer, image_, count);
  }
  bool ImageEquals(const std::uint8_t* image) override {
    return std::memcmp(image, image_, kImageSize) == 0;
  }
  void SetImage(const std::uint8_t* image) override { std::memcpy(image_, image, kImageSize); }
  void Stop(unsigned) override {}

 private:
  INotifySink& sink_;
  std::uint8_t image_[kDeviceImageSize] = {};
};

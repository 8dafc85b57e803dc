// The read and the write of the whole configuration as sequences of worker
// requests, written once: the main window's Controller steps through them
// one notification at a time, the command-line tool and the browser
// configurator run them request after request.
//
//   read:  read the parameter memory, then the newest flash record
//   write: read the parameter memory (the pre-read), put the pages' values
//          over it (the merge), write the parameter memory, write the
//          flash record
#pragma once
#include <cstdint>
#include <functional>
#include <span>

#include "config/ImageMap.h"
#include "device/DeviceWorker.h"

struct SequenceStep {
  RequestCode request;
  // The merge runs between the step before and this one.
  bool mergeFirst = false;
};

inline constexpr SequenceStep kReadSequence[] = {{ReadParamMemory}, {ReadFlashRecord}};
inline constexpr SequenceStep kWriteSequence[] = {
    {ReadParamMemory}, {WriteParamMemory, true}, {WriteFlashRecord}};

// The merge before a write: the device's own parameter memory (the first
// 2048 bytes of `deviceImage`, the image after the pre-read) with the
// pages' values stored over it, and the record area from `image`, so that
// bytes no page owns are written back as the device holds them. `store`
// stores the pages' values over a ConfigImage. `image` receives the result,
// which the caller hands to the worker.
void MergeForWrite(const std::uint8_t* deviceImage, std::uint8_t* image,
                   const std::function<void(std::uint8_t*)>& store);

// The end of a read: the pages' values stored over the device's parameter
// memory and compared with it, then the device's whole image in `image`
// for the pages to load. True when the pages showed other values than the
// device holds (the configuration then counts as modified). `worker` is
// the device worker or its core (CopyImage, ImageEquals).
template <class Worker>
bool TakeReadImage(Worker& worker, std::uint8_t* image,
                   const std::function<void(std::uint8_t*)>& store) {
  worker.CopyImage(image, kParamAreaSize);
  store(image);
  const bool differs = !worker.ImageEquals(image);
  worker.CopyImage(image, kImageSize);
  return differs;
}

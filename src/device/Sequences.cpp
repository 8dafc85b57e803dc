#include "device/Sequences.h"

#include <cstring>

#include "config/ImageMap.h"

void MergeForWrite(const std::uint8_t* deviceImage, std::uint8_t* image,
                   const std::function<void(std::uint8_t*)>& store) {
  std::memcpy(image, deviceImage, kParamAreaSize);
  store(image);
}

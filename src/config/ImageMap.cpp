#include "config/ImageMap.h"

#include <cstring>

void InitImage(std::uint8_t* image) {
  std::memset(image, 0xFF, kParamAreaSize);
  std::memset(image + kParamAreaSize, 0x00, kImageSize - kParamAreaSize);
}

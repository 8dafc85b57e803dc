// The ConfigImage: the device's whole parameter set as one block of bytes.
// Bytes 0-2047 are the parameter area that the pages edit, bytes
// 2048-2299 the record area that no page touches.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr std::size_t kImageSize = 2300;
constexpr std::size_t kParamAreaSize = 2048;

// Fills an image with its initial contents: 0xFF in the parameter area,
// 0x00 in the record area.
void InitImage(std::uint8_t* image);

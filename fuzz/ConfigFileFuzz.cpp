// The configuration-file reader against any bytes. Its verdict is checked
// against the file format written out again here, independently of the
// reader: exact size, magic, length, version, then the CRC-32 computed bit
// by bit. The caller's image changes only when the file is accepted, and an
// accepted file is exactly what the writer makes of its image.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "FuzzSupport.h"
#include "app/ConfigFile.h"
#include "config/ImageMap.h"

namespace {

std::uint32_t LittleEndian(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}

// CRC-32 of IEEE 802.3, one bit at a time.
std::uint32_t BitwiseCrc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

ConfigFileResult Expected(const std::uint8_t* data, std::size_t size) {
  if (size != 2316) return BadFormat;
  if (LittleEndian(data) != 0x2DF1538Cu || LittleEndian(data + 4) != 2308 ||
      LittleEndian(data + 12) != 3)
    return BadFormat;
  if (BitwiseCrc32(data + 12, 2304) != LittleEndian(data + 8)) return Corrupt;
  return Loaded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  OneFileSystem files;
  files.content.assign(data, data + size);
  std::uint8_t image[kImageSize];
  std::memset(image, 0xA5, sizeof image);

  const ConfigFileResult result = LoadConfigFile(files, files.path, image);
  const ConfigFileResult expected = Expected(data, size);
  FUZZ_CHECK(result == expected);
  if (result != Loaded) {
    for (std::uint8_t b : image) FUZZ_CHECK(b == 0xA5);
    return 0;
  }
  FUZZ_CHECK(std::memcmp(image, data + 16, kImageSize) == 0);
  // The writer makes the very same file of the image it was read into.
  OneFileSystem written;
  written.exists = false;
  FUZZ_CHECK(SaveConfigFile(written, written.path, image));
  FUZZ_CHECK(written.content.size() == size && std::memcmp(written.content.data(), data, size) == 0);
  return 0;
}

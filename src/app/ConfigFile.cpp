#include "app/ConfigFile.h"

#include <array>
#include <cstring>

#include "pages/ImageMap.h"

namespace {
constexpr std::uint32_t kMagic = 0x2DF1538C;
constexpr std::uint32_t kLength = kConfigFileSize - 8;  // bytes after the length field
constexpr std::uint32_t kVersion = 3;
constexpr std::size_t kCrcStart = 12;  // the CRC covers version and image
constexpr std::size_t kImageStart = 16;
constexpr int kTemporaryAttempts = 16;

std::uint32_t GetU32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}

void PutU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
constexpr auto kCrcTable = MakeCrcTable();

std::u16string TemporaryName(const std::u16string& target, int attempt) {
  std::u16string name = target + u".~";
  if (attempt >= 10) name += static_cast<char16_t>(u'0' + attempt / 10);
  name += static_cast<char16_t>(u'0' + attempt % 10);
  return name + u".tmp";
}
}  // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) crc = (crc >> 8) ^ kCrcTable[(crc ^ data[i]) & 0xFF];
  return crc ^ 0xFFFFFFFFu;
}

ConfigFileResult LoadConfigFile(IFileSystem& files, const std::u16string& path,
                                std::uint8_t* image) {
  std::uint8_t buffer[kConfigFileSize];
  switch (files.ReadExactly(path, buffer, sizeof buffer)) {
    case IFileSystem::ReadOutcome::Failed:
      return ReadError;
    case IFileSystem::ReadOutcome::WrongSize:
      return BadFormat;
    case IFileSystem::ReadOutcome::Done:
      break;
  }
  if (GetU32(buffer) != kMagic || GetU32(buffer + 4) != kLength ||
      GetU32(buffer + 12) != kVersion)
    return BadFormat;
  if (Crc32(buffer + kCrcStart, kConfigFileSize - kCrcStart) != GetU32(buffer + 8)) return Corrupt;
  std::memcpy(image, buffer + kImageStart, kImageSize);
  return Loaded;
}

bool SaveConfigFile(IFileSystem& files, const std::u16string& path, const std::uint8_t* image) {
  std::uint8_t buffer[kConfigFileSize];
  PutU32(buffer, kMagic);
  PutU32(buffer + 4, kLength);
  PutU32(buffer + 12, kVersion);
  std::memcpy(buffer + kImageStart, image, kImageSize);
  PutU32(buffer + 8, Crc32(buffer + kCrcStart, kConfigFileSize - kCrcStart));

  // The bytes go to a new file beside the target first; only a complete,
  // flushed file takes the target's place, so a failed save never destroys
  // the previous file.
  for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
    const std::u16string temporary = TemporaryName(path, attempt);
    switch (files.WriteNewFile(temporary, buffer, sizeof buffer)) {
      case IFileSystem::CreateOutcome::Exists:
        continue;
      case IFileSystem::CreateOutcome::Failed:
        files.RemoveFile(temporary);
        return false;
      case IFileSystem::CreateOutcome::Written:
        if (files.MoveOver(temporary, path)) return true;
        files.RemoveFile(temporary);
        return false;
    }
  }
  return false;
}

#include "app/ConfigFile.h"

#include <array>
#include <chrono>
#include <cstring>
#include <random>
#include <string_view>

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

// The temporary files of a save are named after their target:
// "<target>.~<hex digits>.tmp". A fresh random name is taken for every
// save, so that files left by an earlier save that never finished do not
// stand in the way.
constexpr std::u16string_view kTemporaryMark = u".~";
constexpr std::u16string_view kTemporaryEnd = u".tmp";

std::u16string TemporaryName(const std::u16string& target) {
  static std::mt19937 random = [] {
    std::random_device device;
    std::seed_seq seed{device(), device(),
                       static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count())};
    return std::mt19937(seed);
  }();
  std::uint32_t n = random();
  std::u16string name = target + std::u16string(kTemporaryMark);
  for (int shift = 28; shift >= 0; shift -= 4)
    name += u"0123456789abcdef"[(n >> shift) & 0xF];
  return name + std::u16string(kTemporaryEnd);
}

// Whether `name` is one of the temporary files of a save to `target`.
bool IsTemporaryOf(const std::u16string& name, const std::u16string& target) {
  const std::size_t start = target.size() + kTemporaryMark.size(), end = kTemporaryEnd.size();
  if (name.size() <= start + end || name.size() > start + 8 + end) return false;
  if (name.compare(0, target.size(), target) != 0 ||
      name.compare(target.size(), kTemporaryMark.size(), kTemporaryMark) != 0 ||
      name.compare(name.size() - end, end, kTemporaryEnd) != 0)
    return false;
  for (std::size_t i = start; i < name.size() - end; ++i) {
    const char16_t c = name[i];
    if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F')))
      return false;
  }
  return true;
}

// Removes what earlier saves to `target` left behind.
void RemoveLeftovers(IFileSystem& files, const std::u16string& target) {
  for (const std::u16string& name : files.FilesStartingWith(target + std::u16string(kTemporaryMark)))
    if (IsTemporaryOf(name, target)) files.RemoveFile(name);
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

  // A link is followed: the file it points to is replaced, the link stays.
  const std::u16string target = files.SaveTarget(path);
  switch (files.Inspect(target)) {
    case IFileSystem::TargetState::ReadOnly:
    case IFileSystem::TargetState::NotAFile:
      return false;
    case IFileSystem::TargetState::InPlace:
      return files.WriteInPlace(target, buffer, sizeof buffer);
    case IFileSystem::TargetState::Writable:
      break;
  }
  // The bytes go to a new file beside the target first; only a complete,
  // flushed file takes the target's place, so a failed save never destroys
  // the previous file. Where no file can be created beside the target (a
  // folder that allows changing files but not making them, a name at the
  // length limit) the target is written in place, as it would be without
  // a temporary file.
  for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
    const std::u16string temporary = TemporaryName(target);
    switch (files.WriteNewFile(temporary, buffer, sizeof buffer)) {
      case IFileSystem::CreateOutcome::Exists:
        continue;
      case IFileSystem::CreateOutcome::NotCreated:
        attempt = kTemporaryAttempts;
        break;
      case IFileSystem::CreateOutcome::Failed:
        files.RemoveFile(temporary);
        return false;
      case IFileSystem::CreateOutcome::Written:
        if (!files.MoveOver(temporary, target)) {
          files.RemoveFile(temporary);
          return false;
        }
        RemoveLeftovers(files, target);
        return true;
    }
  }
  if (!files.WriteInPlace(target, buffer, sizeof buffer)) return false;
  RemoveLeftovers(files, target);
  return true;
}

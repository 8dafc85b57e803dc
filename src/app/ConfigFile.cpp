#include "app/ConfigFile.h"

#include <array>
#include <chrono>
#include <cstring>
#include <random>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include "config/ImageMap.h"

namespace {
constexpr std::uint32_t kMagic = 0x2DF1538C;
constexpr std::uint32_t kLength = kConfigFileSize - 8;  // bytes after the length field
constexpr std::uint32_t kVersion = kConfigFileVersion;
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

// The temporary files of a save are named after their target and the
// process that writes them: "<target>.~<process id>-<8 hex digits>.tmp"
// (earlier versions wrote "<target>.~<1 to 8 hex digits>.tmp"). A fresh
// random name is taken for every save, so that files left by an earlier
// save that never finished do not stand in the way, and two programs
// saving the same target never share one.
constexpr std::u16string_view kTemporaryMark = u".~";
constexpr std::u16string_view kTemporaryEnd = u".tmp";

unsigned long ProcessId() {
#ifdef _WIN32
  return static_cast<unsigned long>(_getpid());
#else
  return static_cast<unsigned long>(::getpid());
#endif
}

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::u16string TemporaryName(const std::u16string& target) {
  static std::mt19937 random = [] {
    std::random_device device;
    std::seed_seq seed{device(), device(),
                       static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count())};
    return std::mt19937(seed);
  }();
  std::uint32_t n = random();
  std::u16string name = target + std::u16string(kTemporaryMark) + Ascii(std::to_string(ProcessId())) + u"-";
  for (int shift = 28; shift >= 0; shift -= 4)
    name += u"0123456789abcdef"[(n >> shift) & 0xF];
  return name + std::u16string(kTemporaryEnd);
}

bool IsHex(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Whether `name` is one of the temporary files of a save to `target`, and
// the process that wrote it (0 for a name of the earlier form).
bool IsTemporaryOf(const std::u16string& name, const std::u16string& target,
                   unsigned long& writer) {
  const std::size_t start = target.size() + kTemporaryMark.size(), end = kTemporaryEnd.size();
  if (name.size() <= start + end) return false;
  if (name.compare(0, target.size(), target) != 0 ||
      name.compare(target.size(), kTemporaryMark.size(), kTemporaryMark) != 0 ||
      name.compare(name.size() - end, end, kTemporaryEnd) != 0)
    return false;
  const std::u16string middle = name.substr(start, name.size() - end - start);
  const std::size_t dash = middle.find(u'-');
  writer = 0;
  if (dash == std::u16string::npos) {
    if (middle.size() > 8) return false;
    for (char16_t c : middle)
      if (!IsHex(c)) return false;
    return true;
  }
  if (dash == 0 || dash > 10 || middle.size() != dash + 9) return false;
  for (std::size_t i = 0; i < dash; ++i) {
    if (middle[i] < u'0' || middle[i] > u'9') return false;
    writer = writer * 10 + (middle[i] - u'0');
  }
  for (std::size_t i = dash + 1; i < middle.size(); ++i)
    if (!IsHex(middle[i])) return false;
  return true;
}

// Removes what earlier saves to `target` left behind and no save is still
// writing.
void RemoveLeftovers(IFileSystem& files, const std::u16string& target) {
  for (const std::u16string& name : files.FilesStartingWith(target + std::u16string(kTemporaryMark))) {
    unsigned long writer = 0;
    if (IsTemporaryOf(name, target, writer)) files.RemoveLeftover(name, writer);
  }
}

// The reason of the last failure of `files`, where it can tell one.
FileError Reason(IFileSystem& files) {
  const FileError e = files.LastError();
  return e == FileError::None ? FileError::Other : e;
}
}  // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) crc = (crc >> 8) ^ kCrcTable[(crc ^ data[i]) & 0xFF];
  return crc ^ 0xFFFFFFFFu;
}

ConfigFileResult ParseConfigFile(const std::uint8_t* buffer, std::size_t size, std::uint8_t* image,
                                 LoadDetail* detail) {
  LoadDetail ignored;
  if (!detail) detail = &ignored;
  *detail = LoadDetail{};
  if (size != kConfigFileSize) return BadFormat;
  if (GetU32(buffer) != kMagic || GetU32(buffer + 4) != kLength) return BadFormat;
  if (GetU32(buffer + 12) != kVersion) {
    detail->version = GetU32(buffer + 12);
    return BadFormat;
  }
  if (Crc32(buffer + kCrcStart, kConfigFileSize - kCrcStart) != GetU32(buffer + 8)) return Corrupt;
  std::memcpy(image, buffer + kImageStart, kImageSize);
  return Loaded;
}

ConfigFileResult LoadConfigFile(IFileSystem& files, const std::u16string& path,
                                std::uint8_t* image, LoadDetail* detail) {
  LoadDetail ignored;
  if (!detail) detail = &ignored;
  *detail = LoadDetail{};
  std::uint8_t buffer[kConfigFileSize];
  switch (files.ReadExactly(path, buffer, sizeof buffer)) {
    case IFileSystem::ReadOutcome::Failed:
      detail->error = Reason(files);
      return ReadError;
    case IFileSystem::ReadOutcome::WrongSize:
      return BadFormat;
    case IFileSystem::ReadOutcome::Done:
      break;
  }
  return ParseConfigFile(buffer, sizeof buffer, image, detail);
}

std::array<std::uint8_t, kConfigFileSize> ConfigFileBytes(const std::uint8_t* image) {
  std::array<std::uint8_t, kConfigFileSize> file;
  std::uint8_t* buffer = file.data();
  PutU32(buffer, kMagic);
  PutU32(buffer + 4, kLength);
  PutU32(buffer + 12, kVersion);
  std::memcpy(buffer + kImageStart, image, kImageSize);
  PutU32(buffer + 8, Crc32(buffer + kCrcStart, kConfigFileSize - kCrcStart));
  return file;
}

std::uint32_t ConfigFileCrc(const std::uint8_t* image) { return GetU32(ConfigFileBytes(image).data() + 8); }

bool SaveConfigFile(IFileSystem& files, const std::u16string& path, const std::uint8_t* image,
                    FileError* why, bool streams) {
  const std::array<std::uint8_t, kConfigFileSize> buffer = ConfigFileBytes(image);
  const FileError error = SaveFileBytes(files, path, buffer.data(), buffer.size(), streams);
  if (why) *why = error;
  return error == FileError::None;
}

FileError SaveFileBytes(IFileSystem& files, const std::u16string& path, const std::uint8_t* data,
                        std::size_t size, bool streams) {
  // A link is followed: the file it points to is replaced, the link stays.
  const std::u16string target = files.SaveTarget(path);
  switch (files.Inspect(target)) {
    case IFileSystem::TargetState::ReadOnly:
      return files.LastError() == FileError::ReadOnlyDisk ? FileError::ReadOnlyDisk
                                                          : FileError::ReadOnly;
    case IFileSystem::TargetState::NotAFile:
      switch (files.LastError()) {
        case FileError::Folder:
        case FileError::LinkLoop:
          return files.LastError();
        default:
          return FileError::NotAFile;
      }
    case IFileSystem::TargetState::Stream:
      if (!streams) return FileError::NotAFile;
      return files.WriteStream(target, data, size) ? FileError::None : Reason(files);
    case IFileSystem::TargetState::InPlace:
      return files.WriteInPlace(target, data, size) ? FileError::None : Reason(files);
    case IFileSystem::TargetState::Writable:
      break;
  }
  // The bytes go to a new file beside the target first; only a complete,
  // flushed file takes the target's place, so a failed save never destroys
  // the previous file. Where no file can be created beside the target (a
  // folder that allows changing files but not making them, a name at the
  // length limit) the target is written in place, as it would be without
  // a temporary file.
  FileError notCreated = FileError::None;
  for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
    const std::u16string temporary = TemporaryName(target);
    switch (files.WriteNewFile(temporary, data, size)) {
      case IFileSystem::CreateOutcome::Exists:
        continue;
      case IFileSystem::CreateOutcome::NotCreated:
        notCreated = Reason(files);
        attempt = kTemporaryAttempts;
        break;
      case IFileSystem::CreateOutcome::Failed: {
        const FileError error = Reason(files);
        files.RemoveFile(temporary);
        return error;
      }
      case IFileSystem::CreateOutcome::Written:
        if (!files.MoveOver(temporary, target)) {
          const FileError error = Reason(files);
          files.RemoveFile(temporary);
          return error;
        }
        RemoveLeftovers(files, target);
        return FileError::None;
    }
  }
  if (!files.WriteInPlace(target, data, size)) {
    // A target that cannot be made either: the folder's reason is the one
    // to give (a missing folder, no permission there).
    const FileError error = Reason(files);
    return error == FileError::Other && notCreated != FileError::None ? notCreated : error;
  }
  RemoveLeftovers(files, target);
  return FileError::None;
}

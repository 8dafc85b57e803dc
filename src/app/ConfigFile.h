// The configuration file (.osr): header, CRC-32, format version, ConfigImage.
// And the one save of every file the programs write.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/FileSystem.h"

constexpr std::size_t kConfigFileSize = 2316;
// The format version this program writes and reads.
constexpr std::uint32_t kConfigFileVersion = 3;

enum ConfigFileResult : int { Loaded = 1, ReadError = 0, BadFormat = -1, Corrupt = -2 };

// What a load that failed found, for the messages.
struct LoadDetail {
  FileError error = FileError::None;  // why a ReadError
  // The format version of a file that is one of this program's files in
  // every other respect (BadFormat); 0 when it is not.
  std::uint32_t version = 0;
};

// The standard IEEE 802.3 CRC-32.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size);

// The CRC-32 that the file for `image` carries.
std::uint32_t ConfigFileCrc(const std::uint8_t* image);

// Reads and checks a configuration file; copies its 2300 image bytes into
// `image` only when the result is Loaded.
ConfigFileResult LoadConfigFile(IFileSystem& files, const std::u16string& path,
                                std::uint8_t* image, LoadDetail* detail = nullptr);
// The bytes of the file for `image`: header, CRC, version, image.
std::array<std::uint8_t, kConfigFileSize> ConfigFileBytes(const std::uint8_t* image);
// The same check of a file's bytes already in memory (one sent to the
// office); `size` other than kConfigFileSize is BadFormat.
ConfigFileResult ParseConfigFile(const std::uint8_t* data, std::size_t size, std::uint8_t* image,
                                 LoadDetail* detail = nullptr);
// Writes the file for `image` so that a failure leaves an existing file as
// it was: through a temporary file beside the target that then takes its
// place, or in place where no file can be made beside it. A link is
// followed; a read-only target and a folder are refused, and so is a
// device unless `streams` (see SaveFileBytes). True when all bytes reached
// the disk; otherwise `why` (when given) says why.
bool SaveConfigFile(IFileSystem& files, const std::u16string& path, const std::uint8_t* image,
                    FileError* why = nullptr, bool streams = false);

// Writes `size` bytes to `path` as SaveConfigFile writes a configuration:
// a new file of a unique name beside the target, made only if no file has
// that name, flushed to the disk and then put in the target's place; a
// link is followed, the permissions and other names of a replaced file
// stay, a read-only file is refused, and where no file can be made beside
// the target it is written in place. With `streams`, a pipe, a terminal or
// a character device (or the process's own standard output) is written to
// as it is; without, such a target is refused. FileError::None when all
// bytes were written, otherwise why not.
FileError SaveFileBytes(IFileSystem& files, const std::u16string& path, const std::uint8_t* data,
                        std::size_t size, bool streams);

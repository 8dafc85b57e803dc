// The configuration file (.osr): header, CRC-32, format version, ConfigImage.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/FileSystem.h"

constexpr std::size_t kConfigFileSize = 2316;

enum ConfigFileResult : int { Loaded = 1, ReadError = 0, BadFormat = -1, Corrupt = -2 };

// The standard IEEE 802.3 CRC-32.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size);

// Reads and checks a configuration file; copies its 2300 image bytes into
// `image` only when the result is Loaded.
ConfigFileResult LoadConfigFile(IFileSystem& files, const std::u16string& path,
                                std::uint8_t* image);
// Writes the file for `image` so that a failure leaves an existing file as
// it was: through a temporary file beside the target that then takes its
// place, or in place where no file can be made beside it. A link is
// followed; a read-only target, a folder or a device is refused. True when
// all bytes reached the disk.
bool SaveConfigFile(IFileSystem& files, const std::u16string& path, const std::uint8_t* image);

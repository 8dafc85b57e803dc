// The configuration files' access to the Windows file system.
#pragma once
#include "app/FileSystem.h"

class Win32FileSystem : public IFileSystem {
 public:
  ReadOutcome ReadExactly(const std::u16string& path, std::uint8_t* buffer,
                          std::size_t size) override;
  CreateOutcome WriteNewFile(const std::u16string& path, const std::uint8_t* data,
                             std::size_t size) override;
  bool MoveOver(const std::u16string& from, const std::u16string& to) override;
  void RemoveFile(const std::u16string& path) override;
  std::u16string SaveTarget(const std::u16string& path) override;
  TargetState Inspect(const std::u16string& path) override;
  bool WriteInPlace(const std::u16string& path, const std::uint8_t* data,
                    std::size_t size) override;
  std::vector<std::u16string> FilesStartingWith(const std::u16string& prefix) override;
};

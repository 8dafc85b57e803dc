#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/FileSystem.h"

// The operating system's own file system: one class, implemented once per
// platform, each in a library of its own (fs/posix outside Windows,
// fs/windows on Windows; the build picks the platform's). Names are UTF-16; outside Windows they reach the platform as
// UTF-8, and a name that has no UTF-8 form is never opened. Used on the
// user-interface thread by the window, and by the tools and the
// command-line programs.
class OsFileSystem : public IFileSystem {
 public:
  OsFileSystem();
  ~OsFileSystem() override;
  OsFileSystem(const OsFileSystem&) = delete;
  OsFileSystem& operator=(const OsFileSystem&) = delete;

  ReadOutcome ReadExactly(const std::u16string& path, std::uint8_t* buffer,
                          std::size_t size) override;
  ReadOutcome ReadUpTo(const std::u16string& path, std::size_t limit,
                       std::vector<std::uint8_t>& out) override;
  CreateOutcome WriteNewFile(const std::u16string& path, const std::uint8_t* data,
                             std::size_t size) override;
  bool MoveOver(const std::u16string& from, const std::u16string& to) override;
  void RemoveFile(const std::u16string& path) override;
  std::u16string SaveTarget(const std::u16string& path) override;
  TargetState Inspect(const std::u16string& path) override;
  bool WriteInPlace(const std::u16string& path, const std::uint8_t* data,
                    std::size_t size) override;
  bool WriteStream(const std::u16string& path, const std::uint8_t* data,
                   std::size_t size) override;
  std::vector<std::u16string> FilesStartingWith(const std::u16string& prefix) override;
#ifndef _WIN32
  void RemoveLeftover(const std::u16string& path, unsigned long writer) override;
  std::unique_ptr<Lock> LockForChange(const std::u16string& path, int waitMs) override;

 private:
  // The new file that WriteNewFile made and still holds locked: its name
  // and descriptor, until MoveOver or RemoveFile of that name.
  std::string heldName_;
  int heldFd_ = -1;
  void LetGo();
#endif
};
#ifdef _WIN32
using Win32FileSystem = OsFileSystem;
#else
using StdFileSystem = OsFileSystem;
// Makes SIGINT, SIGTERM and SIGHUP remove the new file of a save that is
// under way before the program ends as the signal would end it. For the
// command-line programs; the target is always the old or the new file.
void RemoveUnfinishedSaveOnSignal();
#endif

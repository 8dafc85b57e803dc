// File access for the configuration files, so that the file logic runs
// against the real file system on every platform and against injected
// failures in the tests.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class IFileSystem {
 public:
  virtual ~IFileSystem() = default;

  enum class ReadOutcome { Failed, WrongSize, Done };
  // Opens an existing file for reading (others may read it too) and gets
  // its size; when the size is exactly `size`, reads all of it. Failed when
  // the file cannot be opened, sized or read in full, and when the name is
  // not that of a plain file (a folder, a pipe, a device); such a name
  // never blocks the call.
  virtual ReadOutcome ReadExactly(const std::u16string& path, std::uint8_t* buffer,
                                  std::size_t size) = 0;

  enum class CreateOutcome {
    Written,     // the file was created and holds all bytes on the disk
    Exists,      // a file of that name exists already; nothing was done
    Failed,      // created, but not all bytes reached the disk; the caller removes it
    NotCreated,  // the file could not be created at all (no right to create
                 // files in the folder, a name too long); nothing was left
  };
  // Creates `path` only if it does not exist yet, writes all bytes, flushes
  // them to the disk and closes the file.
  virtual CreateOutcome WriteNewFile(const std::u16string& path, const std::uint8_t* data,
                                     std::size_t size) = 0;
  // Puts `from` in the place of `to` in one step, replacing `to` if it
  // exists; a replaced file's attributes and permissions stay with its name.
  virtual bool MoveOver(const std::u16string& from, const std::u16string& to) = 0;
  virtual void RemoveFile(const std::u16string& path) = 0;

  // The file that a save to `path` writes: `path` itself or, when `path` is
  // a symbolic link, the file it points to (the link stays as it is). The
  // default is for a file system without links.
  virtual std::u16string SaveTarget(const std::u16string& path) { return path; }

  enum class TargetState {
    Writable,  // a plain file that may be replaced, or no file yet
    ReadOnly,  // a file that may not be written
    NotAFile,  // a folder, a pipe, a device: nothing to save into
    InPlace,   // a writable file that a replacement would part from its other
               // names or its owner: it is written in place
  };
  // What a save may do with `path`. The default is for a file system
  // without attributes, where every name may be written.
  virtual TargetState Inspect(const std::u16string&) { return TargetState::Writable; }

  // Writes all bytes into `path` itself, creating it if it is missing and
  // cutting it to `size` bytes, then flushes them to the disk. Used only
  // where no temporary file can be made beside the target. The default is
  // for a file system that cannot write in place.
  virtual bool WriteInPlace(const std::u16string&, const std::uint8_t*, std::size_t) {
    return false;
  }

  // The full names of the files in the folder of `prefix` whose full names
  // begin with `prefix`. The default is for a file system that cannot list
  // its folders.
  virtual std::vector<std::u16string> FilesStartingWith(const std::u16string&) { return {}; }
};

// The operating system's own file system: one class, implemented once per
// platform (app/StdFileSystem.cpp outside Windows, win32/Win32FileSystem.cpp
// on Windows). Names are UTF-16; outside Windows they reach the platform as
// UTF-8, and a name that has no UTF-8 form is never opened. Used on the
// user-interface thread by the window, and by the tools and the
// command-line programs.
class OsFileSystem : public IFileSystem {
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
#ifndef _WIN32
using StdFileSystem = OsFileSystem;
#endif

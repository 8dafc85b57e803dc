// File access for the configuration files and the other files the programs
// write, so that the file logic runs against the real file system on every
// platform and against injected failures in the tests.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Why a file could not be read or written, for the messages.
enum class FileError {
  None,
  Missing,       // no such file, or no such folder on the way
  Folder,        // the name is that of a folder
  NotAFile,      // not a regular file (a pipe, a device, a socket)
  NoPermission,  // the user may not open it, or may not make files in its folder
  ReadOnly,      // the file is read-only
  ReadOnlyDisk,  // the file system (the disk, a write-protected medium) is read-only
  LinkLoop,      // the name's links lead round in a loop
  NameTooLong,
  NoSpace,       // the disk or the user's quota is full
  Busy,          // another program holds it
  TooLarge,      // larger than the caller reads
  BadName,       // a name no file of the platform can have (no UTF-8 form, a NUL)
  Io,            // the disk failed
  Other,
};

// "it is a folder": the reason as the messages give it; empty for None and Other.
inline const char* FileErrorText(FileError error) {
  switch (error) {
    case FileError::Missing: return "no such file or folder";
    case FileError::Folder: return "it is a folder";
    case FileError::NotAFile: return "not a regular file";
    case FileError::NoPermission: return "no permission";
    case FileError::ReadOnly: return "the file is read-only";
    case FileError::ReadOnlyDisk: return "the file system is read-only";
    case FileError::LinkLoop: return "its links lead round in a loop";
    case FileError::NameTooLong: return "the name is too long";
    case FileError::NoSpace: return "no space left on the device";
    case FileError::Busy: return "the file is busy (another program holds it)";
    case FileError::TooLarge: return "the file is too large";
    case FileError::BadName: return "no file can have this name";
    case FileError::Io: return "input/output error";
    case FileError::None:
    case FileError::Other: break;
  }
  return "";
}

class IFileSystem {
 public:
  virtual ~IFileSystem() = default;

  // Why the last call that failed did so; Other where the file system
  // cannot tell.
  FileError LastError() const { return lastError_; }

  enum class ReadOutcome { Failed, WrongSize, Done };
  // Opens an existing file for reading (others may read it too) and gets
  // its size; when the size is exactly `size`, reads all of it. Failed when
  // the file cannot be opened, sized or read in full, and when the name is
  // not that of a plain file (a folder, a pipe, a device); such a name
  // never blocks the call.
  virtual ReadOutcome ReadExactly(const std::u16string& path, std::uint8_t* buffer,
                                  std::size_t size) = 0;
  // The same for a file of any size up to `limit` bytes, read whole into
  // `out`; WrongSize when it is larger. The default is for a file system
  // that holds only files of known sizes.
  virtual ReadOutcome ReadUpTo(const std::u16string&, std::size_t, std::vector<std::uint8_t>&) {
    lastError_ = FileError::Other;
    return ReadOutcome::Failed;
  }

  enum class CreateOutcome {
    Written,     // the file was created and holds all bytes on the disk
    Exists,      // a file of that name exists already; nothing was done
    Failed,      // created, but not all bytes reached the disk; the caller removes it
    NotCreated,  // the file could not be created at all (no right to create
                 // files in the folder, a name too long); nothing was left
  };
  // Creates `path` only if it does not exist yet (never through a link at
  // that name), writes all bytes and flushes them to the disk. A file
  // system with locks holds the new file locked until it is moved or
  // removed, so that no other save takes it for a leftover.
  virtual CreateOutcome WriteNewFile(const std::u16string& path, const std::uint8_t* data,
                                     std::size_t size) = 0;
  // Puts `from` in the place of `to` in one step, replacing `to` if it
  // exists; a replaced file's attributes and permissions stay with its name.
  virtual bool MoveOver(const std::u16string& from, const std::u16string& to) = 0;
  virtual void RemoveFile(const std::u16string& path) = 0;
  // Removes a temporary file that a save of process `writer` (0: unknown)
  // left behind, only when it is the user's own and no process holds it.
  // The default is for a file system where a file in use cannot be removed.
  virtual void RemoveLeftover(const std::u16string& path, unsigned long /*writer*/) {
    RemoveFile(path);
  }

  // The file that a save to `path` writes: `path` itself or, when `path` is
  // a symbolic link, the file it points to (the link stays as it is). The
  // default is for a file system without links.
  virtual std::u16string SaveTarget(const std::u16string& path) { return path; }

  enum class TargetState {
    Writable,  // a plain file that may be replaced, or no file yet
    ReadOnly,  // a file that may not be written
    NotAFile,  // a folder, a device: nothing to save into (LastError says which)
    InPlace,   // a writable file that a replacement would part from its other
               // names or its owner: it is written in place
    Stream,    // a pipe, a terminal, a character device or an open file of
               // the process (/dev/stdout): written to as it is, never replaced
  };
  // What a save may do with `path`. The default is for a file system
  // without attributes, where every name may be written.
  virtual TargetState Inspect(const std::u16string&) { return TargetState::Writable; }

  // Writes all bytes into `path` itself, creating it if it is missing and
  // cutting it to `size` bytes, then flushes them to the disk. Used only
  // where no temporary file can be made beside the target. The default is
  // for a file system that cannot write in place.
  virtual bool WriteInPlace(const std::u16string&, const std::uint8_t*, std::size_t) {
    lastError_ = FileError::Other;
    return false;
  }
  // Writes all bytes to a stream target (see Stream) as they come, after
  // whatever it holds. The default is for a file system without streams.
  virtual bool WriteStream(const std::u16string&, const std::uint8_t*, std::size_t) {
    lastError_ = FileError::NotAFile;
    return false;
  }

  // The full names of the files in the folder of `prefix` whose full names
  // begin with `prefix`. The default is for a file system that cannot list
  // its folders.
  virtual std::vector<std::u16string> FilesStartingWith(const std::u16string&) { return {}; }

  // Held while a program reads, changes and saves a file again, so that two
  // such changes of one file never run at the same time. Let go when it goes.
  class Lock {
   public:
    virtual ~Lock() = default;
  };
  // Takes the lock of `path` (the file itself, through links), waiting up
  // to `waitMs` milliseconds while another program holds it. Nothing, with
  // LastError Busy, when it is still held then. A file that cannot be
  // opened gets a lock that holds nothing: reading it fails by itself. The
  // default is for a file system without locks.
  virtual std::unique_ptr<Lock> LockForChange(const std::u16string&, int /*waitMs*/) {
    return std::make_unique<Lock>();
  }

 protected:
  FileError lastError_ = FileError::Other;
};

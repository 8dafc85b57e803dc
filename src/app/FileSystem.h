// File access for the configuration files, so that the file logic runs
// against the real file system on every platform and against injected
// failures in the tests.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

class IFileSystem {
 public:
  virtual ~IFileSystem() = default;

  enum class ReadOutcome { Failed, WrongSize, Done };
  // Opens an existing file for reading (others may read it too) and gets
  // its size; when the size is exactly `size`, reads all of it. Failed when
  // the file cannot be opened, sized or read in full.
  virtual ReadOutcome ReadExactly(const std::u16string& path, std::uint8_t* buffer,
                                  std::size_t size) = 0;

  enum class CreateOutcome { Written, Exists, Failed };
  // Creates `path` only if it does not exist yet, writes all bytes, flushes
  // them to the disk and closes the file. On Failed the file may exist with
  // part of the data; the caller removes it.
  virtual CreateOutcome WriteNewFile(const std::u16string& path, const std::uint8_t* data,
                                     std::size_t size) = 0;
  // Puts `from` in the place of `to` in one step, replacing `to` if it exists.
  virtual bool MoveOver(const std::u16string& from, const std::u16string& to) = 0;
  virtual void RemoveFile(const std::u16string& path) = 0;
};

// The standard library's file system (used natively and by the tools).
class StdFileSystem : public IFileSystem {
 public:
  ReadOutcome ReadExactly(const std::u16string& path, std::uint8_t* buffer,
                          std::size_t size) override;
  CreateOutcome WriteNewFile(const std::u16string& path, const std::uint8_t* data,
                             std::size_t size) override;
  bool MoveOver(const std::u16string& from, const std::u16string& to) override;
  void RemoveFile(const std::u16string& path) override;
};

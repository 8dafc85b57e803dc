#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "app/FileSystem.h"

namespace fs = std::filesystem;

IFileSystem::ReadOutcome StdFileSystem::ReadExactly(const std::u16string& path,
                                                    std::uint8_t* buffer, std::size_t size) {
  std::ifstream in(fs::path(path), std::ios::binary);
  if (!in) return ReadOutcome::Failed;
  in.seekg(0, std::ios::end);
  const std::streamoff length = in.tellg();
  if (length < 0) return ReadOutcome::Failed;
  if (static_cast<std::uintmax_t>(length) != size) return ReadOutcome::WrongSize;
  in.seekg(0, std::ios::beg);
  in.read(reinterpret_cast<char*>(buffer), static_cast<std::streamsize>(size));
  return in.gcount() == static_cast<std::streamsize>(size) ? ReadOutcome::Done
                                                           : ReadOutcome::Failed;
}

IFileSystem::CreateOutcome StdFileSystem::WriteNewFile(const std::u16string& path,
                                                       const std::uint8_t* data,
                                                       std::size_t size) {
  const fs::path p(path);
  // "x" opens only a file that does not exist yet.
  std::FILE* f = std::fopen(p.string().c_str(), "wbx");
  if (!f) {
    std::error_code ec;
    return fs::exists(p, ec) ? CreateOutcome::Exists : CreateOutcome::Failed;
  }
  const bool written = std::fwrite(data, 1, size, f) == size;
  const bool flushed = std::fflush(f) == 0;
  const bool closed = std::fclose(f) == 0;
  return written && flushed && closed ? CreateOutcome::Written : CreateOutcome::Failed;
}

bool StdFileSystem::MoveOver(const std::u16string& from, const std::u16string& to) {
  std::error_code ec;
  fs::rename(fs::path(from), fs::path(to), ec);
  return !ec;
}

void StdFileSystem::RemoveFile(const std::u16string& path) {
  std::error_code ec;
  fs::remove(fs::path(path), ec);
}

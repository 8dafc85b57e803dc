#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <optional>

#include "app/FileSystem.h"
#include "app/Utf8.h"

namespace {

// UTF-8 of a UTF-16 name; nothing for a name with an unpaired surrogate or
// a NUL, which no file of the platform can have.
std::optional<std::string> Narrow(const std::u16string& name) {
  if (name.find(u'\0') != std::u16string::npos || HasLoneSurrogate(name)) return std::nullopt;
  return ToUtf8(name);
}

// UTF-16 of a name the platform gave; nothing when it is not UTF-8.
std::optional<std::u16string> Widen(const std::string& name) { return FromUtf8(name); }

// Closes a descriptor when it goes.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

int Sync(int fd) {
  int r;
  do r = ::fsync(fd);
  while (r != 0 && errno == EINTR);
  return r;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes a rename in `folder` last: flushes the folder's entries.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  Sync(fd);
  ::close(fd);
}

}  // namespace

IFileSystem::ReadOutcome StdFileSystem::ReadExactly(const std::u16string& path,
                                                    std::uint8_t* buffer, std::size_t size) {
  const auto name = Narrow(path);
  if (!name) return ReadOutcome::Failed;
  // Only a plain file is opened: a pipe would wait for a writer, a device
  // could answer without end or change state on being opened. Not blocking
  // on the open, and looking again at what was opened, covers a name that
  // changes in between.
  struct stat st;
  if (::stat(name->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return ReadOutcome::Failed;
  Descriptor fd(::open(name->c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
    return ReadOutcome::Failed;
  if (static_cast<std::uintmax_t>(st.st_size) != size) return ReadOutcome::WrongSize;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd.get(), buffer + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return ReadOutcome::Failed;
    done += static_cast<std::size_t>(n);
  }
  return ReadOutcome::Done;
}

IFileSystem::CreateOutcome StdFileSystem::WriteNewFile(const std::u16string& path,
                                                       const std::uint8_t* data,
                                                       std::size_t size) {
  const auto name = Narrow(path);
  if (!name) return CreateOutcome::NotCreated;
  Descriptor fd(::open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666));
  if (fd.get() < 0) return errno == EEXIST ? CreateOutcome::Exists : CreateOutcome::NotCreated;
  const bool written = WriteAll(fd.get(), data, size) && Sync(fd.get()) == 0;
  const bool closed = fd.Close();
  return written && closed ? CreateOutcome::Written : CreateOutcome::Failed;
}

bool StdFileSystem::MoveOver(const std::u16string& from, const std::u16string& to) {
  const auto source = Narrow(from), target = Narrow(to);
  if (!source || !target) return false;
  // The new file takes over the permissions (and, where allowed, the owner)
  // of the file it replaces.
  struct stat st;
  if (::stat(target->c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    if (::chown(source->c_str(), st.st_uid, st.st_gid) != 0) {
      // Not allowed to give the file away: the permissions still follow.
    }
    if (::chmod(source->c_str(), st.st_mode & 07777) != 0) return false;
  }
  if (::rename(source->c_str(), target->c_str()) != 0) return false;
  SyncFolder(FolderOf(*target));
  return true;
}

void StdFileSystem::RemoveFile(const std::u16string& path) {
  if (const auto name = Narrow(path)) ::unlink(name->c_str());
}

std::u16string StdFileSystem::SaveTarget(const std::u16string& path) {
  auto name = Narrow(path);
  if (!name) return path;
  // Follows a chain of links to the file at its end, which need not exist
  // yet; a loop of links is left to the save to fail on.
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st;
    if (::lstat(name->c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
    char link[PATH_MAX];
    const ssize_t n = ::readlink(name->c_str(), link, sizeof link - 1);
    if (n <= 0) break;
    std::string next(link, static_cast<std::size_t>(n));
    if (next[0] != '/') next = FolderOf(*name) + "/" + next;
    *name = next;
  }
  const auto wide = Widen(*name);
  return wide ? *wide : path;
}

IFileSystem::TargetState StdFileSystem::Inspect(const std::u16string& path) {
  const auto name = Narrow(path);
  if (!name) return TargetState::NotAFile;
  struct stat st;
  if (::stat(name->c_str(), &st) != 0) return TargetState::Writable;  // no file yet
  if (!S_ISREG(st.st_mode)) return TargetState::NotAFile;
  // A file without any write permission is read-only even for the
  // administrator, who would otherwise be allowed to write it.
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(name->c_str(), W_OK) != 0)
    return TargetState::ReadOnly;
  if (st.st_nlink > 1 || st.st_uid != ::geteuid()) return TargetState::InPlace;
  return TargetState::Writable;
}

bool StdFileSystem::WriteInPlace(const std::u16string& path, const std::uint8_t* data,
                                 std::size_t size) {
  const auto name = Narrow(path);
  if (!name) return false;
  // Not cut first: the old bytes are overwritten, so a full disk fails
  // before anything of the old file is lost when the file is not shorter.
  Descriptor fd(::open(name->c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));
  struct stat st;
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const bool written = WriteAll(fd.get(), data, size) &&
                       ::ftruncate(fd.get(), static_cast<off_t>(size)) == 0 &&
                       Sync(fd.get()) == 0;
  const bool closed = fd.Close();
  return written && closed;
}

std::vector<std::u16string> StdFileSystem::FilesStartingWith(const std::u16string& prefix) {
  std::vector<std::u16string> found;
  const auto name = Narrow(prefix);
  if (!name) return found;
  const std::size_t slash = name->find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : name->substr(0, slash);
  const std::string start = slash == std::string::npos ? *name : name->substr(slash + 1);
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return found;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string file = entry->d_name;
    if (file.compare(0, start.size(), start) != 0) continue;
    const std::string full = slash == std::string::npos ? file : name->substr(0, slash + 1) + file;
    if (const auto wide = Widen(full)) found.push_back(*wide);
  }
  ::closedir(dir);
  return found;
}
#endif

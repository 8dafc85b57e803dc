#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#include <optional>
#include <thread>

#include "app/fs/OsFileSystem.h"
#include "config/Utf8.h"

namespace {

// UTF-8 of a UTF-16 name; nothing for a name with an unpaired surrogate or
// a NUL, which no file of the platform can have.
std::optional<std::string> Narrow(const std::u16string& name) {
  if (name.find(u'\0') != std::u16string::npos || HasLoneSurrogate(name)) return std::nullopt;
  return ToUtf8(name);
}

// UTF-16 of a name the platform gave; nothing when it is not UTF-8.
std::optional<std::u16string> Widen(const std::string& name) { return FromUtf8(name); }

FileError ErrorOf(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return FileError::Missing;
    case EISDIR:
      return FileError::Folder;
    case EACCES:
    case EPERM:
      return FileError::NoPermission;
    case EROFS:
      return FileError::ReadOnlyDisk;
    case ELOOP:
      return FileError::LinkLoop;
    case ENAMETOOLONG:
      return FileError::NameTooLong;
    case ENOSPC:
    case EDQUOT:
      return FileError::NoSpace;
    case EBUSY:
    case ETXTBSY:
    case EWOULDBLOCK:
      return FileError::Busy;
    case EFBIG:
      return FileError::TooLarge;
    case EIO:
      return FileError::Io;
    case ENXIO:
    case ENODEV:
      return FileError::NotAFile;
    default:
      return FileError::Other;
  }
}

// What a name that is no regular file is, for the messages.
FileError KindOf(const struct stat& st) {
  return S_ISDIR(st.st_mode) ? FileError::Folder : FileError::NotAFile;
}

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
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  bool Close() { return ::close(release()) == 0; }

 private:
  int fd_;
};

// Writes all bytes from the start of a file; errno tells why when false.
bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = ENOSPC;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Writes all bytes where the descriptor stands (a pipe, a terminal).
bool WriteOn(int fd, const std::uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = ENOSPC;
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

// A name of one of the process's open files (/dev/fd/1, /proc/self/fd/1,
// /proc/123/fd/1), which the standard streams' names lead to.
bool IsDescriptorName(const std::string& name) {
  if (name.rfind("/dev/fd/", 0) == 0 || name.rfind("/proc/self/fd/", 0) == 0) return true;
  if (name.rfind("/proc/", 0) != 0) return false;
  const std::size_t digits = name.find_first_not_of("0123456789", 6);
  return digits > 6 && digits != std::string::npos && name.compare(digits, 4, "/fd/") == 0;
}

// Follows a chain of links to the name at its end, which need not exist
// yet; a loop of links is left to the caller to fail on. `descriptor`
// tells whether the chain passes through a name of an open file, where it
// stops.
std::string FollowLinks(std::string name, bool* descriptor) {
  *descriptor = false;
  for (int hop = 0; hop < 40; ++hop) {
    if (IsDescriptorName(name)) {
      *descriptor = true;
      break;
    }
    struct stat st;
    if (::lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
    char link[PATH_MAX];
    const ssize_t n = ::readlink(name.c_str(), link, sizeof link - 1);
    if (n <= 0) break;
    std::string next(link, static_cast<std::size_t>(n));
    if (next[0] != '/') next = FolderOf(name) + "/" + next;
    name = next;
  }
  return name;
}

// The new file of the save under way, for the signal handler: its name,
// and whether there is one.
char gUnfinished[PATH_MAX + 1];
volatile std::sig_atomic_t gUnfinishedSet = 0;

void MarkUnfinished(const std::string& name) {
  gUnfinishedSet = 0;
  if (name.size() >= sizeof gUnfinished) return;
  std::memcpy(gUnfinished, name.c_str(), name.size() + 1);
  gUnfinishedSet = 1;
}

void UnmarkUnfinished(const std::string& name) {
  if (gUnfinishedSet && name == gUnfinished) gUnfinishedSet = 0;
}

extern "C" void RemoveUnfinishedAndEnd(int signal) {
  if (gUnfinishedSet) ::unlink(gUnfinished);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// A lock of a file for a read-modify-write: its descriptor, locked.
class FlockLock : public IFileSystem::Lock {
 public:
  explicit FlockLock(int fd) : fd_(fd) {}
  ~FlockLock() override { ::close(fd_); }  // lets the lock go

 private:
  int fd_;
};

}  // namespace

void RemoveUnfinishedSaveOnSignal() {
  struct sigaction action {};
  action.sa_handler = RemoveUnfinishedAndEnd;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old {};
    // A signal the caller's caller ignores stays ignored.
    if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &action, nullptr);
  }
}

OsFileSystem::OsFileSystem() = default;
OsFileSystem::~OsFileSystem() { LetGo(); }

void OsFileSystem::LetGo() {
  if (heldFd_ < 0) return;
  UnmarkUnfinished(heldName_);
  ::close(heldFd_);
  heldFd_ = -1;
  heldName_.clear();
}

IFileSystem::ReadOutcome StdFileSystem::ReadExactly(const std::u16string& path,
                                                    std::uint8_t* buffer, std::size_t size) {
  std::vector<std::uint8_t> content;
  const ReadOutcome outcome = ReadUpTo(path, size, content);
  if (outcome != ReadOutcome::Done) return outcome;
  if (content.size() != size) return ReadOutcome::WrongSize;
  if (size) std::memcpy(buffer, content.data(), size);
  return ReadOutcome::Done;
}

IFileSystem::ReadOutcome StdFileSystem::ReadUpTo(const std::u16string& path, std::size_t limit,
                                                 std::vector<std::uint8_t>& out) {
  out.clear();
  const auto name = Narrow(path);
  if (!name) {
    lastError_ = FileError::BadName;
    return ReadOutcome::Failed;
  }
  // Only a plain file is opened: a pipe would wait for a writer, a device
  // could answer without end or change state on being opened. Not blocking
  // on the open, and looking again at what was opened, covers a name that
  // changes in between.
  struct stat st;
  if (::stat(name->c_str(), &st) != 0) {
    lastError_ = ErrorOf(errno);
    return ReadOutcome::Failed;
  }
  if (!S_ISREG(st.st_mode)) {
    lastError_ = KindOf(st);
    return ReadOutcome::Failed;
  }
  Descriptor fd(::open(name->c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
    lastError_ = ErrorOf(errno);
    return ReadOutcome::Failed;
  }
  if (!S_ISREG(st.st_mode)) {
    lastError_ = KindOf(st);
    return ReadOutcome::Failed;
  }
  if (static_cast<std::uintmax_t>(st.st_size) > limit) {
    lastError_ = FileError::TooLarge;
    return ReadOutcome::WrongSize;
  }
  // Read to the end, one byte past the limit at most: the file may have
  // grown since it was sized.
  out.resize(static_cast<std::size_t>(st.st_size) + 1);
  std::size_t done = 0;
  for (;;) {
    if (done == out.size()) {
      if (out.size() > limit) break;
      out.resize(std::min(limit + 1, out.size() * 2));
    }
    const ssize_t n = ::read(fd.get(), out.data() + done, out.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      lastError_ = ErrorOf(errno);
      out.clear();
      return ReadOutcome::Failed;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  out.resize(done);
  if (done > limit) {
    lastError_ = FileError::TooLarge;
    out.clear();
    return ReadOutcome::WrongSize;
  }
  return ReadOutcome::Done;
}

IFileSystem::CreateOutcome StdFileSystem::WriteNewFile(const std::u16string& path,
                                                       const std::uint8_t* data,
                                                       std::size_t size) {
  const auto name = Narrow(path);
  if (!name) {
    lastError_ = FileError::BadName;
    return CreateOutcome::NotCreated;
  }
  // O_EXCL makes a new file or nothing: a link planted at the name is not
  // followed.
  Descriptor fd(::open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666));
  if (fd.get() < 0) {
    lastError_ = ErrorOf(errno);
    return errno == EEXIST ? CreateOutcome::Exists : CreateOutcome::NotCreated;
  }
  // Held locked from here until it takes the target's place or goes, so
  // that another save does not remove it as a leftover.
  ::flock(fd.get(), LOCK_EX | LOCK_NB);
  LetGo();
  MarkUnfinished(*name);
  heldName_ = *name;
  heldFd_ = fd.release();
  if (!WriteAll(heldFd_, data, size) || Sync(heldFd_) != 0) {
    lastError_ = ErrorOf(errno);
    return CreateOutcome::Failed;
  }
  return CreateOutcome::Written;
}

bool StdFileSystem::MoveOver(const std::u16string& from, const std::u16string& to) {
  const auto source = Narrow(from), target = Narrow(to);
  if (!source || !target) {
    lastError_ = FileError::BadName;
    return false;
  }
  // The new file takes over the permissions (and, where allowed, the owner)
  // of the file it replaces.
  const bool held = heldFd_ >= 0 && heldName_ == *source;
  struct stat st;
  if (::stat(target->c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    const int chowned = held ? ::fchown(heldFd_, st.st_uid, st.st_gid)
                             : ::chown(source->c_str(), st.st_uid, st.st_gid);
    if (chowned != 0) {
      // Not allowed to give the file away: the permissions still follow.
    }
    const int chmodded = held ? ::fchmod(heldFd_, st.st_mode & 07777)
                              : ::chmod(source->c_str(), st.st_mode & 07777);
    if (chmodded != 0) {
      lastError_ = ErrorOf(errno);
      return false;
    }
  }
  if (::rename(source->c_str(), target->c_str()) != 0) {
    lastError_ = ErrorOf(errno);
    return false;
  }
  if (held) LetGo();
  SyncFolder(FolderOf(*target));
  return true;
}

void StdFileSystem::RemoveFile(const std::u16string& path) {
  const auto name = Narrow(path);
  if (!name) return;
  ::unlink(name->c_str());
  if (heldFd_ >= 0 && heldName_ == *name) LetGo();
}

void StdFileSystem::RemoveLeftover(const std::u16string& path, unsigned long writer) {
  const auto name = Narrow(path);
  if (!name) return;
  // The file of a save whose program still runs stays; so does one that
  // a process holds locked (a save under way), and one of another user.
  if (writer != 0 && writer != static_cast<unsigned long>(::getpid()) &&
      writer <= static_cast<unsigned long>(INT_MAX) &&
      (::kill(static_cast<pid_t>(writer), 0) == 0 || errno == EPERM))
    return;
  struct stat named;
  if (::lstat(name->c_str(), &named) != 0 || !S_ISREG(named.st_mode) ||
      named.st_uid != ::geteuid())
    return;
  Descriptor fd(::open(name->c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat opened;
  if (fd.get() < 0 || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 ||
      ::fstat(fd.get(), &opened) != 0 || opened.st_dev != named.st_dev ||
      opened.st_ino != named.st_ino)
    return;
  ::unlink(name->c_str());
}

std::u16string StdFileSystem::SaveTarget(const std::u16string& path) {
  const auto name = Narrow(path);
  if (!name) return path;
  bool descriptor = false;
  const std::string end = FollowLinks(*name, &descriptor);
  // An open file of the process is written where it is (see Inspect).
  if (descriptor) return path;
  const auto wide = Widen(end);
  return wide ? *wide : path;
}

IFileSystem::TargetState StdFileSystem::Inspect(const std::u16string& path) {
  const auto name = Narrow(path);
  if (!name) {
    lastError_ = FileError::BadName;
    return TargetState::NotAFile;
  }
  struct stat st;
  if (::stat(name->c_str(), &st) != 0) {
    // No file yet (a link to none is followed); links that lead round in a
    // loop name no file that could be made.
    if (errno != ELOOP) return TargetState::Writable;
    lastError_ = FileError::LinkLoop;
    return TargetState::NotAFile;
  }
  bool descriptor = false;
  FollowLinks(*name, &descriptor);
  if (S_ISDIR(st.st_mode)) {
    lastError_ = FileError::Folder;
    return TargetState::NotAFile;
  }
  // A pipe, a terminal or a device is written as it is; so is a file that
  // the process has open (its standard output sent to a file), which is
  // added to where it ends.
  if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode) || (descriptor && S_ISREG(st.st_mode)))
    return TargetState::Stream;
  if (!S_ISREG(st.st_mode)) {
    lastError_ = FileError::NotAFile;
    return TargetState::NotAFile;
  }
  // A file without any write permission is read-only even for the
  // administrator, who would otherwise be allowed to write it.
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    lastError_ = FileError::ReadOnly;
    return TargetState::ReadOnly;
  }
  if (::access(name->c_str(), W_OK) != 0) {
    lastError_ = errno == EROFS ? FileError::ReadOnlyDisk : FileError::ReadOnly;
    return TargetState::ReadOnly;
  }
  if (st.st_nlink > 1 || st.st_uid != ::geteuid()) return TargetState::InPlace;
  return TargetState::Writable;
}

bool StdFileSystem::WriteInPlace(const std::u16string& path, const std::uint8_t* data,
                                 std::size_t size) {
  const auto name = Narrow(path);
  if (!name) {
    lastError_ = FileError::BadName;
    return false;
  }
  // Not cut first: the old bytes are overwritten, so a full disk fails
  // before anything of the old file is lost when the file is not shorter.
  // What a longer old file held after the new bytes is cut off.
  Descriptor fd(::open(name->c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));
  struct stat st;
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
    lastError_ = ErrorOf(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    lastError_ = KindOf(st);
    return false;
  }
  const bool written = WriteAll(fd.get(), data, size) &&
                       ::ftruncate(fd.get(), static_cast<off_t>(size)) == 0 &&
                       Sync(fd.get()) == 0;
  if (!written) lastError_ = ErrorOf(errno);
  const bool closed = fd.Close();
  if (written && !closed) lastError_ = ErrorOf(errno);
  return written && closed;
}

bool StdFileSystem::WriteStream(const std::u16string& path, const std::uint8_t* data,
                                std::size_t size) {
  const auto name = Narrow(path);
  if (!name) {
    lastError_ = FileError::BadName;
    return false;
  }
  // Never made and never cut: a pipe waits here for its reader as a
  // redirection would.
  Descriptor fd(::open(name->c_str(), O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC));
  struct stat st;
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
    lastError_ = ErrorOf(errno);
    return false;
  }
  if (S_ISDIR(st.st_mode) || S_ISBLK(st.st_mode) || S_ISSOCK(st.st_mode)) {
    lastError_ = KindOf(st);
    return false;
  }
  const bool written = WriteOn(fd.get(), data, size);
  if (!written) lastError_ = ErrorOf(errno);
  const bool closed = fd.Close();
  if (written && !closed) lastError_ = ErrorOf(errno);
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

std::unique_ptr<IFileSystem::Lock> StdFileSystem::LockForChange(const std::u16string& path,
                                                                int waitMs) {
  const auto name = Narrow(path);
  if (!name) return std::make_unique<Lock>();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    Descriptor fd(::open(name->c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat opened;
    if (fd.get() < 0 || ::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode))
      return std::make_unique<Lock>();
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
      // The holder before may have saved a new file in this one's place:
      // the lock holds only while the name still leads to the locked file.
      struct stat named;
      if (::stat(name->c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
          named.st_ino == opened.st_ino)
        return std::make_unique<FlockLock>(fd.release());
      continue;
    }
    if (errno != EWOULDBLOCK) return std::make_unique<Lock>();
    if (std::chrono::steady_clock::now() >= deadline) {
      lastError_ = FileError::Busy;
      return nullptr;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}
#endif

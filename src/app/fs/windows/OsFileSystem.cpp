#include "app/fs/OsFileSystem.h"

#include <windows.h>

#include "winbase/WinText.h"

namespace {

// Closes a file handle when it goes.
class FileHandle {
 public:
  explicit FileHandle(HANDLE h) : h_(h) {}
  ~FileHandle() {
    if (valid()) CloseHandle(h_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }
  bool Close() {
    HANDLE h = h_;
    h_ = INVALID_HANDLE_VALUE;
    return CloseHandle(h) != 0;
  }

 private:
  HANDLE h_;
};

// Writes all bytes at the file's current position and flushes them to the disk.
bool WriteAndFlush(HANDLE file, const std::uint8_t* data, std::size_t size) {
  DWORD written = 0;
  return WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size &&
         FlushFileBuffers(file);
}

FileError ErrorOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
      return FileError::Missing;
    case ERROR_ACCESS_DENIED:
      return FileError::NoPermission;
    case ERROR_WRITE_PROTECT:
      return FileError::ReadOnlyDisk;
    case ERROR_CANT_RESOLVE_FILENAME:
      return FileError::LinkLoop;
    case ERROR_FILENAME_EXCED_RANGE:
      return FileError::NameTooLong;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return FileError::NoSpace;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return FileError::Busy;
    case ERROR_INVALID_NAME:
      return FileError::BadName;
    default:
      return FileError::Other;
  }
}

// Opens a file on a disk for reading; a pipe or a device is not a
// configuration file. INVALID_HANDLE_VALUE, with the reason in `error`,
// when it cannot be opened or is no such file.
HANDLE OpenDiskFile(const std::u16string& path, FileError& error) {
  HANDLE file = CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = ErrorOf(GetLastError());
    return file;
  }
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    error = FileError::NotAFile;
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

}  // namespace

OsFileSystem::OsFileSystem() = default;
OsFileSystem::~OsFileSystem() = default;

IFileSystem::ReadOutcome Win32FileSystem::ReadExactly(const std::u16string& path,
                                                      std::uint8_t* buffer, std::size_t size) {
  FileHandle file(OpenDiskFile(path, lastError_));
  if (!file.valid()) return ReadOutcome::Failed;
  LARGE_INTEGER length;
  if (!GetFileSizeEx(file.get(), &length)) return ReadOutcome::Failed;
  if (static_cast<ULONGLONG>(length.QuadPart) != size) return ReadOutcome::WrongSize;
  DWORD read = 0;
  if (ReadFile(file.get(), buffer, static_cast<DWORD>(size), &read, nullptr) && read == size)
    return ReadOutcome::Done;
  return ReadOutcome::Failed;
}

IFileSystem::CreateOutcome Win32FileSystem::WriteNewFile(const std::u16string& path,
                                                         const std::uint8_t* data,
                                                         std::size_t size) {
  FileHandle file(CreateFileW(Wide(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    const DWORD error = GetLastError();
    lastError_ = ErrorOf(error);
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateOutcome::Exists
                                                                       : CreateOutcome::NotCreated;
  }
  const bool ok = WriteAndFlush(file.get(), data, size);
  if (!ok) lastError_ = ErrorOf(GetLastError());
  const bool closed = file.Close();
  return ok && closed ? CreateOutcome::Written : CreateOutcome::Failed;
}

bool Win32FileSystem::MoveOver(const std::u16string& from, const std::u16string& to) {
  // An existing file is replaced so that its attributes, permissions and
  // other properties stay; a new one simply takes the name. The replace
  // makes its own temporary file in the folder of the replaced file, which
  // it takes from the name: a name without a folder ("x.osr") is made full
  // first, or that folder would be "".
  if (GetFileAttributesW(Wide(to)) != INVALID_FILE_ATTRIBUTES) {
    auto full = [](const std::u16string& name) {
      std::u16string out(MAX_PATH, u'\0');
      for (;;) {
        const DWORD n = GetFullPathNameW(Wide(name), static_cast<DWORD>(out.size()),
                                         reinterpret_cast<wchar_t*>(out.data()), nullptr);
        if (n == 0) return name;
        if (n < out.size()) {
          out.resize(n);
          return out;
        }
        out.resize(n);
      }
    };
    if (ReplaceFileW(Wide(full(to)), Wide(full(from)), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                     nullptr, nullptr))
      return true;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) {
      // The replace's own failures mean that the old file could not be
      // taken away: another program holds it.
      lastError_ = error == ERROR_UNABLE_TO_REMOVE_REPLACED ||
                           error == ERROR_UNABLE_TO_MOVE_REPLACEMENT ||
                           error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2
                       ? FileError::Busy
                       : ErrorOf(error);
      return false;
    }
  }
  if (MoveFileExW(Wide(from), Wide(to), MOVEFILE_WRITE_THROUGH)) return true;
  lastError_ = ErrorOf(GetLastError());
  return false;
}

void Win32FileSystem::RemoveFile(const std::u16string& path) { DeleteFileW(Wide(path)); }

std::u16string Win32FileSystem::SaveTarget(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path));
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return path;
  // A link: the name of the file at its end.
  FileHandle file(CreateFileW(Wide(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.valid()) return path;
  std::u16string name(MAX_PATH, u'\0');
  for (;;) {
    const DWORD n = GetFinalPathNameByHandleW(file.get(), reinterpret_cast<wchar_t*>(name.data()),
                                              static_cast<DWORD>(name.size()), VOLUME_NAME_DOS);
    if (n == 0) return path;
    if (n < name.size()) {
      name.resize(n);
      break;
    }
    name.resize(n);
  }
  // "\\?\C:\..." becomes "C:\..." where the name fits the usual length.
  if (name.size() < MAX_PATH && name.compare(0, 4, u"\\\\?\\") == 0 && name.size() > 6 &&
      name[5] == u':')
    name.erase(0, 4);
  return name;
}

IFileSystem::TargetState Win32FileSystem::Inspect(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) return TargetState::Writable;  // no file yet
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) {
    lastError_ = attributes & FILE_ATTRIBUTE_DIRECTORY ? FileError::Folder : FileError::NotAFile;
    return TargetState::NotAFile;
  }
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    lastError_ = FileError::ReadOnly;
    return TargetState::ReadOnly;
  }
  FileHandle file(CreateFileW(Wide(path), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr));
  if (!file.valid()) return TargetState::Writable;  // the save finds out what stands in its way
  if (GetFileType(file.get()) != FILE_TYPE_DISK) return TargetState::NotAFile;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(file.get(), &info) && info.nNumberOfLinks > 1)
    return TargetState::InPlace;
  return TargetState::Writable;
}

bool Win32FileSystem::WriteInPlace(const std::u16string& path, const std::uint8_t* data,
                                   std::size_t size) {
  // Not cut first: the old bytes are overwritten and the rest cut off after.
  FileHandle file(CreateFileW(Wide(path), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    lastError_ = ErrorOf(GetLastError());
    return false;
  }
  if (GetFileType(file.get()) != FILE_TYPE_DISK) {
    lastError_ = FileError::NotAFile;
    return false;
  }
  DWORD written = 0;
  const bool ok = WriteFile(file.get(), data, static_cast<DWORD>(size), &written, nullptr) &&
                  written == size && SetEndOfFile(file.get()) && FlushFileBuffers(file.get());
  const bool closed = file.Close();
  return ok && closed;
}

IFileSystem::ReadOutcome Win32FileSystem::ReadUpTo(const std::u16string& path, std::size_t limit,
                                                   std::vector<std::uint8_t>& out) {
  out.clear();
  FileHandle file(OpenDiskFile(path, lastError_));
  if (!file.valid()) return ReadOutcome::Failed;
  LARGE_INTEGER length;
  if (!GetFileSizeEx(file.get(), &length)) {
    lastError_ = ErrorOf(GetLastError());
    return ReadOutcome::Failed;
  }
  if (static_cast<ULONGLONG>(length.QuadPart) > limit) {
    lastError_ = FileError::TooLarge;
    return ReadOutcome::WrongSize;
  }
  out.resize(static_cast<std::size_t>(length.QuadPart));
  DWORD read = 0;
  if (!out.empty() && (!ReadFile(file.get(), out.data(), static_cast<DWORD>(out.size()), &read,
                                 nullptr) ||
                       read != out.size())) {
    lastError_ = ErrorOf(GetLastError());
    out.clear();
    return ReadOutcome::Failed;
  }
  return ReadOutcome::Done;
}

bool Win32FileSystem::WriteStream(const std::u16string&, const std::uint8_t*, std::size_t) {
  // Inspect never finds a stream here: devices are refused.
  lastError_ = FileError::NotAFile;
  return false;
}

std::vector<std::u16string> Win32FileSystem::FilesStartingWith(const std::u16string& prefix) {
  std::vector<std::u16string> found;
  const std::size_t separator = prefix.find_last_of(u"\\/");
  const std::u16string folder = separator == std::u16string::npos ? u"" : prefix.substr(0, separator + 1);
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileExW(Wide(prefix + u"*"), FindExInfoBasic, &entry,
                                   FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return found;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      found.push_back(folder + FromWide(entry.cFileName));
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return found;
}

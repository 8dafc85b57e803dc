#include "win32/Win32FileSystem.h"

#include <windows.h>

#include "win32/Win32Util.h"

IFileSystem::ReadOutcome Win32FileSystem::ReadExactly(const std::u16string& path,
                                                      std::uint8_t* buffer, std::size_t size) {
  HANDLE file = CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return ReadOutcome::Failed;
  ReadOutcome outcome = ReadOutcome::Failed;
  LARGE_INTEGER length;
  if (GetFileSizeEx(file, &length)) {
    if (static_cast<ULONGLONG>(length.QuadPart) != size) {
      outcome = ReadOutcome::WrongSize;
    } else {
      DWORD read = 0;
      if (ReadFile(file, buffer, static_cast<DWORD>(size), &read, nullptr) && read == size)
        outcome = ReadOutcome::Done;
    }
  }
  CloseHandle(file);
  return outcome;
}

IFileSystem::CreateOutcome Win32FileSystem::WriteNewFile(const std::u16string& path,
                                                         const std::uint8_t* data,
                                                         std::size_t size) {
  HANDLE file = CreateFileW(Wide(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return GetLastError() == ERROR_FILE_EXISTS ? CreateOutcome::Exists : CreateOutcome::Failed;
  DWORD written = 0;
  const bool ok = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) &&
                  written == size && FlushFileBuffers(file);
  const bool closed = CloseHandle(file);
  return ok && closed ? CreateOutcome::Written : CreateOutcome::Failed;
}

bool Win32FileSystem::MoveOver(const std::u16string& from, const std::u16string& to) {
  return MoveFileExW(Wide(from), Wide(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

void Win32FileSystem::RemoveFile(const std::u16string& path) { DeleteFileW(Wide(path)); }

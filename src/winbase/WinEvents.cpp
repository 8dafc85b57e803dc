#include "winbase/WinEvents.h"

#include "winbase/WinException.h"

void CreateManualResetEvents(std::initializer_list<HANDLE*> events) {
  for (HANDLE* event : events) {
    *event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (*event) continue;
    const DWORD error = GetLastError();
    for (HANDLE* made : events) {
      if (made == event) break;
      CloseHandle(*made);
      *made = nullptr;
    }
    throw WinException{error, L"CreateEvent"};
  }
}

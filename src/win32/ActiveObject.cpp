#include "win32/ActiveObject.h"

#include <process.h>

#include "winbase/WinException.h"

ActiveObject::ActiveObject() {
  // Through the runtime's thread start, so the runtime's per-thread state exists.
  const std::uintptr_t thread =
      _beginthreadex(nullptr, 0, &ThreadEntry, this, CREATE_SUSPENDED, &threadId_);
  if (thread == 0) ThrowLastError(L"CreateThread");
  thread_ = reinterpret_cast<HANDLE>(thread);
}

ActiveObject::~ActiveObject() {
  // A thread that was never resumed has not run a single step of the
  // object (construction failed after the base): it is ended here.
  if (!resumed_ && thread_) TerminateThread(thread_, 0);
  if (thread_) CloseHandle(thread_);
}

void ActiveObject::Resume() {
  resumed_ = true;
  ResumeThread(thread_);
}

unsigned __stdcall ActiveObject::ThreadEntry(void* object) {
  auto* self = static_cast<ActiveObject*>(object);
  self->ThreadStarted();
  self->ThreadBody();
  self->LetGo();
  return 0;
}

void ActiveObject::LetGo() {
  if (holders_.fetch_sub(1) == 1) delete this;
}

void ActiveObject::Release() {
  if (!resumed_) {
    // The thread never ran: nobody else holds the object.
    delete this;
    return;
  }
  LetGo();
}

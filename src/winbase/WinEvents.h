// Events of the Windows backends and the window's worker.
#pragma once
#include <windows.h>

#include <initializer_list>

// Creates unnamed manual-reset events, not signalled, into the given
// handles; when one cannot be created, closes those already made and throws
// WinException "CreateEvent".
void CreateManualResetEvents(std::initializer_list<HANDLE*> events);

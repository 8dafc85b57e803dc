// The process's entry and outermost frame: single instance, common
// controls, the main window, the message loop and the last error handler.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "device/DeviceWorker.h"

// Makes the device worker for the main window; the real program and the
// demo differ only in this.
using WorkerFactory = std::unique_ptr<IDeviceWorker> (*)(INotifySink& sink);

// The number of the registered instance-probe message.
extern UINT probeMessage;

// The instance-probe message and the instance mutex: the contract between
// two copies of the program.
extern const wchar_t kProbeMessageName[];
extern const wchar_t kInstanceMutexName[];

// Allocation failure becomes WinException "Out of memory".
void OutOfMemoryHandler();

// The process's current directory, exactly.
std::u16string GetWorkingFolder();
// Copies `folder` into `stored`, then makes `stored` the current directory.
void SetWorkingFolder(const std::u16string& folder, std::u16string& stored);

// Registers the probe message (kept in probeMessage).
void RegisterProbeMessage();
// The main window of a running instance that answers the probe, or null.
HWND FindRunningInstance();
// Brings a running instance's last active pop-up (or its main window) to
// the front, restoring it when minimised.
void ActivateRunningInstance(HWND mainWindow);

// One fetched message: accelerators for the main window, then the main
// window's dialog navigation (which covers the page dialogs inside it),
// then translate and dispatch.
void ProcessMessage(HWND mainWindow, HACCEL accelerators, MSG& msg);

// The whole program: returns the process exit code.
int RunConfigurator(HINSTANCE instance, WorkerFactory makeWorker);

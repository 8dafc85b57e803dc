// The device workers the shell can give its main window.
#pragma once
#include <memory>

#include "device/DeviceWorker.h"

// The worker that talks to the alarm over USB.
std::unique_ptr<IDeviceWorker> MakeDeviceWorker(INotifySink& sink);

// The same worker whose only device is an emulated alarm, configured as an
// installed one, answering a little slowly so that progress can be seen.
// Part of the demonstration library, not of the real program.
std::unique_ptr<IDeviceWorker> MakeDemoWorker(INotifySink& sink);

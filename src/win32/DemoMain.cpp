// Entry point of the demonstration program: the same configurator whose only
// device is an emulated alarm, so that Read and Write can be tried without
// hardware.
#include <windows.h>

#include "win32/App.h"
#include "win32/DeviceWorkers.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  return RunConfigurator(instance, MakeDemoWorker);
}

// Entry point of the configurator, which talks to the alarm over USB.
#include <windows.h>

#include "win32/App.h"
#include "win32/DeviceWorkers.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  return RunConfigurator(instance, MakeDeviceWorker);
}

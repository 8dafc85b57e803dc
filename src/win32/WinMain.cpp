// Entry point of the configurator.
#include <windows.h>

#include "app/StandInWorker.h"
#include "win32/App.h"

namespace {
// Stand-in until the device link is built: every request answers
// "device not found".
std::unique_ptr<IDeviceWorker> MakeStandInWorker(INotifySink& sink) {
  return std::make_unique<StandInWorker>(sink);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  return RunConfigurator(instance, MakeStandInWorker);
}

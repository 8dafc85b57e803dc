#include "win32/DemoWorker.h"

#include "device/DemoConfiguration.h"
#include "win32/AccessUSB.h"
#include "win32/DeviceWorkers.h"
#include "win32/HidPipeDevice.h"

std::unique_ptr<IDeviceWorker> MakeDemoWorker(INotifySink& sink) {
  return AccessUSB::Make(sink, [](HANDLE abortEvent) {
    auto hid = std::make_unique<PipeHidEnumerator>(abortEvent);
    EmulatedPipeDevice& device = hid->Own(std::make_unique<EmulatedPipeDevice>());
    LoadDemoDevice(device.model());
    device.model().answerDelayMs = kDemoAnswerDelayMs;
    return hid;
  });
}

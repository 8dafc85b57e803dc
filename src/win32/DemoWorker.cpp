#include "win32/DemoWorker.h"

#include "device/DemoConfiguration.h"
#include "win32/AccessUSB.h"
#include "win32/DeviceWorkers.h"
#include "device/hid/pipe/HidPipeDevice.h"

std::unique_ptr<IDeviceWorker> MakeEmulatedWorker(INotifySink& sink, unsigned answerDelayMs,
                                                  EmulatedPipeDevice** device) {
  return AccessUSB::Make(sink, [answerDelayMs, device](HANDLE abortEvent) {
    auto hid = std::make_unique<PipeHidEnumerator>(abortEvent);
    EmulatedPipeDevice& alarm = hid->Own(std::make_unique<EmulatedPipeDevice>());
    LoadDemoDevice(alarm.model());
    alarm.model().answerDelayMs = answerDelayMs;
    if (device) *device = &alarm;
    return hid;
  });
}

std::unique_ptr<IDeviceWorker> MakeDemoWorker(INotifySink& sink) {
  return MakeEmulatedWorker(sink, kDemoAnswerDelayMs);
}

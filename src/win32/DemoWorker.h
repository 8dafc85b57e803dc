// The demonstration worker: the real worker with an emulated alarm as its
// only device. MakeDemoWorker is declared in win32/DeviceWorkers.h.
#pragma once
#include <memory>

#include "device/DeviceWorker.h"

class EmulatedPipeDevice;

// Delay of the demonstration device's answers: long enough for the
// progress bar to move visibly, short enough not to bore.
constexpr unsigned kDemoAnswerDelayMs = 6;

// The worker with one emulated alarm, prefilled with the demonstration
// configuration and answering after `answerDelayMs`. When `device` is given,
// it receives the emulated alarm, which lives as long as the worker.
std::unique_ptr<IDeviceWorker> MakeEmulatedWorker(INotifySink& sink, unsigned answerDelayMs,
                                                  EmulatedPipeDevice** device = nullptr);

// The demonstration worker: the real worker with an emulated alarm as its
// only device. MakeDemoWorker is declared in win32/DeviceWorkers.h.
#pragma once

// Delay of the demonstration device's answers: long enough for the
// progress bar to move visibly, short enough not to bore.
constexpr unsigned kDemoAnswerDelayMs = 6;

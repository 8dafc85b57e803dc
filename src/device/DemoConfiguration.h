// A plausible configuration of an installed alarm, for the demonstration
// program's emulated device, that shows something on every page: three
// zones with texts and aliases (the third watched only on change), three
// phone numbers, relays in five modes, key names, a balance request number,
// a password; and a history of flash records of which the newest holds the
// record area.
#pragma once
#include <cstdint>

#include "device/EmulatedDevice.h"

// Fills a 2300-byte ConfigImage with the demonstration configuration.
void MakeDemoImage(std::uint8_t* image);

// Puts the demonstration configuration into an emulated device: parameter
// memory, and three flash records of which slot 2 (counter 7) is current.
void LoadDemoDevice(EmulatedDevice& device);

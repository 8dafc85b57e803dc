// The ConfigImage: the device's whole parameter set as one block of bytes.
// Bytes 0-2047 are the parameter area that the pages edit, bytes
// 2048-2299 the record area that no page touches.
//
// Every byte or bit that a page owns is named here, so the pages never use
// bare offsets. Every parameter is one byte or a run of single bytes.
// Parameters that exist once per input k (1-3), relay r (1-6), phone p
// (1-5), event e (1-8) or key n (1-6) are arrays laid out parameter by
// parameter; the functions below give the byte of one object. Bytes and
// bits that no page owns keep whatever the image holds.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr std::size_t kImageSize = 2300;
constexpr std::size_t kParamAreaSize = 2048;

// Fills an image with its initial contents: 0xFF in the parameter area,
// 0x00 in the record area.
void InitImage(std::uint8_t* image);

// Marker bytes: the text or number that a marker governs is present (or the
// option is on) / absent (off).
constexpr std::uint8_t kMarkerPresent = 0x1B;
constexpr std::uint8_t kMarkerAbsent = 0xFF;
// Ends a device text or phone number shorter than its field.
constexpr std::uint8_t kTextEnd = 0x0D;

// The bit of object `index` (1-based) in a byte shared by several inputs,
// phones or relays: bit index-1.
constexpr std::uint8_t ObjectBit(int index) {
  return static_cast<std::uint8_t>(1u << (index - 1));
}

// ---- Input pages 1 (input k = 1-3) ----
constexpr int InRestoreTime(int k) { return 119 + k; }     // minutes, 0-9
constexpr int InLowerThreshold(int k) { return 128 + k; }  // volts, tenths BCD
constexpr int InTriggerMode(int k) { return 136 + k; }     // list code 0-5
constexpr int InAveraging(int k) { return 144 + k; }       // units of 16 ms, 1-99
constexpr int InUpperThreshold(int k) { return 152 + k; }  // volts, tenths BCD
constexpr int InEntryDelay(int k) { return 160 + k; }      // seconds, 0-59
constexpr int InMaxAlarms(int k) { return 219 + k; }       // 0-9
// Flag bytes of inputs 2 and 3 (bit k-1; bit 0 belongs to no page).
constexpr int kInChangeOnlyFlags = 3;  // monitored only on change
constexpr int kIn24HourFlags = 219;    // 24-hour (fire) mode

// ---- Input pages 2 (input k = 1-3) ----
constexpr int InZoneType(int k) { return 194 + k; }  // list code 0-5
constexpr int kInAlarmTextPresentFlags = 255;        // bits 0-2
constexpr int kAlarmTextSize = 25;
constexpr int InAlarmText(int k) { return 256 + 26 * (k - 1); }
// Relay r switched on / off when input k triggers (bit k-1).
constexpr int RelayOnByInput(int r) { return 623 + r; }
constexpr int RelayOffByInput(int r) { return 639 + r; }
// Aliases of inputs 2 and 3 (the first-input slots belong to no page).
constexpr int kInZoneAliasPresentFlags = 4;
constexpr int kInOnAliasPresentFlags = 93;
constexpr int kInOffAliasPresentFlags = 254;
constexpr int kAliasSize = 7;
constexpr int InOnAlias(int k) { return 654 + 7 * (k - 1); }
constexpr int InOffAlias(int k) { return 710 + 7 * (k - 1); }
constexpr int InZoneAlias(int k) { return 966 + 7 * (k - 1); }

// ---- Phone number pages (phone p = 1-5) ----
constexpr int kPhoneNumberSize = 13;
constexpr int PhoneNumber(int p) { return 21 + 13 * (p - 1); }
constexpr int PhonePresent(int p) { return 86 + p; }  // marker byte
// SMS / voice call on event e = 1-8 (bit p-1).
constexpr int SmsOnEvent(int e) { return 227 + e; }
constexpr int CallOnEvent(int e) { return 240 + e; }
// Relay r switched on / off by a call from phone p (bit p-1).
constexpr int RelayOnByCall(int r) { return 615 + r; }
constexpr int RelayOffByCall(int r) { return 631 + r; }

// ---- Arming and disarming page ----
constexpr int kArmButtonMode = 2;     // list code
constexpr int kExitDelay = 128;       // seconds, 0-59
constexpr int kRingsToSkip = 192;     // 0-9
constexpr int kAutoArmHour = 215;     // packed BCD 00-23
constexpr int kAutoArmMinute = 216;   // packed BCD 00-59
constexpr int kAutoDisarmHour = 217;  // packed BCD 00-23
constexpr int kAutoDisarmMinute = 218;
constexpr int kKeyNameSize = 8;
constexpr int KeyNamePresent(int n) { return 169 + n; }  // marker byte, n = 1-6
constexpr int KeyName(int n) {
  constexpr int kOffsets[6] = {896, 905, 914, 922, 931, 940};
  return kOffsets[n - 1];
}

// ---- Byte 190, shared by the connection page (bits 0-2) and the arming
// page (bit 3); bits 4-7 belong to no page ----
constexpr int kConnectFlags = 190;
constexpr std::uint8_t kConnectListenBit = 0x01;      // listen after the alarm message
constexpr std::uint8_t kConnectRejectedOkBit = 0x02;  // rejected call counts as success
constexpr std::uint8_t kConnectCancelRestBit = 0x04;  // cancel the remaining alarm calls
constexpr std::uint8_t kArmByCallBit = 0x08;          // arming by a call without connection

// ---- Relay pages (relay r = 1-6; arrays of 8 slots) ----
constexpr int RelayOnMinutes(int r) { return 511 + r; }   // 0-59
constexpr int RelayOnSeconds(int r) { return 519 + r; }   // 0-59
constexpr int RelayOffMinutes(int r) { return 527 + r; }  // 0-59
constexpr int RelayOffSeconds(int r) { return 535 + r; }  // 0-59
constexpr int RelayDelay(int r) { return 543 + r; }       // seconds, 0-59
constexpr int RelayMode(int r) { return 551 + r; }        // list code 0-5
constexpr int RelayClockOnMinute(int r) { return 559 + r; }   // packed BCD 00-59
constexpr int RelayClockOnHour(int r) { return 567 + r; }     // packed BCD 00-23
constexpr int RelayClockOffMinute(int r) { return 575 + r; }  // packed BCD 00-59
constexpr int RelayClockOffHour(int r) { return 583 + r; }    // packed BCD 00-23
constexpr int RelaySirenZones(int r) { return 591 + r; }      // bits 0-2
constexpr int RelaySirenOptions(int r) { return 599 + r; }    // bits 0-1
constexpr int RelayOptions(int r) { return 607 + r; }  // bits 0-1 flags, 2-5 one-hot

// ---- Security and power page ----
constexpr int kTestMessageHour = 5;  // packed BCD 00-23
constexpr int kPasswordPresent = 94;     // marker byte
constexpr int kCallerIdProtection = 95;  // 0x1B on, 0xFF off
constexpr int kPassword = 185;           // four ASCII digits
constexpr int kPasswordSize = 4;
constexpr int kBatteryCritical = 213;  // volts, tenths BCD
constexpr int kPowerSettleTime = 214;  // seconds, 0-59

// ---- Balance auto-check page ----
constexpr int kCriticalBalance = 96;  // roubles, packed BCD 00-99
constexpr int kBalanceCheck = 98;     // list code, ASCII "0" to "4"
constexpr int kBalanceRequest = 176;  // "*", digits, "#"; or 0x0D when not set
constexpr int kBalanceRequestSize = 9;

// ---- Undelivered messages page ----
constexpr int kCallLifetime = 193;  // minutes, 0-9
constexpr int kSmsAttempts = 194;   // 0-9

// ---- Temperature control page ----
constexpr int kThermoUpper = 8;  // °C, 0-99
constexpr int kThermoLower = 9;  // °C, 0-99
constexpr int kThermoMode = 10;  // list code 0-3

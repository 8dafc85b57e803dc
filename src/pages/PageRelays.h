// The relay pages: for each of the six relays its mode and the timings and
// options the modes use. Relay r owns byte r-1 of every relay array.
#pragma once
#include "pages/FieldPage.h"

extern const PageFields kRelayPageFields;

// The rows of kRelayPageFields: nine times, the two lists, seven boxes.
enum RelayPageRow : int {
  kRelayOnMinutesRow, kRelayOnSecondsRow, kRelayOffMinutesRow, kRelayOffSecondsRow,
  kRelayDelayRow, kRelayClockOnHourRow, kRelayClockOnMinuteRow, kRelayClockOffHourRow,
  kRelayClockOffMinuteRow, kRelayModeRow, kRelayConditionRow, kRelayShortBeepRow,
  kRelayGentleSirenRow, kRelaySirenZoneRow,  // + zone - 1 (zones 1-3)
  kRelayByCallRow = kRelaySirenZoneRow + 3, kRelayResumeRow, kRelayRowCount,
};

// The mode index of "РЕВУН": only relays in this mode follow the inputs.
constexpr int kRelaySirenMode = 2;

// On a relay in siren mode, change-only monitoring of input k switched on
// clears the siren on the alarm of zone k, switched off ticks it. Relays in
// other modes are left alone.
class RelayPage : public ZoneFollowingPage {
 public:
  RelayPage(IPageDialog& dialog, int relay)
      : ZoneFollowingPage(dialog, kRelayPageFields, relay, kRelaySirenZoneRow) {}

 protected:
  bool Follows() const override { return Value(kRelayModeRow).value == kRelaySirenMode; }
};

using CtrlPageRelay1 = Member<RelayPage, 1>;
using CtrlPageRelay2 = Member<RelayPage, 2>;
using CtrlPageRelay3 = Member<RelayPage, 3>;
using CtrlPageRelay4 = Member<RelayPage, 4>;
using CtrlPageRelay5 = Member<RelayPage, 5>;
using CtrlPageRelay6 = Member<RelayPage, 6>;

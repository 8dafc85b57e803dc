#include "pages/PageRelays.h"

#include "pages/ImageMap.h"
#include "res/resource.h"

namespace {

constexpr int kModeStrings[] = {IDS_RELAY_MODE_OFF,    IDS_RELAY_MODE_ONCE, IDS_RELAY_MODE_SIREN,
                                IDS_RELAY_MODE_CYCLIC, IDS_RELAY_MODE_LAMP, IDS_RELAY_MODE_CLOCK};
constexpr std::uint8_t kModeCodes[] = {0, 1, 2, 3, 4, 5};
constexpr ListDef kModes{kModeStrings, kModeCodes};
// The cyclic condition: exactly one of bits 2-5 of the options byte.
constexpr int kConditionStrings[] = {IDS_CONDITION_ALWAYS, IDS_CONDITION_ARMED,
                                     IDS_CONDITION_WATCH, IDS_CONDITION_ZONE_1};
constexpr ListDef kConditions{kConditionStrings, {}, 2};

// One byte per relay: relay r's byte is the array's first plus r-1.
constexpr Place Array(int first) { return {first, 1}; }

constexpr FieldRow Seconds(RowName n, int edit, int first) {
  return TwoDigitsRow(n, edit, Array(first), 0, 59, u"00", 0);
}
constexpr FieldRow Box(RowName n, int box, int first, std::uint8_t mask) {
  return FlagRow(n, box, Array(first), mask, false, 0);
}

constexpr FieldRow kRows[] = {
    Seconds({"relay#.on_minutes", IDS_MINUTES_SHORT, IDS_RELAY_ON_TIME}, IDC_RELAY_ON_MINUTES,
            RelayOnMinutes(1)),
    Seconds({"relay#.on_seconds", IDS_SECONDS_SHORT, IDS_RELAY_ON_TIME}, IDC_RELAY_ON_SECONDS,
            RelayOnSeconds(1)),
    Seconds({"relay#.off_minutes", IDS_MINUTES_SHORT, IDS_RELAY_OFF_TIME}, IDC_RELAY_OFF_MINUTES,
            RelayOffMinutes(1)),
    Seconds({"relay#.off_seconds", IDS_SECONDS_SHORT, IDS_RELAY_OFF_TIME}, IDC_RELAY_OFF_SECONDS,
            RelayOffSeconds(1)),
    Seconds({"relay#.delay", IDS_RELAY_DELAY}, IDC_RELAY_DELAY, RelayDelay(1)),
    // The minute byte of each clock time comes before its hour byte.
    BcdRow({"relay#.clock_on_hour", IDS_HOUR, IDS_RELAY_CLOCK_ON}, IDC_RELAY_CLOCK_ON_HOUR,
           Array(RelayClockOnHour(1)), 23, u"00", 0),
    BcdRow({"relay#.clock_on_minute", IDS_MINUTE, IDS_RELAY_CLOCK_ON}, IDC_RELAY_CLOCK_ON_MINUTE,
           Array(RelayClockOnMinute(1)), 59, u"00", 0),
    BcdRow({"relay#.clock_off_hour", IDS_HOUR, IDS_RELAY_CLOCK_OFF}, IDC_RELAY_CLOCK_OFF_HOUR,
           Array(RelayClockOffHour(1)), 23, u"00", 0),
    BcdRow({"relay#.clock_off_minute", IDS_MINUTE, IDS_RELAY_CLOCK_OFF},
           IDC_RELAY_CLOCK_OFF_MINUTE, Array(RelayClockOffMinute(1)), 59, u"00", 0),
    ListRow({"relay#.mode", IDS_RELAY_MODE}, IDC_RELAY_MODE, Array(RelayMode(1)), kModes, 0, 0),
    OneHotRow({"relay#.cyclic_condition", IDS_RELAY_CONDITION, IDS_RELAY_CYCLIC},
              IDC_RELAY_CONDITION, Array(RelayOptions(1)), kConditions, 0),
    // Short beep is bit 1 and gentle siren bit 0 of the same byte.
    Box({"relay#.short_beep", IDS_RELAY_SHORT_BEEP, IDS_RELAY_SIREN}, IDC_RELAY_SHORT_BEEP,
        RelaySirenOptions(1), 0x02),
    Box({"relay#.gentle_siren", IDS_RELAY_GENTLE, IDS_RELAY_SIREN}, IDC_RELAY_GENTLE,
        RelaySirenOptions(1), 0x01),
    Box({"relay#.siren_zone1", IDS_RELAY_ZONE_1, IDS_RELAY_SIREN_ZONES}, IDC_RELAY_ZONE_1,
        RelaySirenZones(1), 0x01),
    Box({"relay#.siren_zone2", IDS_RELAY_ZONE_2, IDS_RELAY_SIREN_ZONES}, IDC_RELAY_ZONE_2,
        RelaySirenZones(1), 0x02),
    Box({"relay#.siren_zone3", IDS_RELAY_ZONE_3, IDS_RELAY_SIREN_ZONES}, IDC_RELAY_ZONE_3,
        RelaySirenZones(1), 0x04),
    Box({"relay#.by_call_or_input", IDS_RELAY_BY_CALL}, IDC_RELAY_BY_CALL, RelayOptions(1), 0x01),
    Box({"relay#.resume_while_held", IDS_RELAY_RESUME, IDS_RELAY_CYCLIC}, IDC_RELAY_RESUME,
        RelayOptions(1), 0x02),
};
static_assert(std::size(kRows) == kRelayRowCount);

}  // namespace

const PageFields kRelayPageFields{"relay#", kRows};

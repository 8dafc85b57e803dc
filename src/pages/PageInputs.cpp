#include "pages/PageInputs.h"

#include "pages/ImageMap.h"
#include "pages/PageFramework.h"
#include "res/resource.h"

namespace {

constexpr int kModeStrings[] = {IDS_IN_MODE_0, IDS_IN_MODE_1, IDS_IN_MODE_2,
                                IDS_IN_MODE_3, IDS_IN_MODE_4, IDS_IN_MODE_5};
constexpr std::uint8_t kModeCodes[] = {0, 1, 2, 3, 4, 5};
constexpr ListDef kModes{kModeStrings, kModeCodes};
constexpr int kOnlyInputs2And3 = 2;

constexpr FieldRow kPage1Rows[] = {
    TwoDigitsRow({"input#.entry_delay", IDS_IN_ENTRY_DELAY}, IDC_IN1_ENTRY_DELAY,
                 {InEntryDelay(1), 1}, 0, 59, u"00", 0),
    OneDigitRow({"input#.restore_time", IDS_IN_RESTORE_TIME}, IDC_IN1_RESTORE,
                {InRestoreTime(1), 1}, u"0", 0),
    OneDigitRow({"input#.max_alarms", IDS_IN_MAX_ALARMS}, IDC_IN1_MAX_ALARMS,
                {InMaxAlarms(1), 1}, u"0", 0),
    TwoDigitsRow({"input#.averaging", IDS_IN_AVERAGING}, IDC_IN1_AVERAGING,
                 {InAveraging(1), 1}, 1, 99, u"50", 50),
    TenthsRow({"input#.upper_threshold", IDS_IN_UPPER}, IDC_IN1_UPPER_UNITS,
              IDC_IN1_UPPER_TENTHS, {InUpperThreshold(1), 1}, u"60"),
    // Starts at 4.0 on a fresh page, but an invalid byte loads as 6.0.
    TenthsRow({"input#.lower_threshold", IDS_IN_LOWER}, IDC_IN1_LOWER_UNITS,
              IDC_IN1_LOWER_TENTHS, {InLowerThreshold(1), 1}, u"40"),
    ListRow({"input#.trigger_mode", IDS_IN_TRIGGER_MODE}, IDC_IN1_MODE, {InTriggerMode(1), 1},
            kModes, 0, 0),
    FlagRow({"input#.24_hour", IDS_IN_24_HOUR}, IDC_IN1_24_HOUR, {kIn24HourFlags}, 0x01, true,
            1, kOnlyInputs2And3),
    FlagRow({"input#.change_only", IDS_IN_CHANGE_ONLY}, IDC_IN1_CHANGE_ONLY,
            {kInChangeOnlyFlags}, 0x01, true, 0, kOnlyInputs2And3),
};

constexpr int kZoneStrings[] = {IDS_ZONE_UNIVERSAL, IDS_ZONE_MOTION, IDS_ZONE_MAGNETIC,
                                IDS_ZONE_FIRE,      IDS_ZONE_WATER,  IDS_ZONE_GAS};
constexpr ListDef kZoneTypes{kZoneStrings, kModeCodes};

// The relays an input's alarm switches on (row) or off: bit k-1 of the
// relay's byte.
constexpr FieldRow RelayBox(const char* key, int label, int group, int box, int offset) {
  return FlagRow({key, label, group}, box, {offset}, 0x01, true, 0);
}

constexpr FieldRow kPage2Rows[] = {
    ListRow({"input#.zone_type", IDS_IN_ZONE_TYPE}, IDC_IN2_ZONE_TYPE, {InZoneType(1), 1},
            kZoneTypes, 0, 0),
    TextRow({"input#.alarm_text", IDS_IN_ALARM_TEXT}, IDC_IN2_ALARM_TEXT,
            {InAlarmText(1), InAlarmText(2) - InAlarmText(1)}, kAlarmTextSize,
            {kInAlarmTextPresentFlags}, 0x01),
    TextRow({"input#.zone_alias", IDS_IN_ZONE_ALIAS}, IDC_IN2_ZONE_ALIAS,
            {InZoneAlias(1), kAliasSize}, kAliasSize, {kInZoneAliasPresentFlags}, 0x01,
            kOnlyInputs2And3),
    TextRow({"input#.on_alias", IDS_IN_ON_ALIAS}, IDC_IN2_ON_ALIAS, {InOnAlias(1), kAliasSize},
            kAliasSize, {kInOnAliasPresentFlags}, 0x01, kOnlyInputs2And3),
    TextRow({"input#.off_alias", IDS_IN_OFF_ALIAS}, IDC_IN2_OFF_ALIAS,
            {InOffAlias(1), kAliasSize}, kAliasSize, {kInOffAliasPresentFlags}, 0x01,
            kOnlyInputs2And3),
    RelayBox("input#.relay1_on", IDS_RELAY_1, IDS_IN_RELAYS_ON, IDC_IN2_ON_RELAY_1, RelayOnByInput(1)),
    RelayBox("input#.relay2_on", IDS_RELAY_2, IDS_IN_RELAYS_ON, IDC_IN2_ON_RELAY_2, RelayOnByInput(2)),
    RelayBox("input#.relay3_on", IDS_RELAY_3, IDS_IN_RELAYS_ON, IDC_IN2_ON_RELAY_3, RelayOnByInput(3)),
    RelayBox("input#.relay4_on", IDS_RELAY_4, IDS_IN_RELAYS_ON, IDC_IN2_ON_RELAY_4, RelayOnByInput(4)),
    RelayBox("input#.relay5_on", IDS_RELAY_5, IDS_IN_RELAYS_ON, IDC_IN2_ON_RELAY_5, RelayOnByInput(5)),
    RelayBox("input#.relay6_on", IDS_RELAY_6, IDS_IN_RELAYS_ON, IDC_IN2_ON_RELAY_6, RelayOnByInput(6)),
    RelayBox("input#.relay1_off", IDS_RELAY_1, IDS_IN_RELAYS_OFF, IDC_IN2_OFF_RELAY_1, RelayOffByInput(1)),
    RelayBox("input#.relay2_off", IDS_RELAY_2, IDS_IN_RELAYS_OFF, IDC_IN2_OFF_RELAY_2, RelayOffByInput(2)),
    RelayBox("input#.relay3_off", IDS_RELAY_3, IDS_IN_RELAYS_OFF, IDC_IN2_OFF_RELAY_3, RelayOffByInput(3)),
    RelayBox("input#.relay4_off", IDS_RELAY_4, IDS_IN_RELAYS_OFF, IDC_IN2_OFF_RELAY_4, RelayOffByInput(4)),
    RelayBox("input#.relay5_off", IDS_RELAY_5, IDS_IN_RELAYS_OFF, IDC_IN2_OFF_RELAY_5, RelayOffByInput(5)),
    RelayBox("input#.relay6_off", IDS_RELAY_6, IDS_IN_RELAYS_OFF, IDC_IN2_OFF_RELAY_6, RelayOffByInput(6)),
};

}  // namespace

const PageFields kInputPage1Fields{"input#_1", kPage1Rows};
const PageFields kInputPage2Fields{"input#_2", kPage2Rows};

void InputPage1::OnCommand(IPageDialog& dialog, int control, int code) {
  int row;
  const bool changed = Dispatch(dialog, control, code, row);
  if (row != kInChangeOnly || code != kBnClicked) return;
  if (changed) ApplyChangeOnlyMode(dialog);
  UpdateControls();  // after every click on the box
}

void InputPage1::ApplyChangeOnlyMode(IPageDialog& dialog) {
  const bool changeOnly = Value(kInChangeOnly).value == 1;
  if (changeOnly) {
    Hold(kInEntryDelay).text = u"00";
    Hold(kInRestoreTime).text = u"0";
    Hold(kInMaxAlarms).text = u"0";
    Hold(kIn24Hour).value = 1;
    Hold(kInTriggerMode).value = 1;
    Hold(kInUpperThreshold).text = u"6";  // 6.0; the lower threshold stays
    Hold(kInUpperThreshold).text2 = u"0";
  } else {
    Hold(kInEntryDelay).text = u"05";
    Hold(kInRestoreTime).text = u"2";
    Hold(kIn24Hour).value = 0;
    Hold(kInTriggerMode).value = 5;  // the alarm count and thresholds stay
  }
  // Enable means change-only monitoring was switched off again.
  PostInputModeNotice(dialog, Member() - 1, !changeOnly);
}

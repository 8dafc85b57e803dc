#include "config/PageFields.h"

#include "config/ImageMap.h"
#include "res/resource.h"

using enum FieldKind;

std::string FieldKey(const FieldRow& row, int member) {
  std::string key = row.key;
  const std::size_t hash = key.find('#');
  if (hash != std::string::npos) key.replace(hash, 1, std::to_string(member));
  return key;
}

std::string PageKey(const PageEntry& page) {
  std::string key = page.fields->key;
  const std::size_t hash = key.find('#');
  if (hash != std::string::npos) key.replace(hash, 1, std::to_string(page.member));
  return key;
}

namespace {

// ---- Inputs ----

constexpr int kInModeStrings[] = {IDS_IN_MODE_0, IDS_IN_MODE_1, IDS_IN_MODE_2,
                                  IDS_IN_MODE_3, IDS_IN_MODE_4, IDS_IN_MODE_5};
constexpr std::uint8_t kCodes0To5[] = {0, 1, 2, 3, 4, 5};
constexpr ListDef kInModes{kInModeStrings, kCodes0To5};
constexpr int kOnlyInputs2And3 = 2;

constexpr FieldRow kInput1Rows[] = {
    {.kind = TwoDigits, .key = "input#.entry_delay", .label = IDS_IN_ENTRY_DELAY,
     .unit = IDS_RANGE_SECONDS_59, .control = IDC_IN1_ENTRY_DELAY, .at = {InEntryDelay(1), 1}, .max = 59, .initial = u"00"},
    {.kind = OneDigit, .key = "input#.restore_time", .label = IDS_IN_RESTORE_TIME,
     .unit = IDS_RANGE_MINUTES_9, .control = IDC_IN1_RESTORE, .at = {InRestoreTime(1), 1}, .max = 9, .initial = u"0"},
    {.kind = OneDigit, .key = "input#.max_alarms", .label = IDS_IN_MAX_ALARMS,
     .unit = IDS_RANGE_9, .control = IDC_IN1_MAX_ALARMS, .at = {InMaxAlarms(1), 1}, .max = 9, .initial = u"0"},
    {.kind = TwoDigits, .key = "input#.averaging", .label = IDS_IN_AVERAGING,
     .unit = IDS_IN_RANGE_AVERAGING, .control = IDC_IN1_AVERAGING, .at = {InAveraging(1), 1}, .min = 1, .max = 99,
     .initial = u"50", .fallback = 50},
    {.kind = Tenths, .key = "input#.upper_threshold", .label = IDS_IN_UPPER,
     .unit = IDS_RANGE_VOLTS, .control = IDC_IN1_UPPER_UNITS, .control2 = IDC_IN1_UPPER_TENTHS,
     .at = {InUpperThreshold(1), 1}, .max = 99, .initial = u"60", .fallbackText = u"60"},
    // Starts at 4.0 on a fresh page, but an invalid byte loads as 6.0.
    {.kind = Tenths, .key = "input#.lower_threshold", .label = IDS_IN_LOWER,
     .unit = IDS_RANGE_VOLTS, .control = IDC_IN1_LOWER_UNITS, .control2 = IDC_IN1_LOWER_TENTHS,
     .at = {InLowerThreshold(1), 1}, .max = 99, .initial = u"40", .fallbackText = u"60"},
    {.kind = List, .key = "input#.trigger_mode", .label = IDS_IN_TRIGGER_MODE,
     .control = IDC_IN1_MODE, .at = {InTriggerMode(1), 1}, .list = &kInModes},
    {.kind = Flag, .key = "input#.24_hour", .label = IDS_IN_24_HOUR, .control = IDC_IN1_24_HOUR,
     .at = {kIn24HourFlags}, .mask = 0x01, .bitPerMember = true, .max = 1, .initialValue = 1,
     .firstMember = kOnlyInputs2And3},
    {.kind = Flag, .key = "input#.change_only", .label = IDS_IN_CHANGE_ONLY,
     .control = IDC_IN1_CHANGE_ONLY, .at = {kInChangeOnlyFlags}, .mask = 0x01,
     .bitPerMember = true, .max = 1, .firstMember = kOnlyInputs2And3},
};

// On screen: the left column (the delay, the restore time, the alarms and
// the boxes of inputs 2 and 3), then the right one (the mode first).
constexpr int kInput1Screen[] = {kInEntryDelay, kInRestoreTime, kInMaxAlarms, kIn24Hour,
                                 kInChangeOnly, kInTriggerMode, kInAveraging,
                                 kInUpperThreshold, kInLowerThreshold};
static_assert(std::size(kInput1Screen) == std::size(kInput1Rows));

constexpr int kZoneStrings[] = {IDS_ZONE_UNIVERSAL, IDS_ZONE_MOTION, IDS_ZONE_MAGNETIC,
                                IDS_ZONE_FIRE,      IDS_ZONE_WATER,  IDS_ZONE_GAS};
constexpr ListDef kZoneTypes{kZoneStrings, kCodes0To5};

// A box of bit member-1 in a byte shared by the members of a family.
constexpr FieldRow MemberBox(const char* key, int label, int group, int box, int offset) {
  return {.kind = Flag, .key = key, .label = label, .group = group, .control = box,
          .at = {offset}, .mask = 0x01, .bitPerMember = true, .max = 1};
}
// A text of an input, `size` characters, its presence bit member-1 of `flags`.
constexpr FieldRow InputText(const char* key, int label, int edit, int first, int step,
                             int size, int flags, int firstMember) {
  return {.kind = Text, .key = key, .label = label, .control = edit, .at = {first, step},
          .flagAt = {flags}, .mask = 0x01, .bitPerMember = true, .max = size,
          .firstMember = firstMember};
}

constexpr FieldRow kInput2Rows[] = {
    {.kind = List, .key = "input#.zone_type", .label = IDS_IN_ZONE_TYPE,
     .control = IDC_IN2_ZONE_TYPE, .at = {InZoneType(1), 1}, .list = &kZoneTypes},
    InputText("input#.alarm_text", IDS_IN_ALARM_TEXT, IDC_IN2_ALARM_TEXT, InAlarmText(1),
              InAlarmText(2) - InAlarmText(1), kAlarmTextSize, kInAlarmTextPresentFlags, 1),
    InputText("input#.zone_alias", IDS_IN_ZONE_ALIAS, IDC_IN2_ZONE_ALIAS, InZoneAlias(1),
              kAliasSize, kAliasSize, kInZoneAliasPresentFlags, kOnlyInputs2And3),
    InputText("input#.on_alias", IDS_IN_ON_ALIAS, IDC_IN2_ON_ALIAS, InOnAlias(1), kAliasSize,
              kAliasSize, kInOnAliasPresentFlags, kOnlyInputs2And3),
    InputText("input#.off_alias", IDS_IN_OFF_ALIAS, IDC_IN2_OFF_ALIAS, InOffAlias(1),
              kAliasSize, kAliasSize, kInOffAliasPresentFlags, kOnlyInputs2And3),
    // The relays an input's alarm switches on or off: bit k-1 of the relay's byte.
    MemberBox("input#.relay1_on", IDS_RELAY_1, IDS_IN_RELAYS_ON, IDC_IN2_ON_RELAY_1, RelayOnByInput(1)),
    MemberBox("input#.relay2_on", IDS_RELAY_2, IDS_IN_RELAYS_ON, IDC_IN2_ON_RELAY_2, RelayOnByInput(2)),
    MemberBox("input#.relay3_on", IDS_RELAY_3, IDS_IN_RELAYS_ON, IDC_IN2_ON_RELAY_3, RelayOnByInput(3)),
    MemberBox("input#.relay4_on", IDS_RELAY_4, IDS_IN_RELAYS_ON, IDC_IN2_ON_RELAY_4, RelayOnByInput(4)),
    MemberBox("input#.relay5_on", IDS_RELAY_5, IDS_IN_RELAYS_ON, IDC_IN2_ON_RELAY_5, RelayOnByInput(5)),
    MemberBox("input#.relay6_on", IDS_RELAY_6, IDS_IN_RELAYS_ON, IDC_IN2_ON_RELAY_6, RelayOnByInput(6)),
    MemberBox("input#.relay1_off", IDS_RELAY_1, IDS_IN_RELAYS_OFF, IDC_IN2_OFF_RELAY_1, RelayOffByInput(1)),
    MemberBox("input#.relay2_off", IDS_RELAY_2, IDS_IN_RELAYS_OFF, IDC_IN2_OFF_RELAY_2, RelayOffByInput(2)),
    MemberBox("input#.relay3_off", IDS_RELAY_3, IDS_IN_RELAYS_OFF, IDC_IN2_OFF_RELAY_3, RelayOffByInput(3)),
    MemberBox("input#.relay4_off", IDS_RELAY_4, IDS_IN_RELAYS_OFF, IDC_IN2_OFF_RELAY_4, RelayOffByInput(4)),
    MemberBox("input#.relay5_off", IDS_RELAY_5, IDS_IN_RELAYS_OFF, IDC_IN2_OFF_RELAY_5, RelayOffByInput(5)),
    MemberBox("input#.relay6_off", IDS_RELAY_6, IDS_IN_RELAYS_OFF, IDC_IN2_OFF_RELAY_6, RelayOffByInput(6)),
};

// ---- Phones ----

constexpr FieldRow kPhoneRows[] = {
    {.kind = Phone, .key = "phone#.number", .label = IDS_PHONE_NUMBER, .control = IDC_TEL_NUMBER,
     .at = {PhoneNumber(1), kPhoneNumberSize}, .flagAt = {PhonePresent(1), 1}, .max = 12},
    MemberBox("phone#.relay1_on", IDS_RELAY_1, IDS_TEL_RELAYS_ON, IDC_TEL_ON_RELAY_1, RelayOnByCall(1)),
    MemberBox("phone#.relay2_on", IDS_RELAY_2, IDS_TEL_RELAYS_ON, IDC_TEL_ON_RELAY_2, RelayOnByCall(2)),
    MemberBox("phone#.relay3_on", IDS_RELAY_3, IDS_TEL_RELAYS_ON, IDC_TEL_ON_RELAY_3, RelayOnByCall(3)),
    MemberBox("phone#.relay4_on", IDS_RELAY_4, IDS_TEL_RELAYS_ON, IDC_TEL_ON_RELAY_4, RelayOnByCall(4)),
    MemberBox("phone#.relay5_on", IDS_RELAY_5, IDS_TEL_RELAYS_ON, IDC_TEL_ON_RELAY_5, RelayOnByCall(5)),
    MemberBox("phone#.relay6_on", IDS_RELAY_6, IDS_TEL_RELAYS_ON, IDC_TEL_ON_RELAY_6, RelayOnByCall(6)),
    MemberBox("phone#.relay1_off", IDS_RELAY_1, IDS_TEL_RELAYS_OFF, IDC_TEL_OFF_RELAY_1, RelayOffByCall(1)),
    MemberBox("phone#.relay2_off", IDS_RELAY_2, IDS_TEL_RELAYS_OFF, IDC_TEL_OFF_RELAY_2, RelayOffByCall(2)),
    MemberBox("phone#.relay3_off", IDS_RELAY_3, IDS_TEL_RELAYS_OFF, IDC_TEL_OFF_RELAY_3, RelayOffByCall(3)),
    MemberBox("phone#.relay4_off", IDS_RELAY_4, IDS_TEL_RELAYS_OFF, IDC_TEL_OFF_RELAY_4, RelayOffByCall(4)),
    MemberBox("phone#.relay5_off", IDS_RELAY_5, IDS_TEL_RELAYS_OFF, IDC_TEL_OFF_RELAY_5, RelayOffByCall(5)),
    MemberBox("phone#.relay6_off", IDS_RELAY_6, IDS_TEL_RELAYS_OFF, IDC_TEL_OFF_RELAY_6, RelayOffByCall(6)),
    // Events 1-8: alarm on zones 1-3, arming, disarming, main power changed,
    // balance dropped, temperature out of range.
    MemberBox("phone#.sms_zone1", IDS_TEL_ZONE_1, IDS_TEL_SMS, IDC_TEL_SMS_ZONE_1, SmsOnEvent(1)),
    MemberBox("phone#.sms_zone2", IDS_TEL_ZONE_2, IDS_TEL_SMS, IDC_TEL_SMS_ZONE_2, SmsOnEvent(2)),
    MemberBox("phone#.sms_zone3", IDS_TEL_ZONE_3, IDS_TEL_SMS, IDC_TEL_SMS_ZONE_3, SmsOnEvent(3)),
    MemberBox("phone#.sms_arming", IDS_TEL_ARMING, IDS_TEL_SMS, IDC_TEL_SMS_ARMING, SmsOnEvent(4)),
    MemberBox("phone#.sms_disarming", IDS_TEL_DISARMING, IDS_TEL_SMS, IDC_TEL_SMS_DISARMING, SmsOnEvent(5)),
    MemberBox("phone#.sms_power", IDS_TEL_POWER, IDS_TEL_SMS, IDC_TEL_SMS_POWER, SmsOnEvent(6)),
    MemberBox("phone#.sms_balance", IDS_TEL_BALANCE, IDS_TEL_SMS, IDC_TEL_SMS_BALANCE, SmsOnEvent(7)),
    MemberBox("phone#.sms_temperature", IDS_TEL_TEMPERATURE, IDS_TEL_SMS, IDC_TEL_SMS_TEMPERATURE, SmsOnEvent(8)),
    MemberBox("phone#.voice_zone1", IDS_TEL_ZONE_1, IDS_TEL_VOICE, IDC_TEL_VOICE_ZONE_1, CallOnEvent(1)),
    MemberBox("phone#.voice_zone2", IDS_TEL_ZONE_2, IDS_TEL_VOICE, IDC_TEL_VOICE_ZONE_2, CallOnEvent(2)),
    MemberBox("phone#.voice_zone3", IDS_TEL_ZONE_3, IDS_TEL_VOICE, IDC_TEL_VOICE_ZONE_3, CallOnEvent(3)),
    MemberBox("phone#.voice_arming", IDS_TEL_ARMING, IDS_TEL_VOICE, IDC_TEL_VOICE_ARMING, CallOnEvent(4)),
    MemberBox("phone#.voice_disarming", IDS_TEL_DISARMING, IDS_TEL_VOICE, IDC_TEL_VOICE_DISARMING, CallOnEvent(5)),
    MemberBox("phone#.voice_power", IDS_TEL_POWER, IDS_TEL_VOICE, IDC_TEL_VOICE_POWER, CallOnEvent(6)),
    MemberBox("phone#.voice_balance", IDS_TEL_BALANCE, IDS_TEL_VOICE, IDC_TEL_VOICE_BALANCE, CallOnEvent(7)),
    MemberBox("phone#.voice_temperature", IDS_TEL_TEMPERATURE, IDS_TEL_VOICE, IDC_TEL_VOICE_TEMPERATURE, CallOnEvent(8)),
};
static_assert(std::size(kPhoneRows) == kPhoneRowCount);
// On screen the events go arming, disarming, zones 1-3, balance, power,
// temperature, in each column.
constexpr int kPhoneScreen[] = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12,
    kPhoneSmsRow + 3, kPhoneSmsRow + 4, kPhoneSmsRow, kPhoneSmsRow + 1, kPhoneSmsRow + 2,
    kPhoneSmsRow + 6, kPhoneSmsRow + 5, kPhoneSmsRow + 7,
    kPhoneVoiceRow + 3, kPhoneVoiceRow + 4, kPhoneVoiceRow, kPhoneVoiceRow + 1,
    kPhoneVoiceRow + 2, kPhoneVoiceRow + 6, kPhoneVoiceRow + 5, kPhoneVoiceRow + 7};
static_assert(std::size(kPhoneScreen) == kPhoneRowCount);
// Change-only monitoring of input k switched on clears the voice call on
// the alarm of zone k (event k); switched off ticks it. The SMS boxes stay.
constexpr ZoneFollowing kPhoneFollows{.zoneRow = kPhoneVoiceRow};

// ---- Arming and disarming ----

constexpr int kButtonStrings[] = {IDS_BUTTON_BLOCKED, IDS_BUTTON_FULL, IDS_BUTTON_ZONE_1};
constexpr std::uint8_t kButtonCodes[] = {0, 1, 2};
constexpr ListDef kButtonModes{kButtonStrings, kButtonCodes};
constexpr int kFullArming = 1;

// An hour or a minute of a time: labelled by its unit alone.
constexpr FieldRow BcdTime(const char* key, int label, int group, int edit, int offset, int max) {
  return {.kind = FieldKind::Bcd, .key = key, .label = label, .group = group, .unit = label,
          .control = edit,
          .at = {offset}, .max = max, .initial = u"00"};
}
constexpr FieldRow Key(const char* key, int label, int edit, int n) {
  return {.kind = ShortText, .key = key, .label = label, .group = IDS_SETRES_KEYS,
          .control = edit, .at = {KeyName(n)}, .flagAt = {KeyNamePresent(n)},
          .max = kKeyNameSize};
}

constexpr FieldRow kSetResRows[] = {
    // Bit 3 of the byte whose bits 0-2 the connection page owns.
    {.kind = Flag, .key = "arming.by_call_without_connection", .label = IDS_SETRES_BY_CALL,
     .control = IDC_SETRES_BY_CALL, .at = {kConnectFlags}, .mask = kArmByCallBit, .max = 1},
    // Starts at 0 on a fresh page, but an invalid byte loads as 2.
    {.kind = OneDigit, .key = "arming.rings_to_skip", .label = IDS_SETRES_RINGS,
     .unit = IDS_RANGE_9, .control = IDC_SETRES_RINGS, .at = {kRingsToSkip}, .max = 9, .initial = u"0",
     .fallback = 2},
    BcdTime("arming.auto_arm_hour", IDS_HOUR, IDS_SETRES_AUTO_ARM, IDC_SETRES_ARM_HOUR,
        kAutoArmHour, 23),
    BcdTime("arming.auto_arm_minute", IDS_MINUTE, IDS_SETRES_AUTO_ARM, IDC_SETRES_ARM_MINUTE,
        kAutoArmMinute, 59),
    BcdTime("arming.auto_disarm_hour", IDS_HOUR, IDS_SETRES_AUTO_DISARM, IDC_SETRES_DISARM_HOUR,
        kAutoDisarmHour, 23),
    BcdTime("arming.auto_disarm_minute", IDS_MINUTE, IDS_SETRES_AUTO_DISARM,
        IDC_SETRES_DISARM_MINUTE, kAutoDisarmMinute, 59),
    {.kind = TwoDigits, .key = "arming.exit_delay", .label = IDS_SETRES_EXIT_DELAY,
     .unit = IDS_RANGE_SECONDS_59, .control = IDC_SETRES_EXIT_DELAY, .at = {kExitDelay}, .max = 59, .initial = u"20",
     .fallback = 20},
    // An invalid byte, and a selection outside the list, stand for full arming.
    {.kind = List, .key = "arming.button_mode", .label = IDS_SETRES_BUTTON,
     .control = IDC_SETRES_BUTTON, .at = {kArmButtonMode}, .initialValue = kFullArming,
     .fallback = kFullArming, .list = &kButtonModes},
    // The fields are nine bytes apart but for keys 3 and 4 (eight).
    Key("arming.key1_name", IDS_SETRES_KEY_1, IDC_SETRES_KEY_1, 1),
    Key("arming.key2_name", IDS_SETRES_KEY_2, IDC_SETRES_KEY_2, 2),
    Key("arming.key3_name", IDS_SETRES_KEY_3, IDC_SETRES_KEY_3, 3),
    Key("arming.key4_name", IDS_SETRES_KEY_4, IDC_SETRES_KEY_4, 4),
    Key("arming.key5_name", IDS_SETRES_KEY_5, IDC_SETRES_KEY_5, 5),
    Key("arming.key6_name", IDS_SETRES_KEY_6, IDC_SETRES_KEY_6, 6),
};

// ---- Relays (relay r owns byte r-1 of every relay array) ----

constexpr int kRelayModeStrings[] = {IDS_RELAY_MODE_OFF,    IDS_RELAY_MODE_ONCE,
                                     IDS_RELAY_MODE_SIREN,  IDS_RELAY_MODE_CYCLIC,
                                     IDS_RELAY_MODE_LAMP,   IDS_RELAY_MODE_CLOCK};
constexpr ListDef kRelayModes{kRelayModeStrings, kCodes0To5};
// The cyclic condition: exactly one of bits 2-5 of the options byte.
constexpr int kConditionStrings[] = {IDS_CONDITION_ALWAYS, IDS_CONDITION_ARMED,
                                     IDS_CONDITION_WATCH, IDS_CONDITION_ZONE_1};
constexpr ListDef kConditions{.strings = kConditionStrings, .firstBit = 2};

// Minutes or seconds of a time, 0-59: `unit` beside the edit.
constexpr FieldRow Time(const char* key, int label, int group, int unit, int edit, int first) {
  return {.kind = TwoDigits, .key = key, .label = label, .group = group, .unit = unit,
          .control = edit,
          .at = {first, 1}, .max = 59, .initial = u"00"};
}
// An hour or a minute of a clock time: labelled by its unit alone.
constexpr FieldRow Clock(const char* key, int label, int group, int edit, int first, int max) {
  return {.kind = FieldKind::Bcd, .key = key, .label = label, .group = group, .unit = label,
          .control = edit,
          .at = {first, 1}, .max = max, .initial = u"00"};
}
constexpr FieldRow RelayBox(const char* key, int label, int group, int box, int first,
                            std::uint8_t mask) {
  return {.kind = Flag, .key = key, .label = label, .group = group, .control = box,
          .at = {first, 1}, .mask = mask, .max = 1};
}

constexpr FieldRow kRelayRows[] = {
    Time("relay#.on_minutes", IDS_MINUTES_SHORT, IDS_RELAY_ON_TIME, IDS_MINUTES_SHORT, IDC_RELAY_ON_MINUTES,
         RelayOnMinutes(1)),
    Time("relay#.on_seconds", IDS_SECONDS_SHORT, IDS_RELAY_ON_TIME, IDS_SECONDS_SHORT, IDC_RELAY_ON_SECONDS,
         RelayOnSeconds(1)),
    Time("relay#.off_minutes", IDS_MINUTES_SHORT, IDS_RELAY_OFF_TIME, IDS_MINUTES_SHORT, IDC_RELAY_OFF_MINUTES,
         RelayOffMinutes(1)),
    Time("relay#.off_seconds", IDS_SECONDS_SHORT, IDS_RELAY_OFF_TIME, IDS_SECONDS_SHORT, IDC_RELAY_OFF_SECONDS,
         RelayOffSeconds(1)),
    Time("relay#.delay", IDS_RELAY_DELAY, 0, IDS_RANGE_SECONDS_59, IDC_RELAY_DELAY, RelayDelay(1)),
    // The minute byte of each clock time comes before its hour byte.
    Clock("relay#.clock_on_hour", IDS_HOUR, IDS_RELAY_CLOCK_ON, IDC_RELAY_CLOCK_ON_HOUR,
          RelayClockOnHour(1), 23),
    Clock("relay#.clock_on_minute", IDS_MINUTE, IDS_RELAY_CLOCK_ON, IDC_RELAY_CLOCK_ON_MINUTE,
          RelayClockOnMinute(1), 59),
    Clock("relay#.clock_off_hour", IDS_HOUR, IDS_RELAY_CLOCK_OFF, IDC_RELAY_CLOCK_OFF_HOUR,
          RelayClockOffHour(1), 23),
    Clock("relay#.clock_off_minute", IDS_MINUTE, IDS_RELAY_CLOCK_OFF,
          IDC_RELAY_CLOCK_OFF_MINUTE, RelayClockOffMinute(1), 59),
    {.kind = List, .key = "relay#.mode", .label = IDS_RELAY_MODE, .control = IDC_RELAY_MODE,
     .at = {RelayMode(1), 1}, .list = &kRelayModes},
    {.kind = OneHot, .key = "relay#.cyclic_condition", .label = IDS_RELAY_CONDITION,
     .group = IDS_RELAY_CYCLIC, .control = IDC_RELAY_CONDITION, .at = {RelayOptions(1), 1},
     .list = &kConditions},
    // Short beep is bit 1 and gentle siren bit 0 of the same byte.
    RelayBox("relay#.short_beep", IDS_RELAY_SHORT_BEEP, IDS_RELAY_SIREN, IDC_RELAY_SHORT_BEEP,
             RelaySirenOptions(1), 0x02),
    RelayBox("relay#.gentle_siren", IDS_RELAY_GENTLE, IDS_RELAY_SIREN, IDC_RELAY_GENTLE,
             RelaySirenOptions(1), 0x01),
    RelayBox("relay#.siren_zone1", IDS_RELAY_ZONE_1, IDS_RELAY_SIREN_ZONES, IDC_RELAY_ZONE_1,
             RelaySirenZones(1), 0x01),
    RelayBox("relay#.siren_zone2", IDS_RELAY_ZONE_2, IDS_RELAY_SIREN_ZONES, IDC_RELAY_ZONE_2,
             RelaySirenZones(1), 0x02),
    RelayBox("relay#.siren_zone3", IDS_RELAY_ZONE_3, IDS_RELAY_SIREN_ZONES, IDC_RELAY_ZONE_3,
             RelaySirenZones(1), 0x04),
    RelayBox("relay#.by_call_or_input", IDS_RELAY_BY_CALL, 0, IDC_RELAY_BY_CALL,
             RelayOptions(1), 0x01),
    RelayBox("relay#.resume_while_held", IDS_RELAY_RESUME, IDS_RELAY_CYCLIC, IDC_RELAY_RESUME,
             RelayOptions(1), 0x02),
};
static_assert(std::size(kRelayRows) == kRelayRowCount);
// On screen: the mode first, the times, the box of calls and inputs, the
// siren's boxes, then the cyclic condition and its box.
constexpr int kRelayScreen[] = {
    kRelayModeRow, kRelayOnMinutesRow, kRelayOnSecondsRow, kRelayOffMinutesRow,
    kRelayOffSecondsRow, kRelayDelayRow, kRelayClockOnHourRow, kRelayClockOnMinuteRow,
    kRelayClockOffHourRow, kRelayClockOffMinuteRow, kRelayByCallRow, kRelayShortBeepRow,
    kRelayGentleSirenRow, kRelaySirenZoneRow, kRelaySirenZoneRow + 1, kRelaySirenZoneRow + 2,
    kRelayConditionRow, kRelayResumeRow};
static_assert(std::size(kRelayScreen) == kRelayRowCount);
// On a relay in siren mode, change-only monitoring of input k switched on
// clears the siren on the alarm of zone k, switched off ticks it. Relays in
// other modes are left alone.
constexpr ZoneFollowing kRelayFollows{.zoneRow = kRelaySirenZoneRow,
                                      .modeRow = kRelayModeRow,
                                      .modeIndex = kRelaySirenMode};

// ---- Single pages ----

// String id 109 belongs to no entry.
constexpr int kOperatorStrings[] = {IDS_OPERATOR_OFF, IDS_OPERATOR_1, IDS_OPERATOR_2,
                                    IDS_OPERATOR_3, IDS_OPERATOR_USER};
constexpr std::uint8_t kOperatorCodes[] = {'0', '1', '2', '3', '4'};
constexpr ListDef kOperators{kOperatorStrings, kOperatorCodes};

constexpr FieldRow kBalansRows[] = {
    {.kind = List, .key = "balance.operator", .label = IDS_BALANS_OPERATOR,
     .control = IDC_BALANS_OPERATOR, .at = {kBalanceCheck}, .list = &kOperators},
    {.kind = RequestNumber, .key = "balance.request_number", .label = IDS_PHONE_NUMBER,
     .unit = IDS_BALANS_NOTE, .control = IDC_BALANS_NUMBER, .at = {kBalanceRequest}, .max = kBalanceRequestSize},
    {.kind = FieldKind::Bcd, .key = "balance.critical_balance", .label = IDS_BALANS_CRITICAL,
     .unit = IDS_BALANS_RANGE, .control = IDC_BALANS_CRITICAL, .at = {kCriticalBalance}, .max = 99, .initial = u"80",
     .fallback = 80},
};

constexpr FieldRow kConnectRows[] = {
    {.kind = Flag, .key = "connection.listen_after_alarm", .label = IDS_CONNECT_LISTEN,
     .control = IDC_CONNECT_LISTEN, .at = {kConnectFlags}, .mask = kConnectListenBit, .max = 1},
    {.kind = Flag, .key = "connection.rejected_counts_as_success",
     .label = IDS_CONNECT_REJECTED, .control = IDC_CONNECT_REJECTED, .at = {kConnectFlags},
     .mask = kConnectRejectedOkBit, .max = 1},
    {.kind = Flag, .key = "connection.cancel_remaining_calls", .label = IDS_CONNECT_CANCEL,
     .control = IDC_CONNECT_CANCEL, .at = {kConnectFlags}, .mask = kConnectCancelRestBit,
     .max = 1},
};

constexpr FieldRow kSecurRows[] = {
    {.kind = Password, .key = "security.password", .label = IDS_SECUR_PASSWORD,
     .unit = IDS_SECUR_NOTE, .control = IDC_SECUR_PASSWORD, .at = {kPassword}, .flagAt = {kPasswordPresent},
     .max = kPasswordSize},
    {.kind = Marker, .key = "security.caller_id_protection", .label = IDS_SECUR_CALLER_ID,
     .control = IDC_SECUR_CALLER_ID, .at = {kCallerIdProtection}, .max = 1},
    {.kind = FieldKind::Bcd, .key = "security.test_message_hour", .label = IDS_SECUR_TEST_HOUR,
     .unit = IDS_HOUR, .control = IDC_SECUR_TEST_HOUR, .at = {kTestMessageHour}, .max = 23, .initial = u"00"},
    // Starts at 9.9 on a fresh page, but an invalid byte loads as 6.0.
    {.kind = Tenths, .key = "security.battery_critical", .label = IDS_SECUR_BATTERY,
     .unit = IDS_RANGE_VOLTS, .control = IDC_SECUR_BATTERY_UNITS, .control2 = IDC_SECUR_BATTERY_TENTHS,
     .at = {kBatteryCritical}, .max = 99, .initial = u"99", .fallbackText = u"60"},
    {.kind = TwoDigits, .key = "security.power_settle_time", .label = IDS_SECUR_SETTLE,
     .unit = IDS_RANGE_SECONDS_59, .control = IDC_SECUR_SETTLE, .at = {kPowerSettleTime}, .max = 59, .initial = u"30",
     .fallback = 30},
};

// A value above the range loads as the maximum.
constexpr FieldRow kNotSmsRows[] = {
    {.kind = OneDigit, .key = "undelivered.call_lifetime", .label = IDS_NOTSMS_LIFETIME,
     .unit = IDS_RANGE_MINUTES_9, .control = IDC_NOTSMS_LIFETIME, .at = {kCallLifetime}, .max = 9, .initial = u"9",
     .fallback = 9},
    {.kind = OneDigit, .key = "undelivered.sms_attempts", .label = IDS_NOTSMS_ATTEMPTS,
     .unit = IDS_RANGE_9, .control = IDC_NOTSMS_ATTEMPTS, .at = {kSmsAttempts}, .max = 9, .initial = u"9",
     .fallback = 9},
};

constexpr int kThermoStrings[] = {IDS_THERMO_OFF, IDS_THERMO_RANGE, IDS_THERMO_ABOVE,
                                  IDS_THERMO_BELOW};
constexpr std::uint8_t kThermoCodes[] = {0, 1, 2, 3};
constexpr ListDef kThermoModes{kThermoStrings, kThermoCodes};

constexpr FieldRow kThermoRows[] = {
    {.kind = TwoDigits, .key = "temperature.upper", .label = IDS_THERMO_UPPER,
     .unit = IDS_THERMO_DEGREES, .control = IDC_THERMO_UPPER, .at = {kThermoUpper}, .max = 99, .initial = u"26",
     .fallback = 26},
    {.kind = TwoDigits, .key = "temperature.lower", .label = IDS_THERMO_LOWER,
     .unit = IDS_THERMO_DEGREES, .control = IDC_THERMO_LOWER, .at = {kThermoLower}, .max = 99, .initial = u"10",
     .fallback = 10},
    {.kind = List, .key = "temperature.mode", .label = IDS_THERMO_MODE,
     .control = IDC_THERMO_MODE, .at = {kThermoMode}, .list = &kThermoModes},
};

}  // namespace

const PageFields kInputPage1Fields{.key = "input#_1", .rows = kInput1Rows,
                                   .changeOnlyRule = true, .screenOrder = kInput1Screen};
const PageFields kInputPage2Fields{.key = "input#_2", .rows = kInput2Rows};
const PageFields kPhonePageFields{.key = "phone#", .rows = kPhoneRows, .follows = &kPhoneFollows,
                                  .screenOrder = kPhoneScreen};
const PageFields kSetResPageFields{.key = "arming", .rows = kSetResRows};
const PageFields kRelayPageFields{.key = "relay#", .rows = kRelayRows, .follows = &kRelayFollows,
                                  .screenOrder = kRelayScreen};
const PageFields kBalansPageFields{.key = "balance", .rows = kBalansRows};
const PageFields kConnectPageFields{.key = "connection", .rows = kConnectRows};
const PageFields kSecurPageFields{.key = "security", .rows = kSecurRows};
const PageFields kNotSmsPageFields{.key = "undelivered", .rows = kNotSmsRows};
const PageFields kThermoPageFields{.key = "temperature", .rows = kThermoRows};

const PageEntry kPages[kPageCount] = {
    {IDS_PAGE_IN1_1, IDD_PAGE_IN1_1, &kInputPage1Fields, 1, IDS_IN1_TITLE_1},
    {IDS_PAGE_IN1_2, IDD_PAGE_IN1_2, &kInputPage2Fields, 1, IDS_IN2_TITLE_1},
    {IDS_PAGE_IN2_1, IDD_PAGE_IN2_1, &kInputPage1Fields, 2, IDS_IN1_TITLE_2},
    {IDS_PAGE_IN2_2, IDD_PAGE_IN2_2, &kInputPage2Fields, 2, IDS_IN2_TITLE_2},
    {IDS_PAGE_IN3_1, IDD_PAGE_IN3_1, &kInputPage1Fields, 3, IDS_IN1_TITLE_3},
    {IDS_PAGE_IN3_2, IDD_PAGE_IN3_2, &kInputPage2Fields, 3, IDS_IN2_TITLE_3},
    {IDS_PAGE_TEL1, IDD_PAGE_TEL1, &kPhonePageFields, 1, IDS_TEL_TITLE_1},
    {IDS_PAGE_TEL2, IDD_PAGE_TEL2, &kPhonePageFields, 2, IDS_TEL_TITLE_2},
    {IDS_PAGE_TEL3, IDD_PAGE_TEL3, &kPhonePageFields, 3, IDS_TEL_TITLE_3},
    {IDS_PAGE_TEL4, IDD_PAGE_TEL4, &kPhonePageFields, 4, IDS_TEL_TITLE_4},
    {IDS_PAGE_TEL5, IDD_PAGE_TEL5, &kPhonePageFields, 5, IDS_TEL_TITLE_5},
    {IDS_PAGE_SETRES, IDD_PAGE_SETRES, &kSetResPageFields, 1, IDS_SETRES_TITLE},
    {IDS_PAGE_RELAY1, IDD_PAGE_RELAY1, &kRelayPageFields, 1, IDS_RELAY_TITLE_1},
    {IDS_PAGE_RELAY2, IDD_PAGE_RELAY2, &kRelayPageFields, 2, IDS_RELAY_TITLE_2},
    {IDS_PAGE_RELAY3, IDD_PAGE_RELAY3, &kRelayPageFields, 3, IDS_RELAY_TITLE_3},
    {IDS_PAGE_RELAY4, IDD_PAGE_RELAY4, &kRelayPageFields, 4, IDS_RELAY_TITLE_4},
    {IDS_PAGE_RELAY5, IDD_PAGE_RELAY5, &kRelayPageFields, 5, IDS_RELAY_TITLE_5},
    {IDS_PAGE_RELAY6, IDD_PAGE_RELAY6, &kRelayPageFields, 6, IDS_RELAY_TITLE_6},
    {IDS_PAGE_BALANS, IDD_PAGE_BALANS, &kBalansPageFields, 1, IDS_BALANS_TITLE},
    {IDS_PAGE_CONNECT, IDD_PAGE_CONNECT, &kConnectPageFields, 1, IDS_CONNECT_TITLE},
    {IDS_PAGE_SECUR, IDD_PAGE_SECUR, &kSecurPageFields, 1, IDS_SECUR_TITLE},
    {IDS_PAGE_NOTSMS, IDD_PAGE_NOTSMS, &kNotSmsPageFields, 1, IDS_NOTSMS_TITLE},
    {IDS_PAGE_THERMO, IDD_PAGE_THERMO, &kThermoPageFields, 1, IDS_THERMO_TITLE},
};

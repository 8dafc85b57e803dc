#include "pages/PageSetRes.h"

#include "pages/ImageMap.h"
#include "res/resource.h"

namespace {
constexpr int kButtonStrings[] = {IDS_BUTTON_BLOCKED, IDS_BUTTON_FULL, IDS_BUTTON_ZONE_1};
constexpr std::uint8_t kButtonCodes[] = {0, 1, 2};
constexpr ListDef kButtonModes{kButtonStrings, kButtonCodes};
constexpr int kFullArming = 1;

constexpr FieldRow Key(const char* key, int label, int edit, int n) {
  return ShortTextRow({key, label, IDS_SETRES_KEYS}, edit, {KeyName(n)}, {KeyNamePresent(n)});
}

constexpr FieldRow kRows[] = {
    // Bit 3 of the byte whose bits 0-2 the connection page owns.
    FlagRow({"arming.by_call_without_connection", IDS_SETRES_BY_CALL}, IDC_SETRES_BY_CALL,
            {kConnectFlags}, kArmByCallBit, false, 0),
    // Starts at 0 on a fresh page, but an invalid byte loads as 2.
    OneDigitRow({"arming.rings_to_skip", IDS_SETRES_RINGS}, IDC_SETRES_RINGS, {kRingsToSkip},
                u"0", 2),
    BcdRow({"arming.auto_arm_hour", IDS_HOUR, IDS_SETRES_AUTO_ARM}, IDC_SETRES_ARM_HOUR,
           {kAutoArmHour}, 23, u"00", 0),
    BcdRow({"arming.auto_arm_minute", IDS_MINUTE, IDS_SETRES_AUTO_ARM}, IDC_SETRES_ARM_MINUTE,
           {kAutoArmMinute}, 59, u"00", 0),
    BcdRow({"arming.auto_disarm_hour", IDS_HOUR, IDS_SETRES_AUTO_DISARM}, IDC_SETRES_DISARM_HOUR,
           {kAutoDisarmHour}, 23, u"00", 0),
    BcdRow({"arming.auto_disarm_minute", IDS_MINUTE, IDS_SETRES_AUTO_DISARM},
           IDC_SETRES_DISARM_MINUTE, {kAutoDisarmMinute}, 59, u"00", 0),
    TwoDigitsRow({"arming.exit_delay", IDS_SETRES_EXIT_DELAY}, IDC_SETRES_EXIT_DELAY,
                 {kExitDelay}, 0, 59, u"20", 20),
    // An invalid byte, and a selection outside the list, stand for full arming.
    ListRow({"arming.button_mode", IDS_SETRES_BUTTON}, IDC_SETRES_BUTTON, {kArmButtonMode},
            kButtonModes, kFullArming, kFullArming),
    // The fields are nine bytes apart but for keys 3 and 4 (eight).
    Key("arming.key1_name", IDS_SETRES_KEY_1, IDC_SETRES_KEY_1, 1),
    Key("arming.key2_name", IDS_SETRES_KEY_2, IDC_SETRES_KEY_2, 2),
    Key("arming.key3_name", IDS_SETRES_KEY_3, IDC_SETRES_KEY_3, 3),
    Key("arming.key4_name", IDS_SETRES_KEY_4, IDC_SETRES_KEY_4, 4),
    Key("arming.key5_name", IDS_SETRES_KEY_5, IDC_SETRES_KEY_5, 5),
    Key("arming.key6_name", IDS_SETRES_KEY_6, IDC_SETRES_KEY_6, 6),
};
}  // namespace

const PageFields kSetResPageFields{"arming", kRows};

#include "pages/PagePhones.h"

#include "pages/ImageMap.h"
#include "res/resource.h"

namespace {

// Bit p-1 of a byte shared by the five phone pages.
constexpr FieldRow Box(const char* key, int label, int group, int box, int offset) {
  return FlagRow({key, label, group}, box, {offset}, 0x01, true, 0);
}

constexpr FieldRow kRows[] = {
    PhoneRow({"phone#.number", IDS_PHONE_NUMBER}, IDC_TEL_NUMBER,
             {PhoneNumber(1), kPhoneNumberSize}, {PhonePresent(1), 1}),
    Box("phone#.relay1_on", IDS_RELAY_1, IDS_TEL_RELAYS_ON, IDC_TEL_ON_RELAY_1, RelayOnByCall(1)),
    Box("phone#.relay2_on", IDS_RELAY_2, IDS_TEL_RELAYS_ON, IDC_TEL_ON_RELAY_2, RelayOnByCall(2)),
    Box("phone#.relay3_on", IDS_RELAY_3, IDS_TEL_RELAYS_ON, IDC_TEL_ON_RELAY_3, RelayOnByCall(3)),
    Box("phone#.relay4_on", IDS_RELAY_4, IDS_TEL_RELAYS_ON, IDC_TEL_ON_RELAY_4, RelayOnByCall(4)),
    Box("phone#.relay5_on", IDS_RELAY_5, IDS_TEL_RELAYS_ON, IDC_TEL_ON_RELAY_5, RelayOnByCall(5)),
    Box("phone#.relay6_on", IDS_RELAY_6, IDS_TEL_RELAYS_ON, IDC_TEL_ON_RELAY_6, RelayOnByCall(6)),
    Box("phone#.relay1_off", IDS_RELAY_1, IDS_TEL_RELAYS_OFF, IDC_TEL_OFF_RELAY_1, RelayOffByCall(1)),
    Box("phone#.relay2_off", IDS_RELAY_2, IDS_TEL_RELAYS_OFF, IDC_TEL_OFF_RELAY_2, RelayOffByCall(2)),
    Box("phone#.relay3_off", IDS_RELAY_3, IDS_TEL_RELAYS_OFF, IDC_TEL_OFF_RELAY_3, RelayOffByCall(3)),
    Box("phone#.relay4_off", IDS_RELAY_4, IDS_TEL_RELAYS_OFF, IDC_TEL_OFF_RELAY_4, RelayOffByCall(4)),
    Box("phone#.relay5_off", IDS_RELAY_5, IDS_TEL_RELAYS_OFF, IDC_TEL_OFF_RELAY_5, RelayOffByCall(5)),
    Box("phone#.relay6_off", IDS_RELAY_6, IDS_TEL_RELAYS_OFF, IDC_TEL_OFF_RELAY_6, RelayOffByCall(6)),
    // Events 1-8: alarm on zones 1-3, arming, disarming, main power changed,
    // balance dropped, temperature out of range.
    Box("phone#.sms_zone1", IDS_TEL_ZONE_1, IDS_TEL_SMS, IDC_TEL_SMS_ZONE_1, SmsOnEvent(1)),
    Box("phone#.sms_zone2", IDS_TEL_ZONE_2, IDS_TEL_SMS, IDC_TEL_SMS_ZONE_2, SmsOnEvent(2)),
    Box("phone#.sms_zone3", IDS_TEL_ZONE_3, IDS_TEL_SMS, IDC_TEL_SMS_ZONE_3, SmsOnEvent(3)),
    Box("phone#.sms_arming", IDS_TEL_ARMING, IDS_TEL_SMS, IDC_TEL_SMS_ARMING, SmsOnEvent(4)),
    Box("phone#.sms_disarming", IDS_TEL_DISARMING, IDS_TEL_SMS, IDC_TEL_SMS_DISARMING, SmsOnEvent(5)),
    Box("phone#.sms_power", IDS_TEL_POWER, IDS_TEL_SMS, IDC_TEL_SMS_POWER, SmsOnEvent(6)),
    Box("phone#.sms_balance", IDS_TEL_BALANCE, IDS_TEL_SMS, IDC_TEL_SMS_BALANCE, SmsOnEvent(7)),
    Box("phone#.sms_temperature", IDS_TEL_TEMPERATURE, IDS_TEL_SMS, IDC_TEL_SMS_TEMPERATURE, SmsOnEvent(8)),
    Box("phone#.voice_zone1", IDS_TEL_ZONE_1, IDS_TEL_VOICE, IDC_TEL_VOICE_ZONE_1, CallOnEvent(1)),
    Box("phone#.voice_zone2", IDS_TEL_ZONE_2, IDS_TEL_VOICE, IDC_TEL_VOICE_ZONE_2, CallOnEvent(2)),
    Box("phone#.voice_zone3", IDS_TEL_ZONE_3, IDS_TEL_VOICE, IDC_TEL_VOICE_ZONE_3, CallOnEvent(3)),
    Box("phone#.voice_arming", IDS_TEL_ARMING, IDS_TEL_VOICE, IDC_TEL_VOICE_ARMING, CallOnEvent(4)),
    Box("phone#.voice_disarming", IDS_TEL_DISARMING, IDS_TEL_VOICE, IDC_TEL_VOICE_DISARMING, CallOnEvent(5)),
    Box("phone#.voice_power", IDS_TEL_POWER, IDS_TEL_VOICE, IDC_TEL_VOICE_POWER, CallOnEvent(6)),
    Box("phone#.voice_balance", IDS_TEL_BALANCE, IDS_TEL_VOICE, IDC_TEL_VOICE_BALANCE, CallOnEvent(7)),
    Box("phone#.voice_temperature", IDS_TEL_TEMPERATURE, IDS_TEL_VOICE, IDC_TEL_VOICE_TEMPERATURE, CallOnEvent(8)),
};
static_assert(std::size(kRows) == kPhoneRowCount);

}  // namespace

const PageFields kPhonePageFields{"phone#", kRows};

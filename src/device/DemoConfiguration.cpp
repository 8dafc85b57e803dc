#include "device/DemoConfiguration.h"

#include <cstring>
#include <stdexcept>
#include <string>

#include "config/Configuration.h"
#include "config/ImageMap.h"
#include "config/StringTable.h"
#include "res/resource.h"

namespace {

// One value of the demonstration configuration, as an installer enters it
// at its control: a text, or the list entry with string id `entry`.
struct DemoValue {
  const char* key;
  const char16_t* text;
  int entry = 0;
};

const DemoValue kDemo[] = {
    // The entrance door, a fire sensor in the kitchen, a water sensor in the
    // bathroom watched only on change.
    {"input1.entry_delay", u"30"}, {"input1.restore_time", u"2"}, {"input1.max_alarms", u"3"},
    {"input1.averaging", u"10"}, {"input1.upper_threshold", u"4.5"},
    {"input1.lower_threshold", u"1.5"}, {"input1.zone_type", nullptr, IDS_ZONE_MAGNETIC},
    {"input1.alarm_text", u"Открыта входная дверь"}, {"input1.relay1_on", kBoxOn},
    {"input1.relay3_on", kBoxOn},
    {"input2.restore_time", u"2"}, {"input2.max_alarms", u"3"}, {"input2.averaging", u"20"},
    {"input2.upper_threshold", u"4.5"}, {"input2.lower_threshold", u"1.5"},
    {"input2.trigger_mode", nullptr, IDS_IN_MODE_2}, {"input2.zone_type", nullptr, IDS_ZONE_FIRE},
    {"input2.alarm_text", u"Пожар на кухне"}, {"input2.zone_alias", u"Кухня"},
    {"input2.on_alias", u"Дым"}, {"input2.off_alias", u"Норма"}, {"input2.relay1_on", kBoxOn},
    {"input2.relay2_on", kBoxOn},
    {"input3.zone_type", nullptr, IDS_ZONE_WATER}, {"input3.alarm_text", u"Протечка в ванной"},
    {"input3.zone_alias", u"Ванная"}, {"input3.on_alias", u"Вода"},
    {"input3.off_alias", u"Сухо"}, {"input3.relay4_on", kBoxOn}, {"input3.relay5_off", kBoxOn},
    // Two subscribers with SMS on every event and calls on the zones, a
    // third with SMS only.
    {"phone1.number", u"+79161234567"}, {"phone2.number", u"89037654321"},
    {"phone3.number", u"84951234567"}, {"phone4.number", u"*#8800"},
    {"phone5.number", u"+74957654321"},
    {"phone1.sms_zone1", kBoxOn}, {"phone1.sms_zone2", kBoxOn}, {"phone1.sms_zone3", kBoxOn},
    {"phone1.sms_arming", kBoxOn}, {"phone1.sms_disarming", kBoxOn}, {"phone1.sms_power", kBoxOn},
    {"phone1.sms_balance", kBoxOn}, {"phone1.sms_temperature", kBoxOn},
    {"phone2.sms_zone1", kBoxOn}, {"phone2.sms_zone2", kBoxOn}, {"phone2.sms_zone3", kBoxOn},
    {"phone2.sms_arming", kBoxOn}, {"phone2.sms_disarming", kBoxOn}, {"phone2.sms_power", kBoxOn},
    {"phone2.sms_balance", kBoxOn}, {"phone2.sms_temperature", kBoxOn},
    {"phone1.voice_zone1", kBoxOn}, {"phone1.voice_zone2", kBoxOn}, {"phone1.voice_zone3", kBoxOn},
    {"phone2.voice_zone2", kBoxOn}, {"phone3.sms_zone2", kBoxOn}, {"phone3.sms_power", kBoxOn},
    {"phone1.relay2_on", kBoxOn}, {"phone1.relay2_off", kBoxOn}, {"phone4.sms_balance", kBoxOn},
    {"phone5.voice_arming", kBoxOn}, {"phone5.relay6_on", kBoxOn},
    // Relays: a siren, a gate opened by a call, a porch lamp, a cyclic pump,
    // a clock-driven heater.
    {"relay1.mode", nullptr, IDS_RELAY_MODE_SIREN}, {"relay1.siren_zone1", kBoxOn},
    {"relay1.siren_zone2", kBoxOn}, {"relay1.siren_zone3", kBoxOn}, {"relay1.short_beep", kBoxOn},
    {"relay1.on_minutes", u"03"},
    {"relay2.mode", nullptr, IDS_RELAY_MODE_ONCE}, {"relay2.on_minutes", u"01"},
    {"relay2.on_seconds", u"30"}, {"relay2.by_call_or_input", kBoxOn},
    {"relay3.mode", nullptr, IDS_RELAY_MODE_LAMP}, {"relay3.delay", u"10"},
    {"relay4.mode", nullptr, IDS_RELAY_MODE_CYCLIC}, {"relay4.on_minutes", u"10"},
    {"relay4.off_minutes", u"05"}, {"relay4.cyclic_condition", nullptr, IDS_CONDITION_ARMED},
    {"relay4.resume_while_held", kBoxOn},
    {"relay6.mode", nullptr, IDS_RELAY_MODE_ONCE}, {"relay6.on_seconds", u"10"},
    {"relay6.by_call_or_input", kBoxOn},
    {"relay5.mode", nullptr, IDS_RELAY_MODE_CLOCK}, {"relay5.clock_on_hour", u"07"},
    {"relay5.clock_on_minute", u"30"}, {"relay5.clock_off_hour", u"22"},
    // Input 3 goes over to change-only monitoring: its page rewrites its own
    // values, and the calls and the siren of zone 3 go off.
    {"input3.change_only", kBoxOn},
    {"arming.by_call_without_connection", kBoxOn}, {"arming.rings_to_skip", u"2"},
    {"arming.auto_arm_hour", u"23"}, {"arming.auto_disarm_hour", u"07"},
    {"arming.auto_disarm_minute", u"30"}, {"arming.button_mode", nullptr, IDS_BUTTON_ZONE_1},
    {"arming.key1_name", u"Хозяин"}, {"arming.key2_name", u"Хозяйка"},
    {"arming.key3_name", u"Сын"}, {"arming.key4_name", u"Nanny-1"},
    {"balance.operator", nullptr, IDS_OPERATOR_USER}, {"balance.request_number", u"*100#"},
    {"balance.critical_balance", u"50"},
    {"connection.listen_after_alarm", kBoxOn}, {"connection.cancel_remaining_calls", kBoxOn},
    {"security.password", u"4711"}, {"security.caller_id_protection", kBoxOn},
    {"security.test_message_hour", u"12"}, {"security.battery_critical", u"6.5"},
    {"security.power_settle_time", u"10"},
    {"undelivered.call_lifetime", u"5"}, {"undelivered.sms_attempts", u"3"},
    {"temperature.upper", u"35"}, {"temperature.lower", u"05"},
    {"temperature.mode", nullptr, IDS_THERMO_RANGE},
};

}  // namespace

void MakeDemoImage(std::uint8_t* image) {
  InitImage(image);
  Configuration config;
  for (const DemoValue& v : kDemo) {
    const std::optional<FieldRef> field = Configuration::Find(v.key);
    const char16_t* text = v.text ? v.text : FindString(v.entry);
    if (!field || !text || !config.Enter(*field, text).ok)
      throw std::logic_error(std::string("demonstration value refused: ") + v.key);
  }
  config.StoreOver(image);
  // The record area: what the device's newest flash record holds.
  for (int i = 0; i < 252; ++i) image[kParamAreaSize + i] = static_cast<std::uint8_t>(i * 7 + 3);
}

void LoadDemoDevice(EmulatedDevice& device) {
  std::uint8_t image[kImageSize];
  MakeDemoImage(image);
  device.EraseRecordArea();
  // Older records of the history first, the current one last.
  std::uint8_t older[252];
  std::memset(older, 0x11, sizeof older);
  device.SetRecord(0, older, 5);
  std::memset(older, 0x22, sizeof older);
  device.SetRecord(1, older, 6);
  device.SetImage(image, 2, 7);
}

#include "device/DemoConfiguration.h"

#include <cstring>
#include <stdexcept>
#include <string>

#include "pages/HeadlessPageDialog.h"
#include "pages/ImageMap.h"
#include "pages/ModifiedFlag.h"

namespace {

// The demonstration configuration is entered as an installer would: into
// the pages' own controls, through their filters and codecs, and stored by
// the pages; so it cannot disagree with what the pages show.
class Installer {
 public:
  // The control of the field named `key` ("input2.entry_delay"), and the
  // page's dialog.
  HeadlessPageDialog& Find(const std::string& key, int& control, int& control2) {
    for (int i = 0; i < kPageCount; ++i) {
      const FieldPage& page = pages_.Fields(i);
      for (const FieldRow& row : page.Fields().rows)
        if (row.ExistsFor(page.Member()) && FieldKey(row, page.Member()) == key) {
          control = row.control;
          control2 = row.control2;
          return pages_.Dialog(i);
        }
    }
    throw std::logic_error("no field " + key);
  }
  Installer& Enter(const std::string& key, const std::u16string& text) {
    int control, control2;
    HeadlessPageDialog& dialog = Find(key, control, control2);
    if (control2) {  // x.y: the units and the tenths edits
      dialog.Enter(control, text.substr(0, 1));
      dialog.Enter(control2, text.substr(2, 1));
    } else {
      dialog.Enter(control, text);
    }
    return *this;
  }
  Installer& Tick(const std::string& key) {
    int control, control2;
    HeadlessPageDialog& dialog = Find(key, control, control2);
    if (!dialog.GetCheck(control)) dialog.Click(control);
    return *this;
  }
  Installer& Untick(const std::string& key) {
    int control, control2;
    HeadlessPageDialog& dialog = Find(key, control, control2);
    if (dialog.GetCheck(control)) dialog.Click(control);
    return *this;
  }
  Installer& Choose(const std::string& key, int index) {
    int control, control2;
    Find(key, control, control2).Choose(control, index);
    return *this;
  }
  void Store(std::uint8_t* image) { pages_.StoreToImage(image); }

 private:
  HeadlessPages pages_;
};

}  // namespace

void MakeDemoImage(std::uint8_t* image) {
  InitImage(image);
  const int saved = modifiedFlag;  // entering values marks the pages modified
  Installer a;
  // The entrance door, a fire sensor in the kitchen, a water sensor in the
  // bathroom watched only on change.
  a.Enter("input1.entry_delay", u"30").Enter("input1.restore_time", u"2")
      .Enter("input1.max_alarms", u"3").Enter("input1.averaging", u"10")
      .Enter("input1.upper_threshold", u"4.5").Enter("input1.lower_threshold", u"1.5")
      .Choose("input1.zone_type", 2).Enter("input1.alarm_text", u"Открыта входная дверь")
      .Tick("input1.relay1_on").Tick("input1.relay3_on");
  a.Enter("input2.restore_time", u"2").Enter("input2.max_alarms", u"3")
      .Enter("input2.averaging", u"20").Enter("input2.upper_threshold", u"4.5")
      .Enter("input2.lower_threshold", u"1.5").Choose("input2.trigger_mode", 2)
      .Choose("input2.zone_type", 3).Enter("input2.alarm_text", u"Пожар на кухне")
      .Enter("input2.zone_alias", u"Кухня").Enter("input2.on_alias", u"Дым")
      .Enter("input2.off_alias", u"Норма").Tick("input2.relay1_on").Tick("input2.relay2_on");
  a.Choose("input3.zone_type", 4).Enter("input3.alarm_text", u"Протечка в ванной")
      .Enter("input3.zone_alias", u"Ванная").Enter("input3.on_alias", u"Вода")
      .Enter("input3.off_alias", u"Сухо").Tick("input3.relay4_on").Tick("input3.relay5_off");
  // Two subscribers with SMS and calls, a third with SMS only.
  a.Enter("phone1.number", u"+79161234567").Enter("phone2.number", u"89037654321")
      .Enter("phone3.number", u"84951234567").Enter("phone4.number", u"*#8800")
      .Enter("phone5.number", u"+74957654321");
  for (const char* event : {"zone1", "zone2", "zone3", "arming", "disarming", "power",
                            "balance", "temperature"}) {
    a.Tick(std::string("phone1.sms_") + event).Tick(std::string("phone2.sms_") + event);
    a.Untick(std::string("phone1.voice_") + event).Untick(std::string("phone2.voice_") + event);
  }
  a.Tick("phone1.voice_zone1").Tick("phone1.voice_zone2").Tick("phone1.voice_zone3")
      .Tick("phone2.voice_zone2").Tick("phone3.sms_zone2").Tick("phone3.sms_power")
      .Tick("phone1.relay2_on").Tick("phone1.relay2_off").Tick("phone4.sms_balance")
      .Tick("phone5.voice_arming").Tick("phone5.relay6_on");
  // Relays: a siren, a gate opened by a call, a porch lamp, a cyclic pump,
  // a clock-driven heater.
  a.Choose("relay1.mode", 2).Tick("relay1.siren_zone1").Tick("relay1.siren_zone2")
      .Tick("relay1.siren_zone3").Tick("relay1.short_beep").Enter("relay1.on_minutes", u"03");
  a.Choose("relay2.mode", 1).Enter("relay2.on_minutes", u"01").Enter("relay2.on_seconds", u"30")
      .Tick("relay2.by_call_or_input");
  a.Choose("relay3.mode", 4).Enter("relay3.delay", u"10");
  a.Choose("relay4.mode", 3).Enter("relay4.on_minutes", u"10").Enter("relay4.off_minutes", u"05")
      .Choose("relay4.cyclic_condition", 1).Tick("relay4.resume_while_held");
  a.Choose("relay6.mode", 1).Enter("relay6.on_seconds", u"10").Tick("relay6.by_call_or_input");
  a.Choose("relay5.mode", 5).Enter("relay5.clock_on_hour", u"07")
      .Enter("relay5.clock_on_minute", u"30").Enter("relay5.clock_off_hour", u"22");
  // Input 3 goes over to change-only monitoring: its page rewrites its own
  // values, and the calls and the siren of zone 3 go off.
  a.Tick("input3.change_only");
  a.Tick("arming.by_call_without_connection").Enter("arming.rings_to_skip", u"2")
      .Enter("arming.auto_arm_hour", u"23").Enter("arming.auto_disarm_hour", u"07")
      .Enter("arming.auto_disarm_minute", u"30").Choose("arming.button_mode", 2)
      .Enter("arming.key1_name", u"Хозяин").Enter("arming.key2_name", u"Хозяйка")
      .Enter("arming.key3_name", u"Сын").Enter("arming.key4_name", u"Nanny-1");
  a.Choose("balance.operator", 4).Enter("balance.request_number", u"*100#")
      .Enter("balance.critical_balance", u"50");
  a.Tick("connection.listen_after_alarm").Tick("connection.cancel_remaining_calls");
  a.Enter("security.password", u"4711").Tick("security.caller_id_protection")
      .Enter("security.test_message_hour", u"12").Enter("security.battery_critical", u"6.5")
      .Enter("security.power_settle_time", u"10");
  a.Enter("undelivered.call_lifetime", u"5").Enter("undelivered.sms_attempts", u"3");
  a.Enter("temperature.upper", u"35").Enter("temperature.lower", u"05")
      .Choose("temperature.mode", 1);
  a.Store(image);
  modifiedFlag = saved;
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

// The field tables of the page families and of the single pages, and the
// 23 pages in page order (the order of the tree, of creation and of storing
// and loading). Constant data.
#pragma once
#include <string>

#include "config/FieldTable.h"

extern const PageFields kInputPage1Fields;
extern const PageFields kInputPage2Fields;
extern const PageFields kPhonePageFields;
extern const PageFields kSetResPageFields;
extern const PageFields kRelayPageFields;
extern const PageFields kBalansPageFields;
extern const PageFields kConnectPageFields;
extern const PageFields kSecurPageFields;
extern const PageFields kNotSmsPageFields;
extern const PageFields kThermoPageFields;

// The rows of kInputPage1Fields, in table order.
enum InputPage1Row : int {
  kInEntryDelay, kInRestoreTime, kInMaxAlarms, kInAveraging, kInUpperThreshold,
  kInLowerThreshold, kInTriggerMode, kIn24Hour, kInChangeOnly,
};

// The rows of kPhonePageFields in the data-model order: the number, relays
// 1-6 on, relays 1-6 off, SMS on events 1-8, voice call on events 1-8.
enum PhonePageRow : int {
  kPhoneNumberRow = 0,
  kPhoneRelayOnRow = 1,    // + relay - 1
  kPhoneRelayOffRow = 7,   // + relay - 1
  kPhoneSmsRow = 13,       // + event - 1
  kPhoneVoiceRow = 21,     // + event - 1
  kPhoneRowCount = 29,
};

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

enum BalansPageRow : int { kBalansOperatorRow, kBalansNumberRow, kBalansCriticalRow };
enum SecurPageRow : int { kSecurPasswordRow, kSecurCallerIdRow, kSecurTestHourRow,
                          kSecurBatteryRow, kSecurSettleRow };

constexpr int kPageCount = 23;

// One of the 23 pages: its tree label, its dialog template, the table of
// its fields, its member number in its family and the caption of its frame.
struct PageEntry {
  int labelId;
  int dialogId;
  const PageFields* fields;
  int member;
  int titleId;
};
extern const PageEntry kPages[kPageCount];

// The page's stable key ("input2_1", "phone3", "arming").
std::string PageKey(const PageEntry& page);

// The phone number pages: five numbers, and for each which relays a call
// from it switches on and off, and on which of eight events the device sends
// it an SMS and calls it with a voice message. Page p owns bit p-1 of every
// shared flag byte.
#pragma once
#include "pages/FieldPage.h"

extern const PageFields kPhonePageFields;

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

// Change-only monitoring of input k switched on clears the voice call on the
// alarm of zone k (event k); switched off ticks it. The SMS boxes stay.
class PhonePage : public ZoneFollowingPage {
 public:
  PhonePage(IPageDialog& dialog, int phone)
      : ZoneFollowingPage(dialog, kPhonePageFields, phone, kPhoneVoiceRow) {}
};

using CtrlPageTel1 = Member<PhonePage, 1>;
using CtrlPageTel2 = Member<PhonePage, 2>;
using CtrlPageTel3 = Member<PhonePage, 3>;
using CtrlPageTel4 = Member<PhonePage, 4>;
using CtrlPageTel5 = Member<PhonePage, 5>;

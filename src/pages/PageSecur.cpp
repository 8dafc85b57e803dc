#include "pages/PageSecur.h"

#include "pages/Codecs.h"
#include "pages/ImageMap.h"
#include "pages/PageFramework.h"
#include "res/resource.h"

namespace {
constexpr FieldRow kRows[] = {
    PageTextRow({"security.password", IDS_SECUR_PASSWORD}, IDC_SECUR_PASSWORD, Digits,
                kPasswordSize),
    MarkerRow({"security.caller_id_protection", IDS_SECUR_CALLER_ID}, IDC_SECUR_CALLER_ID,
              {kCallerIdProtection}),
    BcdRow({"security.test_message_hour", IDS_SECUR_TEST_HOUR}, IDC_SECUR_TEST_HOUR,
           {kTestMessageHour}, 23, u"00", 0),
    // Starts at 9.9 on a fresh page, but an invalid byte loads as 6.0.
    TenthsRow({"security.battery_critical", IDS_SECUR_BATTERY}, IDC_SECUR_BATTERY_UNITS,
              IDC_SECUR_BATTERY_TENTHS, {kBatteryCritical}, u"99"),
    TwoDigitsRow({"security.power_settle_time", IDS_SECUR_SETTLE}, IDC_SECUR_SETTLE,
                 {kPowerSettleTime}, 0, 59, u"30", 30),
};
}  // namespace

const PageFields kSecurPageFields{"security", kRows};

void CtrlPageSecur::StoreToImage(std::uint8_t* image) {
  FieldPage::StoreToImage(image);
  const std::u16string& password = Value(kSecurPasswordRow).text;
  image[kPasswordPresent] = kMarkerAbsent;
  // Fewer than four digits delete the password on the device; the old
  // digits stay where they are.
  if (password.size() < kPasswordSize) return;
  for (int i = 0; i < kPasswordSize; ++i) {
    if (!IsDigitChar(password[i])) return;
    image[kPassword + i] = static_cast<std::uint8_t>(password[i]);
  }
  image[kPasswordPresent] = kMarkerPresent;
}

void CtrlPageSecur::LoadFromImage(const std::uint8_t* image) {
  std::u16string& password = Hold(kSecurPasswordRow).text;
  password.clear();
  if (image[kPasswordPresent] == kMarkerPresent) {
    for (int i = 0; i < kPasswordSize && IsDigitChar(image[kPassword + i]); ++i)
      password.push_back(image[kPassword + i]);
    if (password.size() < kPasswordSize) password.clear();
  }
  FieldPage::LoadFromImage(image);  // the other fields, then all controls
}

// The security and power page: the access password, caller-ID protection,
// the hour of the test message, the critical level of the backup battery and
// the time the device lets the power state settle.
#pragma once
#include "pages/FieldPage.h"

extern const PageFields kSecurPageFields;

enum SecurPageRow : int { kSecurPasswordRow, kSecurCallerIdRow, kSecurTestHourRow,
                          kSecurBatteryRow, kSecurSettleRow };

class CtrlPageSecur : public FieldPage {
 public:
  explicit CtrlPageSecur(IPageDialog& dialog) : FieldPage(dialog, kSecurPageFields, 1) {}
  // The table's fields, then the password: four digits store the password
  // and its marker; fewer store "no password" and leave the old digits.
  void StoreToImage(std::uint8_t* image) override;
  // The password shows only with its marker set and four ASCII digits.
  void LoadFromImage(const std::uint8_t* image) override;
};

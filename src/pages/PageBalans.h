// The balance auto-check page: which operator's balance request the device
// uses (or that the user supplies the request number), that number, and the
// critical balance below which the device reacts.
#pragma once
#include "pages/FieldPage.h"

extern const PageFields kBalansPageFields;

enum BalansPageRow : int { kBalansOperatorRow, kBalansNumberRow, kBalansCriticalRow };

class CtrlPageBalans : public FieldPage {
 public:
  explicit CtrlPageBalans(IPageDialog& dialog) : FieldPage(dialog, kBalansPageFields, 1) {}
  // The table's fields, then the request number: "*", digits, "#" is stored
  // up to its "#" (the bytes after it stay); anything else stores only the
  // end mark in its first byte.
  void StoreToImage(std::uint8_t* image) override;
  // The number shows only when its bytes have that form within the field.
  void LoadFromImage(const std::uint8_t* image) override;
};

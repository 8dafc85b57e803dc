#include "pages/PageBalans.h"

#include "pages/Codecs.h"
#include "pages/ImageMap.h"
#include "pages/PageFramework.h"
#include "res/resource.h"

namespace {
// String id 109 belongs to no entry.
constexpr int kOperatorStrings[] = {IDS_OPERATOR_OFF, IDS_OPERATOR_1, IDS_OPERATOR_2,
                                    IDS_OPERATOR_3, IDS_OPERATOR_USER};
constexpr std::uint8_t kOperatorCodes[] = {'0', '1', '2', '3', '4'};
constexpr ListDef kOperators{kOperatorStrings, kOperatorCodes};

constexpr FieldRow kRows[] = {
    ListRow({"balance.operator", IDS_BALANS_OPERATOR}, IDC_BALANS_OPERATOR, {kBalanceCheck},
            kOperators, 0, 0),
    PageTextRow({"balance.request_number", IDS_PHONE_NUMBER}, IDC_BALANS_NUMBER, PhoneChars,
                kBalanceRequestSize),
    BcdRow({"balance.critical_balance", IDS_BALANS_CRITICAL}, IDC_BALANS_CRITICAL,
           {kCriticalBalance}, 99, u"80", 80),
};

// The length of "*", digits, "#" at the start of `chars` (at most `size`
// of them), or 0 when they do not have that form.
template <class Char>
int RequestLength(const Char* chars, int size) {
  if (size < 1 || chars[0] != '*') return 0;
  for (int i = 1; i < size; ++i) {
    if (chars[i] == '#') return i + 1;
    if (chars[i] < '0' || chars[i] > '9') return 0;
  }
  return 0;
}
}  // namespace

const PageFields kBalansPageFields{"balance", kRows};

void CtrlPageBalans::StoreToImage(std::uint8_t* image) {
  FieldPage::StoreToImage(image);
  const std::u16string& number = Value(kBalansNumberRow).text;
  // Never more than the field's nine bytes, whatever the holder holds.
  const int size = std::min(static_cast<int>(number.size()), kBalanceRequestSize);
  const int length = RequestLength(number.data(), size);
  if (length == 0) {
    image[kBalanceRequest] = kTextEnd;
    return;
  }
  for (int i = 0; i < length; ++i)
    image[kBalanceRequest + i] = static_cast<std::uint8_t>(number[i]);
}

void CtrlPageBalans::LoadFromImage(const std::uint8_t* image) {
  const int length = RequestLength(image + kBalanceRequest, kBalanceRequestSize);
  Hold(kBalansNumberRow).text.assign(image + kBalanceRequest, image + kBalanceRequest + length);
  FieldPage::LoadFromImage(image);  // the other fields, then all controls
}

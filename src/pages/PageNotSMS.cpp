#include "pages/PageNotSMS.h"

#include "pages/ImageMap.h"
#include "res/resource.h"

namespace {
// A value above the range loads as the maximum.
constexpr FieldRow kRows[] = {
    OneDigitRow({"undelivered.call_lifetime", IDS_NOTSMS_LIFETIME}, IDC_NOTSMS_LIFETIME,
                {kCallLifetime}, u"9", 9),
    OneDigitRow({"undelivered.sms_attempts", IDS_NOTSMS_ATTEMPTS}, IDC_NOTSMS_ATTEMPTS,
                {kSmsAttempts}, u"9", 9),
};
}  // namespace

const PageFields kNotSmsPageFields{"undelivered", kRows};

#include "pages/PageTable.h"

#include "pages/PageBalans.h"
#include "pages/PageConnect.h"
#include "pages/PageInputs.h"
#include "pages/PageNotSMS.h"
#include "pages/PagePhones.h"
#include "pages/PageRelays.h"
#include "pages/PageSecur.h"
#include "pages/PageSetRes.h"
#include "pages/PageThermo.h"
#include "res/resource.h"

namespace {
// A page of class T, whose table is `fields`.
template <class T>
constexpr PageEntry Page(int label, int dialog, const PageFields& fields, int member = 1) {
  return {label, dialog, MakeFactory<T>, &fields, member};
}
template <class T>
constexpr PageEntry MemberPage(int label, int dialog, const PageFields& fields) {
  return Page<T>(label, dialog, fields, T::kMember);
}
}  // namespace

const PageEntry kPageTable[23] = {
    MemberPage<CtrlPageIn1_1>(IDS_PAGE_IN1_1, IDD_PAGE_IN1_1, kInputPage1Fields),
    MemberPage<CtrlPageIn1_2>(IDS_PAGE_IN1_2, IDD_PAGE_IN1_2, kInputPage2Fields),
    MemberPage<CtrlPageIn2_1>(IDS_PAGE_IN2_1, IDD_PAGE_IN2_1, kInputPage1Fields),
    MemberPage<CtrlPageIn2_2>(IDS_PAGE_IN2_2, IDD_PAGE_IN2_2, kInputPage2Fields),
    MemberPage<CtrlPageIn3_1>(IDS_PAGE_IN3_1, IDD_PAGE_IN3_1, kInputPage1Fields),
    MemberPage<CtrlPageIn3_2>(IDS_PAGE_IN3_2, IDD_PAGE_IN3_2, kInputPage2Fields),
    MemberPage<CtrlPageTel1>(IDS_PAGE_TEL1, IDD_PAGE_TEL1, kPhonePageFields),
    MemberPage<CtrlPageTel2>(IDS_PAGE_TEL2, IDD_PAGE_TEL2, kPhonePageFields),
    MemberPage<CtrlPageTel3>(IDS_PAGE_TEL3, IDD_PAGE_TEL3, kPhonePageFields),
    MemberPage<CtrlPageTel4>(IDS_PAGE_TEL4, IDD_PAGE_TEL4, kPhonePageFields),
    MemberPage<CtrlPageTel5>(IDS_PAGE_TEL5, IDD_PAGE_TEL5, kPhonePageFields),
    Page<CtrlPageSetRes>(IDS_PAGE_SETRES, IDD_PAGE_SETRES, kSetResPageFields),
    MemberPage<CtrlPageRelay1>(IDS_PAGE_RELAY1, IDD_PAGE_RELAY1, kRelayPageFields),
    MemberPage<CtrlPageRelay2>(IDS_PAGE_RELAY2, IDD_PAGE_RELAY2, kRelayPageFields),
    MemberPage<CtrlPageRelay3>(IDS_PAGE_RELAY3, IDD_PAGE_RELAY3, kRelayPageFields),
    MemberPage<CtrlPageRelay4>(IDS_PAGE_RELAY4, IDD_PAGE_RELAY4, kRelayPageFields),
    MemberPage<CtrlPageRelay5>(IDS_PAGE_RELAY5, IDD_PAGE_RELAY5, kRelayPageFields),
    MemberPage<CtrlPageRelay6>(IDS_PAGE_RELAY6, IDD_PAGE_RELAY6, kRelayPageFields),
    Page<CtrlPageBalans>(IDS_PAGE_BALANS, IDD_PAGE_BALANS, kBalansPageFields),
    Page<CtrlPageConnect>(IDS_PAGE_CONNECT, IDD_PAGE_CONNECT, kConnectPageFields),
    Page<CtrlPageSecur>(IDS_PAGE_SECUR, IDD_PAGE_SECUR, kSecurPageFields),
    Page<CtrlPageNotSMS>(IDS_PAGE_NOTSMS, IDD_PAGE_NOTSMS, kNotSmsPageFields),
    Page<CtrlPageThermo>(IDS_PAGE_THERMO, IDD_PAGE_THERMO, kThermoPageFields),
};

std::string PageKey(const PageEntry& page) {
  std::string key = page.fields->key;
  const std::size_t hash = key.find('#');
  if (hash != std::string::npos) key.replace(hash, 1, std::to_string(page.member));
  return key;
}

// The 23 page controller classes. Every page is the one field engine
// (FieldPage) over its part of the configuration model; the families are
// one class each over the member number. The only rule a page carries
// beyond its table is the change-only box of inputs 2 and 3, which tells
// the main window after the model applied it.
#pragma once
#include "config/PageFields.h"
#include "pages/FieldPage.h"

// The first page of input k. Ticking or clearing the change-only box of
// inputs 2 and 3 rewrites some of the page's values (the model's
// ApplyChangeOnlyMode) and tells the main window, which passes it on to the
// phone and relay pages.
class InputPage1 : public FieldPage {
 public:
  using FieldPage::FieldPage;
  void OnCommand(IPageDialog& dialog, int control, int code) override;
  // The page order index of member k.
  static constexpr int PageIndex(int k) { return 2 * (k - 1); }
};

// The families without rules of their own.
class InputPage2 : public FieldPage {
 public:
  using FieldPage::FieldPage;
  static constexpr int PageIndex(int k) { return 2 * (k - 1) + 1; }
};
class PhonePage : public FieldPage {
 public:
  using FieldPage::FieldPage;
  static constexpr int PageIndex(int k) { return 5 + k; }
};
class RelayPage : public FieldPage {
 public:
  using FieldPage::FieldPage;
  static constexpr int PageIndex(int k) { return 11 + k; }
};

// Member K of a page family, a class of its own made by its own factory.
template <class Family, int K>
class Member : public Family {
 public:
  static constexpr int kMember = K;
  static constexpr int kPageIndex = Family::PageIndex(K);
  using Family::Family;
};

using CtrlPageIn1_1 = Member<InputPage1, 1>;
using CtrlPageIn2_1 = Member<InputPage1, 2>;
using CtrlPageIn3_1 = Member<InputPage1, 3>;
using CtrlPageIn1_2 = Member<InputPage2, 1>;
using CtrlPageIn2_2 = Member<InputPage2, 2>;
using CtrlPageIn3_2 = Member<InputPage2, 3>;
using CtrlPageTel1 = Member<PhonePage, 1>;
using CtrlPageTel2 = Member<PhonePage, 2>;
using CtrlPageTel3 = Member<PhonePage, 3>;
using CtrlPageTel4 = Member<PhonePage, 4>;
using CtrlPageTel5 = Member<PhonePage, 5>;
using CtrlPageRelay1 = Member<RelayPage, 1>;
using CtrlPageRelay2 = Member<RelayPage, 2>;
using CtrlPageRelay3 = Member<RelayPage, 3>;
using CtrlPageRelay4 = Member<RelayPage, 4>;
using CtrlPageRelay5 = Member<RelayPage, 5>;
using CtrlPageRelay6 = Member<RelayPage, 6>;

// The single pages, each a class of its own; kPageIndex is the page's
// place in page order.
class CtrlPageSetRes : public FieldPage {
 public:
  using FieldPage::FieldPage;
  static constexpr int kPageIndex = 11;
};
class CtrlPageBalans : public FieldPage {
 public:
  using FieldPage::FieldPage;
  static constexpr int kPageIndex = 18;
};
class CtrlPageConnect : public FieldPage {
 public:
  using FieldPage::FieldPage;
  static constexpr int kPageIndex = 19;
};
class CtrlPageSecur : public FieldPage {
 public:
  using FieldPage::FieldPage;
  static constexpr int kPageIndex = 20;
};
class CtrlPageNotSMS : public FieldPage {
 public:
  using FieldPage::FieldPage;
  static constexpr int kPageIndex = 21;
};
class CtrlPageThermo : public FieldPage {
 public:
  using FieldPage::FieldPage;
  static constexpr int kPageIndex = 22;
};

// The 23 page controller classes. Every page is the one field engine
// (FieldPage) over its part of the configuration model; the families are
// one class each over the member number. No page carries a rule of its
// own: the model applies them all.
#pragma once
#include "config/PageFields.h"
#include "pages/FieldPage.h"

// The first page of input k. Ticking or clearing the change-only box of
// inputs 2 and 3 rewrites some of the page's values (the model's
// change-only rule); the page shows all its values again after every click
// on that box.
class InputPage1 : public FieldPage {
 public:
  using FieldPage::FieldPage;
  void OnCommand(IPageDialog& dialog, int control, int code) override;
  // The page order index of member k.
  static constexpr int PageIndex(int k) { return 2 * (k - 1); }
};

// The families without rules of their own: member k stands at page order
// index First + Step * (k - 1).
template <int First, int Step>
class PlainFamily : public FieldPage {
 public:
  using FieldPage::FieldPage;
  static constexpr int PageIndex(int k) { return First + Step * (k - 1); }
};
using InputPage2 = PlainFamily<1, 2>;
using PhonePage = PlainFamily<6, 1>;
using RelayPage = PlainFamily<12, 1>;

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

// The single pages, each a class of its own at page order index `Index`.
template <int Index>
class SinglePage : public FieldPage {
 public:
  using FieldPage::FieldPage;
  static constexpr int kPageIndex = Index;
};
using CtrlPageSetRes = SinglePage<11>;
using CtrlPageBalans = SinglePage<18>;
using CtrlPageConnect = SinglePage<19>;
using CtrlPageSecur = SinglePage<20>;
using CtrlPageNotSMS = SinglePage<21>;
using CtrlPageThermo = SinglePage<22>;

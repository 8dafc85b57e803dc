#include "pages/PageTable.h"

#include "pages/Pages.h"

namespace {
using Maker = std::unique_ptr<CtrlFactory> (*)();
constexpr Maker kMakers[kPageCount] = {
    MakeFactory<CtrlPageIn1_1>,  MakeFactory<CtrlPageIn1_2>,  MakeFactory<CtrlPageIn2_1>,
    MakeFactory<CtrlPageIn2_2>,  MakeFactory<CtrlPageIn3_1>,  MakeFactory<CtrlPageIn3_2>,
    MakeFactory<CtrlPageTel1>,   MakeFactory<CtrlPageTel2>,   MakeFactory<CtrlPageTel3>,
    MakeFactory<CtrlPageTel4>,   MakeFactory<CtrlPageTel5>,   MakeFactory<CtrlPageSetRes>,
    MakeFactory<CtrlPageRelay1>, MakeFactory<CtrlPageRelay2>, MakeFactory<CtrlPageRelay3>,
    MakeFactory<CtrlPageRelay4>, MakeFactory<CtrlPageRelay5>, MakeFactory<CtrlPageRelay6>,
    MakeFactory<CtrlPageBalans>, MakeFactory<CtrlPageConnect>, MakeFactory<CtrlPageSecur>,
    MakeFactory<CtrlPageNotSMS>, MakeFactory<CtrlPageThermo>,
};
}  // namespace

std::unique_ptr<CtrlFactory> MakePageFactory(int index) { return kMakers[index](); }

// Every class stands at its own place in page order.
static_assert(CtrlPageIn1_1::kPageIndex == 0 && CtrlPageIn3_2::kPageIndex == 5 &&
              CtrlPageTel1::kPageIndex == 6 && CtrlPageTel5::kPageIndex == 10 &&
              CtrlPageRelay1::kPageIndex == 12 && CtrlPageRelay6::kPageIndex == 17);

#include "pages/PageTable.h"

#include "pages/PageConnect.h"
#include "pages/PageNotSMS.h"
#include "pages/PageThermo.h"
#include "res/resource.h"

const PageEntry kPageTable[23] = {
    {IDS_PAGE_IN1_1, IDD_PAGE_IN1_1, nullptr},
    {IDS_PAGE_IN1_2, IDD_PAGE_IN1_2, nullptr},
    {IDS_PAGE_IN2_1, IDD_PAGE_IN2_1, nullptr},
    {IDS_PAGE_IN2_2, IDD_PAGE_IN2_2, nullptr},
    {IDS_PAGE_IN3_1, IDD_PAGE_IN3_1, nullptr},
    {IDS_PAGE_IN3_2, IDD_PAGE_IN3_2, nullptr},
    {IDS_PAGE_TEL1, IDD_PAGE_TEL1, nullptr},
    {IDS_PAGE_TEL2, IDD_PAGE_TEL2, nullptr},
    {IDS_PAGE_TEL3, IDD_PAGE_TEL3, nullptr},
    {IDS_PAGE_TEL4, IDD_PAGE_TEL4, nullptr},
    {IDS_PAGE_TEL5, IDD_PAGE_TEL5, nullptr},
    {IDS_PAGE_SETRES, IDD_PAGE_SETRES, nullptr},
    {IDS_PAGE_RELAY1, IDD_PAGE_RELAY1, nullptr},
    {IDS_PAGE_RELAY2, IDD_PAGE_RELAY2, nullptr},
    {IDS_PAGE_RELAY3, IDD_PAGE_RELAY3, nullptr},
    {IDS_PAGE_RELAY4, IDD_PAGE_RELAY4, nullptr},
    {IDS_PAGE_RELAY5, IDD_PAGE_RELAY5, nullptr},
    {IDS_PAGE_RELAY6, IDD_PAGE_RELAY6, nullptr},
    {IDS_PAGE_BALANS, IDD_PAGE_BALANS, nullptr},
    {IDS_PAGE_CONNECT, IDD_PAGE_CONNECT, MakeFactory<CtrlPageConnect>},
    {IDS_PAGE_SECUR, IDD_PAGE_SECUR, nullptr},
    {IDS_PAGE_NOTSMS, IDD_PAGE_NOTSMS, MakeFactory<CtrlPageNotSMS>},
    {IDS_PAGE_THERMO, IDD_PAGE_THERMO, MakeFactory<CtrlPageThermo>},
};

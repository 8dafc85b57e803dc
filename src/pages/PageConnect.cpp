#include "pages/PageConnect.h"

#include "pages/ImageMap.h"
#include "res/resource.h"

namespace {
constexpr FieldRow kRows[] = {
    FlagRow({"connection.listen_after_alarm", IDS_CONNECT_LISTEN}, IDC_CONNECT_LISTEN,
            {kConnectFlags}, kConnectListenBit, false, 0),
    FlagRow({"connection.rejected_counts_as_success", IDS_CONNECT_REJECTED},
            IDC_CONNECT_REJECTED, {kConnectFlags}, kConnectRejectedOkBit, false, 0),
    FlagRow({"connection.cancel_remaining_calls", IDS_CONNECT_CANCEL}, IDC_CONNECT_CANCEL,
            {kConnectFlags}, kConnectCancelRestBit, false, 0),
};
}  // namespace

const PageFields kConnectPageFields{"connection", kRows};

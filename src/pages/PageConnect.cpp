#include "pages/PageConnect.h"

#include "pages/Codecs.h"
#include "pages/ImageMap.h"
#include "pages/PageFramework.h"
#include "res/page_ids.h"

namespace {
constexpr int kBoxes[3] = {IDC_CONNECT_LISTEN, IDC_CONNECT_REJECTED, IDC_CONNECT_CANCEL};
constexpr std::uint8_t kBits[3] = {kConnectListenBit, kConnectRejectedOkBit,
                                   kConnectCancelRestBit};
}  // namespace

CtrlPageConnect::CtrlPageConnect(IPageDialog& dialog) : DlgCtrlr(dialog) { UpdateControls(); }

void CtrlPageConnect::UpdateControls() {
  for (int i = 0; i < 3; ++i) SetCheckBox(kBoxes[i], states_[i], dialog_);
}

void CtrlPageConnect::StoreToImage(std::uint8_t* image) {
  // Bits 3-7 belong to other owners and keep their values.
  for (int i = 0; i < 3; ++i) StoreFlagBit(image, kConnectFlags, kBits[i], states_[i] == 1);
}

void CtrlPageConnect::LoadFromImage(const std::uint8_t* image) {
  for (int i = 0; i < 3; ++i) states_[i] = (image[kConnectFlags] & kBits[i]) ? 1 : 0;
  UpdateControls();
}

void CtrlPageConnect::OnCommand(IPageDialog& dialog, int control, int code) {
  if (code != kBnClicked) return;
  for (int i = 0; i < 3; ++i)
    if (control == kBoxes[i]) TakeCheckBox(control, states_[i], dialog);
}

// The wParam codes of the WM_APP messages posted to the main window: one
// message number for three senders (the page framework, the device worker
// and the input pages).
#pragma once

namespace Notify {
enum Code : unsigned {
  ModifiedNotice = 0,   // from the page framework: the modified flag was just set
  Progress = 1,         // value: position on the transfer's scale
  CheckDone = 3,        // value: 1 device present, 0 not
  ReadParamDone = 4,    // value: 1 success, 0 failure
  WriteParamDone = 5,
  ReadRecordDone = 6,
  WriteRecordDone = 7,
  // From the first page of inputs 2 and 3; value: the input index (1, 2).
  ChangeOnlyOn = 11,    // change-only monitoring switched on: voice calls
                        // and sirens for that zone go off
  ChangeOnlyOff = 12,   // switched off again: they come back
};
}  // namespace Notify

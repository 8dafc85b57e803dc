// What all pages share: the modified signal, the control helpers and the
// keystroke filters of their edits. Controls are identified by their ids in
// the page dialog; every helper reaches them through the page's IPageDialog.
#pragma once
#include <cstdint>
#include <string>

#include "app/MainView.h"
#include "pages/PageDialog.h"

// Notification codes of WM_COMMAND that the pages react to.
constexpr int kBnClicked = 0;         // check box clicked
constexpr int kCbnSelChange = 1;      // drop-down list selection changed
constexpr int kEnUpdate = 0x0400;     // edit text about to be shown

// Modes of TextEditFilter.
enum TextFilterMode : int {
  PhoneChars = 0,             // digits, "#", "*"
  PhoneCharsLeadingPlus = 1,  // as PhoneChars, and "+" in the first position
  DeviceText = 2,             // every character the device text can store
  Digits = 11,                // decimal digits only
};

// Sets the process-wide modified flag. Only the change from clear to set
// tells the main window (WM_APP code 0), and only when the page has a parent.
void MarkModified(IPageDialog& dialog);

// Appends the string-table texts `ids[0..count-1]` to a drop-down list, in
// order; a text that cannot be loaded throws.
void FillComboFromStrings(const int* ids, int combo, int count, IPageDialog& dialog);

// Tells the main window that input `input` (1 for input 2, 2 for input 3)
// was switched to change-only monitoring (enable false, code 11) or back
// (enable true, code 12). Called by the first page of inputs 2 and 3 right
// after a click on its change-only box really changed the state, never while
// loading; the main window passes it on to every IInputModeFollower.
void PostInputModeNotice(IPageDialog& dialog, int input, bool enable);

// Offers an input-mode notice (input index, change-only switched on or off)
// to every page of `pages` that follows it, in page order; an index outside
// 0-2 reaches them as -1. The main window's part of the notice.
void OfferInputModeNotice(IPageSet& pages, std::intptr_t input, bool changeOnly);

// Control writes that send no notification, and the edit selection.
void SetComboSelection(int combo, int index, IPageDialog& dialog);
void SetCheckBox(int box, int state, IPageDialog& dialog);
void GetEditSelection(int edit, int& start, int& end, IPageDialog& dialog);

// Takes the list's selection into `index`; marks the configuration modified
// when it differs.
void TakeComboSelection(int combo, int& index, IPageDialog& dialog);
// Takes the check box's state into `state`; marks the configuration modified
// and returns 1 when it differs, returns 0 otherwise.
int TakeCheckBox(int box, int& state, IPageDialog& dialog);

// The EN_UPDATE filter of a fixed-width decimal field: `text` always holds
// exactly `digits` digits forming a value in min-max. A digit typed at the end
// of a full field shifts the field left, a digit typed inside it pushes the
// last digit out, deleted digits come back (deleting only moves the caret), a
// value out of range leaves the field as it was. The edit is rewritten only
// when it shows something else than the page holds.
void NumberEditFilter(int edit, std::u16string& text, IPageDialog& dialog, int min, int max,
                      int digits);
// NumberEditFilter with range 0-9 and one digit.
void DigitEditFilter(int edit, std::u16string& text, IPageDialog& dialog);
// The EN_UPDATE filter of a free text or phone number of at most maxLen
// characters: removes the characters that `mode` refuses and cuts the text at
// maxLen. An empty text is allowed.
void TextEditFilter(int edit, std::u16string& text, IPageDialog& dialog, int mode, int maxLen);

// The code of list entry `index` in a page's code table, or the code of entry
// 0 when the index lies outside the table.
std::uint8_t ListCode(const std::uint8_t* codes, int count, int index);
// The index of the first entry of a page's code table that holds `code`, or
// `def` when none does.
int ListIndex(const std::uint8_t* codes, int count, std::uint8_t code, int def);

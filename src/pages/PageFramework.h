// What all page controllers share: the modified signal, the control helpers
// and the keystroke filters of their edits over the dialog's controls.
// Controls are identified by their ids in the page dialog; every helper
// reaches them through the page's IPageDialog. The filters themselves are
// plain functions of the configuration layer (config/EditFilters.h); the
// helpers here read the edit, run them and write the edit back.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "config/EditFilters.h"
#include "config/ModifiedFlag.h"
#include "pages/PageDialog.h"

// Notification codes of WM_COMMAND that the pages react to.
constexpr int kBnClicked = 0;         // check box clicked
constexpr int kCbnSelChange = 1;      // drop-down list selection changed
constexpr int kEnUpdate = 0x0400;     // edit text about to be shown

// Sets the modified flag. Only the change from clear to set tells the main
// window (WM_APP code 0), and only when the page has a parent.
void MarkModified(IPageDialog& dialog, IModifiedFlag& modified);

// Appends the string-table texts `ids[0..count-1]` to a drop-down list, in
// order; a text that cannot be loaded throws.
void FillComboFromStrings(const int* ids, int combo, int count, IPageDialog& dialog);

// Tells the main window that input `input` (1 for input 2, 2 for input 3)
// was switched to change-only monitoring (enable false, code 11) or back
// (enable true, code 12). Called by the first page of inputs 2 and 3 right
// after a click on its change-only box really changed the state, never while
// loading; the main window passes it on to every IInputModeFollower.
void PostInputModeNotice(IPageDialog& dialog, int input, bool enable);

// Control writes that send no notification, and the edit selection.
void SetComboSelection(int combo, int index, IPageDialog& dialog);
void SetCheckBox(int box, int state, IPageDialog& dialog);
void GetEditSelection(int edit, int& start, int& end, IPageDialog& dialog);

// Takes the list's selection into `index`; marks the configuration modified
// when it differs.
void TakeComboSelection(int combo, int& index, IPageDialog& dialog, IModifiedFlag& modified);
// Takes the check box's state into `state`; marks the configuration modified
// and returns 1 when it differs, returns 0 otherwise.
int TakeCheckBox(int box, int& state, IPageDialog& dialog, IModifiedFlag& modified);

// The EN_UPDATE handling of every edit: reads the edit (at most 63
// characters count) and its caret, runs `filter` (what the edit shows, the
// caret → what it must show) unless the edit already shows `text`, takes
// the result into `text` (marking the configuration modified when it
// differs) and rewrites the edit only when it shows something else.
// Returns true when `text` changed.
using EditFilterFn = std::function<EditOutcome(const std::u16string& typed, int caret)>;
bool FilterEdit(int edit, std::u16string& text, IPageDialog& dialog, IModifiedFlag& modified,
                const EditFilterFn& filter);
// FilterEdit with the fixed-width decimal filter (FilterNumber).
void NumberEditFilter(int edit, std::u16string& text, IPageDialog& dialog,
                      IModifiedFlag& modified, int min, int max, int digits);
// NumberEditFilter with range 0-9 and one digit.
void DigitEditFilter(int edit, std::u16string& text, IPageDialog& dialog,
                     IModifiedFlag& modified);
// FilterEdit with the text filter (FilterText) of `mode` and maxLen.
void TextEditFilter(int edit, std::u16string& text, IPageDialog& dialog,
                    IModifiedFlag& modified, int mode, int maxLen);

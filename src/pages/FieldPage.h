// The one engine that runs every page dialog: given its page's part of the
// configuration model (the table of the page's fields, the member number
// and the values), it fills the lists and shows the values on construction,
// shows them again whenever the model's values change under it, and hands
// every change of a control to the model's one edit operation
// (Configuration::Edit), writing back what the edit must show. Loading,
// storing, the filters and the rules live in the model; the engine moves
// values between the model and the controls.
//
// Everything runs on the user-interface thread (see DlgCtrlr).
#pragma once
#include <string>

#include "config/Configuration.h"
#include "pages/Ctrlr.h"

class FieldPage : public DlgCtrlr, public IPageView {
 public:
  using Holder = FieldValue;

  // Fills the lists of the rows that exist for the page's member and shows
  // the model's current values. May throw when a list's string cannot be
  // loaded.
  FieldPage(IPageDialog& dialog, PageValues& values);
  ~FieldPage() override;

  // The page's bytes and bits, from and to the model; a load shows the
  // new values.
  void StoreToImage(std::uint8_t* image) override { values_.StoreToImage(image); }
  void LoadFromImage(const std::uint8_t* image) override { values_.LoadFromImage(image); }
  void OnCommand(IPageDialog& dialog, int control, int code) override;
  // Sends every value to its control. Writing an edit sends EN_UPDATE back,
  // which the filters find equal to the value, so nothing is marked.
  void UpdateControls() override;
  // IPageView
  void ValuesChanged() override { UpdateControls(); }

  const PageFields& Fields() const { return values_.Fields(); }
  int Member() const { return values_.Member(); }
  PageValues& Values() { return values_; }
  // The value of row `row` (an index into Fields().rows).
  const Holder& Value(int row) const { return values_.Value(row); }
  // Sets the value of row `row` as a tool does (the caller has checked it
  // against the row's rules) and shows it; runs none of the page's
  // follow-up rules and posts nothing.
  void Assign(int row, const Holder& value) {
    Holder edited = value;
    edited.keepLoaded = false;
    config_.Edit({values_.Index(), row}, FieldEdit::Checked(edited), EditBy::Tool);
    UpdateControls();
  }

 protected:
  // Hands the notification of the row that owns the control to the model:
  // true when the row's value changed (and the configuration was marked
  // modified). The page tells the main window of the first change and of
  // the change-only notice, as posted messages.
  // `row` receives the row's index, or -1 when no row reacts.
  bool Dispatch(IPageDialog& dialog, int control, int code, int& row);

 private:
  void ShowRow(const FieldRow& r, const Holder& h);

  PageValues& values_;
  Configuration& config_;
};

// The one engine that runs every page: given the table of a page's fields
// (FieldTable.h) and the page's member number, it fills the lists and shows
// the defaults on construction, moves the values between the controls, the
// value holders and the ConfigImage, and dispatches the controls'
// notifications to the edit filters and the Take helpers. It is the only
// caller of the byte codecs, so their argument orders are written once.
//
// A family of pages (the inputs, phones, relays) is a class template over
// its member number deriving from FieldPage; a single page is a class with
// member number 1. What is not a field mapping (the change-only rule of the
// inputs, the password and request-number rules) is written by hand in the
// page class, on top of the engine's operations.
//
// Everything runs on the user-interface thread (see DlgCtrlr).
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "pages/Ctrlr.h"
#include "pages/FieldTable.h"

class FieldPage : public DlgCtrlr {
 public:
  // What one row holds between loads.
  struct Holder {
    std::u16string text;   // edits; the units of Tenths
    std::u16string text2;  // the tenths of Tenths
    int value = 0;         // list index, check state
    // A device text that ended at a byte the encoder cannot reproduce is
    // written back exactly as loaded (its bytes and its presence bit or
    // marker) until the user edits it.
    bool keepLoaded = false;
    std::array<std::uint8_t, 25> loadedBytes{};
    std::uint8_t loadedFlag = 0;
  };

  // Fills the lists of the rows that exist for `member`, sets every holder
  // to its row's initial value and shows them. May throw when a list's
  // string cannot be loaded.
  FieldPage(IPageDialog& dialog, const PageFields& fields, int member);

  void StoreToImage(std::uint8_t* image) override;
  void LoadFromImage(const std::uint8_t* image) override;
  void OnCommand(IPageDialog& dialog, int control, int code) override;

  const PageFields& Fields() const { return fields_; }
  int Member() const { return member_; }
  // Holder of row `row` (an index into Fields().rows).
  const Holder& Value(int row) const { return holders_[row]; }
  // Sets the holder of row `row` as a tool does (the caller has checked the
  // value against the row's rules) and shows it; runs none of the page's
  // follow-up rules and posts nothing.
  void Assign(int row, const Holder& value) {
    holders_[row] = value;
    holders_[row].keepLoaded = false;
    UpdateControls();
  }

 protected:
  // Sends every holder to its control. Writing an edit sends EN_UPDATE back,
  // which the filters find equal to the holder, so nothing is marked.
  void UpdateControls();
  // Runs the notification through the row that owns the control: true when
  // the row's value changed (and the configuration was marked modified).
  // `row` receives the row's index, or -1 when no row reacts.
  bool Dispatch(IPageDialog& dialog, int control, int code, int& row);
  Holder& Hold(int row) { return holders_[row]; }

 private:
  void StoreRow(const FieldRow& r, Holder& h, std::uint8_t* image) const;
  void LoadRow(const FieldRow& r, Holder& h, const std::uint8_t* image) const;
  void ShowRow(const FieldRow& r, const Holder& h);

  const PageFields& fields_;
  int member_;
  std::vector<Holder> holders_;
};

// A page whose boxes for zones 1-3 (rows zoneRow to zoneRow + 2) follow the
// inputs' change-only mode: switched on for input k, the box of zone k goes
// off; switched off, it comes back. Only while Follows() holds; the page is
// redrawn whenever it follows, even for an input it cannot name.
class ZoneFollowingPage : public FieldPage, public IInputModeFollower {
 public:
  ZoneFollowingPage(IPageDialog& dialog, const PageFields& fields, int member, int zoneRow)
      : FieldPage(dialog, fields, member), zoneRow_(zoneRow) {}
  void FollowInputMode(int input, bool changeOnly) override {
    if (!Follows()) return;
    if (input >= 0) Hold(zoneRow_ + input).value = changeOnly ? 0 : 1;
    UpdateControls();
  }

 protected:
  virtual bool Follows() const { return true; }

 private:
  int zoneRow_;
};

// Member K of a page family: the family class (a FieldPage built with the
// family's table and a member number) for member K, so that every member is
// a class of its own, made by its own ControllerFactory.
template <class Family, int K>
class Member : public Family {
 public:
  static constexpr int kMember = K;
  explicit Member(IPageDialog& dialog) : Family(dialog, K) {}
};

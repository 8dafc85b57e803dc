// Page dialogs without windows: the controls of a page kept in memory,
// behaving as the real controls do where the pages depend on it (setting an
// edit's text sends EN_UPDATE back into the page at once; list and check box
// writes send nothing; an automatic check box toggles itself before it
// notifies). The tests and the fuzz targets that exercise the page dialog
// glue run the page controllers against them; everything else uses the
// configuration model without any dialog.
//
// Single-threaded: a HeadlessPages and its dialogs belong to the thread that
// made them.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "pages/FieldPage.h"

class HeadlessPageDialog : public IPageDialog {
 public:
  struct Edit {
    std::u16string text;
    int start = 0, end = 0;  // selection; the caret is at `end`
  };
  struct Combo {
    std::vector<std::u16string> items;
    int selection = -1;
  };
  // Receives what the page posts to its parent (WM_APP code and value).
  using ParentSink = std::function<void(unsigned code, std::intptr_t value)>;

  // The page that receives the notifications; none before Attach, as during
  // the page's own construction.
  void Attach(DlgCtrlr* page) { page_ = page; }
  // Without a sink the page has no parent: nothing can be posted.
  void SetParent(ParentSink sink) { parent_ = std::move(sink); }

  // IPageDialog
  std::u16string GetText(int control) override { return edits_[control].text; }
  void SetText(int control, const std::u16string& text) override;
  void GetSelection(int control, int& start, int& end) override;
  void SetSelection(int control, int start, int end) override;
  int GetComboSelection(int control) override { return combos_[control].selection; }
  void SetComboSelection(int control, int index) override;
  void AddComboString(int control, const std::u16string& text) override;
  int GetCheck(int control) override { return checks_[control]; }
  void SetCheck(int control, int state) override { checks_[control] = state; }
  bool PostToParent(unsigned code, std::intptr_t value) override;
  // The text from the program's string table; throws when it has none.
  std::u16string LoadText(int id) override;

  // What a user does: replaces the whole text of an edit (as a paste over
  // everything), clicks a check box, picks a list entry; each notifies the
  // page as the control would.
  void Enter(int edit, const std::u16string& text);
  void Click(int box);
  void Choose(int combo, int index);
  // Any notification, for the cases a user cannot produce directly.
  void Notify(int control, int code);

  const Edit& EditOf(int control) { return edits_[control]; }
  const Combo& ComboOf(int control) { return combos_[control]; }

 protected:
  // Replaces the selection by `text` and notifies, caret after it.
  void ReplaceSelection(int edit, const std::u16string& text);

  DlgCtrlr* page_ = nullptr;
  ParentSink parent_;
  std::map<int, Edit> edits_;
  std::map<int, Combo> combos_;
  std::map<int, int> checks_;
};

// The 23 page controllers of the main window over the configuration model,
// each made by its page's factory and bound to a headless dialog. The input
// pages' change-only notices reach the pages that follow them, as the main
// window passes them on. As IPageSet it gives the model's pages, as the
// main window gives them to its Controller.
class HeadlessPages : public IPageSet {
 public:
  HeadlessPages();
  ~HeadlessPages() override;
  SimpleCtrlr* Page(int index) override { return config_.Page(index); }
  // The page's controller (every page is a field engine).
  FieldPage& Fields(int index);
  HeadlessPageDialog& Dialog(int index) { return dialogs_[index]; }
  Configuration& Config() { return config_; }
  IModifiedFlag& Modified() { return config_.Modified(); }
  // All pages in page order, as the main window stores and loads them.
  void StoreToImage(std::uint8_t* image) { config_.StoreOver(image); }
  void LoadFromImage(const std::uint8_t* image) { config_.Load(image); }

 private:
  Configuration config_;
  HeadlessPageDialog dialogs_[kPageCount];
  std::unique_ptr<DlgCtrlr> controllers_[kPageCount];
};

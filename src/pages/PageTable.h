// The 23 parameter pages in page order: the order of the tree, of creation
// and of storing and loading.
#pragma once
#include <memory>
#include <string>

#include "pages/Ctrlr.h"
#include "pages/FieldTable.h"

struct PageEntry {
  int labelId;   // tree label (string id)
  int dialogId;  // page dialog template
  // The factory of the page's controller; null for a page that has none
  // (its dialog is created without a controller).
  std::unique_ptr<CtrlFactory> (*makeFactory)();
  // The table of the page's fields and the page's member number in its
  // family: enough to name and render every value of the page.
  const PageFields* fields;
  int member;
};

extern const PageEntry kPageTable[23];

// The page's stable key ("input2_1", "phone3", "arming").
std::string PageKey(const PageEntry& page);

// makeFactory for page class T.
template <class T>
std::unique_ptr<CtrlFactory> MakeFactory() {
  return std::make_unique<ControllerFactory<T>>();
}

// The 23 parameter pages in page order: the order of the tree, of creation
// and of storing and loading.
#pragma once
#include <memory>

#include "pages/Ctrlr.h"

struct PageEntry {
  int labelId;   // tree label (string id)
  int dialogId;  // page dialog template
  // The factory of the page's controller; null for a page that has none yet
  // (its dialog is created without a controller).
  std::unique_ptr<CtrlFactory> (*makeFactory)();
};

extern const PageEntry kPageTable[23];

// makeFactory for page class T.
template <class T>
std::unique_ptr<CtrlFactory> MakeFactory() {
  return std::make_unique<ControllerFactory<T>>();
}

// The page controller class of each of the 23 pages, in page order
// (kPages holds their labels, templates and field tables).
#pragma once
#include <memory>

#include "config/PageFields.h"
#include "pages/Ctrlr.h"

// The factory of page `index`'s controller.
std::unique_ptr<CtrlFactory> MakePageFactory(int index);

// makeFactory for page class T.
template <class T>
std::unique_ptr<CtrlFactory> MakeFactory() {
  return std::make_unique<ControllerFactory<T>>();
}

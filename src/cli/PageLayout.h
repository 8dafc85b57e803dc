// The pages as the window lays them out, read from the page dialog
// templates themselves (src/res/*.rci, compiled here as data): the order of
// a page's fields on screen and the unit written right of a number's edit.
// The command-line tool lists and prints fields the way the page shows them.
//
// Constant data; any thread may use it.
#pragma once
#include <string>
#include <vector>

#include "config/Configuration.h"

// The page's fields in the order of their controls in the page's dialog
// (the tab order: down the left column, then the right one).
std::vector<FieldRef> FieldsOnScreen(int page);

// The unit the page writes right of a number's edit ("сек.", "x 16мс",
// "В", "час"); empty when there is none (a bare range, a list, a text).
std::u16string UnitOf(const FieldRef& field);

// The unit at the start of a text written right of an edit: the words
// before the range ("сек." of "сек.      диапазон: 0 ... 59"), or the whole
// text when it holds no range ("час"); empty for a range alone.
std::u16string UnitOfText(std::u16string_view text);

// Whether the control `id` is in the page's dialog template.
bool InTemplate(int page, int id);

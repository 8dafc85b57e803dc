// How the pages present their fields, for every front end that lists or
// prints them: the order of a page's fields on screen, the unit written
// right of a number's edit, and the password shown masked.
//
// Constant data; any thread may use it.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/Configuration.h"

// The page's fields in their order on screen (down the left column, then
// the right one).
std::vector<FieldRef> FieldsOnScreen(int page);

// The whole text right of a field's control: a number's unit and range
// ("сек.      диапазон: 0 ... 59", "час"), or a note on what a text must
// hold; empty when there is none.
std::u16string UnitText(const FieldRow& row);

// The unit the page writes right of a number's edit ("сек.", "x 16мс",
// "В", "час"); empty when there is none (a bare range, a list, a text).
std::u16string UnitOf(const FieldRef& field);

// The unit at the start of a text written right of an edit: the words
// before the range ("сек." of "сек.      диапазон: 0 ... 59"), or the whole
// text when it holds no range ("час"); empty for a range alone.
std::u16string UnitOfText(std::u16string_view text);

// The value as shown, with its unit ("05 сек."); a field labelled by its
// unit alone ("мин.", "час" of a time) shows it once.
std::u16string ShownWithUnit(const Configuration& config, const FieldRef& field);

// Whether the field's value is kept from onlookers (the password): shown
// masked unless asked for.
bool IsSecret(const FieldRef& field);
// `value` masked: a star for each character, nothing for nothing.
std::u16string Masked(std::u16string_view value);

// What may be handed to someone who must not learn the secrets (a viewer
// at the office): every field's value of `image` stored over the initial
// image into `out` (kImageSize bytes each), the secret fields left unset.
// It holds nothing the pages do not show: not the secrets' bytes, not the
// digits a deleted password leaves behind, not what a device text holds
// beyond its end, not the bytes no page owns (with all of those,
// candidates for a secret could be tried against a revision's
// content-addressed id).
void SecretFreeImage(const std::uint8_t* image, std::uint8_t* out);

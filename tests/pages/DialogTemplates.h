// The page dialog templates (src/res/*.rci), compiled here as data, so the
// tests can hold the page tables to what the Windows pages lay out: the
// order of the controls, and the text written right of each edit.
#pragma once
#include <vector>

// The controls of page `page`'s dialog (edits, lists, boxes) in their
// order in the template (the tab order).
std::vector<int> TemplateControls(int page);
// The string id of the text right of control `id` on its line; 0 when none.
int TemplateTextBeside(int page, int id);
// The caption of page `page`'s frame, as its dialog gives it (the family
// pages: as pages.rc gives each member's); 0 when none.
int TemplateTitle(int page);

// The texts of the unsaved-changes prompt: its caption, and each button
// with the note beside it. Read by the prompt's dialog (ostrel.rc) and by
// the browser configurator's prompt, so each text is written once.
#pragma once
#define IDS_DISCARD_CAPTION_TEXT "Параметры изменены, но не сохранены..."
#define IDS_DISCARD_SAVE_TEXT "Сохранить"
#define IDS_DISCARD_SAVE_NOTE_TEXT "Сохранить параметры в текущем файле"
#define IDS_DISCARD_SAVEAS_TEXT "Сохранить как..."
#define IDS_DISCARD_SAVEAS_NOTE_TEXT "Сохранить параметры в новом файле"
#define IDS_DISCARD_DONTSAVE_TEXT "Не сохранять"
#define IDS_DISCARD_DONTSAVE_NOTE_TEXT "Значения параметров будут потеряны"
#define IDS_DISCARD_CANCEL_TEXT "Отмена"
#define IDS_DISCARD_CANCEL_NOTE_TEXT "Отменить текущую операцию"

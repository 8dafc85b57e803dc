// What the main window's Controller needs of the window itself and of the
// pages. The Windows front end implements both over the real controls.
#pragma once
#include <cstddef>
#include <string>

class IMainView {
 public:
  virtual ~IMainView() = default;
  // Status line: the string-table text `stringId`.
  virtual void ShowStatus(int stringId) = 0;
  // Status line: the string-table text `stringId` followed by a file name.
  virtual void ShowFileStatus(int stringId, const std::u16string& name) = 0;
  // Modified mark: " *" when on, empty when off.
  virtual void ShowModifiedMark(bool on) = 0;
  // Title: the program's title, then " - " and the name when one is given.
  virtual void UpdateTitle(const std::u16string& name) = 0;
  virtual void SetProgressRange(int maximum) = 0;
  virtual void SetProgressPos(int position) = 0;
  // The unsaved-changes prompt; returns the id of the button that ended it.
  virtual int AskDiscard() = 0;
  // The open and save dialogs. True with the chosen full path and the offset
  // of its file name; false when the user cancelled. A dialog failure throws.
  virtual bool AskOpenPath(std::u16string& path, std::size_t& nameOffset) = 0;
  virtual bool AskSavePath(std::u16string& path, std::size_t& nameOffset) = 0;
  // Makes `folder` the process's current directory (throws on failure).
  virtual void SetCurrentFolder(const std::u16string& folder) = 0;
  virtual void ShowAbout() = 0;
  // Asks the window to close (the same path as its close box).
  virtual void RequestClose() = 0;
  virtual void UnregisterDeviceNotification() = 0;
  virtual void PostQuit(int exitCode) = 0;
};

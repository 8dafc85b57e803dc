// A tooltip window owned by the main window.
#pragma once
#include <windows.h>

class ToolTip {
 public:
  explicit ToolTip(HWND owner);
  // A tool identified by the control's window; the tooltip subclasses it.
  void AddControlTool(HWND control, int stringId);
  // A tool for the rectangle the control covers, for controls that do not
  // receive mouse messages themselves; the tooltip subclasses the owner.
  void AddRectTool(HWND control, int stringId);
  // Moves a rectangle tool to where its control is now.
  void UpdateRectTool(HWND control, int stringId);
  HWND window() const { return tip_; }

 private:
  HWND owner_;
  HWND tip_;
};

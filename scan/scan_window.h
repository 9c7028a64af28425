// What the scan engine does to the main window, and nothing more. The program's main window
// implements it; tests use a recording stand-in.
#pragma once

#include <cstdint>

#include "platform/ansi_string.h"

struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;   // outside the rectangle
  int Bottom = 0;  // outside the rectangle
};

class ScanWindow {
 public:
  virtual ~ScanWindow() = default;
  virtual void SetProgressPosition(std::uint16_t position) = 0;
  virtual void ClearMemo() = 0;
  virtual void AddMemoLine(const AnsiString& line) = 0;
  // Fill rect with a solid button-face brush, then draw text with its top-left at (x, y).
  virtual void PaintStatusLine(const TRect& rect, int x, int y, const AnsiString& text) = 0;
};

// The window the engine writes to; null means the engine writes nowhere.
void SetScanWindow(ScanWindow* window);
ScanWindow* GetScanWindow();

#include "scan/scan_window.h"

namespace {
ScanWindow* current_window = nullptr;
}  // namespace

void SetScanWindow(ScanWindow* window) { current_window = window; }
ScanWindow* GetScanWindow() { return current_window; }

#pragma once

#include <cstdint>

// Where the settings dialog opens. Portable: the dialog gathers the numbers from Windows.

struct ScreenPoint {
    int32_t x;
    int32_t y;
};

struct ScreenRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// The saved position is kept unless nothing was saved (kNoDlgPos) or its left or top edge lies at or past
// the primary screen's right or bottom edge. Otherwise the dialog is centred on the host's window, pushed
// back inside the screen's right and bottom edges and then its left and top edges, which win.
ScreenPoint SettingsDialogPosition(ScreenPoint saved, int32_t screenWidth, int32_t screenHeight,
                                   const ScreenRect& dialog, const ScreenRect& host);

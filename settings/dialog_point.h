#pragma once

#include <cstdint>

// Where the settings dialog's top-left corner was when it closed, in screen coordinates.
struct DlgPoint {
    int32_t x;
    int32_t y;
};

// The position a settings file holds when the dialog was never closed: the dialog opens centred on the
// host's window instead.
constexpr DlgPoint kNoDlgPos{-100, -100};

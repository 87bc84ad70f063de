#pragma once

#include <cstdint>

// The median window, in rows: the sizes the filter takes, which is also the range the settings file is
// clamped to, the dialog's slider offers and uvdenoise's --window accepts. The code calls a window's size
// `count` everywhere.
constexpr int32_t kMinMedianWindow = 1;
constexpr int32_t kMaxMedianWindow = 30;

// The window of a channel without saved settings, and of uvdenoise without --window.
constexpr int32_t kDefaultMedianWindow = 15;

static_assert(kMinMedianWindow <= kDefaultMedianWindow && kDefaultMedianWindow <= kMaxMedianWindow);

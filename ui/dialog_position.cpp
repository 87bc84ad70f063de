#include "ui/dialog_position.h"

#include "settings/dialog_point.h"

namespace {

// One axis of the centring. 64-bit sums keep hostile rectangles free of overflow; each halving truncates
// toward zero, as C++ division does.
int32_t CentredCoordinate(int64_t dialogLow, int64_t dialogHigh, int64_t hostLow, int64_t hostHigh,
                          int64_t screenExtent)
{
    int64_t at = dialogLow + (hostLow + hostHigh) / 2 - (dialogLow + dialogHigh) / 2;
    const int64_t extent = dialogHigh - dialogLow;
    if (at + extent >= screenExtent)
        at = screenExtent - extent;
    if (at < 0)
        at = 0;
    return static_cast<int32_t>(at < INT32_MAX ? at : INT32_MAX);
}

}  // namespace

ScreenPoint SettingsDialogPosition(ScreenPoint saved, int32_t screenWidth, int32_t screenHeight,
                                   const ScreenRect& dialog, const ScreenRect& host)
{
    const bool nothingSaved = saved.x == kNoDlgPos.x && saved.y == kNoDlgPos.y;
    if (!nothingSaved && saved.x < screenWidth && saved.y < screenHeight)
        return saved;
    return ScreenPoint{CentredCoordinate(dialog.left, dialog.right, host.left, host.right, screenWidth),
                       CentredCoordinate(dialog.top, dialog.bottom, host.top, host.bottom, screenHeight)};
}

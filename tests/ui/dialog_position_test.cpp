// Where the settings dialog opens: the saved position, or centred on the host's window and kept on the
// primary screen. Expected values are worked out by hand from the rule, not by running it.

#include "ui/dialog_position.h"

#include <gtest/gtest.h>

namespace {

constexpr int32_t kScreenW = 1024;
constexpr int32_t kScreenH = 768;
constexpr ScreenPoint kNothingSaved{-100, -100};

// A 240 x 180 dialog where Windows first put it, and a host window in the middle of the screen.
constexpr ScreenRect kDialog{10, 20, 250, 200};
constexpr ScreenRect kHost{200, 100, 800, 600};

ScreenPoint Place(ScreenPoint saved, const ScreenRect& dialog = kDialog, const ScreenRect& host = kHost)
{
    return SettingsDialogPosition(saved, kScreenW, kScreenH, dialog, host);
}

void ExpectAt(ScreenPoint actual, int32_t x, int32_t y)
{
    EXPECT_EQ(actual.x, x);
    EXPECT_EQ(actual.y, y);
}

TEST(SavedPosition, IsUsedUnchangedWhenOnTheScreen)
{
    ExpectAt(Place({0, 0}), 0, 0);
    ExpectAt(Place({300, 200}), 300, 200);
    ExpectAt(Place({kScreenW - 1, kScreenH - 1}), kScreenW - 1, kScreenH - 1);
}

TEST(SavedPosition, NegativeValuesOtherThanTheMarkerPairAreUsed)
{
    ExpectAt(Place({-100, 50}), -100, 50);
    ExpectAt(Place({50, -100}), 50, -100);
    ExpectAt(Place({-5000, -3}), -5000, -3);
    ExpectAt(Place({-101, -100}), -101, -100);
}

TEST(SavedPosition, MarkerPairCentresOnTheHost)
{
    // Host centre (500, 350); dialog 240 x 180: 500 - 120, 350 - 90.
    ExpectAt(Place(kNothingSaved), 380, 260);
}

TEST(SavedPosition, LeftEdgeAtOrPastTheScreenWidthCentres)
{
    ExpectAt(Place({kScreenW, 10}), 380, 260);
    ExpectAt(Place({kScreenW + 500, 10}), 380, 260);
    ExpectAt(Place({kScreenW - 1, 10}), kScreenW - 1, 10);
}

TEST(SavedPosition, TopEdgeAtOrPastTheScreenHeightCentres)
{
    ExpectAt(Place({10, kScreenH}), 380, 260);
    ExpectAt(Place({10, kScreenH - 1}), 10, kScreenH - 1);
}

TEST(SavedPosition, SecondScreenToTheRightOrBelowReopensCentred)
{
    ExpectAt(Place({1300, 100}), 380, 260);
    ExpectAt(Place({100, 900}), 380, 260);
}

TEST(Centring, HostNearTheRightEdgePushesTheDialogLeft)
{
    // Centre x 950 gives 830; 830 + 240 >= 1024, so x = 1024 - 240.
    ExpectAt(Place(kNothingSaved, kDialog, {900, 100, 1000, 600}), 784, 260);
}

TEST(Centring, DialogOnePixelShortOfTheRightEdgeStaysCentred)
{
    // Centre x 903 gives 783, and 783 + 240 = 1023 does not reach the edge.
    ExpectAt(Place(kNothingSaved, kDialog, {806, 100, 1000, 600}), 783, 260);
}

TEST(Centring, HostNearTheBottomEdgePushesTheDialogUp)
{
    // Centre y 740 gives 650; 650 + 180 >= 768, so y = 768 - 180.
    ExpectAt(Place(kNothingSaved, kDialog, {200, 720, 800, 760}), 380, 588);
}

TEST(Centring, NegativeCentredPositionBecomesZero)
{
    // Host centre (-50, -40) gives (-170, -130).
    ExpectAt(Place(kNothingSaved, kDialog, {-300, -200, 200, 120}), 0, 0);
}

TEST(Centring, DialogLargerThanTheScreenKeepsItsLeftAndTopOnScreen)
{
    // Pushed to 1024 - 1200 = -176 and 768 - 900 = -132 first; the left and top edges win.
    const ScreenRect huge{0, 0, 1200, 900};
    ExpectAt(Place(kNothingSaved, huge, kHost), 0, 0);
}

TEST(Centring, HalvingsDropTheHalf)
{
    // Odd sums: host (201 + 800) / 2 = 500, dialog (10 + 251) / 2 = 130; x = 10 + 500 - 130 = 380.
    // Host (101 + 600) / 2 = 350, dialog (20 + 201) / 2 = 110; y = 20 + 350 - 110 = 260.
    ExpectAt(Place(kNothingSaved, {10, 20, 251, 201}, {201, 101, 800, 600}), 380, 260);
}

TEST(Centring, HalvingsOfNegativeSumsTruncateTowardZeroNotDown)
{
    // Dialog (-301 + -60) / 2 = -180 (not -181), host (100 + 901) / 2 = 500: x = -301 + 500 + 180 = 379.
    // Dialog (-41 + 140) / 2 = 49, host (-1 + 600) / 2 = 299: y = -41 + 299 - 49 = 209.
    ExpectAt(Place(kNothingSaved, {-301, -41, -60, 140}, {100, -1, 901, 600}), 379, 209);
}

TEST(Centring, DialogsOwnPlaceDoesNotMoveTheResult)
{
    // Wherever Windows first put it, the same size centres to the same place (even widths and heights).
    ExpectAt(Place(kNothingSaved, {500, 400, 740, 580}), 380, 260);
    ExpectAt(Place(kNothingSaved, {-40, -60, 200, 120}), 380, 260);
}

TEST(Centring, ExtremeRectanglesDoNotOverflow)
{
    const ScreenRect wide{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    const ScreenPoint at = Place(kNothingSaved, wide, wide);
    EXPECT_EQ(at.x, 0);
    EXPECT_EQ(at.y, 0);
}

}  // namespace

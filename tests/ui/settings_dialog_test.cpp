// The settings dialog in the real DLL, driven on the test's user-interface thread while frames play on its
// video thread: controls, live values, channel switches, closing every way, the remembered position.

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "platform/window.h"
#include "tests/ui/dialog_fixture.h"
#include "tests/ui/dialog_tables.h"
#include "tests/common/plugin_fixture.h"

namespace ui_test {
namespace {

// --- the live window ------------------------------------------------------------------------------------

class LiveWindowTest : public DialogTest {
protected:
    std::string InitialSettings() override { return SettingsText(-100, -100, true, 15, 1); }

    // The dialog manager converts the place and the size each on its own, so the size is mapped as one.
    RECT DialogUnits(const tables::ControlLayout& control) const
    {
        RECT rect{control.x, control.y, control.cx, control.cy};
        MapDialogRect(Dialog(), &rect);
        return RECT{rect.left, rect.top, rect.left + rect.right, rect.top + rect.bottom};
    }

    RECT ClientRectOf(HWND child) const
    {
        RECT rect{};
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, Dialog(), reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }
};

TEST_F(LiveWindowTest, ControlsAreThoseOfTheTableInTemplateOrder)
{
    ShowSettings();
    HWND dialog = Dialog();
    ASSERT_NE(dialog, nullptr);
    const auto& layout = tables::Settings();
    HWND child = GetWindow(dialog, GW_CHILD);
    for (const tables::ControlLayout& control : layout.controls) {
        SCOPED_TRACE(testing::Message() << "control id " << static_cast<int>(control.id));
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(static_cast<DWORD>(GetDlgCtrlID(child)), control.id);
        wchar_t className[64] = {};
        GetClassNameW(child, className, 64);
        EXPECT_EQ(CompareStringOrdinal(className, -1, control.className, -1, TRUE), CSTR_EQUAL) << className;

        DWORD style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
        // The dialog manager may mark the focused push button as the default one while it has the focus.
        if (control.id == kOkButton && (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
            style = (style & ~DWORD{BS_TYPEMASK}) | BS_PUSHBUTTON;
        EXPECT_EQ(style, control.style);
        // Windows adds WS_EX_NOPARENTNOTIFY to every control a dialog creates, and a static control draws
        // SS_SUNKEN with WS_EX_STATICEDGE.
        DWORD exStyle = static_cast<DWORD>(GetWindowLongW(child, GWL_EXSTYLE)) & ~DWORD{WS_EX_NOPARENTNOTIFY};
        if (control.classOrdinal == tables::kStaticOrdinal && (control.style & SS_SUNKEN))
            exStyle &= ~DWORD{WS_EX_STATICEDGE};
        EXPECT_EQ(exStyle, control.exStyle);

        const RECT expected = DialogUnits(control), actual = ClientRectOf(child);
        EXPECT_EQ(actual.left, expected.left);
        EXPECT_EQ(actual.top, expected.top);
        EXPECT_EQ(actual.right, expected.right);
        EXPECT_EQ(actual.bottom, expected.bottom);
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr) << "no control beyond the table";
}

TEST_F(LiveWindowTest, TextsAreUnicodeAndTheFirstRefreshFillsTheLabels)
{
    m_host.ShowSettings(m_hostWindow);  // no message delivered yet: the template's texts
    for (const tables::ControlLayout& control : tables::Settings().controls) {
        if (control.id != tables::kNoId) {
            EXPECT_EQ(ItemText(static_cast<int>(control.id)), control.text) << control.id;
        }
    }
    EXPECT_EQ(Text(Dialog()), kSettingsCaption);

    Pump();
    EXPECT_EQ(ItemText(kChannelName), L"") << "before the first frame the channel label is empty";
    EXPECT_EQ(ItemText(kSizeText), L"15");
    EXPECT_EQ(SliderPos(), 15);
}

TEST_F(LiveWindowTest, WindowIsAnOwnedToolWindowWithCaptionAndCloseBox)
{
    ShowSettings();
    HWND dialog = Dialog();
    ASSERT_NE(dialog, nullptr);
    const DWORD style = static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE));
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | WS_VISIBLE),
              WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | WS_VISIBLE);
    EXPECT_EQ(style & (WS_POPUP | WS_CHILD), 0u);
    EXPECT_NE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), m_hostWindow);
    EXPECT_EQ(GetAncestor(dialog, GA_PARENT), GetDesktopWindow());
}

TEST_F(LiveWindowTest, FocusStartsOnOkAndTabFollowsTemplateOrder)
{
    ShowSettings();
    HWND dialog = Dialog();
    EXPECT_EQ(GetFocus(), Item(kOkButton));
    const int order[] = {kOkButton, kCancelButton, kAboutButton, kSlider, kIndividualCheck, kEnableCheck, kOkButton};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        EXPECT_EQ(GetNextDlgTabItem(dialog, Item(order[i]), FALSE), Item(order[i + 1])) << "after " << order[i];
}

TEST_F(LiveWindowTest, ChannelNameIsShownFromTheHostsCodePage)
{
    Play(3, "\xCA\xE0\xED\xE0\xEB 3");  // "Канал 3" in code page 1251
    ShowSettings();
    wchar_t expected[16] = {};
    MultiByteToWideChar(CP_ACP, 0, "\xCA\xE0\xED\xE0\xEB 3", -1, expected, 16);
    EXPECT_EQ(ItemText(kChannelName), expected);
    if (GetACP() == 1251) {
        EXPECT_EQ(ItemText(kChannelName), L"Канал 3");
    }
}

// --- live values reach the next frame ---------------------------------------------------------------------

class LiveValueTest : public DialogTest {
protected:
    std::string InitialSettings() override { return SettingsText(-100, -100, true, 15, 0); }
};

TEST_F(LiveValueTest, EnableCheckTurnsFilteringOnAndOffFromTheNextFrame)
{
    ASSERT_NE(Expected(true, 15), Expected(false, 15)) << "the test frame must show the filter";
    EXPECT_EQ(Play(1, "One"), Expected(false, 15));
    ShowSettings();
    EXPECT_FALSE(Checked(kEnableCheck));
    EXPECT_FALSE(Enabled(kSlider));
    EXPECT_FALSE(Enabled(kSizeText));

    Click(kEnableCheck);
    EXPECT_TRUE(Checked(kEnableCheck));
    EXPECT_TRUE(Enabled(kSlider));
    EXPECT_TRUE(Enabled(kSizeText));
    EXPECT_EQ(Play(1, "One"), Expected(true, 15));

    Click(kEnableCheck);
    EXPECT_FALSE(Enabled(kSlider)) << "the slider and the size text are disabled at once";
    EXPECT_FALSE(Enabled(kSizeText));
    for (int id : {kEnableCheck, kIndividualCheck, kOkButton, kCancelButton, kAboutButton})
        EXPECT_TRUE(Enabled(id)) << id;
    EXPECT_EQ(Play(1, "One"), Expected(false, 15));
}

TEST_F(LiveValueTest, SliderSetsTheWindowSizeOnEveryNotification)
{
    ShowSettings();
    Click(kEnableCheck);
    const WORD notifications[] = {TB_THUMBTRACK, TB_LINEDOWN, TB_PAGEUP, TB_THUMBPOSITION, TB_ENDTRACK, TB_BOTTOM};
    const int positions[] = {5, 6, 2, 30, 1, 9};
    for (size_t i = 0; i < std::size(positions); ++i) {
        SCOPED_TRACE(testing::Message() << "notification " << notifications[i]);
        MoveSlider(positions[i], notifications[i]);
        EXPECT_EQ(ItemText(kSizeText), std::to_wstring(positions[i]));
        EXPECT_EQ(Play(1, "One"), Expected(true, positions[i]));
    }
}

TEST_F(LiveValueTest, RefreshTouchesOnlyWhatItsCodeNames)
{
    Play(1, "One");
    ShowSettings();
    HWND dialog = Dialog();
    SetWindowTextW(Item(kSizeText), L"x");
    SetWindowTextW(Item(kChannelName), L"x");
    PostMessageW(dialog, WM_PLUGIN_UPDATE, 7, 0);
    Pump();
    EXPECT_EQ(ItemText(kSizeText), L"x");
    EXPECT_EQ(ItemText(kChannelName), L"x");

    PostMessageW(dialog, WM_PLUGIN_UPDATE, 1, 0);
    Pump();
    EXPECT_EQ(ItemText(kChannelName), L"One");
    EXPECT_EQ(ItemText(kSizeText), L"x");

    PostMessageW(dialog, WM_PLUGIN_UPDATE, 2, 0);
    Pump();
    EXPECT_EQ(ItemText(kSizeText), L"15");

    EnableWindow(Item(kSlider), TRUE);
    PostMessageW(dialog, WM_PLUGIN_UPDATE, 3, 0);
    Pump();
    EXPECT_FALSE(Enabled(kSlider));
    EXPECT_EQ(SendMessageW(dialog, WM_PLUGIN_UPDATE, 0, 0), 1) << "the handler answers 1";
}

// The video thread posts through the wrapper while the dialog may be going: a post that found no window
// would otherwise land in the poster's own queue as a stray thread message.
TEST(WindowWrapper, PostWithoutAWindowLeavesTheCallersQueueEmpty)
{
    CWindow none;
    EXPECT_FALSE(none.Post(WM_PLUGIN_UPDATE, 0));
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, reinterpret_cast<HWND>(-1), WM_PLUGIN_UPDATE, WM_PLUGIN_UPDATE, PM_REMOVE));
}

// --- channel switches while the dialog is open ------------------------------------------------------------

class ChannelSwitchTest : public DialogTest {
protected:
    std::string InitialSettings() override
    {
        return SettingsText(-100, -100, false, 15, 0, {{1, 7, 1}, {2, 20, 0}});
    }

    // Channel 1 set to 3 and off, then, after a switch with the dialog open, channel 2 to 11 and on.
    // Returns where the dialog stood.
    RECT EditBothChannels()
    {
        Play(1, "One");
        ShowSettings();
        MoveSlider(3, TB_THUMBTRACK);
        Click(kEnableCheck);
        Play(2, "Two");
        Pump();
        Click(kEnableCheck);
        MoveSlider(11, TB_ENDTRACK);
        return DialogRect();
    }
};

TEST_F(ChannelSwitchTest, EveryControlFollowsTheNewChannel)
{
    // Channel 1 before the dialog opens, then switches while it is open: each frame filtered with the
    // channel's own record, and every control showing it.
    const struct {
        int64_t id;
        const char* name;
        int size;
        bool enabled;
    } steps[] = {{1, "One", 7, true}, {2, "Two", 20, false}, {1, "One", 7, true}};
    for (size_t i = 0; i < std::size(steps); ++i) {
        const auto& step = steps[i];
        SCOPED_TRACE(std::string("step ") + std::to_string(i) + ", channel " + step.name);
        EXPECT_EQ(Play(step.id, step.name), Expected(step.enabled, step.size));
        if (i == 0)
            ShowSettings();
        else
            Pump();
        EXPECT_EQ(ItemText(kChannelName), std::wstring(step.name, step.name + std::strlen(step.name)));
        EXPECT_EQ(SliderPos(), step.size);
        EXPECT_EQ(ItemText(kSizeText), std::to_wstring(step.size));
        EXPECT_EQ(Checked(kEnableCheck), step.enabled);
        EXPECT_TRUE(Checked(kIndividualCheck));
        EXPECT_EQ(Enabled(kSlider), step.enabled);
        EXPECT_EQ(Enabled(kSizeText), step.enabled);
    }
}

TEST_F(ChannelSwitchTest, NoRefreshWhileTheChannelStays)
{
    Play(1, "One");
    ShowSettings();
    SetWindowTextW(Item(kChannelName), L"x");
    Play(1, "One");
    Pump();
    EXPECT_EQ(ItemText(kChannelName), L"x");
}

// The same edits ended by each button: "Отмена" puts every channel back, "ОК" keeps every change, and the
// next frames use what is left.
struct Ending {
    int button;
    bool channel1On;
    int channel1Size;
    bool channel2On;
    int channel2Size;
};

class EndingTest : public ChannelSwitchTest, public testing::WithParamInterface<Ending> {};

TEST_P(EndingTest, EveryChannelAsTheButtonLeavesIt)
{
    const Ending& e = GetParam();
    const RECT at = EditBothChannels();
    EXPECT_EQ(Play(2, "Two"), Expected(true, 11));
    Click(e.button);
    EXPECT_EQ(Dialog(), nullptr);
    EXPECT_EQ(Play(2, "Two"), Expected(e.channel2On, e.channel2Size));
    EXPECT_EQ(Play(1, "One"), Expected(e.channel1On, e.channel1Size));
    Shutdown();
    EXPECT_EQ(fixture::ReadSettings(), SettingsText(at.left, at.top, false, 15, 0,
                                                    {{1, e.channel1Size, e.channel1On}, {2, e.channel2Size, e.channel2On}}));
}

INSTANTIATE_TEST_SUITE_P(CancelAndOk, EndingTest,
                         testing::Values(Ending{kCancelButton, true, 7, false, 20}, Ending{kOkButton, false, 3, true, 11}));

class IndividualCheckTest : public DialogTest {
protected:
    std::string InitialSettings() override { return SettingsText(-100, -100, true, 15, 0, {{1, 7, 1}}); }
};

TEST_F(IndividualCheckTest, CheckSwitchesTheRecordInForceAndCancelKeepsTheMode)
{
    EXPECT_EQ(Play(1, "One"), Expected(false, 15)) << "common mode: the COMMON record";
    ShowSettings();
    EXPECT_FALSE(Checked(kIndividualCheck));

    Click(kIndividualCheck);
    EXPECT_TRUE(Checked(kIndividualCheck));
    EXPECT_EQ(SliderPos(), 7);
    EXPECT_EQ(ItemText(kSizeText), L"7");
    EXPECT_TRUE(Checked(kEnableCheck));
    EXPECT_EQ(Play(1, "One"), Expected(true, 7));

    MoveSlider(4, TB_THUMBTRACK);
    const RECT at = DialogRect();
    Click(kCancelButton);
    EXPECT_EQ(Play(1, "One"), Expected(true, 7)) << "the records are back as at opening";
    Shutdown();
    EXPECT_EQ(fixture::ReadSettings(), SettingsText(at.left, at.top, false, 15, 0, {{1, 7, 1}}));
}

TEST_F(IndividualCheckTest, ClearingTheCheckGoesBackToTheCommonRecord)
{
    Play(1, "One");
    ShowSettings();
    Click(kIndividualCheck);
    Click(kIndividualCheck);
    EXPECT_FALSE(Checked(kIndividualCheck));
    EXPECT_EQ(SliderPos(), 15);
    EXPECT_FALSE(Checked(kEnableCheck));
    EXPECT_EQ(Play(1, "One"), Expected(false, 15));
}

// --- opening and closing ----------------------------------------------------------------------------------

class OpenCloseTest : public DialogTest {
protected:
    std::string InitialSettings() override { return SettingsText(-100, -100, true, 9, 1); }

    void ChangeValues()
    {
        MoveSlider(4, TB_THUMBTRACK);
        Click(kEnableCheck);
    }
};

TEST_F(OpenCloseTest, SecondShowSettingsFocusesAndFlashesTheOpenWindow)
{
    ShowSettings();
    HWND dialog = Dialog();
    ASSERT_NE(dialog, nullptr);
    SetFocus(m_hostWindow);
    const auto start = std::chrono::steady_clock::now();
    ShowSettings();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(DialogCount(), 1);
    EXPECT_EQ(Dialog(), dialog);
    HWND focus = GetFocus();
    EXPECT_TRUE(focus == dialog || IsChild(dialog, focus));
    // Four caption toggles 60 ms apart block the call for about 240 ms.
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 200);
}

TEST_F(OpenCloseTest, EnterAndEscapeLeaveTheDialogOpen)
{
    ShowSettings();
    HWND dialog = Dialog();
    ChangeValues();
    SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    Pump();
    EXPECT_TRUE(IsWindow(dialog));
    for (int focus : {kSlider, kEnableCheck, kIndividualCheck}) {
        Press(VK_RETURN, focus);
        Press(VK_ESCAPE, focus);
        EXPECT_TRUE(IsWindow(dialog)) << "focus on " << focus;
    }
    EXPECT_EQ(Play(1, "One"), Expected(false, 4)) << "nothing was reverted";
}

TEST_F(OpenCloseTest, CloseBoxAndSystemCloseRevert)
{
    for (UINT way : {0u, 1u}) {
        SCOPED_TRACE(way == 0 ? "WM_CLOSE" : "SC_CLOSE");
        ShowSettings();
        HWND dialog = Dialog();
        ChangeValues();
        EXPECT_EQ(Play(1, "One"), Expected(false, 4));
        if (way == 0)
            PostMessageW(dialog, WM_CLOSE, 0, 0);
        else
            PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        Pump();
        EXPECT_FALSE(IsWindow(dialog));
        EXPECT_EQ(Play(1, "One"), Expected(true, 9));
    }
}

TEST_F(OpenCloseTest, PositionIsRememberedAcrossOpeningsAndSavedAtShutdown)
{
    ShowSettings();
    SetWindowPos(Dialog(), nullptr, 150, 120, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Click(kOkButton);
    ShowSettings();
    EXPECT_EQ(DialogRect().left, 150);
    EXPECT_EQ(DialogRect().top, 120);

    SetWindowPos(Dialog(), nullptr, 210, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Click(kCancelButton);
    ShowSettings();
    EXPECT_EQ(DialogRect().left, 210) << "Cancel records the position too";
    EXPECT_EQ(DialogRect().top, 90);

    SetWindowPos(Dialog(), nullptr, 33, 44, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    PostMessageW(Dialog(), WM_CLOSE, 0, 0);
    Pump();
    Shutdown();
    EXPECT_EQ(fixture::ReadSettings(), SettingsText(33, 44, true, 9, 1));
}

TEST_F(OpenCloseTest, ShutdownWithTheDialogOpenKeepsItsChanges)
{
    ShowSettings();
    HWND dialog = Dialog();
    SetWindowPos(dialog, nullptr, 70, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ChangeValues();
    Shutdown();
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(fixture::ReadSettings(), SettingsText(70, 60, true, 4, 0));
}

TEST_F(OpenCloseTest, FailedCreationLeavesNoWindowAndTheNextOpenWorks)
{
    HWND gone = CreateHostWindow(L"gone", 0, 0, 100, 100);
    DestroyWindow(gone);
    ShowSettings(gone);
    EXPECT_EQ(DialogCount(), 0);

    ShowSettings();
    EXPECT_EQ(DialogCount(), 1);
    EXPECT_EQ(GetWindow(Dialog(), GW_OWNER), m_hostWindow);
}

TEST_F(OpenCloseTest, UnloadWithoutShutdownTakesTheWindowDown)
{
    ShowSettings();
    HWND dialog = Dialog();
    ASSERT_NE(dialog, nullptr);
    m_video.Run([this] { m_host.StopStream(); });
    m_host.Unload();
    EXPECT_FALSE(IsWindow(dialog)) << "a window left behind would call into the unloaded module";
    Pump();
}

// --- where it opens ---------------------------------------------------------------------------------------

// Each kind of saved position with the real screen and host window; the rule's arithmetic is
// dialog_position_test's.
constexpr int kScreenEdge = 1 << 30;  // stands for the screen's width (x) or height (y)

struct Placement {
    int savedX;
    int savedY;
    bool hostWindow;
    enum Where { kAsSaved, kCentredOnHost, kCentredOnScreen } where;
};

class PlacementTest : public DialogTest, public testing::WithParamInterface<Placement> {
protected:
    static int Resolved(int coordinate, int metric)
    {
        return coordinate == kScreenEdge ? GetSystemMetrics(metric) : coordinate;
    }

    std::string InitialSettings() override
    {
        return SettingsText(Resolved(GetParam().savedX, SM_CXSCREEN), Resolved(GetParam().savedY, SM_CYSCREEN), true,
                            15, 0);
    }
};

TEST_P(PlacementTest, OpensAsSavedOrCentred)
{
    const Placement& p = GetParam();
    ShowSettings(p.hostWindow ? m_hostWindow : nullptr);
    ASSERT_NE(Dialog(), nullptr);
    const RECT dialog = DialogRect();
    const int width = dialog.right - dialog.left;
    const int height = dialog.bottom - dialog.top;
    switch (p.where) {
    case Placement::kAsSaved:
        EXPECT_EQ(dialog.left, p.savedX);
        EXPECT_EQ(dialog.top, p.savedY);
        break;
    case Placement::kCentredOnHost:
        // The host window lies at (100, 100, 700, 550); the rule's arithmetic for positive sums.
        EXPECT_EQ(dialog.left, (100 + 700) / 2 - width / 2);
        EXPECT_EQ(dialog.top, (100 + 550) / 2 - height / 2);
        break;
    case Placement::kCentredOnScreen:
        EXPECT_EQ(dialog.left, GetSystemMetrics(SM_CXSCREEN) / 2 - width / 2);
        EXPECT_EQ(dialog.top, GetSystemMetrics(SM_CYSCREEN) / 2 - height / 2);
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKind, PlacementTest,
                         testing::Values(Placement{-100, -100, true, Placement::kCentredOnHost},     // nothing saved
                                         Placement{-100, -100, false, Placement::kCentredOnScreen},  // and no host
                                         Placement{-100, 50, true, Placement::kAsSaved},  // negative x
                                         Placement{kScreenEdge, 10, true, Placement::kCentredOnHost},
                                         Placement{10, kScreenEdge, true, Placement::kCentredOnHost}));

}  // namespace
}  // namespace ui_test

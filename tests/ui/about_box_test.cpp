// The about box, opened from "О плагине": modal over the settings dialog, which owns it, and over the host's
// window, closed by "OK" or Escape, changing no setting. DoModal blocks the test's user-interface thread, so
// a helper thread watches for the box, reads it and closes it, as a user at the screen would, or asks the
// host's window for a Shutdown that the box's own loop then dispatches.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/ui/dialog_fixture.h"
#include "tests/ui/dialog_tables.h"
#include "tests/common/plugin_fixture.h"

namespace ui_test {
namespace {

enum class CloseBy { OkButton, EscapeKey, HostShutdown };

// What the helper saw of the box while it was open.
struct AboutBoxSeen {
    HWND box = nullptr;
    HWND owner = nullptr;
    bool settingsEnabled = true;
    bool hostEnabled = true;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::wstring caption;
    std::vector<std::wstring> classes;
    std::vector<std::wstring> texts;
    std::vector<DWORD> styles;
    bool pictureLoaded = false;
    SIZE pictureSize{};
};

// A host whose window calls Shutdown when this message arrives, as a host may from a timer or a message of
// its own while the about box's loop is the one running.
constexpr UINT kShutdownRequest = WM_APP + 1;
KestrovaHost* theShuttingHost = nullptr;
bool theHostEnabledOnReturn = false;  // the host's window as Shutdown left it, before the box's loop ran on

LRESULT CALLBACK HostWindowThatShutsDown(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kShutdownRequest && theShuttingHost) {
        theShuttingHost->Shutdown();
        theHostEnabledOnReturn = IsWindowEnabled(window) != FALSE;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

struct BoxSearch {
    HWND settings;
    HWND found = nullptr;
};

BOOL CALLBACK FindBoxOwnedBy(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<BoxSearch*>(param);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (window != search->settings && wcscmp(className, L"#32770") == 0 && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

class AboutBoxTest : public DialogTest {
protected:
    std::string InitialSettings() override { return SettingsText(-100, -100, false, 15, 0, {{1, 6, 1}}); }

    // Clicks "О плагине" and returns once the helper closed the box; runs while the box is open too.
    AboutBoxSeen OpenAndClose(CloseBy how, const std::function<void()>& whileOpen = nullptr)
    {
        AboutBoxSeen seen;
        HWND settings = Dialog();
        HWND host = m_hostWindow;
        const DWORD uiThread = GetCurrentThreadId();
        std::atomic<bool> clickReturned{false};
        std::thread helper([&] {
            BoxSearch search{settings};
            for (int i = 0; i < 500 && !search.found && !clickReturned; ++i) {
                Sleep(10);
                EnumThreadWindows(uiThread, FindBoxOwnedBy, reinterpret_cast<LPARAM>(&search));
            }
            if (!search.found)
                return;
            Read(search.found, settings, seen);
            seen.hostEnabled = IsWindowEnabled(host) != FALSE;
            if (whileOpen)
                whileOpen();
            HWND ok = GetDlgItem(search.found, IDOK);
            if (how == CloseBy::HostShutdown) {
                PostMessageW(host, kShutdownRequest, 0, 0);
            } else if (how == CloseBy::OkButton) {
                SendMessageW(ok, BM_CLICK, 0, 0);
            } else {
                PostMessageW(ok, WM_KEYDOWN, VK_ESCAPE, 1);
                PostMessageW(ok, WM_KEYUP, VK_ESCAPE, 0xC0000001);
            }
        });
        SendMessageW(Item(kAboutButton), BM_CLICK, 0, 0);
        clickReturned = true;
        helper.join();
        Pump();
        return seen;
    }

    static void Read(HWND box, HWND settings, AboutBoxSeen& seen)
    {
        seen.box = box;
        seen.owner = GetWindow(box, GW_OWNER);
        seen.settingsEnabled = IsWindowEnabled(settings) != FALSE;
        seen.style = static_cast<DWORD>(GetWindowLongW(box, GWL_STYLE));
        seen.exStyle = static_cast<DWORD>(GetWindowLongW(box, GWL_EXSTYLE));
        wchar_t text[128] = {};
        GetWindowTextW(box, text, 128);
        seen.caption = text;
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            GetClassNameW(child, text, 128);
            seen.classes.push_back(text);
            GetWindowTextW(child, text, 128);
            seen.texts.push_back(text);
            seen.styles.push_back(static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE)));
            if ((seen.styles.back() & SS_TYPEMASK) == SS_BITMAP && seen.classes.back() == L"Static") {
                HBITMAP picture = reinterpret_cast<HBITMAP>(SendMessageW(child, STM_GETIMAGE, IMAGE_BITMAP, 0));
                BITMAP info{};
                seen.pictureLoaded = picture && GetObjectW(picture, sizeof(info), &info) == sizeof(info);
                seen.pictureSize = SIZE{info.bmWidth, info.bmHeight};
            }
        }
    }
};

TEST_F(AboutBoxTest, OkClosesTheBoxOwnedByTheSettingsDialog)
{
    Play(1, "One");
    ShowSettings();
    HWND settings = Dialog();
    const AboutBoxSeen seen = OpenAndClose(CloseBy::OkButton);
    ASSERT_NE(seen.box, nullptr) << "the about box did not appear";
    EXPECT_EQ(seen.owner, settings);
    EXPECT_FALSE(seen.settingsEnabled) << "modal over the settings dialog";
    EXPECT_FALSE(IsWindow(seen.box));
    EXPECT_TRUE(IsWindow(settings));
    EXPECT_TRUE(IsWindowEnabled(settings));
}

TEST_F(AboutBoxTest, EscapeClosesTheBox)
{
    ShowSettings();
    HWND settings = Dialog();
    const AboutBoxSeen seen = OpenAndClose(CloseBy::EscapeKey);
    ASSERT_NE(seen.box, nullptr);
    EXPECT_FALSE(IsWindow(seen.box));
    EXPECT_TRUE(IsWindow(settings)) << "Escape in the box does not reach the settings dialog";
}

TEST_F(AboutBoxTest, ShowsItsControlsWithUnicodeTextsAndThePicture)
{
    ShowSettings();
    const AboutBoxSeen seen = OpenAndClose(CloseBy::OkButton);
    ASSERT_NE(seen.box, nullptr);
    EXPECT_EQ(seen.caption, L"");
    EXPECT_EQ(seen.style & (WS_POPUP | WS_CAPTION | WS_SYSMENU), static_cast<DWORD>(WS_POPUP | WS_CAPTION))
        << "a caption without a close box";
    EXPECT_NE(seen.exStyle & WS_EX_TOOLWINDOW, 0u);

    const auto& controls = tables::About().controls;
    ASSERT_EQ(seen.texts.size(), controls.size());
    for (size_t i = 0; i < controls.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "control " << i);
        EXPECT_EQ(CompareStringOrdinal(seen.classes[i].c_str(), -1, controls[i].className, -1, TRUE), CSTR_EQUAL);
        if (controls[i].text) {
            EXPECT_EQ(seen.texts[i], controls[i].text);
        }
        EXPECT_EQ(seen.styles[i], controls[i].style);
    }
    EXPECT_TRUE(seen.pictureLoaded);
    EXPECT_EQ(seen.pictureSize.cx, 32);
    EXPECT_EQ(seen.pictureSize.cy, 32);
}

TEST_F(AboutBoxTest, ChangesNothingAndTheDialogFollowsChannelsMeanwhile)
{
    EXPECT_EQ(Play(1, "One"), Expected(true, 6));
    ShowSettings();
    std::vector<uint8_t> frame = TestFrame();
    // No assertion off the main thread: the helper only plays the frame.
    const AboutBoxSeen seen = OpenAndClose(CloseBy::EscapeKey, [&] {
        m_video.Run([&] { m_host.ProcessFrame(frame.data(), 2, "Two"); });
    });
    ASSERT_NE(seen.box, nullptr);
    EXPECT_EQ(ItemText(kChannelName), L"Two") << "the refresh posted while the box was open arrived";
    EXPECT_EQ(ItemText(kSizeText), L"15");

    EXPECT_EQ(Play(1, "One"), Expected(true, 6));
    Pump();
    EXPECT_EQ(ItemText(kSizeText), L"6");
    EXPECT_TRUE(Checked(kEnableCheck));
    EXPECT_TRUE(Checked(kIndividualCheck));
    const RECT at = DialogRect();
    Click(kOkButton);
    Shutdown();
    EXPECT_EQ(fixture::ReadSettings(), SettingsText(at.left, at.top, false, 15, 0, {{1, 6, 1}, {2, 15, 0}}));
}

struct ModalCase {
    CloseBy how;
    bool hostEnabled;    // the host's window before the box opens
    bool parentIsChild;  // ShowSettings got a child of the host's window
};

class AboutBoxModal : public AboutBoxTest, public testing::WithParamInterface<ModalCase> {};

TEST_P(AboutBoxModal, DisablesTheHostAndTheDialogUntilItEndsEveryWay)
{
    const ModalCase c = GetParam();
    HWND parent = m_hostWindow;
    if (c.parentIsChild)
        parent = CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE, 10, 10, 200, 150, m_hostWindow, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(m_hostWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HostWindowThatShutsDown));
    theShuttingHost = &m_host;
    EnableWindow(m_hostWindow, c.hostEnabled);
    ShowSettings(parent);
    HWND settings = Dialog();
    ASSERT_NE(settings, nullptr);
    const RECT at = DialogRect();

    const AboutBoxSeen seen = OpenAndClose(c.how);
    theShuttingHost = nullptr;
    m_shutDown = c.how == CloseBy::HostShutdown;
    ASSERT_NE(seen.box, nullptr) << "the about box did not appear";
    EXPECT_FALSE(seen.settingsEnabled);
    EXPECT_FALSE(seen.hostEnabled);
    EXPECT_FALSE(IsWindow(seen.box));
    EXPECT_EQ(IsWindowEnabled(m_hostWindow) != FALSE, c.hostEnabled) << "the host's window as it was";
    if (c.how == CloseBy::HostShutdown) {
        EXPECT_EQ(theHostEnabledOnReturn, c.hostEnabled);
        EXPECT_FALSE(IsWindow(settings));
        EXPECT_EQ(DialogCount(), 0);
        EXPECT_EQ(fixture::ReadSettings(), SettingsText(at.left, at.top, false, 15, 0, {{1, 6, 1}}));
    } else {
        EXPECT_TRUE(IsWindowEnabled(settings));
        // The box's hold on the host's window ended with it: a window the host disables afterwards stays so.
        EnableWindow(m_hostWindow, FALSE);
        Shutdown();
        EXPECT_FALSE(IsWindowEnabled(m_hostWindow));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryEnd, AboutBoxModal,
                         testing::Values(ModalCase{CloseBy::OkButton, true, false},
                                         ModalCase{CloseBy::EscapeKey, true, false},
                                         ModalCase{CloseBy::HostShutdown, true, false},
                                         ModalCase{CloseBy::OkButton, false, false},
                                         ModalCase{CloseBy::EscapeKey, false, false},
                                         ModalCase{CloseBy::HostShutdown, false, false},
                                         ModalCase{CloseBy::EscapeKey, true, true}));

}  // namespace
}  // namespace ui_test

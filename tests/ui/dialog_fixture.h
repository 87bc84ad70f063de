#pragma once

// A test is the Kestrova host: it loads the real DLL, owns a main window and a message loop on its
// user-interface thread (the test's main thread), and plays frames on a video thread of its own. The
// plug-in's settings file is the test folder's own (Plugins\RPX_UVDenoise.ini).

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/host_harness.h"
#include "tests/ui/video_thread.h"
#include "ui/resource.h"

namespace ui_test {

// The settings dialog's control ids, by shorter names.
enum ControlId : int {
    kOkButton = IDC_OK_BUTTON,
    kCancelButton = IDC_CANCEL_BUTTON,
    kAboutButton = IDC_ABOUT_BUTTON,
    kSlider = IDC_WNDSIZE_SLIDER,
    kEnableCheck = IDC_ENABLE_CHECK,
    kIndividualCheck = IDC_INDIVIDUAL_CHECK,
    kChannelName = IDC_CHANNEL_NAME,
    kSizeText = IDC_WNDSIZE_TEXT,
};

constexpr int kFrameWidth = 64;
constexpr int kFrameHeight = 32;
extern const wchar_t kSettingsCaption[];

// A YUY2 frame with noisy chroma and one- and two-row chroma spikes: every window size filters it
// differently, so the output tells which size and which on/off state a frame was played with.
std::vector<uint8_t> TestFrame();
// The frame as the plug-in must return it: unchanged when off, else the median by its definition.
std::vector<uint8_t> Expected(bool enabled, int count);

// The settings file text, section by section as the plug-in writes it.
std::string SettingsText(int posX, int posY, bool common, int commonSize, int commonEnable,
                         const std::vector<std::vector<int64_t>>& channels = {});

class DialogTest : public ::testing::Test {
protected:
    // The settings file the plug-in finds at Init; empty: no file.
    virtual std::string InitialSettings() { return std::string(); }

    void SetUp() override;
    void TearDown() override;

    // Video thread.
    std::vector<uint8_t> Play(int64_t channelId, const std::string& channelName);

    // User-interface thread.
    void ShowSettings(HWND parent);
    void ShowSettings() { ShowSettings(m_hostWindow); }
    void Shutdown();
    void Pump();

    HWND Dialog() const;  // the settings dialog of this thread, or null
    int DialogCount() const;
    HWND Item(int id) const { return GetDlgItem(Dialog(), id); }
    std::wstring Text(HWND window) const;
    std::wstring ItemText(int id) const { return Text(Item(id)); }
    bool Checked(int id) const { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
    int SliderPos() const;
    RECT DialogRect() const;

    void Click(int id);
    // Moves the thumb and sends the notification a trackbar sends for it.
    void MoveSlider(int position, WORD notification);
    void Press(UINT virtualKey, int focusId);

    KestrovaHost m_host;
    VideoThread m_video;
    HWND m_hostWindow = nullptr;
    bool m_shutDown = false;
};

}  // namespace ui_test

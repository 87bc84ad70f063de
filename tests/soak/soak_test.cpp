// Hours of TV in minutes: 720x576 frames with channel switches on a video thread while the user opens the
// settings dialog, drives it, opens the about box and closes it every way there is, over and over. At the
// end the process holds no more memory, handles or window objects than after the first cycle, and the
// settings file says what the user last confirmed. UVD_SOAK_SECONDS sets the length (default 20); a step
// that stalls ends the run within seconds, named.

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "host/channel_checks.h"
#include "host/host_harness.h"
#include "tests/common/file_bytes.h"
#include "tests/soak/step_watchdog.h"

namespace {

constexpr int kWidth = 720, kHeight = 576;
constexpr DWORD kStepLimitMs = 10000;
const wchar_t kCaption[] = L"RPX_UVDenoise плагин";
enum { kOk = 5002, kCancel = 5003, kAbout = 5008, kSlider = 5001, kEnable = 5050, kIndividual = 5070 };

void Pump(int milliseconds = 0)
{
    const DWORD until = GetTickCount() + milliseconds;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (milliseconds)
            Sleep(1);
    } while (static_cast<int>(until - GetTickCount()) > 0);
}

// What the process holds. Wine answers GetGuiResources, GetProcessHandleCount and the private-usage
// counter with 0, so windows, handles and memory are counted by walking them.
struct Usage {
    DWORD gdi, windows, handles;
    SIZE_T privateBytes;
};

BOOL CALLBACK CountChild(HWND, LPARAM count)
{
    ++*reinterpret_cast<DWORD*>(count);
    return TRUE;
}

BOOL CALLBACK CountOwnWindow(HWND window, LPARAM count)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) {
        ++*reinterpret_cast<DWORD*>(count);
        EnumChildWindows(window, CountChild, count);
    }
    return TRUE;
}

Usage Measure()
{
    Usage u{};
    u.gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    EnumWindows(CountOwnWindow, reinterpret_cast<LPARAM>(&u.windows));
    for (uintptr_t value = 4; value < 0x10000; value += 4) {
        HANDLE copy = nullptr;
        if (DuplicateHandle(GetCurrentProcess(), reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0,
                            FALSE, DUPLICATE_SAME_ACCESS)) {
            ++u.handles;
            CloseHandle(copy);
        }
    }
    MEMORY_BASIC_INFORMATION region{};
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            u.privateBytes += region.RegionSize;
        if (static_cast<const char*>(region.BaseAddress) + region.RegionSize < at)
            break;
    }
    return u;
}

struct BoxSearch {
    HWND owner;
    HWND found;
};

// The box takes input once it is visible: DialogBox makes its window first and its controls after, and
// shows it last. Its bare window has no OK button yet, and a message posted to a null window lands in the
// poster's own queue, which left the box open for ever.
BOOL CALLBACK FindOwnedDialog(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<BoxSearch*>(param);
    wchar_t cls[32] = {};
    GetClassNameW(window, cls, 32);
    if (std::wstring(cls) == L"#32770" && GetWindow(window, GW_OWNER) == search->owner && IsWindowVisible(window) &&
        GetDlgItem(window, IDOK)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// Opens the about box from the dialog and closes it from another thread, alternating OK and Escape.
void AboutBoxRoundTrip(HWND dialog, bool escape)
{
    const DWORD uiThread = GetCurrentThreadId();
    std::atomic<bool> returned{false};
    std::thread closer([&] {
        BoxSearch search{dialog, nullptr};
        while (!search.found && !returned) {
            Sleep(5);
            EnumThreadWindows(uiThread, FindOwnedDialog, reinterpret_cast<LPARAM>(&search));
        }
        if (!search.found)
            return;
        HWND ok = GetDlgItem(search.found, IDOK);
        if (escape) {
            PostMessageW(ok, WM_KEYDOWN, VK_ESCAPE, 1);
            PostMessageW(ok, WM_KEYUP, VK_ESCAPE, 0xC0000001);
        } else {
            PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
        }
    });
    SendMessageW(GetDlgItem(dialog, kAbout), BM_CLICK, 0, 0);
    returned = true;
    closer.join();
}

TEST(Soak, FramesChannelsAndDialogCyclesLeaveNothingBehind)
{
    const char* secondsText = std::getenv("UVD_SOAK_SECONDS");
    const int seconds = secondsText ? std::atoi(secondsText) : 20;

    CreateDirectoryA((ExeFolder() + "Plugins").c_str(), nullptr);
    const std::string settingsPath = ExeFolder() + "Plugins\\RPX_UVDenoise.ini";
    WriteFileBytes(settingsPath, "[SETTINGS]\r\nCommon=1\r\n[COMMON]\r\nMedianWndSize=15\r\nProcEnable=1\r\n");

    KestrovaHost host;
    ASSERT_TRUE(host.Load(WinePathOf(UVD_DLL_UNIX_PATH)));
    host.Init(KnowsEveryChannel);
    HWND hostWindow = CreateHostWindow(L"Kestrova", 100, 100, 640, 480);
    ASSERT_NE(hostWindow, nullptr);

    StepWatchdog watchdog(kStepLimitMs);
    std::atomic<bool> stop{false};
    std::atomic<long> frames{0}, switches{0};
    std::thread video([&] {
        std::mt19937 rng(3);
        std::vector<uint8_t> yuy2(kWidth * kHeight * 2), rgb(kWidth * kHeight * 3);
        for (auto& b : yuy2)
            b = static_cast<uint8_t>(rng());
        for (auto& b : rgb)
            b = static_cast<uint8_t>(rng());
        int stream = 0;
        while (!stop) {
            const bool useRgb = stream++ % 2 == 1;
            watchdog.video.Enter("StartStream", stream);
            host.StartStream(kWidth, kHeight, useRgb ? 1 : 0);
            for (int i = 0; i < 50 && !stop; ++i) {
                const int64_t channel = (frames / 7) % 9 + 1;
                if (frames % 7 == 0)
                    ++switches;
                watchdog.video.Enter("ProcessFrame", stream);
                host.ProcessFrame(useRgb ? rgb.data() : yuy2.data(), channel, "Канал " + std::to_string(channel));
                ++frames;
                // Frames come at the picture's pace, not back to back: the critical section is not fair,
                // and a thread that takes it again at once would starve the dialog's refresh.
                Sleep(1);
            }
            watchdog.video.Enter("StopStream", stream);
            host.StopStream();
        }
        watchdog.video.Leave();
    });

    std::mt19937 rng(4);
    long cycles = 0, aboutBoxes = 0;
    Usage baseline{};
    const DWORD end = GetTickCount() + seconds * 1000;
    StepWatchdog::Lane& step = watchdog.ui;
    while (cycles < 2 || static_cast<int>(end - GetTickCount()) > 0) {
        step.Enter("ShowSettings", cycles);
        host.ShowSettings(hostWindow);
        Pump(20);
        HWND dialog = FindWindowW(nullptr, kCaption);
        ASSERT_NE(dialog, nullptr) << "cycle " << cycles;
        step.Enter("second ShowSettings, which flashes the open dialog", cycles);
        host.ShowSettings(hostWindow);
        step.Enter("slider, enable and individual clicks", cycles);
        for (int i = 0; i < 5; ++i) {
            HWND slider = GetDlgItem(dialog, kSlider);
            SendMessageW(slider, TBM_SETPOS, TRUE, 1 + rng() % 30);
            SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, 0), reinterpret_cast<LPARAM>(slider));
            SendMessageW(GetDlgItem(dialog, kEnable), BM_CLICK, 0, 0);
            if (rng() % 4 == 0)
                SendMessageW(GetDlgItem(dialog, kIndividual), BM_CLICK, 0, 0);
            Pump(5);
        }
        if (cycles % 3 == 0) {
            step.Enter(cycles % 2 == 0 ? "about box opened and closed by Escape" : "about box opened and closed by OK",
                       cycles);
            AboutBoxRoundTrip(dialog, cycles % 2 == 0);
            ++aboutBoxes;
        }
        static const char* const kClosing[] = {"dialog closed by OK", "dialog closed by Cancel",
                                               "dialog closed by the close box"};
        step.Enter(kClosing[cycles % 3], cycles);
        switch (cycles % 3) {
            case 0: SendMessageW(GetDlgItem(dialog, kOk), BM_CLICK, 0, 0); break;
            case 1: SendMessageW(GetDlgItem(dialog, kCancel), BM_CLICK, 0, 0); break;
            default: PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); break;
        }
        Pump(20);
        ASSERT_EQ(FindWindowW(nullptr, kCaption), nullptr) << "cycle " << cycles;
        if (++cycles == 2) {
            step.Enter("measuring the baseline", cycles);
            baseline = Measure();  // after the first cycles have loaded every library and class
        }
    }

    // The last word: common mode, window 7, on, confirmed with OK.
    step.Enter("the last word, confirmed with OK", cycles);
    host.ShowSettings(hostWindow);
    Pump(20);
    HWND dialog = FindWindowW(nullptr, kCaption);
    ASSERT_NE(dialog, nullptr);
    if (SendMessageW(GetDlgItem(dialog, kIndividual), BM_GETCHECK, 0, 0) == BST_CHECKED)
        SendMessageW(GetDlgItem(dialog, kIndividual), BM_CLICK, 0, 0);
    Pump(20);  // the refresh shows the COMMON record's values before they are read back
    HWND slider = GetDlgItem(dialog, kSlider);
    SendMessageW(slider, TBM_SETPOS, TRUE, 7);
    SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(slider));
    if (SendMessageW(GetDlgItem(dialog, kEnable), BM_GETCHECK, 0, 0) != BST_CHECKED)
        SendMessageW(GetDlgItem(dialog, kEnable), BM_CLICK, 0, 0);
    SendMessageW(GetDlgItem(dialog, kOk), BM_CLICK, 0, 0);
    Pump(20);

    step.Enter("stopping the video thread", cycles);
    stop = true;
    video.join();
    step.Enter("measuring the end", cycles);
    const Usage after = Measure();
    step.Enter("Shutdown and unload", cycles);
    host.Shutdown();
    DestroyWindow(hostWindow);
    host.Unload();
    step.Leave();

    std::printf("soak: %d s, %ld frames of 720x576, %ld channel switches, %ld dialog cycles, %ld about boxes\n",
                seconds, frames.load(), switches.load(), cycles, aboutBoxes);
    std::printf("soak: GDI objects %lu -> %lu, windows %lu -> %lu, handles %lu -> %lu, private KB %lu -> %lu\n",
                baseline.gdi, after.gdi, baseline.windows, after.windows, baseline.handles, after.handles,
                static_cast<unsigned long>(baseline.privateBytes / 1024),
                static_cast<unsigned long>(after.privateBytes / 1024));
    EXPECT_LE(after.gdi, baseline.gdi);
    EXPECT_LE(after.windows, baseline.windows);
    EXPECT_GT(baseline.handles, 0u);
    EXPECT_LE(after.handles, baseline.handles);
    EXPECT_GT(baseline.privateBytes, 0u);
    // Allowance: one RGB stream's work buffer may have been in use when the baseline was taken or not.
    EXPECT_LE(after.privateBytes, baseline.privateBytes + (2u << 20));
    EXPECT_GT(frames.load(), 100);
    EXPECT_GE(2 * cycles, seconds) << "fewer than one dialog cycle per two seconds";

    const std::string saved = ReadFileBytes(settingsPath);
    EXPECT_EQ(saved.rfind("[DIALOG]\r\n", 0), 0u);
    EXPECT_NE(saved.find("[SETTINGS]\r\nCommon=1\r\n[COMMON]\r\nMedianWndSize=7\r\nProcEnable=1\r\n"), std::string::npos)
        << saved;
    for (char channel = '1'; channel <= '9'; ++channel)
        EXPECT_NE(saved.find(std::string{'[', channel, ']', '\r', '\n'}), std::string::npos) << channel;
}

}  // namespace

// dialog_showcase: opens the settings dialog and then the about box through the real DLL, as a user would
// see them, for scripts/screenshots.sh. Each window's screen rectangle is written to <dir>\<name>.rect
// ("width height x y"); the program waits for <dir>\<name>.done before it moves on.
//
//   dialog_showcase <handshake folder, Windows path>

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "host/host_harness.h"
#include "tests/common/plugin_fixture.h"
#include "ui/resource.h"

namespace {

std::string theFolder;
HWND theSettings = nullptr;

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteRect(const char* name, HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    std::ofstream(theFolder + "\\" + name + ".rect") << (rect.right - rect.left) << ' ' << (rect.bottom - rect.top)
                                                      << ' ' << rect.left << ' ' << rect.top << '\n';
}

void PumpFor(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (theSettings && IsDialogMessageW(theSettings, &msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
}

void WaitFor(const char* name)
{
    const std::string done = theFolder + "\\" + name + ".done";
    for (int i = 0; i < 3000 && !Exists(done); ++i)
        PumpFor(20);
}

std::string Cp1251(const wchar_t* text)
{
    char bytes[128] = {};
    WideCharToMultiByte(1251, 0, text, -1, bytes, sizeof(bytes), nullptr, nullptr);
    return bytes;
}

BOOL CALLBACK FindAboutBox(HWND window, LPARAM param)
{
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (window != theSettings && wcscmp(className, L"#32770") == 0 && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }
    return TRUE;
}

HWND AboutBox()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindAboutBox, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Runs inside the about box's modal loop.
void CALLBACK ShowAboutBox(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND box = AboutBox();
    if (!box)
        return;
    KillTimer(nullptr, timer);
    PumpFor(300);
    WriteRect("about", box);
    WaitFor("about");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: dialog_showcase <handshake folder>\n");
        return 2;
    }
    theFolder = argv[1];
    fixture::WriteSettings(
        "[DIALOG]\r\nDlgWndPosX=-100\r\nDlgWndPosY=-100\r\n[SETTINGS]\r\nCommon=0\r\n[COMMON]\r\nMedianWndSize=15\r\n"
        "ProcEnable=0\r\n[1]\r\nMedianWndSize=9\r\nProcEnable=1\r\n");

    KestrovaHost host;
    if (!host.Load(fixture::PluginDllPath()))
        return 3;
    host.Init(KnowsEveryChannel);
    HWND hostWindow = CreateHostWindow(L"Kestrova", 40, 40, 560, 420);

    // One frame on the video thread names the channel, as the host's picture does.
    std::vector<uint8_t> frame(64 * 32 * 2, 128);
    std::thread video([&] {
        host.StartStream(64, 32, 0);
        host.ProcessFrame(frame.data(), 1, Cp1251(L"Первый канал"));
    });
    video.join();

    host.ShowSettings(hostWindow);
    theSettings = FindWindowW(nullptr, L"RPX_UVDenoise плагин");
    PumpFor(500);
    WriteRect("settings", theSettings);
    WaitFor("settings");

    SetTimer(nullptr, 0, 50, ShowAboutBox);
    SendMessageW(GetDlgItem(theSettings, IDC_ABOUT_BUTTON), BM_CLICK, 0, 0);

    SendMessageW(GetDlgItem(theSettings, IDC_OK_BUTTON), BM_CLICK, 0, 0);
    PumpFor(100);
    std::thread([&] { host.StopStream(); }).join();
    host.Shutdown();
    DestroyWindow(hostWindow);
    return 0;
}

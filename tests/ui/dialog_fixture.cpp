#include "tests/ui/dialog_fixture.h"

#include <commctrl.h>

#include <random>

#include "tests/common/definition_reference.h"
#include "tests/common/plugin_fixture.h"

namespace ui_test {

const wchar_t kSettingsCaption[] = L"RPX_UVDenoise плагин";

std::vector<uint8_t> TestFrame()
{
    std::vector<uint8_t> frame(static_cast<size_t>(kFrameWidth) * kFrameHeight * 2);
    std::mt19937 rng(20240607);
    for (int y = 0; y < kFrameHeight; ++y) {
        for (int x = 0; x < kFrameWidth; ++x) {
            uint8_t* pixel = &frame[(static_cast<size_t>(y) * kFrameWidth + x) * 2];
            pixel[0] = static_cast<uint8_t>(16 + 3 * x + 2 * y);
            const int base = (x & 1) ? 150 - y : 90 + 2 * y;  // V on odd pixels, U on even ones
            pixel[1] = static_cast<uint8_t>(base + static_cast<int>(rng() % 41) - 20);
        }
    }
    // Sparkles: single rows at full scale, and a few two rows high.
    for (int i = 0; i < 40; ++i) {
        const int x = static_cast<int>(rng() % kFrameWidth), y = static_cast<int>(rng() % kFrameHeight);
        const uint8_t spike = (i % 2) ? 255 : 0;
        frame[(static_cast<size_t>(y) * kFrameWidth + x) * 2 + 1] = spike;
        if (i % 5 == 0 && y + 1 < kFrameHeight)
            frame[(static_cast<size_t>(y + 1) * kFrameWidth + x) * 2 + 1] = spike;
    }
    return frame;
}

std::vector<uint8_t> Expected(bool enabled, int count)
{
    const std::vector<uint8_t> frame = TestFrame();
    return enabled ? reference::ChromaMedian(frame, kFrameWidth, kFrameHeight, count) : frame;
}

std::string SettingsText(int posX, int posY, bool common, int commonSize, int commonEnable,
                         const std::vector<std::vector<int64_t>>& channels)
{
    std::string text = SettingsHeader(posX, posY, common ? 1 : 0) + SettingsSection("COMMON", commonSize, commonEnable);
    for (const auto& channel : channels)
        text += SettingsSection(std::to_string(channel.at(0)), channel.at(1), channel.at(2));
    return text;
}

void DialogTest::SetUp()
{
    const std::string settings = InitialSettings();
    if (settings.empty())
        fixture::RemoveSettings();
    else
        fixture::WriteSettings(settings);

    ASSERT_TRUE(m_host.Load(fixture::PluginDllPath()));
    m_host.Init(KnowsEveryChannel);
    m_hostWindow = CreateHostWindow(L"Kestrova", 100, 100, 600, 450);
    ASSERT_NE(m_hostWindow, nullptr);
    m_video.Run([this] { m_host.StartStream(kFrameWidth, kFrameHeight, kPixelFormatYuy2); });
    Pump();
}

void DialogTest::TearDown()
{
    if (m_host.Descriptor()) {
        m_video.Run([this] { m_host.StopStream(); });
        if (!m_shutDown)
            Shutdown();
    }
    m_host.Unload();
    DestroyWindow(m_hostWindow);
    Pump();
}

std::vector<uint8_t> DialogTest::Play(int64_t channelId, const std::string& channelName)
{
    std::vector<uint8_t> frame = TestFrame();
    int result = 0;
    m_video.Run([&] { result = m_host.ProcessFrame(frame.data(), channelId, channelName); });
    EXPECT_EQ(result, 1);
    return frame;
}

void DialogTest::ShowSettings(HWND parent)
{
    m_host.ShowSettings(parent);
    Pump();
}

void DialogTest::Shutdown()
{
    m_host.Shutdown();
    m_shutDown = true;
    Pump();
}

void DialogTest::Pump()
{
    // Handlers post further messages (the dialog's refreshes, "Отмена"'s WM_CLOSE): run until all are done.
    for (int quietRounds = 0; quietRounds < 3;) {
        MSG msg;
        bool any = false;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            any = true;
            HWND dialog = Dialog();
            if (dialog && IsDialogMessageW(dialog, &msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        quietRounds = any ? 0 : quietRounds + 1;
        if (!any)
            Sleep(5);
    }
}

namespace {

struct DialogSearch {
    HWND found = nullptr;
    int count = 0;
};

BOOL CALLBACK CollectSettingsDialogs(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<DialogSearch*>(param);
    wchar_t className[32] = {}, caption[64] = {};
    GetClassNameW(window, className, 32);
    GetWindowTextW(window, caption, 64);
    if (wcscmp(className, L"#32770") == 0 && wcscmp(caption, kSettingsCaption) == 0) {
        search->found = window;
        ++search->count;
    }
    return TRUE;
}

DialogSearch FindSettingsDialogs()
{
    DialogSearch search;
    EnumThreadWindows(GetCurrentThreadId(), CollectSettingsDialogs, reinterpret_cast<LPARAM>(&search));
    return search;
}

}  // namespace

HWND DialogTest::Dialog() const { return FindSettingsDialogs().found; }

int DialogTest::DialogCount() const { return FindSettingsDialogs().count; }

std::wstring DialogTest::Text(HWND window) const
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

int DialogTest::SliderPos() const
{
    return static_cast<int>(SendMessageW(Item(kSlider), TBM_GETPOS, 0, 0));
}

RECT DialogTest::DialogRect() const
{
    RECT rect{};
    GetWindowRect(Dialog(), &rect);
    return rect;
}

void DialogTest::Click(int id)
{
    SendMessageW(Item(id), BM_CLICK, 0, 0);
    Pump();
}

void DialogTest::MoveSlider(int position, WORD notification)
{
    HWND slider = Item(kSlider);
    SendMessageW(slider, TBM_SETPOS, TRUE, position);
    SendMessageW(Dialog(), WM_HSCROLL, MAKEWPARAM(notification, position), reinterpret_cast<LPARAM>(slider));
    Pump();
}

void DialogTest::Press(UINT virtualKey, int focusId)
{
    HWND focus = Item(focusId);
    SetFocus(focus);
    PostMessageW(focus, WM_KEYDOWN, virtualKey, 1);
    PostMessageW(focus, WM_KEYUP, virtualKey, 0xC0000001);
    Pump();
}

}  // namespace ui_test

// Drives a setup program's pages the way a viewer does, by the controls on screen:
//   setup_driver <program> <arguments> <step>...
// starts "<program> <arguments>" and runs the steps in order against the window the viewer can use (the
// setup's enabled top-level window: its page, or a message box or folder dialog in front of it):
//   wait:<id>            until that window holds a visible control with this id (or, when <id> starts with a
//                        letter, of this window class)
//   click:<id>           presses that button (waits for it first)
//   browse:<depth>       presses Browse (id 1001) and waits for the folder dialog to show the folder in the
//                        box: a selected item <depth> levels deep in its tree
//   set:<id>:<text>      types the text into that control (waits for it first)
//   text:<id>            prints the control's text on a line of its own
//   texts                prints every visible text of the window, one per line
//   shot:<file>          writes the window's rectangle "w h x y" to <file>.rect and waits for <file>.done
//   exit                 waits for the setup to end and prints "exit <code>"
// Prints UTF-8. A step that times out prints the setup's windows and ends the driver with 3 (and the setup).

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr DWORD kStepTimeoutMs = 20000;

struct Setup {
    PROCESS_INFORMATION process{};
};
Setup g_setup;

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                          nullptr, nullptr);
    std::string out(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), bytes, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& text)
{
    const int chars = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(chars, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), chars);
    return out;
}

void PrintLine(const std::wstring& text)
{
    const std::string line = Utf8(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

std::wstring TextOf(HWND window)
{
    wchar_t buffer[4096] = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000, &ignored);
    return buffer;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

BOOL CALLBACK AddSetupWindow(HWND window, LPARAM found)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == g_setup.process.dwProcessId && IsWindowVisible(window))
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    return TRUE;
}

BOOL CALLBACK AddVisibleWindow(HWND window, LPARAM found)
{
    if (IsWindowVisible(window))
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    return TRUE;
}

std::vector<HWND> SetupTopWindows()
{
    std::vector<HWND> windows;
    EnumWindows(AddSetupWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// The window the viewer can use: a modal dialog disables the windows behind it.
HWND UsableWindow()
{
    for (HWND window : SetupTopWindows())
        if (IsWindowEnabled(window))
            return window;
    return nullptr;
}

std::vector<HWND> VisibleDescendants(HWND top)
{
    std::vector<HWND> children;
    EnumChildWindows(top, AddVisibleWindow, reinterpret_cast<LPARAM>(&children));
    return children;
}

HWND FindControl(HWND top, const std::string& key)
{
    const bool byClass = !key.empty() && ((key[0] >= 'A' && key[0] <= 'Z') || (key[0] >= 'a' && key[0] <= 'z'));
    for (HWND child : VisibleDescendants(top)) {
        if (byClass ? ClassOf(child) == Wide(key) : GetDlgCtrlID(child) == std::atoi(key.c_str()))
            return child;
    }
    return nullptr;
}

[[noreturn]] void GiveUp(const std::string& step)
{
    std::fprintf(stderr, "setup_driver: %s: timed out; the setup's windows:\n", step.c_str());
    for (HWND top : SetupTopWindows()) {
        std::fprintf(stderr, "  [%s] %s \"%s\"\n", IsWindowEnabled(top) ? "enabled" : "disabled",
                     Utf8(ClassOf(top)).c_str(), Utf8(TextOf(top)).c_str());
        for (HWND child : VisibleDescendants(top))
            std::fprintf(stderr, "    %d %s \"%s\"\n", GetDlgCtrlID(child), Utf8(ClassOf(child)).c_str(),
                         Utf8(TextOf(child)).c_str());
    }
    TerminateProcess(g_setup.process.hProcess, 99);
    std::exit(3);
}

// Waits until the usable window holds the control; returns it.
HWND AwaitControl(const std::string& key, const std::string& step)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < kStepTimeoutMs) {
        if (HWND top = UsableWindow()) {
            HWND control = FindControl(top, key);
            if (control && IsWindowEnabled(control))
                return control;
        }
        Sleep(50);
    }
    GiveUp(step);
}

// How many items stand above the tree's selected item (0: nothing selected).
int SelectedItemDepth(HWND tree)
{
    auto next = [tree](WPARAM which, HTREEITEM from) {
        return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, which, reinterpret_cast<LPARAM>(from)));
    };
    int depth = 0;
    for (HTREEITEM item = next(TVGN_CARET, nullptr); item; item = next(TVGN_PARENT, item))
        ++depth;
    return depth;
}

HWND AwaitUsableWindow(const std::string& step)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < kStepTimeoutMs) {
        if (HWND top = UsableWindow())
            return top;
        Sleep(50);
    }
    GiveUp(step);
}

void RunStep(const std::string& step)
{
    const std::string::size_type colon = step.find(':');
    const std::string verb = step.substr(0, colon);
    const std::string rest = colon == std::string::npos ? "" : step.substr(colon + 1);
    if (verb == "wait") {
        AwaitControl(rest, step);
    } else if (verb == "click") {
        // Posted, not sent: the button's handler may open a modal message box that the next step answers.
        PostMessageW(AwaitControl(rest, step), BM_CLICK, 0, 0);
        Sleep(100);
    } else if (verb == "set") {
        const std::string::size_type second = rest.find(':');
        HWND control = AwaitControl(rest.substr(0, second), step);
        const std::wstring text = Wide(rest.substr(second + 1));
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000,
                            &ignored);
    } else if (verb == "text") {
        PrintLine(TextOf(AwaitControl(rest, step)));
    } else if (verb == "texts") {
        for (HWND child : VisibleDescendants(AwaitUsableWindow(step))) {
            const std::wstring text = TextOf(child);
            if (!text.empty() && text[0] != 0xFFFF)  // an icon's resource number, not a text
                PrintLine(text);
        }
    } else if (verb == "shot") {
        HWND top = AwaitUsableWindow(step);
        Sleep(300);  // let the page finish painting
        RECT rect{};
        GetWindowRect(top, &rect);
        const std::string rectFile = rest + ".rect", doneFile = rest + ".done";
        if (FILE* out = std::fopen(rectFile.c_str(), "w")) {
            std::fprintf(out, "%ld %ld %ld %ld\n", rect.right - rect.left, rect.bottom - rect.top, rect.left, rect.top);
            std::fclose(out);
        }
        const DWORD start = GetTickCount();
        while (GetFileAttributesA(doneFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
            if (GetTickCount() - start > kStepTimeoutMs)
                GiveUp(step);
            Sleep(50);
        }
    } else if (verb == "browse") {
        // Wine's folder dialog now and then opens at the top of its tree instead of at the folder in the
        // box; such a dialog is cancelled and opened again, as a viewer would.
        const int depth = std::atoi(rest.c_str());
        for (int attempt = 0; attempt < 5; ++attempt) {
            PostMessageW(AwaitControl("1001", step), BM_CLICK, 0, 0);
            HWND tree = AwaitControl("SysTreeView32", step);
            for (int poll = 0; poll < 20; ++poll) {
                if (SelectedItemDepth(tree) == depth)
                    return;
                Sleep(50);
            }
            PostMessageW(AwaitControl("2", step), BM_CLICK, 0, 0);
            Sleep(200);
        }
        GiveUp(step);
    } else if (verb == "sleep") {
        Sleep(std::atoi(rest.c_str()));
    } else if (verb == "exit") {
        if (WaitForSingleObject(g_setup.process.hProcess, kStepTimeoutMs) != WAIT_OBJECT_0)
            GiveUp(step);
        DWORD code = 0;
        GetExitCodeProcess(g_setup.process.hProcess, &code);
        PrintLine(L"exit " + std::to_wstring(code));
    } else {
        std::fprintf(stderr, "setup_driver: unknown step %s\n", step.c_str());
        TerminateProcess(g_setup.process.hProcess, 99);
        std::exit(2);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: setup_driver <program> <arguments> <step>...\n");
        return 2;
    }
    std::wstring command = L"\"" + Wide(argv[1]) + L"\" " + Wide(argv[2]);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &g_setup.process)) {
        std::fprintf(stderr, "setup_driver: cannot start %s (error %lu)\n", argv[1], GetLastError());
        return 2;
    }
    for (int i = 3; i < argc; ++i)
        RunStep(argv[i]);
    return 0;
}

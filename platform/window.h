#pragma once

#include <windows.h>

#include <atomic>

// One window handle and one-line calls on it. The handle is atomic: the video thread reads the settings
// dialog's handle to post to it while the user-interface thread creates and destroys the window.
class CWindow {
public:
    CWindow() = default;
    CWindow(const CWindow&) = delete;
    CWindow& operator=(const CWindow&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd.load(std::memory_order_acquire); }
    void Attach(HWND window) { m_hWnd.store(window, std::memory_order_release); }
    HWND Detach() { return m_hWnd.exchange(nullptr, std::memory_order_acq_rel); }

    BOOL Destroy() { return ::DestroyWindow(GetSafeHwnd()); }
    BOOL Show(int command) { return ::ShowWindow(GetSafeHwnd(), command); }
    HWND Focus() { return ::SetFocus(GetSafeHwnd()); }
    BOOL Flash(BOOL invert) { return ::FlashWindow(GetSafeHwnd(), invert); }
    BOOL Enable(BOOL enable) { return ::EnableWindow(GetSafeHwnd(), enable); }
    BOOL SetText(const wchar_t* text) { return ::SetWindowTextW(GetSafeHwnd(), text); }
    BOOL WindowRect(RECT* rect) const { return ::GetWindowRect(GetSafeHwnd(), rect); }
    BOOL MoveTo(int x, int y) { return ::SetWindowPos(GetSafeHwnd(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER); }
    HWND Item(int id) const { return ::GetDlgItem(GetSafeHwnd(), id); }
    // Never to a null handle: PostMessage would put the message in the calling thread's own queue.
    BOOL Post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        HWND window = GetSafeHwnd();
        return window && ::PostMessageW(window, message, wParam, lParam);
    }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageW(GetSafeHwnd(), message, wParam, lParam);
    }

private:
    std::atomic<HWND> m_hWnd{nullptr};
};

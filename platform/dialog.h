#pragma once

#include <windows.h>

#include "platform/window.h"

// A dialog built from a template in the module's resources. One static dialog procedure finds the object
// (stored at WM_INITDIALOG) and hands each message to the object's message map; nothing a handler
// throws reaches Windows. The handle is null again once the window is gone, whoever destroyed it.
class CDialog : public CWindow {
public:
    explicit CDialog(int templateId) : m_templateId(templateId) {}
    virtual ~CDialog();

    // Modeless; OnInitDialog has run when this returns. False when no window was made.
    bool Create(HWND owner);
    // Modal; IDOK or IDCANCEL as the dialog ended, -1 when no window was made.
    INT_PTR DoModal(HWND owner);
    // Ends a modal dialog's loop; nothing when no window is up.
    void EndDialog(INT_PTR result)
    {
        if (HWND window = GetSafeHwnd())
            ::EndDialog(window, result);
    }

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // The window is gone and the handle already null.
    virtual void PostNcDestroy() {}
    // The message map: true when the message was handled, with the value to return for it.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    const int m_templateId;
};

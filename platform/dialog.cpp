#include "platform/dialog.h"

#include "platform/module_instance.h"

CDialog::~CDialog()
{
    // Only a host that unloads the module without Shutdown leaves a window here: unhook it so that no
    // handler runs on a half-destroyed object, then take the window down with the object.
    if (HWND window = Detach()) {
        ::SetWindowLongPtrW(window, DWLP_USER, 0);
        ::DestroyWindow(window);
    }
}

bool CDialog::Create(HWND owner)
{
    return ::CreateDialogParamW(ModuleInstance(), MAKEINTRESOURCEW(m_templateId), owner, DialogProc,
                                reinterpret_cast<LPARAM>(this)) != nullptr;
}

INT_PTR CDialog::DoModal(HWND owner)
{
    return ::DialogBoxParamW(ModuleInstance(), MAKEINTRESOURCEW(m_templateId), owner, DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

bool CDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    if (message != WM_COMMAND)
        return false;
    switch (LOWORD(wParam)) {
    case IDOK:
        OnOK();
        return true;
    case IDCANCEL:
        OnCancel();
        return true;
    }
    return false;
}

__attribute__((force_align_arg_pointer)) INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message,
                                                                                WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        dialog->Attach(window);
        try {
            return dialog->OnInitDialog();
        } catch (...) {
            return TRUE;
        }
    }
    // Messages that arrive before WM_INITDIALOG, or after the object let go, get the default handling.
    auto* dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (!dialog)
        return FALSE;
    return dialog->Dispatch(window, message, wParam, lParam);
}

INT_PTR CDialog::Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, DWLP_USER, 0);
        Detach();
        try {
            PostNcDestroy();
        } catch (...) {
        }
        return FALSE;
    }
    try {
        LRESULT result = 0;
        if (!OnMessage(message, wParam, lParam, result))
            return FALSE;
        // A handler may have destroyed the window; the result then has nowhere to go, which is harmless.
        ::SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

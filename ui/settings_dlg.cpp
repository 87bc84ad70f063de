#include "ui/settings_dlg.h"

#include <string>
#include <utility>

#include "filter/median_window.h"
#include "ui/dialog_position.h"
#include "ui/resource.h"

namespace {

constexpr int kMinWndSize = kMinMedianWindow;
constexpr int kMaxWndSize = kMaxMedianWindow;
constexpr DWORD kFlashIntervalMs = 60;

ScreenRect ToScreenRect(const RECT& rect) { return ScreenRect{rect.left, rect.top, rect.right, rect.bottom}; }

// The host's channel names are 8-bit text in its code page (1251 for Russian names).
std::wstring WideFromHostText(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(length > 0 ? length : 0, L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

}  // namespace

CSettingsDlg::CSettingsDlg(CChannelSettings& settings, CCriticalSection& lock, const std::string& channelName)
    : CDialog(IDD_SETTINGS), m_settings(settings), m_lock(lock), m_channelName(channelName)
{
}

void CSettingsDlg::Open(HWND parent)
{
    if (GetSafeHwnd()) {
        Focus();
        FlashCaption(2);
        return;
    }
    InitTrackbarClass();
    m_wndParent.Attach(parent);
    if (!Create(parent)) {
        m_wndParent.Detach();
        return;
    }
    Show(SW_SHOW);
}

void CSettingsDlg::CloseForShutdown()
{
    // A host may call Shutdown from a message the about box's loop dispatches: end the box and give the
    // host its window back before the box's owner goes, so nothing stays disabled once Shutdown returns.
    m_dlgAbout.EndDialog(IDCANCEL);
    EnableHostAgain();
    if (GetSafeHwnd())
        Destroy();
}

void CSettingsDlg::PostPluginUpdate(unsigned what) const
{
    // The handle is read once: the window may go between a check and a second read.
    Post(WM_PLUGIN_UPDATE, what);
}

void CSettingsDlg::FlashCaption(int count)
{
    for (int i = 0; i < 2 * count; ++i) {
        Flash(TRUE);
        Sleep(kFlashIntervalMs);
    }
}

void CSettingsDlg::BindControls()
{
    m_txtValue.Attach(Item(IDC_WNDSIZE_TEXT));
    m_sliderWndSize.Attach(Item(IDC_WNDSIZE_SLIDER));
    m_chkEnable.Attach(Item(IDC_ENABLE_CHECK));
    m_chkIndividual.Attach(Item(IDC_INDIVIDUAL_CHECK));
    m_txtChannel.Attach(Item(IDC_CHANNEL_NAME));
}

BOOL CSettingsDlg::OnInitDialog()
{
    BindControls();

    DlgPoint saved{};
    m_settings.GetDlgPos(&saved);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    RECT dialog{}, host{};
    WindowRect(&dialog);
    // Without a host window to centre on, the screen stands in for it.
    if (!m_wndParent.GetSafeHwnd() || !m_wndParent.WindowRect(&host))
        host = RECT{0, 0, screenWidth, screenHeight};
    const ScreenPoint at = SettingsDialogPosition(ScreenPoint{saved.x, saved.y}, screenWidth, screenHeight,
                                                  ToScreenRect(dialog), ToScreenRect(host));
    MoveTo(at.x, at.y);

    m_settings.BeginEdit();
    m_sliderWndSize.SetRange(kMinWndSize, kMaxWndSize, TRUE);
    m_sliderWndSize.SetTicFreq(1);
    // The controls get their values once the loop delivers this, after the window is shown.
    Post(WM_PLUGIN_UPDATE, UPD_ALL);
    return TRUE;
}

bool CSettingsDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_PLUGIN_UPDATE:
        OnPluginUpdate(wParam);
        result = 1;
        return true;
    case WM_CLOSE:
        OnClose();
        return true;
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED)
            break;
        switch (LOWORD(wParam)) {
        case IDC_CANCEL_BUTTON:
            OnCancelButton();
            return true;
        case IDC_OK_BUTTON:
            OnOkButton();
            return true;
        case IDC_ABOUT_BUTTON:
            OnAboutButton();
            return true;
        case IDC_ENABLE_CHECK:
            OnEnableCheck();
            return true;
        case IDC_INDIVIDUAL_CHECK:
            OnIndividualCheck();
            return true;
        }
        break;
    // Both go on to the default handling afterwards.
    case WM_DESTROY:
        OnDestroy();
        return false;
    case WM_HSCROLL:
        OnHScroll(reinterpret_cast<HWND>(lParam));
        return false;
    }
    return CDialog::OnMessage(message, wParam, lParam, result);
}

void CSettingsDlg::OnPluginUpdate(WPARAM what)
{
    CSingleLock hold(m_lock);
    const int32_t wndSize = m_settings.LiveWndSize();
    const BOOL enabled = m_settings.LiveEnable() != 0;
    if (what == UPD_ALL) {
        m_sliderWndSize.SetPos(wndSize);
        m_chkEnable.SetCheck(enabled ? BST_CHECKED : BST_UNCHECKED);
        m_chkIndividual.SetCheck(m_settings.IsIndividual() ? BST_CHECKED : BST_UNCHECKED);
    }
    if (what == UPD_ALL || what == UPD_CHANNEL_NAME)
        ShowChannelName();
    if (what == UPD_ALL || what == UPD_VALUE_TEXT) {
        // Widened from to_string: to_wstring formats through swprintf, which the DLL need not carry.
        const std::string digits = std::to_string(wndSize);
        m_txtValue.SetText(std::wstring(digits.begin(), digits.end()).c_str());
    }
    if (what == UPD_ALL || what == UPD_ENABLE_STATE) {
        m_txtValue.Enable(enabled);
        m_sliderWndSize.Enable(enabled);
    }
}

void CSettingsDlg::ShowChannelName() { m_txtChannel.SetText(WideFromHostText(m_channelName).c_str()); }

void CSettingsDlg::OnHScroll(HWND control)
{
    if (control != m_sliderWndSize.GetSafeHwnd())
        return;
    // Every notification code alike: dragging changes the size at each position the thumb passes.
    const int position = m_sliderWndSize.GetPos();
    if (position != m_settings.LiveWndSize()) {
        m_settings.SetLiveWndSize(position);
        Post(WM_PLUGIN_UPDATE, UPD_VALUE_TEXT);
    }
}

void CSettingsDlg::OnEnableCheck()
{
    m_settings.SetLiveEnable(m_chkEnable.GetCheck() == BST_CHECKED ? 1 : 0);
    Post(WM_PLUGIN_UPDATE, UPD_ENABLE_STATE);
}

void CSettingsDlg::OnIndividualCheck()
{
    m_settings.SetIndividual(m_chkIndividual.GetCheck() == BST_CHECKED ? 1 : 0);
    // The live values may now come from another record.
    Post(WM_PLUGIN_UPDATE, UPD_ALL);
}

void CSettingsDlg::OnOkButton() { Destroy(); }

void CSettingsDlg::OnCancelButton() { Post(WM_CLOSE); }

void CSettingsDlg::OnClose()
{
    m_settings.RevertEdit();
    Destroy();
}

void CSettingsDlg::OnAboutButton()
{
    // Modal over the host too: its top-level window takes no input while the box is up. A window the
    // host had disabled itself is left to the host.
    HWND parent = m_wndParent.GetSafeHwnd();
    HWND host = parent ? GetAncestor(parent, GA_ROOT) : nullptr;
    if (host && IsWindowEnabled(host)) {
        EnableWindow(host, FALSE);
        m_hWndHostDisabled = host;
    }
    m_dlgAbout.DoModal(GetSafeHwnd());
    EnableHostAgain();
}

void CSettingsDlg::EnableHostAgain()
{
    if (HWND host = std::exchange(m_hWndHostDisabled, nullptr))
        EnableWindow(host, TRUE);
}

void CSettingsDlg::OnDestroy()
{
    RECT rect{};
    if (!WindowRect(&rect))
        return;
    const DlgPoint position{rect.left, rect.top};
    m_settings.SetDlgPos(&position);
}

void CSettingsDlg::PostNcDestroy()
{
    m_wndParent.Detach();
    m_txtValue.Detach();
    m_sliderWndSize.Detach();
    m_chkEnable.Detach();
    m_chkIndividual.Detach();
    m_txtChannel.Detach();
}

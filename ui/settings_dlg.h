#pragma once

#include <string>

#include "platform/controls.h"
#include "platform/critical_section.h"
#include "platform/dialog.h"
#include "settings/channel_settings.h"
#include "ui/about_dlg.h"

// What a WM_PLUGIN_UPDATE (ui/resource.h) refreshes.
enum PluginUpdate : unsigned {
    UPD_ALL = 0,
    UPD_CHANNEL_NAME = 1,
    UPD_VALUE_TEXT = 2,
    UPD_ENABLE_STATE = 3,
};

// The modeless settings dialog. Its controls write the live values directly, so the next frame uses them;
// "ОК" keeps the changes, "Отмена" and the close box put back the channel table as it was at opening.
class CSettingsDlg : public CDialog {
public:
    CSettingsDlg(CChannelSettings& settings, CCriticalSection& lock, const std::string& channelName);

    // ShowSettings: focuses and flashes an open window, else creates one owned by the host's window.
    void Open(HWND parent);
    // Shutdown: the window goes without restoring the snapshot, so its changes are saved; an open about
    // box ends first.
    void CloseForShutdown();
    // Any thread: posts the refresh when the window exists, and never waits.
    void PostPluginUpdate(unsigned what) const;

    void FlashCaption(int count);

protected:
    BOOL OnInitDialog() override;
    // Enter and Escape leave the dialog open.
    void OnOK() override {}
    void OnCancel() override {}
    void PostNcDestroy() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void BindControls();
    void OnPluginUpdate(WPARAM what);
    void OnClose();
    void OnCancelButton();
    void OnOkButton();
    void OnAboutButton();
    void EnableHostAgain();
    void OnDestroy();
    void OnHScroll(HWND control);
    void OnEnableCheck();
    void OnIndividualCheck();
    void ShowChannelName();

    CChannelSettings& m_settings;
    CCriticalSection& m_lock;
    const std::string& m_channelName;  // code page bytes as the host sent them

    CWindow m_wndParent;
    CAboutDlg m_dlgAbout;
    CStatic m_txtValue;
    CSliderCtrl m_sliderWndSize;
    CButton m_chkEnable;
    CButton m_chkIndividual;
    CStatic m_txtChannel;
    HWND m_hWndHostDisabled = nullptr;  // the host's top-level window while the about box keeps it disabled
};

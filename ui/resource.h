#pragma once

// Resource ids and the settings dialog's own message, shared by the resource script, the dialogs' code and
// the tests.

#define IDD_SETTINGS 5000
#define IDC_WNDSIZE_SLIDER 5001
#define IDC_OK_BUTTON 5002
#define IDC_CANCEL_BUTTON 5003
#define IDC_ABOUT_BUTTON 5008
#define IDC_ENABLE_CHECK 5050
#define IDC_INDIVIDUAL_CHECK 5070
#define IDC_CHANNEL_NAME 5145
#define IDC_WNDSIZE_TEXT 5146

#define IDD_ABOUT 5002
#define IDB_ABOUT_PICTURE 5004

#define IDC_STATIC (-1)

// Always posted to the settings dialog, never sent: the video thread posts it while holding SettingsLock,
// and the dialog takes that lock to refresh. wParam says what to refresh (PluginUpdate); lParam is 0.
#define WM_PLUGIN_UPDATE (WM_USER + 400)

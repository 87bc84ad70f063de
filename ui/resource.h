#pragma once

// Resource ids shared by the resource script and the dialogs' code.

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

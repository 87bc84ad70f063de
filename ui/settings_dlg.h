#pragma once

// Stand-in until the settings dialog lands: the interface the plug-in's boundary uses.

#include <string>

#include "platform/critical_section.h"
#include "settings/channel_settings.h"

struct HWND__;

enum PluginUpdate : unsigned {
    UPD_ALL = 0,
    UPD_CHANNEL_NAME = 1,
    UPD_VALUE_TEXT = 2,
    UPD_ENABLE_STATE = 3,
};

class CSettingsDlg {
public:
    CSettingsDlg(CChannelSettings&, CCriticalSection&, const std::string&) {}
    void Open(HWND__*) {}
    void CloseForShutdown() {}
    void PostPluginUpdate(unsigned) {}
};

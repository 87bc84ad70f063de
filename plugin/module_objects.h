#pragma once

#include <string>

#include "plugin/frame_dispatch.h"
#include "plugin/plugin_app.h"
#include "platform/critical_section.h"
#include "settings/channel_settings.h"
#include "ui/settings_dlg.h"

// The module's static objects, constructed in this order at load and destroyed in reverse at unload.
extern CPluginApp theApp;
extern CSettingsDlg theSettingsDlg;
extern CChannelSettings theChannelSettings;
extern CCriticalSection SettingsLock;
extern std::string theChannelName;
extern FrameDispatcher theStream;

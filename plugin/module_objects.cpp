#include "plugin/module_objects.h"

// One translation unit, so the construction order is the order written here.
CPluginApp theApp;
CSettingsDlg theSettingsDlg(theChannelSettings, SettingsLock, theChannelName);
CChannelSettings theChannelSettings(SettingsLock);
CCriticalSection SettingsLock;
std::string theChannelName;

static void PostChannelSwitchToDialog() { theSettingsDlg.PostPluginUpdate(UPD_ALL); }

FrameDispatcher theFrameDispatcher(theChannelSettings, SettingsLock, theChannelName, PostChannelSwitchToDialog);

#pragma once

#include <string>

#include "plugin/frame_dispatch.h"
#include "plugin/plugin_app.h"
#include "platform/critical_section.h"
#include "settings/channel_settings.h"
#include "ui/settings_dlg.h"

// The module's static objects, constructed in this order at load and destroyed in reverse at unload.
// Two host threads come in: the video thread (StartStream, ProcessFrame, StopStream) and the user-interface
// thread (ShowSettings, the dialog, Shutdown); Init runs before either. Who touches what:
//
// theApp             written once in DllMain (process attach, before any entry); read by Init. No lock.
// theSettingsDlg     the user-interface thread's: ShowSettings creates the window, OK, Cancel, the close box
//                    and Shutdown destroy it, its handlers run there. The video thread only reads its window
//                    handle (atomic) to post WM_PLUGIN_UPDATE, never sends.
// theChannelSettings
//   live values      written by SwitchChannel (video thread, under SettingsLock, which ProcessFrame holds),
//                    by BeginEdit, RevertEdit and SetIndividual (user-interface thread, which take the lock
//                    themselves), and by the dialog's controls without the lock, one atomic 32-bit store
//                    each; read by ProcessFrame and the dialog's refresh under the lock, and by the dialog's
//                    controls without it (atomic loads).
//   tables, record   written by SwitchChannel (video thread) and by BeginEdit, RevertEdit and SetIndividual
//   in force, mode   (user-interface thread), all under SettingsLock; the mode is read by the dialog's
//                    refresh under the lock.
//   dialog position  read when the dialog opens and written when it closes (user-interface thread), loaded
//                    at Init and saved at Shutdown; no lock, as no other thread touches it.
//   the file         read by LoadSettings (Init) and written by SaveSettings (Shutdown), which run while no
//                    frame is in flight and the dialog is closed, and take no lock.
// SettingsLock       the one critical section, re-entrant for its holder.
// theChannelName     written by ProcessFrame on a channel switch (video thread, under SettingsLock); read by
//                    the dialog's refresh (user-interface thread, under SettingsLock).
// theFrameDispatcher the stream's state and each frame's work: the video thread's alone (the host
//                    serialises StartStream, ProcessFrame and StopStream); no lock of its own.
// The module instance handle lives in platform/module_instance.h: set in DllMain, read to load the dialogs.
extern CPluginApp theApp;
extern CSettingsDlg theSettingsDlg;
extern CChannelSettings theChannelSettings;
extern CCriticalSection SettingsLock;
extern std::string theChannelName;
extern FrameDispatcher theFrameDispatcher;

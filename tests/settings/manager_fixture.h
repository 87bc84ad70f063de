#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/channel_checks.h"
#include "settings/channel_settings.h"
#include "tests/common/file_bytes.h"
#include "tests/common/settings_text.h"
#include "tests/common/temp_folder.h"

// A manager over a settings file in a fresh folder of its own.
class ManagerTest : public ::testing::Test {
protected:
    std::string Path() const { return m_folder.File("RPX_UVDenoise.ini"); }
    void WriteFile(const std::string& bytes) const { WriteFileBytes(Path(), bytes); }
    std::string ReadFile() const { return ReadFileBytes(Path()); }

    SettingsLocation Location() const
    {
        SettingsLocation location;
        location.m_strFolder = m_folder.Path() + "/";
        location.m_strBaseName = "RPX_UVDenoise";
        location.m_strFileName = "RPX_UVDenoise.ini";
        location.m_strPath = Path();
        return location;
    }

    void Load(ChannelCheckProc check) { m_settings.LoadSettings(Location(), check); }

    // The video thread's call, made the way the host's frames make it.
    int Frame(int64_t channelId)
    {
        CSingleLock hold(m_lock);
        return m_settings.SwitchChannel(channelId);
    }

    void SetLive(int32_t wndSize, uint32_t enable)
    {
        m_settings.SetLiveWndSize(wndSize);
        m_settings.SetLiveEnable(enable);
    }

    TempFolder m_folder;
    CCriticalSection m_lock;
    CChannelSettings m_settings{m_lock};
};

inline bool operator==(const ChannelRecord& a, const ChannelRecord& b)
{
    return a.ChannelId == b.ChannelId && a.MedianWndSize == b.MedianWndSize && a.ProcEnable == b.ProcEnable;
}

inline void PrintTo(const ChannelRecord& r, std::ostream* out)
{
    *out << "{" << r.ChannelId << ", " << r.MedianWndSize << ", " << r.ProcEnable << "}";
}

using Records = std::vector<ChannelRecord>;

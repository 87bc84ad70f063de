#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/channel_settings.h"

// A manager over a settings file in a fresh folder of its own.
class ManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        m_folder = std::filesystem::temp_directory_path() /
                   (std::string("uvd_manager_") + test->test_suite_name() + "_" + test->name());
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder);
    }
    void TearDown() override { std::filesystem::remove_all(m_folder); }

    std::string Path() const { return (m_folder / "RPX_UVDenoise.ini").string(); }

    void WriteFile(const std::string& bytes) const
    {
        std::ofstream(Path(), std::ios::binary) << bytes;
    }

    std::string ReadFile() const
    {
        std::ifstream in(Path(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    SettingsLocation Location() const
    {
        SettingsLocation location;
        location.m_strFolder = m_folder.string() + "/";
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

    std::filesystem::path m_folder;
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

// Host checks: every channel known, none known.
inline int UVD_CDECL KnowsEveryChannel(int64_t) { return 1; }
inline int UVD_CDECL KnowsNoChannel(int64_t) { return 0; }

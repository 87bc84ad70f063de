// Any settings file through the manager: load it, play frames of channels and dialog operations chosen
// by the input, save, and load again. The tables must stay consistent at every step, and a saved file
// must be a fixed point: loading it and saving again writes the same bytes.
//
// Input: one byte n, then n operation bytes, then the file's bytes.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "settings/channel_settings.h"
#include "tests/common/channel_checks.h"

namespace {

const ChannelCheckProc kChecks[] = {nullptr, KnowsEveryChannel, KnowsOddChannels};

void Require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

void CheckTables(const CChannelSettings& settings)
{
    const auto& records = settings.Records();
    Require(!records.empty(), "records empty");
    Require(records[0].ChannelId == 0, "element 0 is not COMMON");
    Require(records.size() == settings.Snapshot().size(), "snapshot and records differ in length");
    const int32_t current = settings.CurrentIndex();
    Require(current >= -1 && current < static_cast<int32_t>(records.size()), "current index out of range");
    for (const ChannelRecord& record : records)
        Require(record.MedianWndSize >= 1 && record.MedianWndSize <= 30, "window size outside 1..30");
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

SettingsLocation FuzzLocation()
{
    static const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("uvd_fuzz_manager_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    SettingsLocation location;
    location.m_strFolder = folder.string() + "/";
    location.m_strBaseName = "RPX_UVDenoise";
    location.m_strFileName = "RPX_UVDenoise.ini";
    location.m_strPath = (folder / location.m_strFileName).string();
    return location;
}

// Channel ids worth meeting: COMMON's 0, the always-kept 1..4, negatives, and the file's own channels.
int64_t ChannelFor(uint8_t op, const CChannelSettings& settings)
{
    const auto& records = settings.Records();
    const uint8_t pick = op >> 3;
    if (pick < records.size() && (pick & 1))
        return records[pick].ChannelId;
    return static_cast<int64_t>(pick) - 8;
}

void Play(uint8_t op, CChannelSettings& settings, CCriticalSection& lock)
{
    switch (op & 7) {
    case 0:
    case 1: {
        CSingleLock hold(lock);
        settings.SwitchChannel(ChannelFor(op, settings));
        break;
    }
    case 2:
        settings.BeginEdit();
        break;
    case 3:
        settings.RevertEdit();
        break;
    case 4:
        settings.SetIndividual(op & 8);
        break;
    case 5:
        settings.SetLiveWndSize(1 + (op >> 3) % 30);
        break;
    case 6:
        settings.SetLiveEnable(op >> 3);
        break;
    default: {
        const DlgPoint point{op, -op};
        settings.SetDlgPos(&point);
        break;
    }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t opCount = data[0] % 32;
    const uint8_t* ops = data + 1;
    const size_t opsAvailable = size - 1 < opCount ? size - 1 : opCount;
    const uint8_t* file = ops + opsAvailable;
    const size_t fileSize = size - 1 - opsAvailable;

    const SettingsLocation location = FuzzLocation();
    std::ofstream(location.m_strPath, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(file), static_cast<std::streamsize>(fileSize));
    const ChannelCheckProc check = kChecks[data[0] / 32 % 3];

    CCriticalSection lock;
    CChannelSettings settings(lock);
    settings.LoadSettings(location, check);
    CheckTables(settings);
    for (size_t i = 0; i < opsAvailable; ++i) {
        Play(ops[i], settings, lock);
        CheckTables(settings);
    }
    settings.SaveSettings();
    const std::string saved = ReadAll(location.m_strPath);

    CChannelSettings reloaded(lock);
    reloaded.LoadSettings(location, check);
    CheckTables(reloaded);
    reloaded.SaveSettings();
    Require(ReadAll(location.m_strPath) == saved, "a saved file changes when loaded and saved again");
    return 0;
}

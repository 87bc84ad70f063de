#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/calling_convention.h"
#include "platform/critical_section.h"
#include "settings/dialog_point.h"
#include "settings/ini_file.h"
#include "settings/settings_location.h"

struct ChannelRecord {
    int64_t ChannelId;      // 0 = the COMMON record
    int32_t MedianWndSize;  // range and default in filter/median_window.h
    uint32_t ProcEnable;    // non-zero = on, default 0
};
static_assert(sizeof(ChannelRecord) == 16, "ChannelRecord is a plain 16-byte record");

// The host's channel check: non-zero while the host still knows the channel.
using ChannelCheckProc = int(UVD_CDECL*)(int64_t channelId);

// Per-channel settings in common or individual mode, the live values in force, the dialog's snapshot
// and its position; loaded at Init and saved at Shutdown.
class CChannelSettings {
public:
    CChannelSettings(CCriticalSection& lock);

    // Init: reads the file at location.m_strPath into fresh tables; an empty path gives the defaults and
    // a save that writes nothing. A null check keeps every channel at the save. None of these throws.
    // LoadSettings = the file's bytes + the reading LoadSettingsText does; SaveSettings = the text
    // SettingsTextToWrite gives + the file's replacement, and it tells how the save ended (NothingToSave
    // for every save that had nothing to write: docs/ARCHITECTURE.md lists them). The text versions touch
    // no file: a save after LoadSettingsText writes none.
    void LoadSettings(const SettingsLocation& location, ChannelCheckProc check);
    void LoadSettingsText(std::string_view text, ChannelCheckProc check);
    SaveOutcome SaveSettings();
    // The bytes the save writes; empty when it writes nothing (the text equals the loaded one, or the file
    // could not be read). The view lasts until the next load or save.
    std::string_view SettingsTextToWrite();

    // Video thread, caller holds the lock. Non-zero when the current channel changed.
    int SwitchChannel(int64_t channelId);

    // Dialog operations that change the tables or the mode; each takes the lock itself.
    void BeginEdit();
    void RevertEdit();
    void SetIndividual(int bIndividual);
    // These take no lock: the caller holds it to read the mode (the dialog's refresh does), and the
    // position belongs to the user-interface thread alone.
    int IsIndividual() const;
    void GetDlgPos(DlgPoint* point) const;
    void SetDlgPos(const DlgPoint* point);

    // Live values: single 32-bit atomic loads and stores, so the dialog may write them without the lock.
    int32_t LiveWndSize() const;
    uint32_t LiveEnable() const;
    void SetLiveWndSize(int32_t size);
    void SetLiveEnable(uint32_t enable);

    // Read-only views for tests and for checks of the tables' consistency.
    const std::vector<ChannelRecord>& Records() const { return m_Records; }
    const std::vector<ChannelRecord>& Snapshot() const { return m_Snapshot; }
    int32_t CurrentIndex() const { return m_nCurrent; }
    const ChannelRecord& DefaultRecord() const { return m_Default; }
    const SettingsLocation& Location() const { return m_Location; }

private:
    void StoreLive();
    void FetchLive();
    ChannelRecord* RecordInForce();
    ChannelRecord CopyOfLive() const;
    void SetLive(const ChannelRecord& record);
    bool BuildSettingsText();

    void ResetTables();
    void ReadLoadedText(ChannelCheckProc check);
    void ReadSettingsText();
    void ReadChannelSections();
    void ReadChannel(int32_t headerPos, std::string_view sectionName, int64_t channelId,
                     std::vector<int32_t>& sectionsRead);
    void ReadRecordValues(const char* section);
    bool AppendRecord(const ChannelRecord& record);
    void WriteSettingsText();
    void WriteRecordValues(const ChannelRecord& record);
    bool ShouldSaveChannel(int64_t channelId) const;

    CCriticalSection& m_Lock;
    // The values in force; also the buffer every record is read into by LoadSettings (the parameter table
    // points into it), which puts the record in force back afterwards.
    ChannelRecord m_Live{0, 15, 0};
    DlgPoint m_ptDlgPos = kNoDlgPos;
    int32_t m_bCommon = 1;
    ChannelRecord m_Default{0, 15, 0};
    std::vector<ChannelRecord> m_Records;
    std::vector<ChannelRecord> m_Snapshot;
    int32_t m_nCurrent = -1;
    ChannelCheckProc m_pfnChannelCheck = nullptr;
    CIniFile m_Ini;
    SettingsLocation m_Location;
    bool m_bHadDefaultSection = false;  // a loaded DEFAULT section is written back
};

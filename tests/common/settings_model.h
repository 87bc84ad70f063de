#pragma once

// A plain model of the settings store and the per-channel manager over a byte string: the oracle of the
// differential test and the settings fuzz targets. It shares no code with the product and is written the
// slow, obvious way (whole strings, linear searches, every record through the live values, no memory
// failures), with the manager's member names, so that a difference points at one of the two. Where the
// product departs from the plain behaviour to keep data from being lost or misread, the model departs
// the same way, each place marked "Mend:".

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace settings_model {

struct IniParam {
    int32_t type;
    const char* key;
    void* value;
    const void* second;
    uintptr_t defaultLow;
    uint32_t defaultHigh;
};

// The whole text is held as loaded; lookups move m_nPos and m_nSectionPos; a save builds m_Out.
class IniStore {
public:
    // bytes: the file's contents; none when the file is there but could not be read.
    void Load(std::optional<std::string_view> bytes);
    bool ReadLine(std::string& line);
    bool ReadLine(std::string_view& line);
    bool FindSection(const std::string& name);
    bool FindValue(const std::string& section, std::string& key, std::string& value);
    bool NextSection(std::string& name);

    void ReadInt(const char* section, const char* key, int32_t* value, int32_t def);
    void ReadUInt(const char* section, const char* key, uint32_t* value, uint32_t def);
    void ReadLong(const char* section, const char* key, int32_t* value, int32_t def);
    void ReadTable(const char* section, const IniParam* params, int32_t count);

    void WriteText(const char* key, const std::string& value);
    void WriteInt(const char* key, int32_t value);
    void WriteUInt(const char* key, uint32_t value);
    void WriteTable(const IniParam* params, int32_t count);
    void BeginWrite();
    void Append(std::initializer_list<std::string_view> pieces);
    void WriteSection(const char* name);
    void WriteSectionId(int64_t id);
    // The text the file would be replaced by; none when nothing would be written.
    std::optional<std::string> Commit() const;

    std::string m_pText;
    int32_t m_nTextLen = 0;
    int32_t m_nPos = 0;
    int32_t m_nSectionPos = 0;
    std::optional<std::string> m_Out;
    std::string m_strValue;
    bool m_bLoadFailed = false;
};

// The standard decimal parses: white space, an optional sign, digits up to the first other byte.
int32_t ParseInt32(const std::string& text);
int64_t ParseInt64(const std::string& text);

struct ChannelRecord {
    int64_t ChannelId;
    int32_t MedianWndSize;
    uint32_t ProcEnable;
};
bool operator==(const ChannelRecord& a, const ChannelRecord& b);

struct DlgPoint {
    int32_t x;
    int32_t y;
};

using ChannelCheck = std::function<int(int64_t)>;  // empty: the host gave none

class ChannelSettings {
public:
    void LoadSettings(std::optional<std::string_view> file, ChannelCheck check);
    int SwitchChannel(int64_t id);
    void BeginEdit();
    void RevertEdit();
    void SetIndividual(int bIndividual);
    int IsIndividual() const { return m_bCommon == 0 ? 1 : 0; }
    // The text the save writes; none when it writes nothing.
    std::optional<std::string> SaveSettings();

    ChannelRecord m_Live{0, 15, 0};
    DlgPoint m_ptDlgPos{-100, -100};
    int32_t m_bCommon = 1;
    ChannelRecord m_Default{0, 15, 0};
    std::vector<ChannelRecord> m_Records;
    std::vector<ChannelRecord> m_Snapshot;
    int32_t m_nCurrent = -1;
    ChannelCheck m_pfnChannelCheck;
    IniStore m_Ini;
    bool m_bHadDefaultSection = false;

private:
    void StoreLive();
    void FetchLive();
    ChannelRecord* RecordInForce();
    void ReadChannelParams(const char* section);
    void WriteChannelParams();
    void LoadChannel(int32_t headerPos, const std::string& name, std::vector<int32_t>& sectionsRead);
};

}  // namespace settings_model

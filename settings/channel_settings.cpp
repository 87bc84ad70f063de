#include "settings/channel_settings.h"

#include <algorithm>
#include <array>
#include <new>
#include <string_view>

#include "filter/median_window.h"

namespace {

constexpr int32_t kDefaultWndSize = kDefaultMedianWindow;
constexpr uint32_t kDefaultEnable = 0;
constexpr int32_t kMinWndSize = kMinMedianWindow;
constexpr int32_t kMaxWndSize = kMaxMedianWindow;
constexpr ChannelRecord kDefaultRecord{0, kDefaultWndSize, kDefaultEnable};

// The two keys of every record section, in file order, pointing into record: the live one while reading,
// the record being saved while writing. The blank after ProcEnable is trimmed by the store.
std::array<IniParam, 2> ChannelParams(ChannelRecord& record)
{
    return {{
        {kIniInt, "MedianWndSize", &record.MedianWndSize, nullptr, static_cast<uintptr_t>(kDefaultWndSize), 0},
        {kIniUInt, "ProcEnable ", &record.ProcEnable, nullptr, kDefaultEnable, 0},
    }};
}

// Adds value to an ascending array unless it is there already; false when it was.
bool InsertSorted(std::vector<int32_t>& values, int32_t value)
{
    const auto place = std::lower_bound(values.begin(), values.end(), value);
    if (place != values.end() && *place == value)
        return false;
    values.insert(place, value);
    return true;
}

// The class library's growth step for a full array: an eighth of the size, clamped to 4..1024.
size_t GrownCapacity(size_t size, size_t capacity)
{
    const size_t step = std::clamp<size_t>(size / 8, 4, 1024);
    return std::max(size + 1, capacity + step);
}

void ReserveForOneMore(std::vector<ChannelRecord>& records)
{
    if (records.size() == records.capacity())
        records.reserve(GrownCapacity(records.size(), records.capacity()));
}

}  // namespace

CChannelSettings::CChannelSettings(CCriticalSection& lock) : m_Lock(lock) {}

// The dialog stores single live values without the lock; each value only has to arrive whole, since the
// lock orders everything else, so relaxed atomics suffice.
int32_t CChannelSettings::LiveWndSize() const
{
    return __atomic_load_n(&m_Live.MedianWndSize, __ATOMIC_RELAXED);
}

uint32_t CChannelSettings::LiveEnable() const
{
    return __atomic_load_n(&m_Live.ProcEnable, __ATOMIC_RELAXED);
}

void CChannelSettings::SetLiveWndSize(int32_t size)
{
    __atomic_store_n(&m_Live.MedianWndSize, size, __ATOMIC_RELAXED);
}

void CChannelSettings::SetLiveEnable(uint32_t enable)
{
    __atomic_store_n(&m_Live.ProcEnable, enable, __ATOMIC_RELAXED);
}

ChannelRecord CChannelSettings::CopyOfLive() const { return {m_Live.ChannelId, LiveWndSize(), LiveEnable()}; }

void CChannelSettings::SetLive(const ChannelRecord& record)
{
    m_Live.ChannelId = record.ChannelId;
    SetLiveWndSize(record.MedianWndSize);
    SetLiveEnable(record.ProcEnable);
}

ChannelRecord* CChannelSettings::RecordInForce()
{
    if (m_Records.empty())
        return nullptr;
    if (m_bCommon)
        return &m_Records[0];
    return m_nCurrent >= 0 ? &m_Records[static_cast<size_t>(m_nCurrent)] : nullptr;
}

void CChannelSettings::StoreLive()
{
    if (ChannelRecord* record = RecordInForce())
        *record = CopyOfLive();
}

void CChannelSettings::FetchLive()
{
    if (const ChannelRecord* record = RecordInForce())
        SetLive(*record);
}

void CChannelSettings::ResetTables()
{
    m_Live = kDefaultRecord;
    m_ptDlgPos = kNoDlgPos;
    m_bCommon = 1;
    m_Default = kDefaultRecord;
    m_Records.clear();
    m_Snapshot.clear();
    m_nCurrent = -1;
    m_bHadDefaultSection = false;
}

void CChannelSettings::LoadSettings(const SettingsLocation& location, ChannelCheckProc check)
{
    try {
        m_Location = location;
        m_Ini.Load(m_Location.m_strPath);
    } catch (const std::exception&) {
        // Out of memory before the file was read: the defaults, and a save that leaves the file alone.
        m_Location = SettingsLocation{};
        m_Ini.LoadText({});
    }
    ReadLoadedText(check);
}

void CChannelSettings::LoadSettingsText(std::string_view text, ChannelCheckProc check)
{
    m_Location = SettingsLocation{};
    m_Ini.LoadText(text);
    ReadLoadedText(check);
}

void CChannelSettings::ReadLoadedText(ChannelCheckProc check)
{
    m_pfnChannelCheck = check;
    ResetTables();
    try {
        ReadSettingsText();
    } catch (const std::exception&) {
        // Out of memory while reading: the file's values are dropped and the save leaves the file alone.
        m_Location = SettingsLocation{};
        ResetTables();
        AppendRecord(kDefaultRecord);
    }
    FetchLive();
}

// The fixed sections in this order: each search starts at the section found before it, which decides
// among duplicate headers. Every record passes through m_Live on its way in.
void CChannelSettings::ReadSettingsText()
{
    m_Ini.ReadLong("DIALOG", "DlgWndPosX", &m_ptDlgPos.x, kNoDlgPos.x);
    m_Ini.ReadLong("DIALOG", "DlgWndPosY", &m_ptDlgPos.y, kNoDlgPos.y);

    m_bHadDefaultSection = m_Ini.FindSection("DEFAULT");
    ReadRecordValues("DEFAULT");
    m_Default = {0, m_Live.MedianWndSize, m_Live.ProcEnable};

    m_Ini.ReadInt("SETTINGS", "Common", &m_bCommon, 1);

    ReadRecordValues("COMMON");
    if (!AppendRecord({0, m_Live.MedianWndSize, m_Live.ProcEnable}))
        throw std::bad_alloc();

    ReadChannelSections();
}

// The walk starts behind the last fixed section found and visits each header after it once, in file
// order. Each is read as the store reads a section, by its name, so "[ 12]" takes the values of the
// "[12]" a lookup finds; a section already read for an earlier header is not read again. Channel sections
// above the start (a hand-edited file) would be lost at the next save: they are kept, but only for
// channels the walk does not load, so a stale copy never overrides the real one.
void CChannelSettings::ReadChannelSections()
{
    const int32_t walkStart = m_Ini.SectionPos();
    const std::vector<CIniFile::Header> headers = m_Ini.Headers();
    // Sorted arrays, each one allocation, rather than hash sets with a node per header.
    std::vector<int64_t> walkIds;
    walkIds.reserve(headers.size());
    for (const CIniFile::Header& header : headers)
        if (header.pos > walkStart)
            walkIds.push_back(ParseInt64(header.name));
    std::sort(walkIds.begin(), walkIds.end());
    std::vector<int32_t> sectionsRead;
    sectionsRead.reserve(headers.size());
    for (const CIniFile::Header& header : headers) {
        const int64_t channelId = ParseInt64(header.name);
        const bool aboveWalk = header.pos <= walkStart;
        if (channelId == 0 || (aboveWalk && std::binary_search(walkIds.begin(), walkIds.end(), channelId)))
            continue;
        ReadChannel(header.pos, header.name, channelId, sectionsRead);
    }
}

void CChannelSettings::ReadChannel(int32_t headerPos, std::string_view sectionName, int64_t channelId,
                                   std::vector<int32_t>& sectionsRead)
{
    // The readers take the name as text, so it ends at a NUL; the lookup starts at the header itself.
    const std::string name(sectionName.substr(0, sectionName.find('\0')));
    if (m_Ini.FindSectionFrom(headerPos, name) && !InsertSorted(sectionsRead, m_Ini.SectionPos()))
        return;
    ReadRecordValues(name.c_str());
    if (!AppendRecord({channelId, m_Live.MedianWndSize, m_Live.ProcEnable}))
        throw std::bad_alloc();
}

// The filter takes only the window sizes of filter/median_window.h; a hand-edited value outside is brought
// to the nearest.
void CChannelSettings::ReadRecordValues(const char* section)
{
    const std::array<IniParam, 2> params = ChannelParams(m_Live);
    m_Ini.ReadTable(section, params.data(), static_cast<int32_t>(params.size()));
    m_Live.MedianWndSize = std::clamp(m_Live.MedianWndSize, kMinWndSize, kMaxWndSize);
}

// Appends to both arrays or to neither: room is made in both before either grows. The two stay of one
// length, so a revert never drops a record that m_nCurrent names.
bool CChannelSettings::AppendRecord(const ChannelRecord& record)
{
    try {
        ReserveForOneMore(m_Records);
        ReserveForOneMore(m_Snapshot);
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_Records.push_back(record);
    m_Snapshot.push_back(record);
    return true;
}

int CChannelSettings::SwitchChannel(int64_t channelId)
{
    if (m_nCurrent != -1 && m_Records[static_cast<size_t>(m_nCurrent)].ChannelId == channelId)
        return 0;
    // Never loaded, or loading ran out of memory: there is no COMMON record to work with.
    if (m_Records.empty())
        return 0;

    StoreLive();
    const auto found = std::find_if(m_Records.begin(), m_Records.end(),
                                    [channelId](const ChannelRecord& record) { return record.ChannelId == channelId; });
    if (found != m_Records.end()) {
        m_nCurrent = static_cast<int32_t>(found - m_Records.begin());
    } else {
        const ChannelRecord fresh{channelId, m_Default.MedianWndSize, m_Default.ProcEnable};
        // Out of memory: the old channel stays current and the next frame tries again.
        if (!AppendRecord(fresh))
            return 0;
        m_Default.ChannelId = channelId;
        m_nCurrent = static_cast<int32_t>(m_Records.size() - 1);
    }
    FetchLive();
    return 1;
}

void CChannelSettings::BeginEdit()
{
    CSingleLock hold(m_Lock);
    StoreLive();
    m_Snapshot = m_Records;
}

void CChannelSettings::RevertEdit()
{
    CSingleLock hold(m_Lock);
    m_Records = m_Snapshot;
    FetchLive();
}

void CChannelSettings::SetIndividual(int bIndividual)
{
    CSingleLock hold(m_Lock);
    StoreLive();
    m_bCommon = bIndividual == 0 ? 1 : 0;
    FetchLive();
}

int CChannelSettings::IsIndividual() const { return m_bCommon == 0 ? 1 : 0; }

void CChannelSettings::GetDlgPos(DlgPoint* point) const
{
    if (point)
        *point = m_ptDlgPos;
}

void CChannelSettings::SetDlgPos(const DlgPoint* point)
{
    if (point)
        m_ptDlgPos = *point;
}

bool CChannelSettings::ShouldSaveChannel(int64_t channelId) const
{
    // Without the host's check nothing can be judged gone, so every channel stays.
    const bool known = m_pfnChannelCheck == nullptr || m_pfnChannelCheck(channelId) != 0;
    return known || (channelId >= 1 && channelId <= 4);
}

SaveOutcome CChannelSettings::SaveSettings()
{
    if (!BuildSettingsText() || m_Location.m_strPath.empty())
        return SaveOutcome::NothingToSave;
    return m_Ini.Commit(m_Location.m_strPath);
}

std::string_view CChannelSettings::SettingsTextToWrite()
{
    return BuildSettingsText() ? m_Ini.TextToWrite() : std::string_view();
}

// The save's text, built in the store; false when never loaded. The store's writers throw nothing: an
// output that could not grow is marked incomplete and is never written.
bool CChannelSettings::BuildSettingsText()
{
    if (m_Records.empty())
        return false;
    StoreLive();
    WriteSettingsText();
    return true;
}

void CChannelSettings::WriteSettingsText()
{
    m_Ini.BeginWrite();
    m_Ini.WriteSection("DIALOG");
    m_Ini.WriteInt("DlgWndPosX", m_ptDlgPos.x);
    m_Ini.WriteInt("DlgWndPosY", m_ptDlgPos.y);
    m_Ini.WriteSection("SETTINGS");
    m_Ini.WriteInt("Common", m_bCommon);
    // A user's template survives a save; a file that never had one is written without it.
    if (m_bHadDefaultSection) {
        m_Ini.WriteSection("DEFAULT");
        WriteRecordValues(m_Default);
    }
    m_Ini.WriteSection("COMMON");
    WriteRecordValues(m_Records[0]);
    for (size_t i = 1; i < m_Records.size(); ++i) {
        const ChannelRecord& record = m_Records[i];
        if (!ShouldSaveChannel(record.ChannelId))
            continue;
        m_Ini.WriteSectionId(record.ChannelId);
        WriteRecordValues(record);
    }
}

void CChannelSettings::WriteRecordValues(const ChannelRecord& record)
{
    ChannelRecord values = record;
    const std::array<IniParam, 2> params = ChannelParams(values);
    m_Ini.WriteTable(params.data(), static_cast<int32_t>(params.size()));
}

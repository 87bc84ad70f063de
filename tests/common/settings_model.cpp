#include "settings_model.h"

#include <algorithm>
#include <string_view>

namespace settings_model {

namespace {

bool IsWhite(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }
bool IsCrOrLf(char c) { return c == '\r' || c == '\n'; }

// The trims look at a text without copying it: the lookups trim every line they read.
std::string_view TrimLeft(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && IsWhite(text[i]))
        ++i;
    return text.substr(i);
}

std::string_view TrimRight(std::string_view text)
{
    size_t n = text.size();
    while (n > 0 && IsWhite(text[n - 1]))
        --n;
    return text.substr(0, n);
}

std::string_view Trim(std::string_view text) { return TrimLeft(TrimRight(text)); }

// "[" name "]", built by appending (GCC 12 warns wrongly about a literal + string + literal).
std::string Bracketed(std::string_view name)
{
    std::string text(1, '[');
    text.append(name).push_back(']');
    return text;
}

// The C runtime's digits loop; past the range the number wraps (the store's documented reading, so that
// every number its writers produce reads back as itself).
uint64_t ParseDigits(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && (IsWhite(text[i]) || IsCrOrLf(text[i])))
        ++i;
    bool minus = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        minus = text[i++] == '-';
    uint64_t n = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        n = n * 10 + static_cast<uint64_t>(text[i++] - '0');
    return minus ? 0 - n : n;
}

// A number as the C runtime's %d and %u write it: a minus sign for negatives, then the digits, most
// significant first. Written out by hand: the fuzzer saves on every input, and formatting through printf
// cost more than the rest of the model's save.
std::string Decimal(uint64_t magnitude, bool negative)
{
    char digits[20];
    size_t first = sizeof digits;
    do {
        digits[--first] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    std::string text(negative ? "-" : "");
    return text.append(digits + first, sizeof digits - first);
}

std::string Decimal(int64_t value)
{
    const uint64_t bits = static_cast<uint64_t>(value);
    return Decimal(value < 0 ? 0 - bits : bits, value < 0);
}
std::string Decimal(uint64_t value) { return Decimal(value, false); }

}  // namespace

int32_t ParseInt32(const std::string& text) { return static_cast<int32_t>(static_cast<uint32_t>(ParseDigits(text))); }
int64_t ParseInt64(const std::string& text) { return static_cast<int64_t>(ParseDigits(text)); }

bool operator==(const ChannelRecord& a, const ChannelRecord& b)
{
    return a.ChannelId == b.ChannelId && a.MedianWndSize == b.MedianWndSize && a.ProcEnable == b.ProcEnable;
}

// ---- The store ----

void IniStore::Load(std::optional<std::string_view> bytes)
{
    m_pText.clear();
    m_nTextLen = m_nPos = m_nSectionPos = 0;
    // Mend: a file that is there but could not be read is never overwritten with defaults.
    m_bLoadFailed = !bytes;
    if (bytes) {
        m_pText = *bytes;
        m_nTextLen = static_cast<int32_t>(bytes->size());
    }
}

bool IniStore::ReadLine(std::string& line)
{
    std::string_view read;
    const bool complete = ReadLine(read);
    line.assign(read);
    return complete;
}

// The line in place: the lookups only look at the lines they read.
bool IniStore::ReadLine(std::string_view& line)
{
    line = {};
    if (m_nPos == m_nTextLen)
        return false;
    const int32_t begin = m_nPos;
    while (m_nPos < m_nTextLen && !IsCrOrLf(m_pText[m_nPos]))
        ++m_nPos;
    if (m_nPos == m_nTextLen)
        return false;
    line = std::string_view(m_pText).substr(begin, m_nPos - begin);
    ++m_nPos;
    if (m_nPos < m_nTextLen && IsCrOrLf(m_pText[m_nPos]))
        ++m_nPos;
    return true;
}

bool IniStore::FindSection(const std::string& name)
{
    if (m_nTextLen == 0)
        return false;
    const std::string target = Bracketed(Trim(name));
    int32_t start = m_nPos = m_nSectionPos;
    std::string_view line;
    for (;;) {
        ReadLine(line);
        if (Trim(line) == target) {
            m_nSectionPos = start;
            return true;
        }
        start = m_nPos;
        if (start == m_nTextLen)
            start = m_nPos = 0;
        if (start == m_nSectionPos)
            return false;
    }
}

bool IniStore::FindValue(const std::string& section, std::string& key, std::string& value)
{
    key = std::string(Trim(key));
    if (!FindSection(section))
        return false;
    for (;;) {
        std::string_view line;
        if (!ReadLine(line))
            return false;
        line = TrimLeft(line);
        if (line.empty())
            continue;
        if (line[0] == '[')
            return false;
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        if (TrimRight(line.substr(0, equals)) != key)
            continue;
        value = line.substr(equals + 1);
        return !value.empty();
    }
}

// The line at the header found last is stepped over, whatever it holds.
bool IniStore::NextSection(std::string& name)
{
    std::string_view line;
    if (m_nTextLen == 0)
        return false;
    m_nPos = m_nSectionPos;
    ReadLine(line);
    for (int32_t start = m_nPos; ReadLine(line); start = m_nPos) {
        const std::string_view trimmed = Trim(line);
        if (trimmed.size() >= 1 && trimmed.front() == '[' && trimmed.back() == ']') {
            m_nSectionPos = start;
            name = trimmed.substr(1, trimmed.size() - 2);
            return true;
        }
    }
    return false;
}

// Each typed reader copies the key (a text ends at its NUL), looks it up, then stores the converted value
// or the default.
void IniStore::ReadInt(const char* section, const char* key, int32_t* value, int32_t def)
{
    std::string k = key;
    *value = FindValue(section, k, m_strValue) ? ParseInt32(m_strValue) : def;
}

void IniStore::ReadUInt(const char* section, const char* key, uint32_t* value, uint32_t def)
{
    std::string k = key;
    *value = FindValue(section, k, m_strValue) ? static_cast<uint32_t>(ParseInt32(m_strValue)) : def;
}

void IniStore::ReadLong(const char* section, const char* key, int32_t* value, int32_t def)
{
    ReadInt(section, key, value, def);
}

// The manager's tables hold a signed and an unsigned 32-bit entry; other codes are skipped here.
void IniStore::ReadTable(const char* section, const IniParam* params, int32_t count)
{
    for (int32_t i = 0; i < count; ++i) {
        const IniParam& p = params[i];
        if (p.type == 4)
            ReadUInt(section, p.key, static_cast<uint32_t*>(p.value), static_cast<uint32_t>(p.defaultLow));
        else if (p.type == 6)
            ReadInt(section, p.key, static_cast<int32_t*>(p.value), static_cast<int32_t>(p.defaultLow));
    }
}

// Room for a save of a few dozen channels up front: the fuzzer saves on every input.
void IniStore::BeginWrite()
{
    m_Out = std::string();
    m_Out->reserve(4096);
}

void IniStore::Append(std::initializer_list<std::string_view> pieces)
{
    if (!m_Out)
        return;
    for (std::string_view piece : pieces)
        m_Out->append(piece);
}

void IniStore::WriteSection(const char* name) { Append({"[", Trim(name), "]\r\n"}); }

void IniStore::WriteSectionId(int64_t id)
{
    m_strValue = Decimal(id);
    WriteSection(m_strValue.c_str());
}

void IniStore::WriteText(const char* key, const std::string& value)
{
    Append({Trim(key), "=", value, "\r\n"});
}

void IniStore::WriteInt(const char* key, int32_t value) { WriteText(key, m_strValue = Decimal(int64_t{value})); }
void IniStore::WriteUInt(const char* key, uint32_t value) { WriteText(key, m_strValue = Decimal(uint64_t{value})); }

void IniStore::WriteTable(const IniParam* params, int32_t count)
{
    for (int32_t i = 0; i < count; ++i) {
        const IniParam& p = params[i];
        if (p.type == 4)
            WriteUInt(p.key, *static_cast<const uint32_t*>(p.value));
        else if (p.type == 6)
            WriteInt(p.key, *static_cast<const int32_t*>(p.value));
    }
}

std::optional<std::string> IniStore::Commit() const
{
    if (!m_Out || m_Out->empty())
        return std::nullopt;
    if (*m_Out == m_pText)
        return std::nullopt;
    // Mend: a file that could not be read is never overwritten (see Load).
    if (m_bLoadFailed)
        return std::nullopt;
    return m_Out;
}

// ---- The manager ----

ChannelRecord* ChannelSettings::RecordInForce()
{
    if (m_bCommon)
        return &m_Records[0];
    return m_nCurrent == -1 ? nullptr : &m_Records[m_nCurrent];
}

void ChannelSettings::StoreLive()
{
    if (ChannelRecord* r = RecordInForce())
        *r = m_Live;
}

void ChannelSettings::FetchLive()
{
    if (ChannelRecord* r = RecordInForce())
        m_Live = *r;
}

void ChannelSettings::ReadChannelParams(const char* section)
{
    const IniParam ChannelParams[2] = {
        {6, "MedianWndSize", &m_Live.MedianWndSize, nullptr, 15, 0},
        {4, "ProcEnable ", &m_Live.ProcEnable, nullptr, 0, 0},
    };
    m_Ini.ReadTable(section, ChannelParams, 2);
    // Mend: the filter takes 1..30 only, so a hand-edited window size is brought into that range.
    m_Live.MedianWndSize = std::min(std::max(m_Live.MedianWndSize, 1), 30);
}

void ChannelSettings::WriteChannelParams()
{
    const IniParam ChannelParams[2] = {
        {6, "MedianWndSize", &m_Live.MedianWndSize, nullptr, 15, 0},
        {4, "ProcEnable ", &m_Live.ProcEnable, nullptr, 0, 0},
    };
    m_Ini.WriteTable(ChannelParams, 2);
}

void ChannelSettings::LoadSettings(std::optional<std::string_view> file, ChannelCheck check)
{
    // Room for the channels of a typical input, so that the fuzzer does not pay for regrowing.
    m_Records.reserve(64);
    m_Snapshot.reserve(64);
    m_pfnChannelCheck = std::move(check);
    m_nCurrent = -1;
    m_Ini.Load(file);
    m_Ini.ReadLong("DIALOG", "DlgWndPosX", &m_ptDlgPos.x, -100);
    m_Ini.ReadLong("DIALOG", "DlgWndPosY", &m_ptDlgPos.y, -100);
    // Mend: the user's DEFAULT section would vanish at the first save; one that was there is written back.
    m_bHadDefaultSection = m_Ini.FindSection("DEFAULT");
    ReadChannelParams("DEFAULT");
    m_Default = {0, m_Live.MedianWndSize, m_Live.ProcEnable};
    m_Ini.ReadInt("SETTINGS", "Common", &m_bCommon, 1);
    ReadChannelParams("COMMON");
    m_Records.push_back({0, m_Live.MedianWndSize, m_Live.ProcEnable});

    // The walk over the channel sections behind the last fixed section found.
    // Mend: the walk keeps its own place instead of following each lookup, which skipped sections or
    // went back for ever after a blank-edged name; a section already read is not read again.
    const int32_t walkStart = m_Ini.m_nSectionPos;
    std::vector<int64_t> walkIds;
    std::string name;
    while (m_Ini.NextSection(name))
        walkIds.push_back(ParseInt64(name));
    std::vector<int32_t> sectionsRead;

    // Mend: channel sections above the walk's start, the first line's included, would be lost at the next
    // save; they are loaded in file order, but only for channels the walk does not load.
    m_Ini.m_nPos = m_Ini.m_nSectionPos = 0;
    std::string line;
    std::vector<std::pair<int32_t, std::string>> above;
    std::string_view first;
    if (m_Ini.ReadLine(line) && (first = Trim(line)).size() >= 2 && first.front() == '[' && first.back() == ']')
        above.push_back({0, std::string(first.substr(1, first.size() - 2))});
    while (m_Ini.NextSection(name) && m_Ini.m_nSectionPos < walkStart)
        above.push_back({m_Ini.m_nSectionPos, name});
    for (const auto& [pos, aboveName] : above)
        if (std::find(walkIds.begin(), walkIds.end(), ParseInt64(aboveName)) == walkIds.end())
            LoadChannel(pos, aboveName, sectionsRead);

    m_Ini.m_nSectionPos = walkStart;
    while (m_Ini.NextSection(name)) {
        const int32_t here = m_Ini.m_nSectionPos;
        LoadChannel(here, name, sectionsRead);
        m_Ini.m_nSectionPos = here;
    }
    // Mend: the loaded records are the snapshot too, so a revert with no opening before it never leaves
    // the tables without their COMMON record.
    m_Snapshot = m_Records;
    FetchLive();
}

// One channel header: its number (none for 0), the section a lookup by its name finds from the header
// on, read unless an earlier header already read it, and its record.
void ChannelSettings::LoadChannel(int32_t headerPos, const std::string& name, std::vector<int32_t>& sectionsRead)
{
    const int64_t number = ParseInt64(name);
    if (number == 0)
        return;
    const std::string section = name.c_str();
    m_Ini.m_nSectionPos = headerPos;
    if (m_Ini.FindSection(section)) {
        if (std::find(sectionsRead.begin(), sectionsRead.end(), m_Ini.m_nSectionPos) != sectionsRead.end())
            return;
        sectionsRead.push_back(m_Ini.m_nSectionPos);
    }
    ReadChannelParams(section.c_str());
    m_Records.push_back({number, m_Live.MedianWndSize, m_Live.ProcEnable});
}

int ChannelSettings::SwitchChannel(int64_t id)
{
    if (m_nCurrent != -1 && m_Records[m_nCurrent].ChannelId == id)
        return 0;
    StoreLive();
    m_nCurrent = -1;
    for (size_t i = 0; i < m_Records.size() && m_nCurrent == -1; ++i)
        if (m_Records[i].ChannelId == id)
            m_nCurrent = static_cast<int32_t>(i);
    if (m_nCurrent == -1) {
        m_Default.ChannelId = id;
        m_Records.push_back(m_Default);
        m_Snapshot.push_back(m_Default);
        m_nCurrent = static_cast<int32_t>(m_Records.size() - 1);
    }
    FetchLive();
    return 1;
}

void ChannelSettings::BeginEdit()
{
    StoreLive();
    m_Snapshot = m_Records;
}

void ChannelSettings::RevertEdit()
{
    m_Records = m_Snapshot;
    FetchLive();
}

void ChannelSettings::SetIndividual(int bIndividual)
{
    StoreLive();
    m_bCommon = bIndividual == 0 ? 1 : 0;
    FetchLive();
}

std::optional<std::string> ChannelSettings::SaveSettings()
{
    m_Ini.BeginWrite();
    m_Ini.WriteSection("DIALOG");
    m_Ini.WriteInt("DlgWndPosX", m_ptDlgPos.x);
    m_Ini.WriteInt("DlgWndPosY", m_ptDlgPos.y);
    StoreLive();
    // Mend: a frame that still comes after the save sees the record in force, not the last one written.
    const ChannelRecord inForce = m_Live;
    m_Ini.WriteSection("SETTINGS");
    m_Ini.WriteInt("Common", m_bCommon);
    // Mend: see LoadSettings; the DEFAULT section stands before COMMON.
    if (m_bHadDefaultSection) {
        m_Ini.WriteSection("DEFAULT");
        m_Live = m_Default;
        WriteChannelParams();
    }
    m_Ini.WriteSection("COMMON");
    m_Live = m_Records[0];
    WriteChannelParams();
    for (size_t i = 1; i < m_Records.size(); ++i) {
        const ChannelRecord r = m_Records[i];
        // Mend: without the host's check no channel can be judged gone, so every channel is kept.
        const int known = m_pfnChannelCheck ? m_pfnChannelCheck(r.ChannelId) : 1;
        if (known != 0 || (r.ChannelId >= 1 && r.ChannelId <= 4)) {
            m_Ini.WriteSectionId(r.ChannelId);
            m_Live = r;
            WriteChannelParams();
        }
    }
    std::optional<std::string> written = m_Ini.Commit();
    m_Live = inForce;
    return written;
}

}  // namespace settings_model

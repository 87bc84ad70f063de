#include "settings/ini_file.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <initializer_list>
#include <optional>
#include <string_view>

#include "platform/atomic_file.h"

void* (*CIniFile::s_pfnRealloc)(void* block, size_t size) = std::realloc;

namespace {

// The output starts with this much room and grows by whole steps of it.
constexpr int32_t kOutputStep = 100000;
// Positions and lengths are signed 32-bit: a longer text is neither loaded nor built.
constexpr int64_t kMaxTextLength = INT32_MAX;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

std::string_view TrimLeft(std::string_view text)
{
    size_t first = 0;
    while (first < text.size() && IsBlank(text[first]))
        ++first;
    return text.substr(first);
}

std::string_view TrimRight(std::string_view text)
{
    size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1]))
        --end;
    return text.substr(0, end);
}

std::string_view Trim(std::string_view text) { return TrimLeft(TrimRight(text)); }

std::string_view ViewOf(const char* text) { return text != nullptr ? std::string_view(text) : std::string_view(); }

// The classic C runtime's atol and _atoi64: white space, an optional sign, digits up to the first
// other byte; no digits give 0. Digits beyond the range wrap instead of saturating, so that every
// number the writers produce (unsigned 32- and 64-bit ones too) reads back as itself.
template <typename Unsigned>
Unsigned ParseDecimal(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (IsBlank(text[i]) || IsLineEnd(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    Unsigned total = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        total = static_cast<Unsigned>(total * 10u + static_cast<Unsigned>(text[i] - '0'));
    return negative ? static_cast<Unsigned>(0u - total) : total;
}

// Walks the loaded text line by line. The positions belong to the store: every section search
// starts at the header found last.
class LineCursor {
public:
    LineCursor(const char* text, int32_t length, int32_t& pos, int32_t& sectionPos)
        : m_text(text), m_length(length), m_pos(pos), m_sectionPos(sectionPos)
    {
    }

    // A line ends at the first CR or LF, and a CR or LF right after it belongs to the same line end:
    // CR LF, LF CR, CR CR and LF LF each end one line. An unterminated last line is never returned.
    bool ReadLine(std::string_view& line)
    {
        line = {};
        if (m_pos == m_length)
            return false;
        int32_t start = m_pos;
        while (m_pos < m_length && !IsLineEnd(m_text[m_pos]))
            ++m_pos;
        if (m_pos == m_length)
            return false;
        line = std::string_view(m_text + start, static_cast<size_t>(m_pos - start));
        ++m_pos;
        if (m_pos < m_length && IsLineEnd(m_text[m_pos]))
            ++m_pos;
        return true;
    }

    // Circular from the header found last, wrapping at the end of the text: a lookup in that section
    // meets its header on the first line read. Blanks inside the brackets count.
    bool FindSection(std::string_view name)
    {
        if (m_length == 0)
            return false;
        name = Trim(name);
        int32_t start = m_pos = m_sectionPos;
        for (;;) {
            std::string_view line;
            ReadLine(line);
            line = Trim(line);
            if (line.size() == name.size() + 2 && line.front() == '[' && line.back() == ']' &&
                line.substr(1, name.size()) == name) {
                m_sectionPos = start;
                return true;
            }
            start = m_pos;
            if (start == m_length)
                start = m_pos = 0;
            if (start == m_sectionPos)
                return false;
        }
    }

    // The value of the first line of the section holding the key, even when it is empty; none when the
    // section or the key is missing. Any line beginning with "[" ends the section, a complete header or not.
    std::optional<std::string_view> FindValue(std::string_view section, std::string_view key)
    {
        if (!FindSection(section))
            return std::nullopt;
        std::string_view line;
        while (ReadLine(line)) {
            line = TrimLeft(line);
            if (line.empty())
                continue;
            if (line.front() == '[')
                return std::nullopt;
            size_t equals = line.find('=');
            if (equals == std::string_view::npos || TrimRight(line.substr(0, equals)) != key)
                continue;
            return line.substr(equals + 1);
        }
        return std::nullopt;
    }

    // Forward only, no wrapping; the line at the header found last is stepped over, whatever it holds.
    bool NextSection(std::string_view& name)
    {
        if (m_length == 0)
            return false;
        m_pos = m_sectionPos;
        std::string_view line;
        ReadLine(line);
        for (;;) {
            int32_t start = m_pos;
            if (!ReadLine(line))
                return false;
            line = Trim(line);
            if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
                m_sectionPos = start;
                name = line.substr(1, line.size() - 2);
                return true;
            }
        }
    }

private:
    const char* m_text;
    int32_t m_length;
    int32_t& m_pos;
    int32_t& m_sectionPos;
};

// Builds the output text. A text is appended whole or, when the output cannot grow, not at all; the
// output is then marked incomplete so that it is never written.
class OutputBuilder {
public:
    OutputBuilder(char*& text, int32_t& length, int32_t& capacity, bool& failed)
        : m_text(text), m_length(length), m_capacity(capacity), m_failed(failed)
    {
    }

    void Append(std::initializer_list<std::string_view> pieces)
    {
        if (m_text == nullptr)
            return;
        int64_t total = 0;
        for (std::string_view piece : pieces)
            total += static_cast<int64_t>(piece.size());
        if (!Reserve(m_length + total)) {
            m_failed = true;
            return;
        }
        for (std::string_view piece : pieces) {
            if (piece.empty())
                continue;  // an absent text has no data pointer to copy from
            std::memcpy(m_text + m_length, piece.data(), piece.size());
            m_length += static_cast<int32_t>(piece.size());
        }
    }

    void AppendKeyLine(std::string_view key, std::string_view value)
    {
        Append({Trim(key), "=", value, "\r\n"});
    }

    template <typename Integer>
    void AppendNumberLine(std::string_view key, Integer value)
    {
        char digits[24];
        std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
        AppendKeyLine(key, std::string_view(digits, static_cast<size_t>(end.ptr - digits)));
    }

private:
    // Grows by as many whole steps as the text needs, in one reallocation.
    bool Reserve(int64_t needed)
    {
        if (needed <= m_capacity)
            return true;
        int64_t steps = (needed - m_capacity + kOutputStep - 1) / kOutputStep;
        int64_t capacity = m_capacity + steps * kOutputStep;
        if (capacity > kMaxTextLength)
            return false;
        void* grown = CIniFile::s_pfnRealloc(m_text, static_cast<size_t>(capacity));
        if (grown == nullptr)
            return false;
        m_text = static_cast<char*>(grown);
        m_capacity = static_cast<int32_t>(capacity);
        return true;
    }

    char*& m_text;
    int32_t& m_length;
    int32_t& m_capacity;
    bool& m_failed;
};

// Length of an open file, or -1 when it cannot be told or is too long for 32-bit positions.
int64_t FileLength(FILE* file)
{
#if defined(_WIN32)
    if (_fseeki64(file, 0, SEEK_END) != 0)
        return -1;
    int64_t length = _ftelli64(file);
    if (_fseeki64(file, 0, SEEK_SET) != 0)
        return -1;
#else
    if (fseeko(file, 0, SEEK_END) != 0)
        return -1;
    int64_t length = ftello(file);
    if (fseeko(file, 0, SEEK_SET) != 0)
        return -1;
#endif
    return length >= 0 && length <= kMaxTextLength ? length : -1;
}

// Finds the value text of key in section and keeps a copy in scratch; false when missing or empty.
bool FindValueText(LineCursor cursor, std::string& scratch, const char* section, const char* key)
{
    std::optional<std::string_view> value = cursor.FindValue(ViewOf(section), Trim(ViewOf(key)));
    if (!value || value->empty())
        return false;
    scratch.assign(*value);
    return true;
}

// Parsed value of a typed reader; none when the key is missing, its value empty, or memory short.
template <typename Unsigned>
std::optional<Unsigned> ReadNumber(LineCursor cursor, std::string& scratch, const char* section, const char* key)
{
    try {
        if (FindValueText(cursor, scratch, section, key))
            return ParseDecimal<Unsigned>(scratch);
    } catch (const std::exception&) {
        // Out of memory copying the value: the default stands in, as for any unreadable value.
    }
    return std::nullopt;
}

uint64_t Join64(uint32_t high, uintptr_t low) { return uint64_t{high} << 32 | static_cast<uint32_t>(low); }

}  // namespace

int64_t ParseInt64(std::string_view text) { return static_cast<int64_t>(ParseDecimal<uint64_t>(text)); }

CIniFile::~CIniFile()
{
    std::free(m_pText);
    std::free(m_pOut);
}

void CIniFile::Load(const std::string& path)
{
    std::free(m_pText);
    m_pText = nullptr;
    m_nTextLen = 0;
    m_nPos = 0;
    m_nSectionPos = 0;
    m_bLoadFailed = false;

    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        // Appending creates a missing file empty and never truncates one that appeared meanwhile.
        if (errno == ENOENT) {
            if (FILE* created = std::fopen(path.c_str(), "ab"))
                std::fclose(created);
        } else {
            m_bLoadFailed = true;
        }
        return;
    }
    int64_t length = FileLength(file);
    m_bLoadFailed = length < 0;
    if (length > 0) {
        char* text = static_cast<char*>(s_pfnRealloc(nullptr, static_cast<size_t>(length)));
        if (text != nullptr && std::fread(text, 1, static_cast<size_t>(length), file) == static_cast<size_t>(length)) {
            m_pText = text;
            m_nTextLen = static_cast<int32_t>(length);
        } else {
            std::free(text);
            m_bLoadFailed = true;
        }
    }
    std::fclose(file);
}

void CIniFile::SeekSection(int32_t pos)
{
    if (pos < 0 || pos > m_nTextLen)
        return;
    m_nPos = pos;
    m_nSectionPos = pos;
}

bool CIniFile::ReadLine(std::string& line)
{
    try {
        line.clear();
        std::string_view view;
        bool found = LineCursor(m_pText, m_nTextLen, m_nPos, m_nSectionPos).ReadLine(view);
        line.assign(view);
        return found;
    } catch (const std::exception&) {
        return false;
    }
}

bool CIniFile::FindSection(const std::string& name)
{
    return LineCursor(m_pText, m_nTextLen, m_nPos, m_nSectionPos).FindSection(name);
}

bool CIniFile::FindValue(const std::string& section, std::string& key, std::string& value)
{
    std::string_view trimmed = Trim(key);
    size_t first = static_cast<size_t>(trimmed.data() - key.data());
    size_t length = trimmed.size();
    key.erase(first + length);
    key.erase(0, first);
    LineCursor cursor(m_pText, m_nTextLen, m_nPos, m_nSectionPos);
    std::optional<std::string_view> found = cursor.FindValue(section, key);
    if (!found)
        return false;
    try {
        value.assign(*found);
        return !found->empty();
    } catch (const std::exception&) {
        return false;
    }
}

bool CIniFile::NextSection(std::string& name)
{
    std::string_view found;
    if (!LineCursor(m_pText, m_nTextLen, m_nPos, m_nSectionPos).NextSection(found))
        return false;
    try {
        name.assign(found);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void CIniFile::ReadByte(const char* section, const char* key, uint8_t* value, uint8_t def)
{
    LineCursor cursor(m_pText, m_nTextLen, m_nPos, m_nSectionPos);
    *value = static_cast<uint8_t>(ReadNumber<uint32_t>(cursor, m_strValue, section, key).value_or(def));
}

void CIniFile::ReadShort(const char* section, const char* key, int16_t* value, int16_t def)
{
    LineCursor cursor(m_pText, m_nTextLen, m_nPos, m_nSectionPos);
    std::optional<uint32_t> parsed = ReadNumber<uint32_t>(cursor, m_strValue, section, key);
    *value = parsed ? static_cast<int16_t>(*parsed) : def;
}

void CIniFile::ReadWord(const char* section, const char* key, uint16_t* value, uint16_t def)
{
    LineCursor cursor(m_pText, m_nTextLen, m_nPos, m_nSectionPos);
    *value = static_cast<uint16_t>(ReadNumber<uint32_t>(cursor, m_strValue, section, key).value_or(def));
}

void CIniFile::ReadInt(const char* section, const char* key, int32_t* value, int32_t def)
{
    LineCursor cursor(m_pText, m_nTextLen, m_nPos, m_nSectionPos);
    std::optional<uint32_t> parsed = ReadNumber<uint32_t>(cursor, m_strValue, section, key);
    *value = parsed ? static_cast<int32_t>(*parsed) : def;
}

void CIniFile::ReadUInt(const char* section, const char* key, uint32_t* value, uint32_t def)
{
    LineCursor cursor(m_pText, m_nTextLen, m_nPos, m_nSectionPos);
    *value = ReadNumber<uint32_t>(cursor, m_strValue, section, key).value_or(def);
}

void CIniFile::ReadLong(const char* section, const char* key, int32_t* value, int32_t def)
{
    ReadInt(section, key, value, def);
}

void CIniFile::ReadInt64(const char* section, const char* key, int64_t* value, int64_t def)
{
    LineCursor cursor(m_pText, m_nTextLen, m_nPos, m_nSectionPos);
    std::optional<uint64_t> parsed = ReadNumber<uint64_t>(cursor, m_strValue, section, key);
    *value = parsed ? static_cast<int64_t>(*parsed) : def;
}

void CIniFile::ReadUInt64(const char* section, const char* key, uint64_t* value, uint64_t def)
{
    LineCursor cursor(m_pText, m_nTextLen, m_nPos, m_nSectionPos);
    *value = ReadNumber<uint64_t>(cursor, m_strValue, section, key).value_or(def);
}

void CIniFile::ReadString(const char* section, const char* key, std::string* value, const char* def)
{
    LineCursor cursor(m_pText, m_nTextLen, m_nPos, m_nSectionPos);
    try {
        if (FindValueText(cursor, m_strValue, section, key))
            value->assign(m_strValue);
        else
            value->assign(ViewOf(def));
    } catch (const std::exception&) {
        // Out of memory for the text itself: empty is the one value that needs none.
        value->clear();
    }
}

void CIniFile::ReadTable(const char* section, const IniParam* params, int32_t count)
{
    for (int32_t i = 0; i < count; ++i) {
        const IniParam& param = params[i];
        const uintptr_t low = param.defaultLow;
        switch (param.type) {
        case 0:
            ReadByte(section, param.key, static_cast<uint8_t*>(param.value), static_cast<uint8_t>(low));
            break;
        case 1:
            ReadShort(section, param.key, static_cast<int16_t*>(param.value), static_cast<int16_t>(low));
            break;
        case 2:
        case 3:
            ReadWord(section, param.key, static_cast<uint16_t*>(param.value), static_cast<uint16_t>(low));
            break;
        case 4:
        case 5:
        case 7:
        case 9:
            ReadUInt(section, param.key, static_cast<uint32_t*>(param.value), static_cast<uint32_t>(low));
            break;
        case 6:
        case 8:
            ReadInt(section, param.key, static_cast<int32_t*>(param.value), static_cast<int32_t>(low));
            break;
        case 10:
            ReadInt64(section, param.key, static_cast<int64_t*>(param.value),
                      static_cast<int64_t>(Join64(param.defaultHigh, low)));
            break;
        case 11:
            ReadUInt64(section, param.key, static_cast<uint64_t*>(param.value), Join64(param.defaultHigh, low));
            break;
        case 12:
            ReadString(section, param.key, static_cast<std::string*>(param.value),
                       reinterpret_cast<const char*>(low));
            break;
        default:
            break;
        }
    }
}

void CIniFile::BeginWrite()
{
    std::free(m_pOut);
    m_pOut = static_cast<char*>(s_pfnRealloc(nullptr, kOutputStep));
    m_nOutLen = 0;
    m_nOutCap = m_pOut != nullptr ? kOutputStep : 0;
    m_bOutFailed = false;
}

void CIniFile::Append(const char* text)
{
    OutputBuilder(m_pOut, m_nOutLen, m_nOutCap, m_bOutFailed).Append({ViewOf(text)});
}

void CIniFile::WriteSection(const char* name)
{
    OutputBuilder(m_pOut, m_nOutLen, m_nOutCap, m_bOutFailed).Append({"[", Trim(ViewOf(name)), "]\r\n"});
}

void CIniFile::WriteSectionId(int64_t id)
{
    char digits[24];
    std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, id);
    std::string_view name(digits, static_cast<size_t>(end.ptr - digits));
    OutputBuilder(m_pOut, m_nOutLen, m_nOutCap, m_bOutFailed).Append({"[", name, "]\r\n"});
}

void CIniFile::WriteText(const char* key, const std::string& value)
{
    OutputBuilder(m_pOut, m_nOutLen, m_nOutCap, m_bOutFailed).AppendKeyLine(ViewOf(key), value);
}

void CIniFile::WriteByte(const char* key, uint8_t value)
{
    OutputBuilder(m_pOut, m_nOutLen, m_nOutCap, m_bOutFailed).AppendNumberLine(ViewOf(key), unsigned{value});
}

void CIniFile::WriteShort(const char* key, int16_t value)
{
    OutputBuilder(m_pOut, m_nOutLen, m_nOutCap, m_bOutFailed).AppendNumberLine(ViewOf(key), int{value});
}

void CIniFile::WriteWord(const char* key, uint16_t value)
{
    OutputBuilder(m_pOut, m_nOutLen, m_nOutCap, m_bOutFailed).AppendNumberLine(ViewOf(key), unsigned{value});
}

void CIniFile::WriteInt(const char* key, int32_t value)
{
    OutputBuilder(m_pOut, m_nOutLen, m_nOutCap, m_bOutFailed).AppendNumberLine(ViewOf(key), value);
}

void CIniFile::WriteUInt(const char* key, uint32_t value)
{
    OutputBuilder(m_pOut, m_nOutLen, m_nOutCap, m_bOutFailed).AppendNumberLine(ViewOf(key), value);
}

void CIniFile::WriteInt64(const char* key, int64_t value)
{
    OutputBuilder(m_pOut, m_nOutLen, m_nOutCap, m_bOutFailed).AppendNumberLine(ViewOf(key), value);
}

void CIniFile::WriteUInt64(const char* key, uint64_t value)
{
    OutputBuilder(m_pOut, m_nOutLen, m_nOutCap, m_bOutFailed).AppendNumberLine(ViewOf(key), value);
}

void CIniFile::WriteTable(const IniParam* params, int32_t count)
{
    for (int32_t i = 0; i < count; ++i) {
        const IniParam& param = params[i];
        const void* value = param.value;
        switch (param.type) {
        case 0:
            WriteByte(param.key, *static_cast<const uint8_t*>(value));
            break;
        case 1:
            WriteShort(param.key, *static_cast<const int16_t*>(value));
            break;
        case 2:
        case 3:
            WriteWord(param.key, *static_cast<const uint16_t*>(value));
            break;
        case 4:
        case 5:
        case 7:
        case 9:
            WriteUInt(param.key, *static_cast<const uint32_t*>(value));
            break;
        case 6:
        case 8:
            WriteInt(param.key, *static_cast<const int32_t*>(value));
            break;
        case 10:
            WriteInt64(param.key, *static_cast<const int64_t*>(value));
            break;
        case 11:
            WriteUInt64(param.key, *static_cast<const uint64_t*>(value));
            break;
        case 12:
            WriteText(param.key, *static_cast<const std::string*>(value));
            break;
        default:
            break;
        }
    }
}

void CIniFile::Commit(const std::string& path)
{
    if (m_pOut == nullptr || m_nOutLen == 0 || m_bOutFailed || m_bLoadFailed)
        return;
    if (m_nOutLen == m_nTextLen && std::memcmp(m_pOut, m_pText, static_cast<size_t>(m_nOutLen)) == 0)
        return;
    ReplaceFileAtomically(path, m_pOut, static_cast<size_t>(m_nOutLen));
}

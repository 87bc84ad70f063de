#include "settings/ini_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string_view>
#include <type_traits>

void* (*CIniFile::s_pfnRealloc)(void* block, size_t size) = std::realloc;

namespace {

// The output starts with this much room and grows by whole steps of it.
constexpr int32_t kOutputStep = 100000;
// Positions and lengths are signed 32-bit: a longer text is neither loaded nor built.
constexpr int64_t kMaxTextLength = INT32_MAX;

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

std::string_view TrimLeft(std::string_view text)
{
    size_t first = 0;
    while (first < text.size() && IsBlank(text[first]))
        ++first;
    return std::string_view(text.data() + first, text.size() - first);
}

std::string_view TrimRight(std::string_view text)
{
    size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1]))
        --end;
    return std::string_view(text.data(), end);
}

std::string_view Trim(std::string_view text) { return TrimLeft(TrimRight(text)); }

// The first CR or LF in [from, to), or null.
const char* FindLineEnd(const char* from, const char* to)
{
    for (; from < to; ++from) {
        if (IsLineEnd(*from))
            return from;
    }
    return nullptr;
}

std::string_view ViewOf(const char* text) { return text != nullptr ? std::string_view(text) : std::string_view(); }

// The classic C runtime's atol and _atoi64: white space, an optional sign, digits up to the first
// other byte; no digits give 0. Digits beyond the range wrap instead of saturating, so that every
// number the writers produce (unsigned 32- and 64-bit ones too) reads back as itself.
template <typename Unsigned>
Unsigned ParseWrappingDecimal(std::string_view text)
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

// The store's out-of-memory rule (see the header), in its one place: a copy that cannot be made
// reports false, and each caller turns that into the answer that claims nothing.
bool CopyText(std::string_view from, std::string& to)
{
    try {
        to.assign(from);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

#if defined(_WIN32)
int SeekFile(FILE* file, int64_t offset, int origin) { return _fseeki64(file, offset, origin); }
int64_t TellFile(FILE* file) { return _ftelli64(file); }
#else
int SeekFile(FILE* file, int64_t offset, int origin) { return fseeko(file, offset, origin); }
int64_t TellFile(FILE* file) { return ftello(file); }
#endif

// Length of an open file, or -1 when it cannot be told or is too long for 32-bit positions.
int64_t FileLength(FILE* file)
{
    if (SeekFile(file, 0, SEEK_END) != 0)
        return -1;
    int64_t length = TellFile(file);
    if (SeekFile(file, 0, SEEK_SET) != 0)
        return -1;
    return length >= 0 && length <= kMaxTextLength ? length : -1;
}

// A file's whole contents in a buffer of the store's allocator; a missing file is created empty.
struct FileBytes {
    char* text = nullptr;
    int32_t length = 0;
    bool unreadable = false;  // there, but not read whole
};

FileBytes ReadFileBytes(const std::string& path)
{
    FileBytes bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        // Appending creates a missing file empty and never truncates one that appeared meanwhile.
        if (errno == ENOENT) {
            if (FILE* created = std::fopen(path.c_str(), "ab"))
                std::fclose(created);
        } else {
            bytes.unreadable = true;
        }
        return bytes;
    }
    int64_t length = FileLength(file);
    bytes.unreadable = length < 0;
    if (length > 0) {
        char* text = static_cast<char*>(CIniFile::s_pfnRealloc(nullptr, static_cast<size_t>(length)));
        if (text != nullptr && std::fread(text, 1, static_cast<size_t>(length), file) == static_cast<size_t>(length)) {
            bytes.text = text;
            bytes.length = static_cast<int32_t>(length);
        } else {
            std::free(text);
            bytes.unreadable = true;
        }
    }
    std::fclose(file);
    return bytes;
}

uint64_t Join64(uint32_t high, uintptr_t low) { return uint64_t{high} << 32 | static_cast<uint32_t>(low); }

// The default of a table entry, at its variable's type.
template <typename Variable>
auto DefaultOf(const IniParam& param)
{
    if constexpr (std::is_same_v<Variable, std::string>)
        return reinterpret_cast<const char*>(param.defaultLow);
    else if constexpr (sizeof(Variable) == 8)
        return static_cast<Variable>(Join64(param.defaultHigh, param.defaultLow));
    else
        return static_cast<Variable>(param.defaultLow);
}

// How the entries of one variable type are read and written: through the typed reader and writer of
// that type, with the entry's key, variable and default.
struct TypeCodec {
    void (*read)(CIniFile& ini, const char* section, const IniParam& param);
    void (*write)(CIniFile& ini, const IniParam& param);
};

template <typename Variable, auto Reader, auto Writer>
constexpr TypeCodec CodecOf()
{
    return {
        [](CIniFile& ini, const char* section, const IniParam& param) {
            (ini.*Reader)(section, param.key, static_cast<Variable*>(param.value), DefaultOf<Variable>(param));
        },
        [](CIniFile& ini, const IniParam& param) {
            (ini.*Writer)(param.key, *static_cast<const Variable*>(param.value));
        },
    };
}

constexpr TypeCodec kByte = CodecOf<uint8_t, &CIniFile::ReadByte, &CIniFile::WriteByte>();
constexpr TypeCodec kShort = CodecOf<int16_t, &CIniFile::ReadShort, &CIniFile::WriteShort>();
constexpr TypeCodec kWord = CodecOf<uint16_t, &CIniFile::ReadWord, &CIniFile::WriteWord>();
constexpr TypeCodec kUInt = CodecOf<uint32_t, &CIniFile::ReadUInt, &CIniFile::WriteUInt>();
constexpr TypeCodec kInt = CodecOf<int32_t, &CIniFile::ReadInt, &CIniFile::WriteInt>();
constexpr TypeCodec kInt64 = CodecOf<int64_t, &CIniFile::ReadInt64, &CIniFile::WriteInt64>();
constexpr TypeCodec kUInt64 = CodecOf<uint64_t, &CIniFile::ReadUInt64, &CIniFile::WriteUInt64>();
constexpr TypeCodec kString = CodecOf<std::string, &CIniFile::ReadString, &CIniFile::WriteText>();

// Indexed by type code.
constexpr TypeCodec kCodecs[] = {
    kByte,    // kIniByte
    kShort,   // kIniShort
    kWord,    // kIniWord
    kWord,    // kIniWord3
    kUInt,    // kIniUInt
    kUInt,    // kIniUInt5
    kInt,     // kIniInt
    kUInt,    // kIniUInt7
    kInt,     // kIniInt8
    kUInt,    // kIniUInt9
    kInt64,   // kIniInt64
    kUInt64,  // kIniUInt64
    kString,  // kIniString
};
static_assert(std::size(kCodecs) == kIniTypeCount);

const TypeCodec* CodecFor(int32_t code) { return code >= 0 && code < kIniTypeCount ? &kCodecs[code] : nullptr; }

}  // namespace

// Walks the loaded text line by line. The positions belong to the store: every section search
// starts at the header found last.
class CIniFile::LineCursor {
public:
    LineCursor(const char* text, int32_t length, int32_t& pos, int32_t& sectionPos, MissedSection& missed)
        : m_text(text), m_length(length), m_pos(pos), m_sectionPos(sectionPos), m_missed(missed)
    {
    }

    // A line ends at the first CR or LF, and a CR or LF right after it belongs to the same line end:
    // CR LF, LF CR, CR CR and LF LF each end one line. An unterminated last line is never returned.
    bool ReadLine(std::string_view& line)
    {
        line = {};
        if (m_pos == m_length)
            return false;
        const char* start = m_text + m_pos;
        const char* end = FindLineEnd(start, m_text + m_length);
        if (end == nullptr) {
            m_pos = m_length;
            return false;
        }
        line = std::string_view(start, static_cast<size_t>(end - start));
        m_pos = static_cast<int32_t>(end - m_text);
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
        if (m_missed.from == m_sectionPos && m_missed.name == name) {
            m_pos = m_sectionPos;  // where the search that failed left it
            return false;
        }
        int32_t start = m_pos = m_sectionPos;
        bool wrapped = false;
        for (;;) {
            std::string_view line;
            ReadLine(line);
            // Trimming only shortens a line, so one shorter than the header is not trimmed at all.
            std::string_view found;
            if (line.size() >= name.size() + 2 && HeaderName(line, found) && found == name) {
                m_sectionPos = start;
                return true;
            }
            start = m_pos;
            if (start == m_length) {
                if (wrapped)
                    break;
                start = m_pos = 0;
                wrapped = true;
            }
            // Back where it started. A start that is no line start (one sought to the end of the text or
            // into a line) is never met again: passing it ends the search as well.
            if (start == m_sectionPos || (wrapped && start > m_sectionPos))
                break;
        }
        m_pos = m_sectionPos;
        RememberMissed(name);
        return false;
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
            const size_t equals = line.find('=');
            if (equals == std::string_view::npos || TrimRight(std::string_view(line.data(), equals)) != key)
                continue;
            return std::string_view(line.data() + equals + 1, line.size() - equals - 1);
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
            if (HeaderName(line, name)) {
                m_sectionPos = start;
                return true;
            }
        }
    }

private:
    // Only a speed-up: when the name cannot be copied, nothing is remembered.
    void RememberMissed(std::string_view name)
    {
        m_missed.from = -1;
        if (CopyText(name, m_missed.name))
            m_missed.from = m_sectionPos;
    }

    const char* m_text;
    int32_t m_length;
    int32_t& m_pos;
    int32_t& m_sectionPos;
    MissedSection& m_missed;
};

// Builds the output text. A text is appended whole or, when the output cannot grow, not at all; the
// output is then marked incomplete so that it is never written.
class CIniFile::OutputBuilder {
public:
    explicit OutputBuilder(CIniFile& store)
        : m_text(store.m_pOut), m_length(store.m_nOutLen), m_capacity(store.m_nOutCap), m_failed(store.m_bOutFailed)
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

CIniFile::LineCursor CIniFile::Lines() { return LineCursor(m_pText, m_nTextLen, m_nPos, m_nSectionPos, m_missed); }

CIniFile::OutputBuilder CIniFile::Output() { return OutputBuilder(*this); }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

bool HeaderName(std::string_view line, std::string_view& name)
{
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[' || line.back() != ']')
        return false;
    name = line.substr(1, line.size() - 2);
    return true;
}

int64_t ParseInt64(std::string_view text) { return static_cast<int64_t>(ParseWrappingDecimal<uint64_t>(text)); }

CIniFile::~CIniFile()
{
    std::free(m_pText);
    std::free(m_pOut);
}

void CIniFile::ReplaceText(char* text, int32_t length, bool failed)
{
    std::free(m_pText);
    m_pText = text;
    m_nTextLen = length;
    m_nPos = 0;
    m_nSectionPos = 0;
    m_bLoadFailed = failed;
    m_missed.from = -1;
}

void CIniFile::Load(const std::string& path)
{
    // The old text is freed first, so that the two are never held at once.
    ReplaceText(nullptr, 0, false);
    FileBytes bytes = ReadFileBytes(path);
    ReplaceText(bytes.text, bytes.length, bytes.unreadable);
}

void CIniFile::LoadText(std::string_view bytes)
{
    ReplaceText(nullptr, 0, false);
    if (bytes.empty())
        return;
    char* text = bytes.size() <= kMaxTextLength ? static_cast<char*>(s_pfnRealloc(nullptr, bytes.size())) : nullptr;
    if (text != nullptr)
        std::memcpy(text, bytes.data(), bytes.size());
    ReplaceText(text, text != nullptr ? static_cast<int32_t>(bytes.size()) : 0, text == nullptr);
}

std::vector<CIniFile::Header> CIniFile::Headers() const
{
    std::vector<Header> headers;
    headers.reserve(32);  // a typical file at once; more headers grow it as usual
    int32_t pos = 0;
    int32_t sectionPos = 0;
    MissedSection missed;
    LineCursor lines(m_pText, m_nTextLen, pos, sectionPos, missed);
    std::string_view line;
    std::string_view name;
    for (int32_t start = 0; lines.ReadLine(line); start = pos) {
        if (HeaderName(line, name))
            headers.push_back({start, name});
    }
    return headers;
}

bool CIniFile::FindSectionFrom(int32_t pos, const std::string& name)
{
    if (pos >= 0 && pos <= m_nTextLen) {
        m_nPos = pos;
        m_nSectionPos = pos;
    }
    return FindSection(name);
}

bool CIniFile::ReadLine(std::string& line)
{
    line.clear();
    std::string_view found;
    return Lines().ReadLine(found) && CopyText(found, line);
}

bool CIniFile::FindSection(const std::string& name) { return Lines().FindSection(name); }

bool CIniFile::FindValue(const std::string& section, std::string& key, std::string& value)
{
    std::string_view trimmed = Trim(key);
    size_t first = static_cast<size_t>(trimmed.data() - key.data());
    size_t length = trimmed.size();
    key.erase(first + length);
    key.erase(0, first);
    std::optional<std::string_view> found = Lines().FindValue(section, key);
    return found && CopyText(*found, value) && !found->empty();
}

bool CIniFile::NextSection(std::string& name)
{
    std::string_view found;
    return Lines().NextSection(found) && CopyText(found, name);
}

bool CIniFile::ReadLine(std::string_view& line) { return Lines().ReadLine(line); }

bool CIniFile::NextSection(std::string_view& name) { return Lines().NextSection(name); }

// The value text of key in section, kept in m_strValue; false when missing or empty.
bool CIniFile::FindValueText(const char* section, const char* key)
{
    std::optional<std::string_view> value = Lines().FindValue(ViewOf(section), Trim(ViewOf(key)));
    return value && !value->empty() && CopyText(*value, m_strValue);
}

// The typed readers differ only in the variable's type: 64-bit variables take the 64-bit parse, all
// others the 32-bit one cut to their width.
template <typename Variable>
void CIniFile::ReadNumber(const char* section, const char* key, Variable* value, Variable def)
{
    using Parsed = std::conditional_t<sizeof(Variable) == 8, uint64_t, uint32_t>;
    *value = FindValueText(section, key) ? static_cast<Variable>(ParseWrappingDecimal<Parsed>(m_strValue)) : def;
}

void CIniFile::ReadByte(const char* s, const char* k, uint8_t* v, uint8_t d) { ReadNumber(s, k, v, d); }
void CIniFile::ReadShort(const char* s, const char* k, int16_t* v, int16_t d) { ReadNumber(s, k, v, d); }
void CIniFile::ReadWord(const char* s, const char* k, uint16_t* v, uint16_t d) { ReadNumber(s, k, v, d); }
void CIniFile::ReadInt(const char* s, const char* k, int32_t* v, int32_t d) { ReadNumber(s, k, v, d); }
void CIniFile::ReadUInt(const char* s, const char* k, uint32_t* v, uint32_t d) { ReadNumber(s, k, v, d); }
void CIniFile::ReadLong(const char* s, const char* k, int32_t* v, int32_t d) { ReadNumber(s, k, v, d); }
void CIniFile::ReadInt64(const char* s, const char* k, int64_t* v, int64_t d) { ReadNumber(s, k, v, d); }
void CIniFile::ReadUInt64(const char* s, const char* k, uint64_t* v, uint64_t d) { ReadNumber(s, k, v, d); }

void CIniFile::ReadString(const char* section, const char* key, std::string* value, const char* def)
{
    std::string_view text = FindValueText(section, key) ? std::string_view(m_strValue) : ViewOf(def);
    if (!CopyText(text, *value))
        value->clear();
}

void CIniFile::ReadTable(const char* section, const IniParam* params, int32_t count)
{
    for (int32_t i = 0; i < count; ++i) {
        if (const TypeCodec* codec = CodecFor(params[i].type))
            codec->read(*this, section, params[i]);
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

void CIniFile::Append(const char* text) { Output().Append({ViewOf(text)}); }

void CIniFile::WriteSection(const char* name) { Output().Append({"[", Trim(ViewOf(name)), "]\r\n"}); }

void CIniFile::WriteSectionId(int64_t id)
{
    char digits[24];
    std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, id);
    std::string_view name(digits, static_cast<size_t>(end.ptr - digits));
    Output().Append({"[", name, "]\r\n"});
}

void CIniFile::WriteText(const char* key, const std::string& value) { Output().AppendKeyLine(ViewOf(key), value); }

void CIniFile::WriteByte(const char* key, uint8_t value) { Output().AppendNumberLine(ViewOf(key), value); }
void CIniFile::WriteShort(const char* key, int16_t value) { Output().AppendNumberLine(ViewOf(key), value); }
void CIniFile::WriteWord(const char* key, uint16_t value) { Output().AppendNumberLine(ViewOf(key), value); }
void CIniFile::WriteInt(const char* key, int32_t value) { Output().AppendNumberLine(ViewOf(key), value); }
void CIniFile::WriteUInt(const char* key, uint32_t value) { Output().AppendNumberLine(ViewOf(key), value); }
void CIniFile::WriteInt64(const char* key, int64_t value) { Output().AppendNumberLine(ViewOf(key), value); }
void CIniFile::WriteUInt64(const char* key, uint64_t value) { Output().AppendNumberLine(ViewOf(key), value); }

void CIniFile::WriteTable(const IniParam* params, int32_t count)
{
    for (int32_t i = 0; i < count; ++i) {
        if (const TypeCodec* codec = CodecFor(params[i].type))
            codec->write(*this, params[i]);
    }
}

std::string_view CIniFile::TextToWrite() const
{
    if (m_pOut == nullptr || m_nOutLen == 0 || m_bOutFailed || m_bLoadFailed)
        return {};
    if (m_nOutLen == m_nTextLen && std::memcmp(m_pOut, m_pText, static_cast<size_t>(m_nOutLen)) == 0)
        return {};
    return std::string_view(m_pOut, static_cast<size_t>(m_nOutLen));
}

SaveOutcome CIniFile::Commit(const std::string& path)
{
    const std::string_view text = TextToWrite();
    if (text.empty())
        return SaveOutcome::NothingToSave;
    return ReplaceFileOrWriteInPlace(path, text.data(), text.size());
}

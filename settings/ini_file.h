#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/atomic_file.h"

// The type code of a parameter table entry. The numbers are fixed (callers' tables hold them), and
// several codes name one variable type: the store reads and writes them alike.
enum IniType : int32_t {
    kIniByte = 0,    // uint8_t
    kIniShort = 1,   // int16_t
    kIniWord = 2,    // uint16_t
    kIniWord3 = 3,   // uint16_t, as kIniWord
    kIniUInt = 4,    // uint32_t
    kIniUInt5 = 5,   // uint32_t, as kIniUInt
    kIniInt = 6,     // int32_t
    kIniUInt7 = 7,   // uint32_t, as kIniUInt
    kIniInt8 = 8,    // int32_t, as kIniInt
    kIniUInt9 = 9,   // uint32_t, as kIniUInt
    kIniInt64 = 10,  // int64_t
    kIniUInt64 = 11, // uint64_t
    kIniString = 12, // std::string
    kIniTypeCount    // any other code, negative ones too, is skipped by reading and writing alike
};

// One entry of a settings parameter table: one call reads or writes a whole group of keys of a section.
struct IniParam {
    int32_t type;          // an IniType; kept a plain integer so that a table may hold any code
    const char* key;
    void* value;
    const void* second;    // never read
    uintptr_t defaultLow;  // low 32 bits of the default; for kIniString the default text (const char*)
    uint32_t defaultHigh;  // high 32 bits of the default for kIniInt64 and kIniUInt64
};

// The store's signed 64-bit decimal parse (kIniInt64, kIniUInt64): white space, an optional sign, digits
// up to the first other byte, wrapping past the range; no digits give 0.
int64_t ParseInt64(std::string_view text);

// The store's blanks, trimmed from lines, keys and names: space, tab, vertical tab and form feed.
bool IsBlank(char c);
// A section header line: trimmed of blanks, at least "[]", brackets at both ends; the name is what lies
// between them, blanks inside included.
bool HeaderName(std::string_view line, std::string_view& name);

// In-memory store of the settings text. Lookups read the text as loaded; a save builds a complete new
// text and writes it only when its bytes differ from the loaded ones.
//
// Out of memory, no member throws; each gives the answer that claims nothing: the loaded text stays
// empty and a save then writes nothing, a lookup finds nothing, a typed reader stores its default
// (ReadString empty text, should even the default not fit), and an append that cannot grow the output is left
// out and keeps the incomplete output from ever being written.
class CIniFile {
public:
    CIniFile() = default;
    ~CIniFile();
    CIniFile(const CIniFile&) = delete;
    CIniFile& operator=(const CIniFile&) = delete;

    // Loading and lookup. Load = the file's bytes (a missing file is created empty) + LoadText.
    void Load(const std::string& path);
    void LoadText(std::string_view bytes);
    bool ReadLine(std::string& line);
    bool FindSection(const std::string& name);
    bool FindValue(const std::string& section, std::string& key, std::string& value);
    bool NextSection(std::string& name);
    // The same two as views into the loaded text, valid until the next load: a walk over every header
    // need not copy each line.
    bool ReadLine(std::string_view& line);
    bool NextSection(std::string_view& name);
    // Where the header found last stands.
    int32_t SectionPos() const { return m_nSectionPos; }
    // Every header in file order, the first line's included, with where its line starts; the names are
    // views into the loaded text, valid until the next load. Moves no place of the store's, so a walk over
    // the headers may look up the sections it meets.
    struct Header {
        int32_t pos;
        std::string_view name;
    };
    std::vector<Header> Headers() const;
    // FindSection as if the header at pos had been the one found last; pos outside the text is ignored.
    bool FindSectionFrom(int32_t pos, const std::string& name);

    // Typed readers: always store, the parsed value or the default.
    void ReadByte(const char* section, const char* key, uint8_t* value, uint8_t def);
    void ReadShort(const char* section, const char* key, int16_t* value, int16_t def);
    void ReadWord(const char* section, const char* key, uint16_t* value, uint16_t def);
    void ReadInt(const char* section, const char* key, int32_t* value, int32_t def);
    void ReadUInt(const char* section, const char* key, uint32_t* value, uint32_t def);
    void ReadLong(const char* section, const char* key, int32_t* value, int32_t def);
    void ReadInt64(const char* section, const char* key, int64_t* value, int64_t def);
    void ReadUInt64(const char* section, const char* key, uint64_t* value, uint64_t def);
    void ReadString(const char* section, const char* key, std::string* value, const char* def);
    void ReadTable(const char* section, const IniParam* params, int32_t count);

    // Output and saving. Commit = TextToWrite + the file's replacement; it tells how the save ended.
    void BeginWrite();
    void Append(const char* text);
    void WriteSection(const char* name);
    void WriteSectionId(int64_t id);
    void WriteText(const char* key, const std::string& value);
    void WriteByte(const char* key, uint8_t value);
    void WriteShort(const char* key, int16_t value);
    void WriteWord(const char* key, uint16_t value);
    void WriteInt(const char* key, int32_t value);
    void WriteUInt(const char* key, uint32_t value);
    void WriteInt64(const char* key, int64_t value);
    void WriteUInt64(const char* key, uint64_t value);
    void WriteTable(const IniParam* params, int32_t count);
    // The bytes a Commit writes; empty when it writes nothing: no output or an incomplete one, a file
    // that could not be read, or an output equal to the loaded text.
    std::string_view TextToWrite() const;
    SaveOutcome Commit(const std::string& path);

    // Read-only views for tests and for the manager's own checks.
    const char* LoadedText() const { return m_pText; }
    int32_t LoadedLength() const { return m_nTextLen; }
    const char* OutputText() const { return m_pOut; }
    int32_t OutputLength() const { return m_nOutLen; }

    // Every (re)allocation of the two buffers goes through this; tests make it fail to prove that a
    // store that ran out of memory stays empty or writes nothing.
    static void* (*s_pfnRealloc)(void* block, size_t size);

private:
    class LineCursor;     // the one walk over the loaded text, at m_nPos and m_nSectionPos
    class OutputBuilder;  // the one way onto the end of the output
    LineCursor Lines();
    OutputBuilder Output();

    void ReplaceText(char* text, int32_t length, bool failed);
    bool FindValueText(const char* section, const char* key);
    template <typename Variable>
    void ReadNumber(const char* section, const char* key, Variable* value, Variable def);

    char* m_pText = nullptr;
    int32_t m_nTextLen = 0;
    int32_t m_nPos = 0;
    int32_t m_nSectionPos = 0;
    char* m_pOut = nullptr;
    int32_t m_nOutLen = 0;
    int32_t m_nOutCap = 0;
    bool m_bOutFailed = false;  // an append was dropped: the built text is incomplete and is not written
    bool m_bLoadFailed = false;  // the file is there but could not be read: a save would overwrite it blind
    std::string m_strValue;
    // The last section searched for in vain and where that search started. A search depends only on the
    // text, its start and the name, so the same search again fails at once: the readers look up each key
    // of a missing section anew, and each would scan the whole text.
    struct MissedSection {
        std::string name;
        int32_t from = -1;
    } m_missed;
};

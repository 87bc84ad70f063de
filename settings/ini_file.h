#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// One entry of a settings parameter table: one call reads or writes a whole group of keys of a section.
// Type codes: 0 u8, 1 s16, 2/3 u16, 4/5/7/9 u32, 6/8 s32, 10 s64, 11 u64, 12 std::string; others skipped.
struct IniParam {
    int32_t type;
    const char* key;
    void* value;
    const void* second;    // never read
    uintptr_t defaultLow;  // low 32 bits of the default; for code 12 the default text (const char*)
    uint32_t defaultHigh;  // high 32 bits of the default for codes 10 and 11
};

// The store's signed 64-bit decimal parse (type codes 10 and 11): white space, an optional sign, digits up
// to the first other byte, wrapping past the range; no digits give 0.
int64_t ParseInt64(std::string_view text);

// In-memory store of the settings text. Lookups read the text as loaded; a save builds a complete new
// text and writes it only when its bytes differ from the loaded ones.
class CIniFile {
public:
    CIniFile() = default;
    ~CIniFile();
    CIniFile(const CIniFile&) = delete;
    CIniFile& operator=(const CIniFile&) = delete;

    // Loading and lookup.
    void Load(const std::string& path);
    bool ReadLine(std::string& line);
    bool FindSection(const std::string& name);
    bool FindValue(const std::string& section, std::string& key, std::string& value);
    bool NextSection(std::string& name);
    // Where the header found last stands, and a way back to such a place: a walk over the headers keeps
    // its own place while lookups of the sections it meets move the store's.
    int32_t SectionPos() const { return m_nSectionPos; }
    void SeekSection(int32_t pos);

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

    // Output and saving.
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
    void Commit(const std::string& path);

    // Read-only views for tests and for the manager's own checks.
    const char* LoadedText() const { return m_pText; }
    int32_t LoadedLength() const { return m_nTextLen; }
    const char* OutputText() const { return m_pOut; }
    int32_t OutputLength() const { return m_nOutLen; }

    // Every (re)allocation of the two buffers goes through this; tests make it fail to prove that a
    // store that ran out of memory stays empty or writes nothing.
    static void* (*s_pfnRealloc)(void* block, size_t size);

private:
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
};

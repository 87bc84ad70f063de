// Arbitrary bytes as a settings file: every lookup, typed read and the section walk over them, then a
// save of what was read and a reload that must give the same values back.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "settings/ini_file.h"

namespace {

namespace fs = std::filesystem;

// Saves flush to the disk; a memory-backed folder keeps that from dominating the run.
class WorkFolder {
public:
    WorkFolder()
    {
        fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        auto stamp = fs::file_time_type::clock::now().time_since_epoch().count();
        m_path = base / ("fuzz_settings_ini_" + std::to_string(stamp));
        fs::create_directories(m_path);
    }
    ~WorkFolder()
    {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    std::string File(const char* name) const { return (m_path / name).string(); }

private:
    fs::path m_path;
};

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// One variable of every type code, read and written through one table.
struct TableValues {
    uint8_t u8 = 0;
    int16_t s16 = 0;
    uint16_t u16 = 0;
    uint32_t u32 = 0;
    int32_t s32 = 0;
    int64_t s64 = 0;
    uint64_t u64 = 0;
    std::string text;
    int32_t untouched = 0x5A5A5A5A;

    // Entry code c reads key keys[c % keys.size()].
    std::vector<IniParam> Table(const std::vector<std::string>& keys)
    {
        void* values[] = {&u8, &s16, &u16, &u16, &u32, &u32, &s32, &u32, &s32, &u32, &s64, &u64, &text};
        std::vector<IniParam> table;
        for (int32_t code = 0; code <= 12; ++code) {
            const char* key = keys[static_cast<size_t>(code) % keys.size()].c_str();
            uintptr_t low = code == 12 ? reinterpret_cast<uintptr_t>("default") : 0xA5u + static_cast<uintptr_t>(code);
            table.push_back({code, key, values[code], nullptr, low, code >= 10 ? 0x80000001u : 0u});
        }
        table.push_back({13, keys[0].c_str(), &untouched, nullptr, 1, 0});
        table.push_back({-1, keys[0].c_str(), &untouched, nullptr, 1, 0});
        return table;
    }

    bool SameNumbers(const TableValues& other) const
    {
        return u8 == other.u8 && s16 == other.s16 && u16 == other.u16 && u32 == other.u32 && s32 == other.s32 &&
               s64 == other.s64 && u64 == other.u64 && untouched == 0x5A5A5A5A && other.untouched == 0x5A5A5A5A;
    }
};

// Keys and section names as they stand in the input's lines, so that lookups often hit.
void CollectNames(std::string_view text, std::vector<std::string>& keys, std::vector<std::string>& sections)
{
    size_t start = 0;
    while (start < text.size() && keys.size() < 8 && sections.size() < 8) {
        size_t end = text.find_first_of("\r\n", start);
        std::string_view line = text.substr(start, end == std::string_view::npos ? end : end - start);
        size_t equals = line.find('=');
        if (equals != std::string_view::npos)
            keys.emplace_back(line.substr(0, equals));
        size_t open = line.find('[');
        size_t close = line.rfind(']');
        if (open != std::string_view::npos && close != std::string_view::npos && close > open)
            sections.emplace_back(line.substr(open + 1, close - open - 1));
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    keys.emplace_back("MedianWndSize");
    sections.emplace_back("COMMON");
}

// Every reader of one key agrees with the others: the same text, cut to each width. Repeating a
// lookup finds the same section again, so they all see the same line.
void ReadEverything(CIniFile& ini, const std::vector<std::string>& keys, const std::vector<std::string>& sections)
{
    for (const std::string& sectionText : sections) {
        for (const std::string& keyText : keys) {
            const char* section = sectionText.c_str();
            const char* key = keyText.c_str();
            std::string trimmedKey = key;
            std::string value;
            bool found = ini.FindValue(section, trimmedKey, value);
            Check(!found || !value.empty());
            uint8_t u8;
            int16_t s16;
            uint16_t u16;
            int32_t s32;
            int32_t asLong;
            uint32_t u32;
            int64_t s64;
            uint64_t u64;
            std::string text;
            ini.ReadByte(section, key, &u8, 1);
            ini.ReadShort(section, key, &s16, 1);
            ini.ReadWord(section, key, &u16, 1);
            ini.ReadInt(section, key, &s32, 1);
            ini.ReadUInt(section, key, &u32, 1);
            ini.ReadLong(section, key, &asLong, 1);
            ini.ReadInt64(section, key, &s64, 1);
            ini.ReadUInt64(section, key, &u64, 1);
            ini.ReadString(section, key, &text, "d");
            Check(asLong == s32 && u32 == static_cast<uint32_t>(s32) && u16 == static_cast<uint16_t>(s32) &&
                  static_cast<uint16_t>(s16) == u16 && u8 == static_cast<uint8_t>(s32) &&
                  static_cast<uint64_t>(s64) == u64 && static_cast<uint32_t>(u64) == u32);
            Check(found ? text == value : text == "d");
        }
    }
}

// Every header is met once; a name without blanks at its ends is then found on the spot.
void WalkSections(CIniFile& ini, size_t textLength)
{
    std::string name;
    size_t walked = 0;
    while (ini.NextSection(name)) {
        Check(++walked <= textLength);
        bool untrimmed = !name.empty() && (name.front() == ' ' || name.front() == '\t' || name.front() == '\v' ||
                                           name.front() == '\f' || name.back() == ' ' || name.back() == '\t' ||
                                           name.back() == '\v' || name.back() == '\f');
        if (!untrimmed)
            Check(ini.FindSection(name));
    }
    Check(!ini.NextSection(name));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    static const WorkFolder folder;
    const std::string loadedPath = folder.File("loaded.ini");
    const std::string savedPath = folder.File("saved.ini");
    if (FILE* file = std::fopen(loadedPath.c_str(), "wb")) {
        std::fwrite(input.data(), 1, input.size(), file);
        std::fclose(file);
    }

    CIniFile ini;
    ini.Load(loadedPath);
    Check(ini.LoadedLength() == static_cast<int32_t>(size));

    std::vector<std::string> keys;
    std::vector<std::string> sections;
    CollectNames(input, keys, sections);
    ReadEverything(ini, keys, sections);
    for (std::string line; ini.ReadLine(line);)
        Check(line.find_first_of("\r\n") == std::string::npos);
    WalkSections(ini, size);

    TableValues read;
    std::vector<IniParam> table = read.Table(keys);
    ini.ReadTable(sections.front().c_str(), table.data(), static_cast<int32_t>(table.size()));

    // The save writes what was read under keys of its own, one per entry, so that the reload can be
    // compared value for value.
    const std::vector<std::string> ownKeys = {"K0", "K1", "K2", "K3", "K4", "K5", "K6",
                                              "K7", "K8", "K9", "K10", "K11", "K12"};
    std::vector<IniParam> saveTable = read.Table(ownKeys);
    std::remove(savedPath.c_str());
    ini.BeginWrite();
    ini.WriteSection("FUZZ");
    ini.WriteTable(saveTable.data(), static_cast<int32_t>(saveTable.size()));
    ini.WriteSectionId(read.s64);
    ini.Commit(savedPath);

    CIniFile reloaded;
    reloaded.Load(savedPath);
    Check(std::string_view(reloaded.LoadedText() ? reloaded.LoadedText() : "", reloaded.LoadedLength()) ==
          std::string_view(ini.OutputText(), ini.OutputLength()));
    TableValues again;
    std::vector<IniParam> againTable = again.Table(ownKeys);
    reloaded.ReadTable("FUZZ", againTable.data(), static_cast<int32_t>(againTable.size()));
    Check(again.SameNumbers(read));
    Check(read.text.empty() ? again.text == "default" : again.text == read.text);
    return 0;
}

// Arbitrary bytes as a settings text: every lookup, typed read and the section walk over them, each typed
// read checked against the standard decimal parses, then a save of what was read and a reload that must
// give the same values back and save the same text again.
// All in memory, through the same LoadText and TextToWrite that Load and Commit are made of.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/ini_file.h"
#include "settings_model.h"

namespace {

void Check(bool condition, int line = __builtin_LINE())
{
    if (!condition) {
        std::fprintf(stderr, "check failed at fuzz_settings_ini.cpp:%d\n", line);
        std::abort();
    }
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

    // Entry code c reads key keys[c % keys.size()]; the skipped codes read keys[0].
    std::vector<IniParam> Table(const std::vector<std::string>& keys, const std::vector<int32_t>& codes)
    {
        void* values[] = {&u8, &s16, &u16, &u16, &u32, &u32, &s32, &u32, &s32, &u32, &s64, &u64, &text};
        std::vector<IniParam> table;
        table.reserve(codes.size());
        for (int32_t code : codes) {
            if (code < 0 || code >= kIniTypeCount) {
                table.push_back({code, keys[0].c_str(), &untouched, nullptr, 1, 0});
                continue;
            }
            const char* key = keys[static_cast<size_t>(code) % keys.size()].c_str();
            uintptr_t low =
                code == kIniString ? reinterpret_cast<uintptr_t>("default") : 0xA5u + static_cast<uintptr_t>(code);
            table.push_back({code, key, values[code], nullptr, low, code >= kIniInt64 ? 0x80000001u : 0u});
        }
        return table;
    }

    bool SameNumbers(const TableValues& other) const
    {
        return u8 == other.u8 && s16 == other.s16 && u16 == other.u16 && u32 == other.u32 && s32 == other.s32 &&
               s64 == other.s64 && u64 == other.u64 && untouched == 0x5A5A5A5A && other.untouched == 0x5A5A5A5A;
    }
};

// Keys and section names as they stand in the first lines of the input, so that lookups often hit; a
// few of each, since every pair of them is looked up by every reader.
void CollectNames(std::string_view text, std::vector<std::string>& keys, std::vector<std::string>& sections)
{
    size_t start = 0;
    while (start < text.size() && keys.size() < 2 && sections.size() < 2) {
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

// Every section and key pair: the value text FindValue gives is what ReadString stores, or the default
// when there is none.
void ReadEverything(CIniFile& ini, const std::vector<std::string>& keys, const std::vector<std::string>& sections)
{
    for (const std::string& sectionText : sections) {
        for (const std::string& keyText : keys) {
            // As texts, the way every reader takes them: a name ends at its first NUL.
            const char* section = sectionText.c_str();
            const char* key = keyText.c_str();
            std::string trimmedKey = key;
            std::string value;
            const bool found = ini.FindValue(section, trimmedKey, value);
            Check(!found || !value.empty());
            std::string text;
            ini.ReadString(section, key, &text, "d");
            Check(found ? text == value : text == "d");
        }
    }
}

// The value text of each key in the section, none where FindValue finds none. It leaves the store at the
// header it found, so that the lookups of this section that follow meet the same one.
std::vector<std::optional<std::string>> ValueTexts(CIniFile& ini, const char* section,
                                                   const std::vector<std::string>& keys)
{
    std::vector<std::optional<std::string>> texts;
    for (const std::string& keyText : keys) {
        std::string key = keyText.c_str();
        std::string value;
        texts.push_back(ini.FindValue(section, key, value) ? std::optional<std::string>(value) : std::nullopt);
    }
    return texts;
}

// What the reader of a type code stores: the value text by the standard decimal parses (the model's own,
// not the store's), cut to the variable's width, or the entry's default when the key has no value.
bool HoldsExpected(const TableValues& read, const IniParam& entry, const std::optional<std::string>& text)
{
    const uint32_t parsed32 = text ? static_cast<uint32_t>(settings_model::ParseInt32(*text)) : 0;
    const uint64_t parsed64 = text ? static_cast<uint64_t>(settings_model::ParseInt64(*text)) : 0;
    const uint32_t low = static_cast<uint32_t>(entry.defaultLow);
    const uint32_t n32 = text ? parsed32 : low;
    const uint64_t n64 = text ? parsed64 : (uint64_t{entry.defaultHigh} << 32 | low);
    switch (entry.type) {
    case kIniByte: return read.u8 == static_cast<uint8_t>(n32);
    case kIniShort: return read.s16 == static_cast<int16_t>(n32);
    case kIniWord:
    case kIniWord3: return read.u16 == static_cast<uint16_t>(n32);
    case kIniUInt:
    case kIniUInt5:
    case kIniUInt7:
    case kIniUInt9: return read.u32 == n32;
    case kIniInt:
    case kIniInt8: return read.s32 == static_cast<int32_t>(n32);
    case kIniInt64: return read.s64 == static_cast<int64_t>(n64);
    case kIniUInt64: return read.u64 == n64;
    case kIniString: return read.text == (text ? *text : std::string("default"));
    default: return read.untouched == 0x5A5A5A5A;
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
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CIniFile ini;
    ini.LoadText(input);
    Check(std::string_view(ini.LoadedText() ? ini.LoadedText() : "", ini.LoadedLength()) == input);

    std::vector<std::string> keys;
    std::vector<std::string> sections;
    CollectNames(input, keys, sections);
    ReadEverything(ini, keys, sections);
    for (std::string line; ini.ReadLine(line);)
        Check(line.find_first_of("\r\n") == std::string::npos);
    WalkSections(ini, size);

    // Every code, and two that are skipped, one entry at a time so that each reader's result is seen.
    static const std::vector<int32_t> everyCode = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, -1};
    const char* section = sections.front().c_str();
    const std::vector<std::optional<std::string>> firstSection = ValueTexts(ini, section, keys);
    TableValues read;
    std::vector<IniParam> table = read.Table(keys, everyCode);
    for (const IniParam& entry : table) {
        ini.ReadTable(section, &entry, 1);
        const size_t keyIndex = entry.type >= 0 && entry.type < kIniTypeCount ? entry.type % keys.size() : 0;
        Check(HoldsExpected(read, entry, firstSection[keyIndex]));
    }
    int32_t asLong = 0;
    ini.ReadLong(section, keys.front().c_str(), &asLong, 7);
    Check(asLong == (firstSection.front() ? settings_model::ParseInt32(*firstSection.front()) : 7));

    // The save writes what was read under keys of its own, one per entry, so that the reload can be
    // compared value for value. One code of each variable type comes first: reading those eight back
    // gives every value, and each is found near the top of the section.
    static const std::vector<std::string> ownKeys = {"K0", "K1", "K2", "K3", "K4", "K5", "K6",
                                                     "K7", "K8", "K9", "K10", "K11", "K12"};
    static const std::vector<int32_t> saveOrder = {0, 1, 2, 4, 6, 10, 11, 12, 3, 5, 7, 8, 9, 13, -1};
    static const std::vector<int32_t> oneCodePerType(saveOrder.begin(), saveOrder.begin() + 8);
    const auto buildSave = [&](CIniFile& store, TableValues& values) {
        std::vector<IniParam> saveTable = values.Table(ownKeys, saveOrder);
        store.BeginWrite();
        store.WriteSection("FUZZ");
        store.WriteTable(saveTable.data(), static_cast<int32_t>(saveTable.size()));
        store.WriteSectionId(values.s64);
    };
    buildSave(ini, read);
    // The file after a save: the new text, or the old one when that already held the same bytes.
    const std::string_view output(ini.OutputText(), ini.OutputLength());
    const std::string_view toWrite = ini.TextToWrite();
    Check(toWrite.empty() ? output == input : toWrite == output);

    CIniFile reloaded;
    reloaded.LoadText(output);
    TableValues again;
    std::vector<IniParam> againTable = again.Table(ownKeys, oneCodePerType);
    reloaded.ReadTable("FUZZ", againTable.data(), static_cast<int32_t>(againTable.size()));
    Check(again.SameNumbers(read));
    Check(read.text.empty() ? again.text == "default" : again.text == read.text);
    // A fixed point: the reloaded values save as the same text, which is then not written again.
    if (!read.text.empty()) {
        buildSave(reloaded, again);
        Check(reloaded.TextToWrite().empty());
    }
    return 0;
}

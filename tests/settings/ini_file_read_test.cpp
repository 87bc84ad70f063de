// Lookups in loaded texts: each case is a named text with the values it must give.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "settings/ini_file.h"
#include "tests/settings/ini_test_support.h"

namespace {

constexpr int32_t kDefault = -777;

class IniText : public ::testing::Test {
protected:
    void Load(const std::string& text)
    {
        WriteFileBytes(m_file, text);
        m_ini.Load(m_file);
    }
    int32_t Int(const char* section, const char* key)
    {
        int32_t value = 0;
        m_ini.ReadInt(section, key, &value, kDefault);
        return value;
    }
    std::string Text(const char* section, const char* key)
    {
        std::string value;
        m_ini.ReadString(section, key, &value, "(default)");
        return value;
    }
    std::vector<std::string> Lines()
    {
        std::vector<std::string> lines;
        for (std::string line; m_ini.ReadLine(line);)
            lines.push_back(line);
        return lines;
    }
    std::vector<std::string> Sections()
    {
        std::vector<std::string> names;
        for (std::string name; m_ini.NextSection(name);)
            names.push_back(name);
        return names;
    }

    TempFolder m_folder;
    std::string m_file = m_folder.File("test.ini");
    CIniFile m_ini;
};

using TextLines = std::vector<std::string>;

TEST_F(IniText, EveryLineEndVariantEndsExactlyOneLine)
{
    for (const char* end : {"\r\n", "\n", "\r", "\n\r", "\r\r", "\n\n"}) {
        SCOPED_TRACE(testing::PrintToString(std::string(end)));
        Load(std::string("[S]") + end + "A=1" + end + "K=2" + end);
        EXPECT_EQ(Lines(), (TextLines{"[S]", "A=1", "K=2"}));
        EXPECT_EQ(Int("S", "A"), 1);
        EXPECT_EQ(Int("S", "K"), 2);
    }
}

TEST_F(IniText, LineSplitting)
{
    struct Case {
        const char* text;
        TextLines lines;
    } cases[] = {
        {"a\r\n\r\nb\r\n", {"a", "", "b"}},  // CR LF CR LF: a line end, then an empty line
        {"a\n\n\nb\n", {"a", "", "b"}},      // LF LF is one end, the third LF an empty line
        {"\n\r\n\r", {"", ""}},
        {"a\r\n\nb", {"a", ""}},  // the unterminated last line is never returned
        {"abc", {}},
        {"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
        Load(c.text);
        EXPECT_EQ(Lines(), c.lines);
        std::string line = "stale";
        EXPECT_FALSE(m_ini.ReadLine(line));
        EXPECT_EQ(line, "");
    }
}

TEST_F(IniText, LongLinesEndAtTheirFirstLineEndWhereverItLies)
{
    // The line end is searched for in steps of 256 bytes; the other kind of end comes later in the text.
    for (size_t length : {255, 256, 257, 600}) {
        for (const char* end : {"\r", "\n", "\r\n", "\n\r"}) {
            SCOPED_TRACE(testing::PrintToString(std::string(end)) + " after " + std::to_string(length));
            const std::string a(length, 'a'), b(length, 'b');
            Load(a + end + b + (end[0] == '\r' ? "\n" : "\r") + a);
            EXPECT_EQ(Lines(), (TextLines{a, b}));
        }
    }
}

TEST_F(IniText, UnterminatedLastLineIsInvisible)
{
    Load("[S]\r\nK=1\r\nL=2");
    EXPECT_EQ(Int("S", "K"), 1);
    EXPECT_EQ(Int("S", "L"), kDefault);

    Load("[S]\r\n[U]\r\n[T]");
    EXPECT_FALSE(m_ini.FindSection("T"));
    EXPECT_EQ(Sections(), (TextLines{"U"}));
}

TEST_F(IniText, BlankLinesNeverEndASection)
{
    Load("[S]\r\n\r\n \t\v\f\r\n\n\nK=5\r\n");
    EXPECT_EQ(Int("S", "K"), 5);
}

TEST_F(IniText, SevenLineExample)
{
    const std::string seven =
        "MedianWndSize=3\r\n[COMMON]\r\nmedianwndsize=9\r\nMedianWndSize = 7\r\nMedianWndSize=5\r\n"
        "ProcEnable=\r\n[ DIALOG ]\r\n";
    Load(seven);
    EXPECT_EQ(Int("COMMON", "MedianWndSize"), 7);
    EXPECT_EQ(Text("COMMON", "MedianWndSize"), " 7");
    uint32_t enable = 0;
    m_ini.ReadUInt("COMMON", "ProcEnable", &enable, 123);
    EXPECT_EQ(enable, 123u);
    EXPECT_FALSE(m_ini.FindSection("DIALOG"));
    ASSERT_TRUE(m_ini.FindSection("COMMON"));
    std::string name;
    ASSERT_TRUE(m_ini.NextSection(name));
    EXPECT_EQ(name, " DIALOG ");

    // The key scan of COMMON ends at the seventh line: a key below it belongs to no COMMON.
    Load(seven + "Below=1\r\n");
    EXPECT_EQ(Int("COMMON", "Below"), kDefault);
}

TEST_F(IniText, HeaderForms)
{
    struct Case {
        const char* text;
        const char* name;
        bool found;
    } cases[] = {
        {"  [S]\t \r\n", "S", true},   {"[S]\r\n", " S\t", true},  {"[]\r\n", "", true},
        {"[ S]\r\n", "S", false},      {"[ S]\r\n", " S", false},  {"[S ]\r\n", "S", false},
        {"[S] ;note\r\n", "S", false}, {"[s]\r\n", "S", false},    {"[S]\r\n", "s", false},
        {"", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.text)) + " / " + c.name);
        Load(c.text);
        EXPECT_EQ(m_ini.FindSection(c.name), c.found);
    }
}

TEST_F(IniText, SectionWalk)
{
    Load("x\r\n[A]\r\n  [ B ] \r\n[A]\r\n[]\r\n[\r\n[C] ;c\r\n]D[\r\nk=[E]\r\n[F]");
    EXPECT_EQ(Sections(), (TextLines{"A", " B ", "A", ""}));
    std::string name = "kept";
    EXPECT_FALSE(m_ini.NextSection(name));  // no wrapping
    EXPECT_EQ(name, "kept");

    Load("[F]\r\n[G]\r\n");  // the line at offset 0 is stepped over even when it is a header
    EXPECT_EQ(Sections(), (TextLines{"G"}));
}

TEST_F(IniText, KeyLinesAndValues)
{
    Load("[S]\r\n"
         "  Key \t= v a l \t\r\n"
         "Eq=a=b\r\n"
         ";Semi=1\r\n"
         "NoEquals\r\n"
         "Blank=   \r\n"
         "Letter=x7\r\n"
         "Empty=\r\n"
         "Dup=\r\n"
         "Dup=5\r\n"
         "Twice=1\r\n"
         "Twice=2\r\n"
         "ProcEnable=1\r\n");
    EXPECT_EQ(Text("S", "Key"), " v a l \t");  // values keep their blanks
    EXPECT_EQ(Text("S", "Eq"), "a=b");
    EXPECT_EQ(Int("S", ";Semi"), 1);  // no comment syntax
    EXPECT_EQ(Int("S", "NoEquals"), kDefault);
    EXPECT_EQ(Int("S", "Blank"), 0);  // present but not numeric: 0, not the default
    EXPECT_EQ(Int("S", "Letter"), 0);
    EXPECT_EQ(Int("S", "Empty"), kDefault);
    EXPECT_EQ(Text("S", "Empty"), "(default)");
    EXPECT_EQ(Int("S", "Dup"), kDefault);  // the first line decides, even when empty
    EXPECT_EQ(Int("S", "Twice"), 1);
    EXPECT_EQ(Int("S", "key"), kDefault);  // case-sensitive
    EXPECT_EQ(Int("S", "ProcEnable "), 1);

    std::string key = " Key\t";
    std::string value;
    EXPECT_TRUE(m_ini.FindValue("S", key, value));
    EXPECT_EQ(key, "Key");  // trimmed in place
    EXPECT_EQ(value, " v a l \t");
}

// The key's first line decides: an empty value is handed back empty (and the result is FALSE), while a
// missing key leaves the caller's text alone.
TEST_F(IniText, FindValueHandsBackAnEmptyValueButNothingForAMissingKey)
{
    Load("[S]\r\nEmpty=\r\nEmpty=5\r\n");
    std::string key = "Empty";
    std::string value = "stale";
    EXPECT_FALSE(m_ini.FindValue("S", key, value));
    EXPECT_EQ(value, "");
    key = "Missing";
    value = "kept";
    EXPECT_FALSE(m_ini.FindValue("S", key, value));
    EXPECT_EQ(value, "kept");
}

TEST_F(IniText, SectionBoundaries)
{
    Load("K=1\r\n[A]\r\nL=2\r\n[\r\nM=3\r\n[B] ;c\r\nN=4\r\n[C]\r\nO=5\r\n");
    EXPECT_EQ(Int("A", "K"), kDefault);  // above the first header: in no section
    EXPECT_EQ(Int("", "K"), kDefault);
    EXPECT_EQ(Int("A", "L"), 2);
    EXPECT_EQ(Int("A", "M"), kDefault);  // a lone "[" ends the scan
    EXPECT_EQ(Int("B", "N"), kDefault);  // a header with trailing text is none
    EXPECT_EQ(Int("A", "N"), kDefault);  // ...but it still ends a scan
    EXPECT_EQ(Int("C", "O"), 5);         // the last section ends at the end of the text
}

TEST_F(IniText, DuplicateSectionsAreSearchedCircularly)
{
    Load("[S]\r\nK=1\r\n[T]\r\nK=2\r\n[S]\r\nK=3\r\n[U]\r\nK=4\r\n");
    EXPECT_EQ(Int("S", "K"), 1);
    EXPECT_EQ(Int("T", "K"), 2);
    EXPECT_EQ(Int("S", "K"), 3);  // the first S found onward from T
    EXPECT_EQ(Int("U", "K"), 4);
    EXPECT_EQ(Int("S", "K"), 1);  // wrapped
    EXPECT_EQ(Int("V", "K"), kDefault);
    EXPECT_EQ(Int("S", "K"), 1);  // a failed search moved nothing

    Load("[S]\r\nK=1\r\n[T]\r\nK=2\r\n[S]\r\nK=3\r\n");
    std::string name;
    ASSERT_TRUE(m_ini.NextSection(name));
    ASSERT_TRUE(m_ini.NextSection(name));
    EXPECT_EQ(name, "S");
    EXPECT_EQ(Int("S", "K"), 3);  // the header just walked to
}

TEST_F(IniText, FailedSearchesEndAndAreForgottenWithTheirText)
{
    Load("[S]\r\nK=1\r\n[T]\r\nK=2\r\n");
    EXPECT_EQ(Int("V", "K"), kDefault);
    EXPECT_EQ(Int("V", "K"), kDefault);  // the same search again, from the same start
    Load("[S]\r\nK=1\r\n[V]\r\nK=3\r\n");
    EXPECT_EQ(Int("V", "K"), 3);
    // Starts that no walk meets again: the end of the text, inside a line, between CR and LF.
    for (int32_t start : {18, 20, 1, 4}) {
        EXPECT_FALSE(m_ini.FindSectionFrom(start, "W")) << start;
        EXPECT_EQ(Int("S", "K"), 1) << start;
    }
    // A search is remembered with its start: from another start the same name may be found.
    Load("x[N]\r\nK=5\r\n");
    EXPECT_EQ(Int("N", "K"), kDefault);
    EXPECT_TRUE(m_ini.FindSectionFrom(1, "N"));
}

// The variable type of a typed reader.
template <typename Reader>
struct ReaderVariable;
template <typename Variable>
struct ReaderVariable<void (CIniFile::*)(const char*, const char*, Variable*, Variable)> {
    using type = Variable;
};

TEST_F(IniText, DecimalParses)
{
    auto value = [&](const std::string& text) { Load("[S]\r\nV=" + text + "\r\n"); };
    const struct {
        const char* text;
        int32_t expected;
    } ints[] = {
        {"-12xyz", -12}, {"+7", 7},          {" \t42", 42},           {"- 5", 0},
        {"0x1F", 0},     {"4294967295", -1}, {"2147483648", INT32_MIN}, {"4294967296", 0},
    };
    for (const auto& c : ints) {
        SCOPED_TRACE(c.text);
        value(c.text);
        EXPECT_EQ(Int("S", "V"), c.expected);
        int32_t asLong = 0;
        m_ini.ReadLong("S", "V", &asLong, kDefault);
        EXPECT_EQ(asLong, c.expected);
    }

    // Each typed reader cuts or wraps the parse to its variable's width.
    const auto read = [&](auto reader) {
        typename ReaderVariable<decltype(reader)>::type variable{};
        (m_ini.*reader)("S", "V", &variable, 7);
        return variable;
    };
    value("300");
    EXPECT_EQ(read(&CIniFile::ReadByte), 44);
    value("-1");
    EXPECT_EQ(read(&CIniFile::ReadByte), 255);
    EXPECT_EQ(read(&CIniFile::ReadWord), 65535);
    EXPECT_EQ(read(&CIniFile::ReadUInt), 4294967295u);
    EXPECT_EQ(read(&CIniFile::ReadUInt64), UINT64_MAX);
    value("40000");
    EXPECT_EQ(read(&CIniFile::ReadShort), -25536);
    value("-9223372036854775808");
    EXPECT_EQ(read(&CIniFile::ReadInt64), INT64_MIN);
    value("18446744073709551615");
    EXPECT_EQ(read(&CIniFile::ReadUInt64), UINT64_MAX);
    value("12345678901 ");
    EXPECT_EQ(read(&CIniFile::ReadInt64), 12345678901);
}

TEST_F(IniText, ReadTableDispatchesEveryTypeCode)
{
    uint8_t u8 = 0;
    int16_t s16 = 0;
    uint16_t u16a = 0, u16b = 0;
    uint32_t u32[4] = {};
    int32_t s32[2] = {};
    int64_t s64 = 0;
    uint64_t u64 = 0;
    std::string text;
    int32_t skipped[2] = {55, 66};
    const IniParam table[] = {
        {0, "A", &u8, nullptr, 0x1FF, 0},
        {1, "B", &s16, nullptr, 0x1FFFF, 0},
        {2, "C", &u16a, nullptr, 2, 0},
        {3, "D", &u16b, nullptr, 3, 0},
        {4, "E", &u32[0], nullptr, 4, 0},
        {5, "F", &u32[1], nullptr, 5, 0},
        {7, "G", &u32[2], nullptr, 7, 0},
        {9, "H", &u32[3], nullptr, 9, 0},
        {6, "I", &s32[0], nullptr, 0xFFFFFFFF, 0},
        {8, "J", &s32[1], nullptr, 8, 0},
        {10, "K", &s64, nullptr, 0x00000001, 0x80000000},
        {11, "L", &u64, nullptr, 0xFFFFFFFF, 0xFFFFFFFF},
        {12, "M", &text, nullptr, reinterpret_cast<uintptr_t>("dflt"), 0},
        {13, "A", &skipped[0], nullptr, 1, 0},
        {-1, "A", &skipped[1], nullptr, 1, 0},
    };
    const int32_t count = static_cast<int32_t>(std::size(table));

    Load("[S]\r\nA=300\r\nB=-2\r\nC=3\r\nD=4\r\nE=5\r\nF=6\r\nG=7\r\nH=-1\r\nI=-9\r\nJ=10\r\n"
         "K=-5\r\nL=6\r\nM= t \r\n");
    m_ini.ReadTable("S", table, count);
    EXPECT_EQ(u8, 44);
    EXPECT_EQ(s16, -2);
    EXPECT_EQ(u16a, 3);
    EXPECT_EQ(u16b, 4);
    EXPECT_EQ(u32[0], 5u);
    EXPECT_EQ(u32[1], 6u);
    EXPECT_EQ(u32[2], 7u);
    EXPECT_EQ(u32[3], 4294967295u);
    EXPECT_EQ(s32[0], -9);
    EXPECT_EQ(s32[1], 10);
    EXPECT_EQ(s64, -5);
    EXPECT_EQ(u64, 6u);
    EXPECT_EQ(text, " t ");
    EXPECT_EQ(skipped[0], 55);
    EXPECT_EQ(skipped[1], 66);

    m_ini.ReadTable("Missing", table, count);  // every default, at the width of its code
    EXPECT_EQ(u8, 0xFF);
    EXPECT_EQ(s16, -1);
    EXPECT_EQ(u16a, 2);
    EXPECT_EQ(u32[3], 9u);
    EXPECT_EQ(s32[0], -1);
    EXPECT_EQ(s64, INT64_MIN + 1);
    EXPECT_EQ(u64, UINT64_MAX);
    EXPECT_EQ(text, "dflt");
    EXPECT_EQ(skipped[0], 55);

    u8 = 9;
    m_ini.ReadTable("Missing", table, 0);
    m_ini.ReadTable("Missing", table, -3);
    EXPECT_EQ(u8, 9);
}

TEST_F(IniText, EmptyStoreGivesDefaults)
{
    Load("");
    EXPECT_EQ(Int("S", "K"), kDefault);
    EXPECT_FALSE(m_ini.FindSection(""));
    std::string name;
    EXPECT_FALSE(m_ini.NextSection(name));
    CIniFile never;
    int64_t value = 0;
    never.ReadInt64("S", "K", &value, -3);
    EXPECT_EQ(value, -3);
}

}  // namespace

// Building the output text: the exact bytes of every writer, the growth of the buffer, failed growth.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "settings/ini_file.h"
#include "tests/settings/ini_test_support.h"

namespace {

std::vector<size_t> g_requestedSizes;

void* RecordingRealloc(void* block, size_t size)
{
    g_requestedSizes.push_back(size);
    return std::realloc(block, size);
}

class RecordedAllocations {
public:
    RecordedAllocations()
    {
        g_requestedSizes.clear();
        CIniFile::s_pfnRealloc = RecordingRealloc;
    }
    ~RecordedAllocations() { CIniFile::s_pfnRealloc = std::realloc; }
};

TEST(IniWrite, CommonSectionOfTheChannelTable)
{
    int32_t wndSize = 15;
    uint32_t enable = 0;
    const IniParam channelParams[] = {
        {6, "MedianWndSize", &wndSize, nullptr, 15, 0},
        {4, "ProcEnable ", &enable, nullptr, 0, 0},
    };
    CIniFile ini;
    ini.BeginWrite();
    ini.WriteSection("COMMON");
    ini.WriteTable(channelParams, 2);
    EXPECT_EQ(OutputOf(ini), "[COMMON]\r\nMedianWndSize=15\r\nProcEnable=0\r\n");
}

TEST(IniWrite, HeadersAndKeyLines)
{
    CIniFile ini;
    ini.BeginWrite();
    ini.WriteSection("  DIALOG\t");
    ini.WriteSectionId(-5);
    ini.WriteSectionId(INT64_MIN);
    ini.WriteText(" K\t", " v = w ");
    ini.WriteText("E", "");
    ini.WriteByte("a", 255);
    ini.WriteShort("b", -1);
    ini.WriteWord("c", 65535);
    ini.WriteUInt("d", 4294967295u);
    ini.WriteInt("e", INT32_MIN);
    ini.WriteInt64("f", INT64_MIN);
    ini.WriteUInt64("g", UINT64_MAX);
    EXPECT_EQ(OutputOf(ini),
              "[DIALOG]\r\n[-5]\r\n[-9223372036854775808]\r\nK= v = w \r\nE=\r\n"
              "a=255\r\nb=-1\r\nc=65535\r\nd=4294967295\r\ne=-2147483648\r\n"
              "f=-9223372036854775808\r\ng=18446744073709551615\r\n");
}

TEST(IniWrite, WriteTableFormatsEachCodeAtItsWidth)
{
    uint8_t u8 = 255;
    uint16_t s16bits = 65535;  // a code 1 variable holding 0xFFFF is the signed -1
    uint16_t u16 = 65535;
    uint32_t u32 = 4294967295u;
    int32_t s32 = -2;
    int64_t s64 = -3;
    uint64_t u64 = 0x8000000000000000u;
    std::string text = " t ";
    int32_t skipped = 5;
    const IniParam table[] = {
        {0, "A", &u8, nullptr, 0, 0},    {1, "B", &s16bits, nullptr, 0, 0}, {2, "C", &u16, nullptr, 0, 0},
        {3, "D", &u16, nullptr, 0, 0},   {4, "E", &u32, nullptr, 0, 0},     {5, "F", &u32, nullptr, 0, 0},
        {7, "G", &u32, nullptr, 0, 0},   {9, "H", &u32, nullptr, 0, 0},     {6, "I", &s32, nullptr, 0, 0},
        {8, "J", &s32, nullptr, 0, 0},   {10, "K", &s64, nullptr, 0, 0},    {11, "L", &u64, nullptr, 0, 0},
        {12, "M", &text, nullptr, 0, 0}, {13, "N", &skipped, nullptr, 0, 0}, {-1, "O", &skipped, nullptr, 0, 0},
    };
    CIniFile ini;
    ini.BeginWrite();
    ini.WriteTable(table, static_cast<int32_t>(std::size(table)));
    EXPECT_EQ(OutputOf(ini),
              "A=255\r\nB=-1\r\nC=65535\r\nD=65535\r\nE=4294967295\r\nF=4294967295\r\nG=4294967295\r\n"
              "H=4294967295\r\nI=-2\r\nJ=-2\r\nK=-3\r\nL=9223372036854775808\r\nM= t \r\n");

    ini.BeginWrite();
    ini.WriteTable(table, 0);
    ini.WriteTable(table, -1);
    EXPECT_EQ(ini.OutputLength(), 0);
}

TEST(IniWrite, ValuesAreWrittenBackByTheirOwnType)
{
    TempFolder folder;
    std::string file = folder.File("t.ini");
    WriteFileBytes(file, "[S]\r\nA=-1\r\nB=-1\r\nC=300\r\n");
    uint8_t a = 0;
    uint32_t b = 0;
    uint8_t c = 0;
    const IniParam table[] = {
        {0, "A", &a, nullptr, 0, 0},
        {4, "B", &b, nullptr, 0, 0},
        {0, "C", &c, nullptr, 0, 0},
    };
    CIniFile ini;
    ini.Load(file);
    ini.ReadTable("S", table, 3);
    ini.BeginWrite();
    ini.WriteTable(table, 3);
    EXPECT_EQ(OutputOf(ini), "A=255\r\nB=4294967295\r\nC=44\r\n");
}

TEST(IniWrite, OutputGrowsByWholeStepsOfOneHundredThousandBytes)
{
    RecordedAllocations recorded;
    CIniFile ini;
    ini.BeginWrite();
    ini.Append(std::string(99999, 'a').c_str());
    ini.Append("b");  // exactly full: no growth yet
    ini.Append("c");
    const std::string longValue(250000, 'v');
    ini.WriteText("K", longValue);  // one call, two more steps at once
    EXPECT_EQ(g_requestedSizes, (std::vector<size_t>{100000, 200000, 400000}));
    std::string expected = std::string(99999, 'a') + "bc" + "K=" + longValue + "\r\n";
    EXPECT_EQ(OutputOf(ini), expected);
}

TEST(IniWrite, FailedGrowthDropsThatTextAndTheSaveWritesNothing)
{
    TempFolder folder;
    std::string file = folder.File("t.ini");
    WriteFileBytes(file, "[OLD]\r\n");
    CIniFile ini;
    ini.Load(file);
    ini.BeginWrite();
    ini.WriteSection("A");
    {
        FailingAllocations failing(true);
        ini.WriteText("Big", std::string(150000, 'x'));
    }
    ini.WriteText("K", "1");  // later texts still fit in the old room
    EXPECT_EQ(OutputOf(ini), "[A]\r\nK=1\r\n");
    ini.Commit(file);
    EXPECT_EQ(ReadFileBytes(file), "[OLD]\r\n");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"t.ini"});
}

TEST(IniWrite, WithoutOutputNothingIsWritten)
{
    TempFolder folder;
    std::string file = folder.File("t.ini");
    CIniFile never;
    never.Append("[A]\r\n");
    never.WriteSection("A");
    EXPECT_EQ(never.OutputText(), nullptr);
    never.Commit(file);

    CIniFile starved;
    {
        FailingAllocations failing(false);
        starved.BeginWrite();
    }
    starved.WriteSection("A");
    EXPECT_EQ(starved.OutputText(), nullptr);
    EXPECT_EQ(starved.OutputLength(), 0);
    starved.Commit(file);

    CIniFile empty;
    empty.BeginWrite();
    empty.Commit(file);
    EXPECT_TRUE(folder.Names().empty());
}

}  // namespace

// The DLL as the host sees it: exports, descriptor, the entries' results and the frames they leave behind.

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "tests/common/definition_reference.h"
#include "tests/common/plugin_fixture.h"

namespace {

std::string Cp1251(const wchar_t* text)
{
    char bytes[512] = {};
    const int n = WideCharToMultiByte(1251, 0, text, -1, bytes, sizeof bytes, nullptr, nullptr);
    return std::string(bytes, n > 0 ? n - 1 : 0);
}

class PluginBoundary : public ::testing::Test {
protected:
    void SetUp() override { fixture::RemoveSettings(); }

    void LoadAndInit(const std::string& settings)
    {
        if (!settings.empty())
            fixture::WriteSettings(settings);
        ASSERT_TRUE(host.Load(fixture::PluginDllPath()));
        host.Init(KnowsEveryChannel);
    }

    void TearDown() override
    {
        if (host.Descriptor())
            host.Shutdown();
        host.Unload();
    }

    KestrovaHost host;
};

TEST_F(PluginBoundary, VersionIsThreeAndDescriptorIsOneStaticTable)
{
    ASSERT_TRUE(host.Load(fixture::PluginDllPath()));
    EXPECT_EQ(host.Version(), 3);
    PluginDescriptor* first = host.DescriptorExport()();
    PluginDescriptor* second = host.DescriptorExport()();
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, host.Descriptor());
    for (int slot = 0; slot < 8; ++slot)
        EXPECT_NE(reinterpret_cast<void* const*>(first)[slot], nullptr) << "slot " << slot;
    host.Unload();
}

TEST_F(PluginBoundary, DescriptorTextsAreCodePage1251)
{
    ASSERT_TRUE(host.Load(fixture::PluginDllPath()));
    EXPECT_EQ(std::string(host.Descriptor()->displayName), Cp1251(L"Уменьшение цветового шума"));
    EXPECT_EQ(std::string(host.Descriptor()->description),
              Cp1251(L"Удаление импульсного цветового шума в UV-каналах изображения"));
    EXPECT_EQ(static_cast<uint8_t>(host.Descriptor()->displayName[0]), 0xD3);  // "У" in 1251
    host.Unload();
}

TEST_F(PluginBoundary, NullFrameBufferReturnsZeroAndOthersReturnOne)
{
    LoadAndInit(fixture::CommonSettings(3, 1));
    EXPECT_EQ(host.StartStream(16, 8, 0), 1);
    FrameInfo empty{};
    EXPECT_EQ(host.ProcessFrameRecord(&empty), 0);
    std::vector<uint8_t> frame(16 * 8 * 2, 128);
    EXPECT_EQ(host.ProcessFrame(frame.data(), 5, "Five"), 1);
    EXPECT_EQ(host.StopStream(), 1);
}

TEST_F(PluginBoundary, Yuy2FramesAreFilteredInPlaceByTheDefinition)
{
    LoadAndInit(fixture::CommonSettings(5, 1));
    const int width = 40, height = 24;
    host.StartStream(width, height, 0);
    for (uint32_t seed = 1; seed <= 3; ++seed) {
        std::vector<uint8_t> frame = RandomBytes(width * height * 2, seed);
        const std::vector<uint8_t> expected = reference::ChromaMedian(frame, width, height, 5);
        EXPECT_EQ(host.ProcessFrame(frame.data(), 7, "Seven"), 1);
        EXPECT_EQ(frame, expected) << "seed " << seed;
    }
    host.StopStream();
}

TEST_F(PluginBoundary, RgbFramesGoThroughBothConversionsAndTheFilter)
{
    LoadAndInit(fixture::CommonSettings(3, 1));
    const int width = 24, height = 10, pixels = width * height;
    host.StartStream(width, height, 1);
    std::vector<uint8_t> frame = RandomBytes(pixels * 3, 99);
    std::vector<uint8_t> expected = frame;
    const std::vector<uint8_t> filtered =
        reference::ChromaMedian(reference::RgbToYuy2(frame, pixels), width, height, 3);
    reference::Yuy2ToRgb(filtered, expected, pixels);
    EXPECT_EQ(host.ProcessFrame(frame.data(), 1, "One"), 1);
    EXPECT_EQ(frame, expected);
    host.StopStream();
}

TEST_F(PluginBoundary, FramesPassThroughUnchangedWhenOffOrUnfilterable)
{
    struct Case {
        const char* what;
        int enable, window, width, height, format;
    };
    const Case cases[] = {
        {"filtering off", 0, 3, 16, 8, 0},       {"filtering off, rgb", 0, 3, 16, 8, 1},
        {"pixel format 2", 1, 3, 16, 8, 2},      {"pixel format -1", 1, 3, 16, 8, -1},
        {"width 6", 1, 3, 6, 8, 0},              {"odd width", 1, 3, 17, 8, 0},
        {"odd width, rgb", 1, 3, 17, 8, 1},      {"height 7 with window 15", 1, 15, 16, 7, 0},
        {"height 7 with window 15, rgb", 1, 15, 16, 7, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LoadAndInit(fixture::CommonSettings(c.window, c.enable));
        host.StartStream(c.width, c.height, c.format);
        const size_t bytes = static_cast<size_t>(c.width) * c.height * (c.format == 1 ? 3 : 2);
        std::vector<uint8_t> frame = RandomBytes(bytes, 5);
        const std::vector<uint8_t> before = frame;
        EXPECT_EQ(host.ProcessFrame(frame.data(), 1, "One"), 1);
        EXPECT_EQ(frame, before);
        host.StopStream();
        host.Shutdown();
        host.Unload();
    }
}

TEST_F(PluginBoundary, HostFaultsNeitherCrashNorTouchTheFrame)
{
    LoadAndInit(fixture::CommonSettings(3, 1));
    std::vector<uint8_t> frame = RandomBytes(64, 3);
    const std::vector<uint8_t> before = frame;

    EXPECT_EQ(host.StopStream(), 1);  // without a stream
    for (auto size : {std::pair{0, 0}, std::pair{-16, 8}, std::pair{16, -8}, std::pair{0x7FFFFFF0, 0x7FFFFFF0},
                      std::pair{65536, 65536}}) {
        EXPECT_EQ(host.StartStream(size.first, size.second, 0), 1);
        EXPECT_EQ(host.ProcessFrame(frame.data(), 1, "One"), 1);
        EXPECT_EQ(frame, before);
        EXPECT_EQ(host.StartStream(size.first, size.second, 1), 1);  // again, without StopStream
        EXPECT_EQ(host.ProcessFrame(frame.data(), 1, "One"), 1);
        EXPECT_EQ(frame, before);
    }
    host.StopStream();
    host.StopStream();
}

TEST_F(PluginBoundary, NullChannelRecordIsFilteredWithTheValuesInForce)
{
    LoadAndInit(fixture::CommonSettings(3, 1));
    const int width = 16, height = 12;
    host.StartStream(width, height, 0);
    std::vector<uint8_t> frame = RandomBytes(width * height * 2, 11);
    const std::vector<uint8_t> expected = reference::ChromaMedian(frame, width, height, 3);
    FrameInfo record{};
    record.pixels = frame.data();
    EXPECT_EQ(host.ProcessFrameRecord(&record), 1);
    EXPECT_EQ(frame, expected);
    host.StopStream();
}

// The order inside ProcessFrame, seen through the file Shutdown leaves: a frame without a buffer touches no
// channel; a frame of an unknown pixel format, or with filtering off, still switches the channel.
TEST_F(PluginBoundary, OnlyFramesWithABufferSwitchChannelsWhateverTheFormatOrSwitch)
{
    LoadAndInit("[SETTINGS]\r\nCommon=1\r\n[COMMON]\r\nMedianWndSize=3\r\nProcEnable=0\r\n");
    EXPECT_EQ(host.StartStream(16, 8, 2), 1);
    std::vector<uint8_t> frame = RandomBytes(16 * 8 * 3, 21);
    const std::vector<uint8_t> before = frame;
    EXPECT_EQ(host.ProcessFrame(nullptr, 91, "Ninety-one"), 0);
    EXPECT_EQ(host.ProcessFrame(frame.data(), 92, "Ninety-two"), 1);
    EXPECT_EQ(frame, before);
    host.StopStream();
    EXPECT_EQ(host.StartStream(16, 8, 0), 1);
    EXPECT_EQ(host.ProcessFrame(nullptr, 93, "Ninety-three"), 0);
    EXPECT_EQ(host.ProcessFrame(frame.data(), 94, "Ninety-four"), 1);
    EXPECT_EQ(frame, before);
    host.StopStream();
    host.Shutdown();
    EXPECT_EQ(fixture::ReadSettings(),
              "[DIALOG]\r\nDlgWndPosX=-100\r\nDlgWndPosY=-100\r\n[SETTINGS]\r\nCommon=1\r\n"
              "[COMMON]\r\nMedianWndSize=3\r\nProcEnable=0\r\n"
              "[92]\r\nMedianWndSize=15\r\nProcEnable=0\r\n[94]\r\nMedianWndSize=15\r\nProcEnable=0\r\n");
}

TEST_F(PluginBoundary, ShutdownWithoutInitAndInitWithoutChannelCheck)
{
    ASSERT_TRUE(host.Load(fixture::PluginDllPath()));
    EXPECT_EQ(host.Shutdown(), 1);
    host.Unload();
    ASSERT_TRUE(host.Load(fixture::PluginDllPath()));
    EXPECT_EQ(host.Init(nullptr), 1);
}

// The DLL must run on a machine with nothing but Windows: exports by plain name, system imports only.
TEST(PluginImage, ExportsTwoPlainNamesAndImportsOnlySystemDlls)
{
    const std::string image = ReadFileBytes(fixture::PluginDllPath());
    ASSERT_GT(image.size(), 1024u);

    auto u32 = [&](size_t at) { uint32_t v; std::memcpy(&v, &image.at(at + 3) - 3, 4); return v; };
    auto u16 = [&](size_t at) { uint16_t v; std::memcpy(&v, &image.at(at + 1) - 1, 2); return v; };
    const size_t pe = u32(0x3C);
    ASSERT_EQ(u32(pe), 0x00004550u);
    EXPECT_EQ(u16(pe + 4), 0x014C) << "i386 image";
    const size_t sections = u16(pe + 6), optional = pe + 24, optionalSize = u16(pe + 20);
    EXPECT_EQ(u16(optional), 0x10B) << "PE32";

    auto fileOffset = [&](uint32_t rva) -> size_t {
        for (size_t s = 0; s < sections; ++s) {
            const size_t h = optional + optionalSize + s * 40;
            const uint32_t va = u32(h + 12), size = u32(h + 8), raw = u32(h + 20);
            if (rva >= va && rva < va + size)
                return raw + (rva - va);
        }
        ADD_FAILURE() << "rva outside every section";
        return 0;
    };
    auto text = [&](uint32_t rva) { return std::string(reinterpret_cast<const char*>(&image.at(fileOffset(rva)))); };

    const uint32_t exportRva = u32(optional + 96);
    ASSERT_NE(exportRva, 0u);
    const size_t exports = fileOffset(exportRva);
    std::set<std::string> names;
    for (uint32_t i = 0; i < u32(exports + 24); ++i)
        names.insert(text(u32(fileOffset(u32(exports + 32)) + i * 4)));
    EXPECT_EQ(names, (std::set<std::string>{"Kestrova_Plugin_PR", "Kestrova_Plugin_Version"}));

    const std::set<std::string> system = {"ADVAPI32.DLL", "COMCTL32.DLL", "GDI32.DLL", "KERNEL32.DLL",
                                          "MSVCRT.DLL",   "SHELL32.DLL",  "USER32.DLL", "OLE32.DLL"};
    // Functions that came with Windows Vista: one such import and the DLL does not load on XP.
    const std::set<std::string> sinceVista = {"GetTickCount64", "InitializeConditionVariable",
                                              "SleepConditionVariableCS", "InitOnceExecuteOnce",
                                              "AcquireSRWLockExclusive", "FlsAlloc", "GetFileInformationByHandleEx"};
    const uint32_t importRva = u32(optional + 104);
    ASSERT_NE(importRva, 0u);
    for (size_t d = fileOffset(importRva); u32(d + 12) != 0; d += 20) {
        std::string dll = text(u32(d + 12));
        for (char& c : dll)
            c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        EXPECT_TRUE(system.count(dll)) << "imports " << dll;
        for (size_t thunk = fileOffset(u32(d) ? u32(d) : u32(d + 16)); u32(thunk) != 0; thunk += 4) {
            if (u32(thunk) & 0x80000000u)
                continue;  // by ordinal
            const std::string function = text(u32(thunk) + 2);
            EXPECT_FALSE(sinceVista.count(function)) << dll << " " << function;
        }
    }
    // Forcing the CPU choice is for tests and benchmarks: the product holds no such variable's name.
    EXPECT_EQ(image.find("UVD_CPU_MASK"), std::string::npos);
}

}  // namespace

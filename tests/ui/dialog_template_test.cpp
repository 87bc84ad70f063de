// The compiled resources inside the DLL, read back byte by byte: both extended dialog templates against
// their tables, the about picture and the version.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/host_harness.h"
#include "tests/ui/dialog_tables.h"
#include "tests/common/plugin_fixture.h"
#include "tests/common/version_block.h"

namespace {

// Reads the little-endian fields of a resource in order, with the template format's own alignment rules.
class TemplateReader {
public:
    TemplateReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    template <typename T>
    T Read()
    {
        T value{};
        if (m_offset + sizeof(T) > m_size) {
            m_overrun = true;
            return value;
        }
        std::memcpy(&value, m_data + m_offset, sizeof(T));
        m_offset += sizeof(T);
        return value;
    }

    // A name or an ordinal (0xFFFF then a WORD); an empty name is a lone 0.
    void ReadNameOrOrdinal(std::wstring& name, WORD& ordinal)
    {
        name.clear();
        ordinal = 0;
        const WORD first = Read<WORD>();
        if (first == 0xFFFF) {
            ordinal = Read<WORD>();
            return;
        }
        for (WORD c = first; c != 0 && !m_overrun; c = Read<WORD>())
            name.push_back(static_cast<wchar_t>(c));
    }

    std::wstring ReadString()
    {
        std::wstring text;
        WORD ordinal = 0;
        ReadNameOrOrdinal(text, ordinal);
        return text;
    }

    void AlignToDword() { m_offset = (m_offset + 3) & ~size_t{3}; }
    bool AtEnd() const { return m_offset == m_size; }
    bool Overrun() const { return m_overrun; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_offset = 0;
    bool m_overrun = false;
};

class ResourceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_host.Load(fixture::PluginDllPath()));
        m_module = GetModuleHandleA("RPX_UVDenoise.dll");
        ASSERT_NE(m_module, nullptr);
    }

    // The resource in Russian only: a resource of another language would not be found.
    std::pair<const uint8_t*, size_t> Russian(WORD type, WORD id)
    {
        HRSRC found = FindResourceExW(m_module, MAKEINTRESOURCEW(type), MAKEINTRESOURCEW(id), tables::kRussian);
        if (!found)
            return {nullptr, 0};
        HGLOBAL loaded = LoadResource(m_module, found);
        return {static_cast<const uint8_t*>(LockResource(loaded)), SizeofResource(m_module, found)};
    }

    void ExpectTemplate(const tables::DialogLayout& layout)
    {
        auto [data, size] = Russian(5 /* RT_DIALOG */, layout.resourceId);
        ASSERT_NE(data, nullptr) << "dialog " << layout.resourceId << " in language 1049";
        TemplateReader in(data, size);

        EXPECT_EQ(in.Read<WORD>(), 1) << "dlgVer";
        EXPECT_EQ(in.Read<WORD>(), 0xFFFF) << "extended template signature";
        EXPECT_EQ(in.Read<DWORD>(), 0u) << "helpID";
        EXPECT_EQ(in.Read<DWORD>(), layout.exStyle);
        EXPECT_EQ(in.Read<DWORD>(), layout.style);
        const WORD count = in.Read<WORD>();
        ASSERT_EQ(count, layout.controls.size());
        EXPECT_EQ(in.Read<short>(), 0);
        EXPECT_EQ(in.Read<short>(), 0);
        EXPECT_EQ(in.Read<short>(), layout.cx);
        EXPECT_EQ(in.Read<short>(), layout.cy);
        std::wstring name;
        WORD ordinal = 0;
        in.ReadNameOrOrdinal(name, ordinal);
        EXPECT_TRUE(name.empty() && ordinal == 0) << "no menu";
        in.ReadNameOrOrdinal(name, ordinal);
        EXPECT_TRUE(name.empty() && ordinal == 0) << "the standard dialog class";
        EXPECT_EQ(in.ReadString(), layout.caption);
        EXPECT_EQ(in.Read<WORD>(), 8) << "point size";
        EXPECT_EQ(in.Read<WORD>(), 0) << "weight";
        EXPECT_EQ(in.Read<BYTE>(), 0) << "italic";
        EXPECT_EQ(in.Read<BYTE>(), DEFAULT_CHARSET);
        EXPECT_EQ(in.ReadString(), L"MS Sans Serif");

        for (const tables::ControlLayout& control : layout.controls) {
            SCOPED_TRACE(testing::Message() << "control id " << static_cast<int>(control.id) << " ("
                                            << (control.text ? control.text : L"picture") << ")");
            in.AlignToDword();
            EXPECT_EQ(in.Read<DWORD>(), 0u) << "helpID";
            EXPECT_EQ(in.Read<DWORD>(), control.exStyle);
            EXPECT_EQ(in.Read<DWORD>(), control.style);
            EXPECT_EQ(in.Read<short>(), control.x);
            EXPECT_EQ(in.Read<short>(), control.y);
            EXPECT_EQ(in.Read<short>(), control.cx);
            EXPECT_EQ(in.Read<short>(), control.cy);
            EXPECT_EQ(in.Read<DWORD>(), control.id);
            in.ReadNameOrOrdinal(name, ordinal);
            if (control.classOrdinal != 0) {
                EXPECT_EQ(ordinal, control.classOrdinal);
            } else {
                // windres stores every class name upper-cased; Windows looks classes up regardless of case.
                EXPECT_EQ(ordinal, 0);
                EXPECT_EQ(CompareStringOrdinal(name.c_str(), -1, control.className, -1, TRUE), CSTR_EQUAL)
                    << "class name";
            }
            in.ReadNameOrOrdinal(name, ordinal);
            if (control.text) {
                EXPECT_EQ(ordinal, 0);
                EXPECT_EQ(name, control.text);
            } else {
                EXPECT_EQ(ordinal, control.textOrdinal);
            }
            EXPECT_EQ(in.Read<WORD>(), 0) << "no creation data";
        }
        EXPECT_FALSE(in.Overrun());
        // The resource ends with the last control or with the padding to the next DWORD.
        if (!in.AtEnd())
            in.AlignToDword();
        EXPECT_TRUE(in.AtEnd());
    }

    KestrovaHost m_host;
    HMODULE m_module = nullptr;
};

TEST_F(ResourceTest, SettingsDialogTemplateMatchesItsTable) { ExpectTemplate(tables::Settings()); }

TEST_F(ResourceTest, AboutBoxTemplateMatchesItsTable) { ExpectTemplate(tables::About()); }

TEST_F(ResourceTest, AboutPictureIs32By32With24BitsUncompressed)
{
    auto [data, size] = Russian(2 /* RT_BITMAP */, 5004);
    ASSERT_NE(data, nullptr);
    ASSERT_GE(size, sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER header;
    std::memcpy(&header, data, sizeof(header));
    EXPECT_EQ(header.biSize, sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(header.biWidth, 32);
    EXPECT_EQ(header.biHeight, 32);
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biBitCount, 24);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(header.biClrUsed, 0u);
    EXPECT_EQ(size, sizeof(BITMAPINFOHEADER) + 32u * 32u * 3u);
}

TEST_F(ResourceTest, VersionIs1_0_2_0InRussian)
{
    const std::string block = VersionBlockOf(fixture::PluginDllPath());
    const VS_FIXEDFILEINFO* fixed = FixedFileInfoOf(block);
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00020000u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00020000u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(translation[0], tables::kRussian);

    wchar_t* text = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\041904B0\\ProductVersion",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_STREQ(text, L"1.02");
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\041904B0\\LegalCopyright",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_STREQ(text, L"Copyright (c) 2026 RPX_UVDenoise developers, MIT licence");
}

}  // namespace

// uvdenoise.exe's version block, as Explorer's file properties read it: the release's version in numbers
// and in text, and a description that says what the program is.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "host/host_harness.h"
#include "tests/common/version_block.h"

namespace {

std::wstring StringValue(const std::string& block, const wchar_t* name)
{
    wchar_t* text = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &length))
        return L"(missing)";
    return text;
}

TEST(UvdenoiseVersionBlock, CarriesTheReleaseVersionADescriptionAndTheLicence)
{
    const std::string block = VersionBlockOf(WinePathOf(UVD_UVDENOISE_UNIX_PATH));
    const VS_FIXEDFILEINFO* fixed = FixedFileInfoOf(block);
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00020000u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00020000u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(StringValue(block, L"FileVersion"), L"1.0.2");
    EXPECT_EQ(StringValue(block, L"ProductVersion"), L"1.0.2");
    EXPECT_EQ(StringValue(block, L"FileDescription"), L"uvdenoise: removes colour sparkles from video recordings");
    EXPECT_EQ(StringValue(block, L"LegalCopyright"), L"Copyright (c) 2026 RPX_UVDenoise developers, MIT licence");
}

}  // namespace

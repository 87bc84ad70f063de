#pragma once

// A file's version block, as Explorer's file properties read it (Windows tests only).

#include <windows.h>

#include <string>

// The whole block; empty when the file has none or cannot be read.
inline std::string VersionBlockOf(const std::string& path)
{
    DWORD ignored = 0;
    const DWORD bytes = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    std::string block(bytes, '\0');
    if (bytes == 0 || !GetFileVersionInfoA(path.c_str(), 0, bytes, block.data()))
        return {};
    return block;
}

// The block's fixed part (numeric versions, file type), or null.
inline const VS_FIXEDFILEINFO* FixedFileInfoOf(const std::string& block)
{
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (block.empty() || !VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length))
        return nullptr;
    return fixed;
}

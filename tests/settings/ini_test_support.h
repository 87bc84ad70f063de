#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "settings/ini_file.h"
#include "tests/common/file_bytes.h"
#include "tests/common/temp_folder.h"

namespace fs = std::filesystem;

// A time stamp well in the past, so that any rewrite shows.
inline fs::file_time_type AgeFile(const std::string& path)
{
    fs::file_time_type old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 30);
    fs::last_write_time(path, old);
    return fs::last_write_time(path);
}

inline std::string OutputOf(const CIniFile& ini) { return std::string(ini.OutputText(), ini.OutputLength()); }

// Swaps the store's allocator for one that fails, for the lifetime of the object.
class FailingAllocations {
public:
    // growthOnly: only reallocations of an existing buffer fail, so BeginWrite still gets its room.
    explicit FailingAllocations(bool growthOnly)
    {
        CIniFile::s_pfnRealloc = growthOnly ? FailGrowth : FailAll;
    }
    ~FailingAllocations() { CIniFile::s_pfnRealloc = std::realloc; }

private:
    static void* FailAll(void*, size_t) { return nullptr; }
    static void* FailGrowth(void* block, size_t size) { return block ? nullptr : std::realloc(block, size); }
};

#pragma once

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "settings/ini_file.h"

namespace fs = std::filesystem;

// A folder of its own for each test, removed with everything left in it.
class TempFolder {
public:
    TempFolder()
    {
        static std::atomic<int> counter{0};
        auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        m_path = fs::temp_directory_path() /
                 ("uvd_ini_" + std::to_string(stamp) + "_" + std::to_string(counter.fetch_add(1)));
        fs::create_directories(m_path);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        for (const fs::directory_entry& entry : fs::directory_iterator(m_path, ignored))
            fs::permissions(entry.path(), fs::perms::owner_all, ignored);
        fs::remove_all(m_path, ignored);
    }
    std::string File(const std::string& name) const { return (m_path / name).string(); }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(m_path))
            names.push_back(entry.path().filename().string());
        return names;
    }

private:
    fs::path m_path;
};

inline void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

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

#pragma once

// Whole files as bytes. Paths are narrow strings as the code under test uses them; a missing file reads as
// no bytes.

#include <fstream>
#include <iterator>
#include <string>

inline std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

#include "conversion_test_support.h"

#include <random>
#include <stdexcept>

#include "filter/cpu_features.h"
#include "filter/rgb_yuy2_variants.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

std::vector<ConversionVariant> AllConversionVariants()
{
    return {
        {"Reference", RgbToYuy2, Yuy2ToRgb, 0},
        {"C", RgbToYuy2_C, Yuy2ToRgb_C, 0},
        {"SSE2", RgbToYuy2_SSE2, Yuy2ToRgb_SSE2, kCpuSSE2},
    };
}

bool CanRun(const ConversionVariant& variant)
{
    return (DetectCpuFeatures() & variant.neededFeatures) == variant.neededFeatures;
}

bool GuardedBuffer::GuardsIntact() const
{
    for (size_t i = 0; i < kGuardBytes; ++i) {
        if (m_storage[i] != kMarker || m_storage[kGuardBytes + m_bytes + i] != kMarker)
            return false;
    }
    return true;
}

namespace {

size_t PageBytes()
{
#ifdef _WIN32
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
#else
    return static_cast<size_t>(sysconf(_SC_PAGESIZE));
#endif
}

}  // namespace

PageEndBuffer::PageEndBuffer(size_t bytes)
{
    const size_t page = PageBytes();
    const size_t dataPages = (bytes + page - 1) / page;
    m_mappingBytes = (dataPages + 1) * page;
#ifdef _WIN32
    m_mapping = VirtualAlloc(nullptr, m_mappingBytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    DWORD previous;
    if (!m_mapping || !VirtualProtect(static_cast<uint8_t*>(m_mapping) + dataPages * page, page, PAGE_NOACCESS, &previous))
        throw std::runtime_error("cannot fence a page");
#else
    m_mapping = mmap(nullptr, m_mappingBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m_mapping == MAP_FAILED || mprotect(static_cast<uint8_t*>(m_mapping) + dataPages * page, page, PROT_NONE) != 0)
        throw std::runtime_error("cannot fence a page");
#endif
    m_data = static_cast<uint8_t*>(m_mapping) + dataPages * page - bytes;
}

PageEndBuffer::~PageEndBuffer()
{
#ifdef _WIN32
    VirtualFree(m_mapping, 0, MEM_RELEASE);
#else
    munmap(m_mapping, m_mappingBytes);
#endif
}

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed)
{
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<uint8_t> bytes(count);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(byte(generator));
    return bytes;
}

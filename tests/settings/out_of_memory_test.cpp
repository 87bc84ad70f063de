// The global allocator is replaced in this binary so that a test can make allocations fail.
#if defined(__GNUC__) && !defined(__clang__)
// GCC sees the replaced pair inlined into each other's callers and takes free() for a mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
#include <atomic>
#include <cstdlib>
#include <new>

#include "manager_fixture.h"

namespace {
std::atomic<bool> allocationsFail{false};
}

void* operator new(std::size_t size)
{
    if (allocationsFail.load())
        throw std::bad_alloc();
    if (void* block = std::malloc(size != 0 ? size : 1))
        return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace {

class FailingAllocations {
public:
    FailingAllocations() { allocationsFail = true; }
    ~FailingAllocations() { allocationsFail = false; }
};

TEST_F(ManagerTest, NewChannelWithoutMemoryKeepsTheOldChannel)
{
    WriteFile("[SETTINGS]\r\nCommon=0\r\n[COMMON]\r\nMedianWndSize=15\r\nProcEnable=0\r\n");
    Load(KnowsEveryChannel);
    int64_t id = 1;
    Frame(id);
    m_settings.SetLiveWndSize(9);
    while (m_settings.Records().size() < m_settings.Records().capacity())
        Frame(++id);
    const Records before = m_settings.Records();
    const int32_t current = m_settings.CurrentIndex();

    int switched = -1;
    {
        FailingAllocations failing;
        switched = Frame(id + 1);
    }
    EXPECT_EQ(switched, 0);
    EXPECT_EQ(m_settings.CurrentIndex(), current);
    EXPECT_EQ(m_settings.Records().size(), before.size());
    EXPECT_EQ(m_settings.Snapshot().size(), before.size());

    // The next frame of that channel tries again and succeeds.
    EXPECT_EQ(Frame(id + 1), 1);
    EXPECT_EQ(m_settings.Records().size(), before.size() + 1);
    EXPECT_EQ(m_settings.Snapshot().size(), before.size() + 1);
    EXPECT_EQ(m_settings.Records().back(), (ChannelRecord{id + 1, 15, 0}));
}

TEST_F(ManagerTest, LoadWithoutMemoryThrowsNothingAndLeavesTheFileAlone)
{
    const std::string file = "[COMMON]\r\nMedianWndSize=5\r\nProcEnable=1\r\n[1234567]\r\nMedianWndSize=6\r\n";
    WriteFile(file);
    const SettingsLocation location = Location();
    {
        FailingAllocations failing;
        EXPECT_NO_THROW(m_settings.LoadSettings(location, KnowsEveryChannel));
        EXPECT_EQ(Frame(1234567), 0);
        EXPECT_NO_THROW(m_settings.SaveSettings());
    }
    EXPECT_EQ(ReadFile(), file);

    Load(KnowsEveryChannel);
    EXPECT_EQ(m_settings.Records(), (Records{{0, 5, 1}, {1234567, 6, 0}}));
}

}  // namespace

#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

// Ends the run within seconds when a step stalls, naming it: a soak that stops moving would otherwise sit
// until ctest's time-out and say nothing of where it stood. Each thread that makes progress has a lane and
// names the step it is about to take; a lane with no step is not watched.
class StepWatchdog {
public:
    class Lane {
    public:
        Lane(const char* thread, const char* round) : m_thread(thread), m_round(round) {}
        // The time is stored before the name, and read after it, so a new step never looks old.
        void Enter(const char* step, long round)
        {
            m_since.store(GetTickCount());
            m_roundNumber.store(round);
            m_step.store(step);
        }
        void Leave() { m_step.store(nullptr); }

    private:
        friend class StepWatchdog;
        const char* const m_thread;
        const char* const m_round;
        std::atomic<const char*> m_step{nullptr};
        std::atomic<DWORD> m_since{0};
        std::atomic<long> m_roundNumber{0};
    };

    explicit StepWatchdog(DWORD limitMs) : m_limitMs(limitMs), m_watcher([this] { Watch(); }) {}
    ~StepWatchdog()
    {
        m_quit = true;
        m_watcher.join();
    }

    Lane ui{"user-interface", "dialog cycle"};
    Lane video{"video", "stream"};

private:
    void Watch()
    {
        while (!m_quit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            Check(ui);
            Check(video);
        }
    }

    void Check(const Lane& lane) const
    {
        const char* step = lane.m_step.load();
        const DWORD stalled = GetTickCount() - lane.m_since.load();
        if (!step || stalled < m_limitMs)
            return;
        std::fprintf(stderr, "soak: STALLED: %s thread, step \"%s\" of %s %ld has not ended after %lu ms\n",
                     lane.m_thread, step, lane.m_round, lane.m_roundNumber.load(), static_cast<unsigned long>(stalled));
        std::fflush(stderr);
        std::_Exit(3);
    }

    const DWORD m_limitMs;
    std::atomic<bool> m_quit{false};
    std::thread m_watcher;
};

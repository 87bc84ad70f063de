#include "tests/ui/video_thread.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {
constexpr auto kJobTimeLimit = std::chrono::seconds(10);
}

VideoThread::VideoThread() : m_thread([this] { Loop(); }) {}

VideoThread::~VideoThread()
{
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_quit = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void VideoThread::Run(std::function<void()> job)
{
    std::unique_lock<std::mutex> hold(m_mutex);
    m_job = std::move(job);
    m_done = false;
    m_changed.notify_all();
    if (!m_changed.wait_for(hold, kJobTimeLimit, [this] { return m_done; })) {
        std::fprintf(stderr, "the video thread waited for the user-interface thread\n");
        std::fflush(stderr);
        std::_Exit(3);
    }
}

void VideoThread::Loop()
{
    std::unique_lock<std::mutex> hold(m_mutex);
    for (;;) {
        m_changed.wait(hold, [this] { return m_quit || m_job; });
        if (m_quit)
            return;
        auto job = std::move(m_job);
        m_job = nullptr;
        hold.unlock();
        job();
        hold.lock();
        m_done = true;
        m_changed.notify_all();
    }
}

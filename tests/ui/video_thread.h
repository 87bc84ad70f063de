#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// The host's video thread: runs the jobs it is given one at a time, as the host runs StartStream,
// ProcessFrame and StopStream on a thread of their own while the dialog lives on the user-interface thread.
class VideoThread {
public:
    VideoThread();
    ~VideoThread();
    VideoThread(const VideoThread&) = delete;
    VideoThread& operator=(const VideoThread&) = delete;

    // Runs the job on the video thread and waits for it without pumping messages, so a video thread that
    // waited for the user-interface thread would never finish: the process then ends with a message.
    void Run(std::function<void()> job);

private:
    void Loop();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::function<void()> m_job;
    bool m_done = false;
    bool m_quit = false;
    std::thread m_thread;
};

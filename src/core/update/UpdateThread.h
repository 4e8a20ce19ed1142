#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tunelix::update {

// One worker thread that runs posted jobs in order; the updater's fetches and merge
// run here so that the window keeps repainting. The destructor drops jobs not yet
// started, waits for the running one and joins: whoever owns it must make the running
// job end soon (abort its fetch, set its cancel flag) before destroying it.
// post() may be called from any thread.
class UpdateThread
{
public:
    UpdateThread();
    ~UpdateThread();
    UpdateThread(const UpdateThread &) = delete;
    UpdateThread &operator=(const UpdateThread &) = delete;

    void post(std::function<void()> job);
    // Drops queued jobs, waits for the running one and joins. Idempotent.
    void stop();

private:
    void run();

    std::mutex m_mutex; // guards m_jobs and m_stopping
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace tunelix::update

#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace tunelix::transfer {

class TTransmitManager;
class THttpDownload;
class TManagerThread;

// Values the engine runs with. The defaults are the system's; tests shorten the
// time-outs and point the link-page resolver at their own servers.
struct EngineSettings
{
    // A download that completes no segment for longer than this is stopped.
    std::uint32_t inactivityTimeoutMs = 15000;
    // A worker's request fails after this many seconds without data (also the connect time-out).
    long stallSeconds = 30;
    QByteArray userAgent = QByteArrayLiteral("Mozilla/3.0 (compatible)");
    // A worker's pause after each segment before it claims the next.
    int segmentPauseMs = 1;
    // The manager thread's pause between passes.
    int passIntervalMs = 3;
    // Expands an address that names no ".mp3" into direct addresses (a link page).
    std::function<QByteArray(const QByteArray &)> parseWebLink;
    // Off by default. On: a worker that finds no free segment may also take over the
    // claimed, incomplete segment with the most bytes missing (once per segment), so a
    // slow mirror's last segment does not hold up the end. Measured by the benchmark
    // against the standard second-assignment rule.
    bool endGameTakeOver = false;
    // The 32-bit millisecond tick (tests move it by hand).
    std::function<std::uint32_t()> tick;
};

// How a download ended; reported once per manager when it is released.
enum class DownloadOutcome {
    Running,      // not released yet
    Completed,    // verified, renamed into place, catalogue told
    Md5Mismatch,  // the whole file failed its check; .data and .map deleted
    TimedOut,     // no segment completed within the inactivity time-out; resumes from its map
    Stopped,      // released by the user's choice or by the end of the program
    NoMap,        // the map could not be laid out or read; nothing was fetched
};

const char *outcomeText(DownloadOutcome outcome);

// The thread-safe list of live workers. A worker adds itself when it starts and marks
// itself finished as the last thing its thread does; the manager thread joins
// finished threads (reap), and the close route joins all of them.
// Lock order: TransferLock may be held while taking this list's lock, never the reverse.
class THttpThreadList
{
public:
    ~THttpThreadList();

    void Add(std::shared_ptr<THttpDownload> worker);
    // Workers whose body has not ended yet; `generation` 0 counts every download's.
    int Count(std::uint64_t generation = 0) const;
    // Aborts the running request of the workers, from the last to the first, with a
    // 1 ms pause after each. `onlyConnected`: only workers past their size probe.
    void abortAll(bool onlyConnected);
    // Joins the threads of workers whose body has ended and drops them.
    void reapFinished();
    // Aborts every worker and joins every thread (close route).
    void joinAll();

private:
    mutable std::mutex m_mutex;
    std::vector<std::shared_ptr<THttpDownload>> m_workers;
};

// The process-wide objects of the transfer engine, made once and handed to whoever
// needs them (the client's context owns one; tunelix-get and tests make their own).
// Threads: the manager thread drives TheTransmitManager; workers reach only the
// manager they were started for; the GUI thread creates and releases managers.
class TransferEngine
{
public:
    explicit TransferEngine(EngineSettings settings = {});
    // Runs shutdown().
    ~TransferEngine();
    TransferEngine(const TransferEngine &) = delete;
    TransferEngine &operator=(const TransferEngine &) = delete;

    const EngineSettings &settings() const { return m_settings; }

    // Guards the current download map, its segments' flags and its open files.
    std::recursive_mutex TransferLock;
    THttpThreadList HttpThreadList;
    std::unique_ptr<TManagerThread> TheManagerThread;

    // The current manager, or none. Any thread; a copy keeps the object alive, so a
    // released manager is never freed under a thread that still holds it.
    std::shared_ptr<TTransmitManager> TheTransmitManager() const;
    // Makes `manager` the current one (the caller checked there was none).
    void setTheTransmitManager(std::shared_ptr<TTransmitManager> manager);
    // Releases `manager` with `outcome`: it stops being current (when it still is),
    // closes its files and reports ManagerReleased once. Any thread; takes
    // TransferLock, so never call it while waiting for the GUI thread.
    void releaseManager(const std::shared_ptr<TTransmitManager> &manager, DownloadOutcome outcome);

    // Starts TheManagerThread (once).
    void startManagerThread();
    // Close route: stop and join the manager thread, abort and join every worker,
    // release the current manager (its files stay as the last completed segment left them).
    void shutdown();

    // Events raised on the manager thread, possibly while TransferLock is held: the
    // handler must not block (hand the work to its own thread with a queued call).
    std::function<void(const QString &md5, std::uint64_t generation)> DownloadCompleted;
    std::function<void(std::uint64_t generation, DownloadOutcome outcome)> ManagerReleased;

    std::uint64_t newGeneration() { return ++m_generation; }
    std::uint32_t now() const { return m_settings.tick(); }

private:
    EngineSettings m_settings;
    mutable std::mutex m_managerMutex; // guards m_manager only; a leaf lock
    std::shared_ptr<TTransmitManager> m_manager;
    std::atomic<std::uint64_t> m_generation{0};
    bool m_shutDown = false;
};

} // namespace tunelix::transfer

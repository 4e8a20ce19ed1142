#pragma once

#include "transfer/TransferEngine.h"

#include <QByteArray>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tunelix::transfer {

class TTransmitManager;

// A segment worker: one thread, one libcurl easy handle kept alive between requests,
// bound to the manager it was started for. It probes the size with HEAD (following up
// to 5 redirections; later requests go to the final address), then claims segments
// and fetches each with a ranged GET ("Range: bytes=start-end").
// A reply counts only with a 2xx status; a GET must come back as 206 with exactly the
// range asked (a whole body, or another range, writes nothing and ends the worker).
class THttpDownload : public std::enable_shared_from_this<THttpDownload>
{
public:
    // Why a worker's body ended (tests and diagnostics).
    enum class EndReason { None, NoSegment, SizeMismatch, ProbeFailed, GetFailed, BadRange, Aborted, Error };

    THttpDownload(std::shared_ptr<TTransmitManager> manager, QByteArray url, const EngineSettings &settings);
    ~THttpDownload();
    THttpDownload(const THttpDownload &) = delete;
    THttpDownload &operator=(const THttpDownload &) = delete;

    // Registers the worker in `list` and starts its thread (manager thread).
    static std::shared_ptr<THttpDownload> Create(THttpThreadList &list, std::shared_ptr<TTransmitManager> manager,
                                                 QByteArray url, const EngineSettings &settings);

    // Any thread: makes the running request fail at its next progress call.
    // `onlyConnected`: only once the size probe has completed (then FConnected is cleared).
    void abort(bool onlyConnected);

    bool finished() const { return m_finished.load(); }
    void join();
    std::uint64_t generation() const { return m_generation; }
    QByteArray FUrl() const { return m_url; }
    EndReason endReason() const { return m_endReason.load(); }
    int getsDone() const { return m_gets.load(); }

private:
    void run();
    void body();
    bool probeSize(void *curl);
    bool fetchSegment(void *curl, int position);

    std::shared_ptr<TTransmitManager> m_manager;
    const QByteArray m_url;
    const EngineSettings m_settings;
    const std::uint64_t m_generation;
    std::thread m_thread;
    std::atomic<bool> FConnected{false};
    std::atomic<bool> m_abort{false};
    std::atomic<bool> m_finished{false};
    std::atomic<EndReason> m_endReason{EndReason::None};
    std::atomic<int> m_gets{0};
    std::string m_currentUrl;
    // The worker's open sockets (libcurl opens and closes them through our callbacks),
    // so that abort() can shut them down: a request waiting for a shaped, slow reply
    // then fails at once instead of at its next progress call.
    std::mutex m_socketMutex;
    std::vector<int> m_sockets;

    friend struct HttpDownloadCallbacks;
};

} // namespace tunelix::transfer

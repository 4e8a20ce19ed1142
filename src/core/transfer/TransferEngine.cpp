#include "transfer/TransferEngine.h"

#include "extlib/WebLinkParser.h"
#include "platform/Tick.h"
#include "transfer/HttpDownload.h"
#include "transfer/ManagerThread.h"
#include "transfer/TransmitManager.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace tunelix::transfer {

const char *outcomeText(DownloadOutcome outcome)
{
    switch (outcome) {
    case DownloadOutcome::Running: return "running";
    case DownloadOutcome::Completed: return "completed";
    case DownloadOutcome::Md5Mismatch: return "MD5 mismatch: the downloaded file was deleted";
    case DownloadOutcome::TimedOut: return "timed out: no segment completed in time";
    case DownloadOutcome::Stopped: return "stopped";
    case DownloadOutcome::NoMap: return "the download map could not be laid out or read";
    }
    return "?";
}

// ---------------------------------------------------------------- THttpThreadList

THttpThreadList::~THttpThreadList()
{
    joinAll();
}

void THttpThreadList::Add(std::shared_ptr<THttpDownload> worker)
{
    std::lock_guard lock(m_mutex);
    m_workers.push_back(std::move(worker));
}

int THttpThreadList::Count(std::uint64_t generation) const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(std::count_if(m_workers.begin(), m_workers.end(), [&](const auto &w) {
        return !w->finished() && (generation == 0 || w->generation() == generation);
    }));
}

void THttpThreadList::abortAll(bool onlyConnected)
{
    std::lock_guard lock(m_mutex);
    for (auto it = m_workers.rbegin(); it != m_workers.rend(); ++it) {
        if ((*it)->finished())
            continue;
        (*it)->abort(onlyConnected);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void THttpThreadList::reapFinished()
{
    std::vector<std::shared_ptr<THttpDownload>> done;
    {
        std::lock_guard lock(m_mutex);
        auto split = std::stable_partition(m_workers.begin(), m_workers.end(),
                                           [](const auto &w) { return !w->finished(); });
        done.assign(std::make_move_iterator(split), std::make_move_iterator(m_workers.end()));
        m_workers.erase(split, m_workers.end());
    }
    for (auto &w : done)
        w->join(); // its body has ended: this returns at once
}

void THttpThreadList::joinAll()
{
    std::vector<std::shared_ptr<THttpDownload>> all;
    {
        std::lock_guard lock(m_mutex);
        for (auto &w : m_workers)
            w->abort(false);
        all.swap(m_workers);
    }
    for (auto &w : all)
        w->join();
}

// ---------------------------------------------------------------- TransferEngine

TransferEngine::TransferEngine(EngineSettings settings) : m_settings(std::move(settings))
{
    if (!m_settings.tick)
        m_settings.tick = [] { return tunelix::tickCount(); };
    if (!m_settings.parseWebLink)
        m_settings.parseWebLink = [](const QByteArray &address) { return extlib::parseWebLink(address, 2047); };
}

TransferEngine::~TransferEngine()
{
    shutdown();
}

std::shared_ptr<TTransmitManager> TransferEngine::TheTransmitManager() const
{
    std::lock_guard lock(m_managerMutex);
    return m_manager;
}

void TransferEngine::setTheTransmitManager(std::shared_ptr<TTransmitManager> manager)
{
    std::lock_guard lock(m_managerMutex);
    m_manager = std::move(manager);
}

void TransferEngine::releaseManager(const std::shared_ptr<TTransmitManager> &manager, DownloadOutcome outcome)
{
    if (!manager)
        return;
    {
        std::lock_guard lock(m_managerMutex);
        if (m_manager == manager)
            m_manager.reset();
    }
    if (manager->release(outcome) && ManagerReleased)
        ManagerReleased(manager->generation(), manager->outcome());
}

void TransferEngine::startManagerThread()
{
    if (!TheManagerThread)
        TheManagerThread = std::make_unique<TManagerThread>(*this);
    TheManagerThread->start();
}

void TransferEngine::shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    // Order matters: nothing may start new workers once we begin joining them, and
    // the workers' manager (with its open .data file) is released only after they
    // have all ended, so no write is cut in half.
    if (TheManagerThread)
        TheManagerThread->stop();
    HttpThreadList.joinAll();
    releaseManager(TheTransmitManager(), DownloadOutcome::Stopped);
}

} // namespace tunelix::transfer

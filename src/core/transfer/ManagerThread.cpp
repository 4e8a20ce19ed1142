#include "transfer/ManagerThread.h"

#include "platform/Tick.h"
#include "transfer/TransmitManager.h"

#include <chrono>

namespace tunelix::transfer {

bool inactivityExpired(std::uint32_t now, std::uint32_t lastActive, std::uint32_t limitMs)
{
    return ticksSince(now, lastActive) > limitMs;
}

TManagerThread::TManagerThread(TransferEngine &engine) : m_engine(engine) {}

TManagerThread::~TManagerThread()
{
    stop();
}

void TManagerThread::start()
{
    if (m_thread.joinable())
        return;
    m_terminated = false;
    m_thread = std::thread([this] { run(); });
}

void TManagerThread::stop()
{
    m_terminated = true;
    if (m_thread.joinable())
        m_thread.join();
}

void TManagerThread::run()
{
    while (!m_terminated.load()) {
        if (!pass())
            continue; // a time-out released the manager: begin the next pass at once
        m_engine.HttpThreadList.reapFinished();
        std::this_thread::sleep_for(std::chrono::milliseconds(m_engine.settings().passIntervalMs));
    }
}

bool TManagerThread::pass()
{
    // Errors of a pass are dropped: the loop must go on.
    try {
        const auto manager = m_engine.TheTransmitManager();
        if (!manager)
            return true;
        if (inactivityExpired(m_engine.now(), manager->LastActiveTick(), m_engine.settings().inactivityTimeoutMs)) {
            manager->StopTransfer();
            m_engine.releaseManager(manager, DownloadOutcome::TimedOut);
            return false;
        }
        if (manager->hasPendingUrls())
            manager->StartHttpThreads();
        if (manager->Active())
            CheckTransmitManager();
    } catch (...) {
    }
    return true;
}

void TManagerThread::CheckTransmitManager()
{
    const auto manager = m_engine.TheTransmitManager();
    if (!manager)
        return;
    if (!manager->AllReceived())
        manager->CheckCompleted();
    else if (!manager->Finished())
        manager->CheckFinished();
    else
        m_engine.releaseManager(manager, manager->outcome());
}

} // namespace tunelix::transfer

#pragma once

#include "transfer/DownloadQueue.h"

#include <memory>

namespace tunelix::catalogue {
class TTxDataModule;
}

namespace tunelix::client {

struct ClientContext;
class TmainFrm;

// Connects the transfer engine's download queue to the main window: fills the
// window's transfer hooks and shows the queue's reports in DownFileLbl and the status
// popup. Lives as long as the window; GUI thread only.
class DownloadWiring : public transfer::DownloadQueueHost
{
public:
    DownloadWiring(ClientContext &context, catalogue::TTxDataModule &data, TmainFrm &window);
    // Shuts the engine down (stops and joins its threads) if the window did not.
    ~DownloadWiring() override;

    // Fills window.hooks' transfer members; call before FormCreate.
    void install();

    transfer::DownloadQueue *queue() const { return m_queue.get(); }

    // DownloadQueueHost
    bool viewHasRows() override;
    qint32 currentFileId() override;
    bool autoDownloadChecked() override;
    void PlayCurrentFile() override;

private:
    void createQueue();

    ClientContext &m_context;
    catalogue::TTxDataModule &m_data;
    TmainFrm &m_window;
    std::unique_ptr<transfer::DownloadQueue> m_queue;
};

} // namespace tunelix::client

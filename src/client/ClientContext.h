#pragma once

#include "platform/ProgramFolder.h"
#include "playback/ZPlay.h"
#include "transfer/TransferEngine.h"

#include <QString>

#include <atomic>
#include <memory>

namespace tunelix::client {

// The client's process-wide objects, made once in main and handed to whoever needs
// them (tests make their own). Names follow the objects they stand for.
struct ClientContext
{
    explicit ClientContext(ProgramFolder folder) : programFolder(std::move(folder)) {}

    ProgramFolder programFolder;

    // Program folder + "Ring/", with trailing separator; set by the main window's set-up.
    QString RingFolder;
    // Read by the GUI thread and the transfer engine; one flag each, no lock needed.
    std::atomic<bool> PlayingNow{false};
    std::atomic<bool> AutoDownloadOn{false};
    // The one player; made by the main window's set-up (PlayControl::createPlayer).
    std::unique_ptr<playback::ZPlay> ThePlayer;
    // The transfer engine: TransferLock, TheTransmitManager, TheManagerThread, HttpThreadList.
    transfer::TransferEngine transferEngine;
};

} // namespace tunelix::client

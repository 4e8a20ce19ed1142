#pragma once

#include "playback/PlayerLibrary.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>

namespace tunelix::catalogue {
class TTxDataModule;
}

namespace tunelix::client {

struct ClientContext;

// Playing the catalogue's current row and keeping it repeating: the main window's
// PlayCurrentFile and StopPlaying, and the PlayerCallback registered with ThePlayer.
// The file is played and queued to follow itself; when the queued copy begins the
// player reports it, and the current row (read anew) is played and queued again.
//
// GUI thread, except PlayerCallback (the player's thread) and
// requestPlayCurrentFile (any thread). The player's report reaches the GUI thread by
// a queued call stamped with the play's generation: a report that arrives after a
// newer PlayCurrentFile or StopPlaying does nothing.
class PlayControl : public QObject
{
    Q_OBJECT
public:
    PlayControl(ClientContext &context, catalogue::TTxDataModule &data, QObject *parent = nullptr);
    // Unregisters the callback (waiting for a call in progress); ThePlayer stays.
    ~PlayControl() override;

    // The main window's set-up steps for the player: ThePlayer := a new ZPlay over
    // `library` (its construction error propagates), then PlayerCallback registered
    // for the message mask 416. When registration fails, fatalError gets the player's
    // error text and the result is false.
    bool createPlayer(playback::PlayerLibrary &library = playback::builtinPlayerLibrary());
    // The teardown's release of ThePlayer (its thread is joined).
    void freePlayer();

    void PlayCurrentFile();
    void StopPlaying();
    // For work on other threads (a finished download): PlayCurrentFile on the GUI thread.
    void requestPlayCurrentFile();

    static int PlayerCallback(void *instance, void *userData, int message, std::intptr_t param1, std::intptr_t param2);

    // What belongs to the other windows; an empty one is skipped.
    // The main window's seBtnAutoDownload: its state, and checking it (which runs its
    // handler and switches automatic download on).
    std::function<bool()> isAutoDownloadChecked;
    std::function<void()> checkAutoDownload;
    // The main window's seXLbl_PlayFileName.
    std::function<void(const QString &)> setPlayFileNameLabel;
    // The status popup's lblPlayFilename.
    std::function<void(const QString &)> setStatusPlayFileName;
    // The song window: a file began, with its shown name and the length the player
    // reports for it (0 when the player could not open it).
    std::function<void(const QString &shownName, std::uint32_t lengthMs)> songStarted;
    // The "Fatal error" box of a failed callback registration.
    std::function<void(const QString &errorText)> fatalError;

    // The number of plays started or stopped so far (tests watch it).
    std::uint64_t generation() const { return m_generation.load(); }

signals:
    // A file began to play through PlayCurrentFile (tests and the song window).
    void playStarted(const QString &path);

private:
    void onQueuedFileBegan(std::uint64_t generation);

    ClientContext &m_context;
    catalogue::TTxDataModule &m_data;
    // Written on the GUI thread after each stop of the player; read by PlayerCallback.
    std::atomic<std::uint64_t> m_generation { 0 };
};

} // namespace tunelix::client

#include "client/song/PlayControl.h"

#include "catalogue/DisplayRules.h"
#include "catalogue/TxDataModule.h"
#include "client/ClientContext.h"
#include "playback/ZPlay.h"
#include "transfer/TransmitManager.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QMetaObject>

namespace tunelix::client {

namespace {
constexpr int kMessageMask = 416; // 32 | 128 | 256; only 256 is acted on
constexpr std::uint16_t kFormatAutodetect = playback::library::kFormatAutodetect;
} // namespace

PlayControl::PlayControl(ClientContext &context, catalogue::TTxDataModule &data, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_data(data)
{
    fatalError = [](const QString &text) {
        QMessageBox::critical(nullptr, QStringLiteral("Fatal error"), text, QMessageBox::Ok);
    };
}

PlayControl::~PlayControl()
{
    if (m_context.ThePlayer)
        m_context.ThePlayer->SetCallbackFunc(nullptr, 0, nullptr);
}

bool PlayControl::createPlayer(playback::PlayerLibrary &library)
{
    m_context.ThePlayer = std::make_unique<playback::ZPlay>(library);
    if (!m_context.ThePlayer->SetCallbackFunc(&PlayControl::PlayerCallback, kMessageMask, this)) {
        if (fatalError)
            fatalError(m_context.ThePlayer->GetError());
        return false;
    }
    return true;
}

void PlayControl::freePlayer()
{
    m_context.ThePlayer.reset();
    ++m_generation;
}

void PlayControl::PlayCurrentFile()
{
    // First: checking the auto-download button below runs its handler, which starts
    // playing by itself only while nothing is wanted.
    m_context.PlayingNow = true;

    const catalogue::ViewRow *row = m_data.qry1()->current();
    const QString stored = row ? row->fileName : QString();
    // A name that would lead outside the ring folder is treated like a missing file.
    const std::optional<QString> path = transfer::ringFilePath(m_context.RingFolder, stored);
    if (!path || !QFileInfo(*path).isFile()) {
        if (checkAutoDownload && !(isAutoDownloadChecked && isAutoDownloadChecked()))
            checkAutoDownload();
        StopPlaying();
        return;
    }

    playback::ZPlay *player = m_context.ThePlayer.get();
    if (!player) { // the set-up could not make one: nothing can play
        m_context.PlayingNow = false;
        return;
    }
    player->Stop();
    ++m_generation; // after the stop: reports of the earlier play are stale from here on
    player->OpenFile(*path, kFormatAutodetect);
    const QString shown = catalogue::displayFileName(stored);
    if (setPlayFileNameLabel)
        setPlayFileNameLabel(QStringLiteral("Playing: ") + shown);
    if (setStatusPlayFileName)
        setStatusPlayFileName(shown);
    player->Play();
    player->AddFile(*path, kFormatAutodetect); // the same file follows itself without a gap
    playback::TStreamInfo info;
    player->GetStreamInfo(info);
    if (songStarted)
        songStarted(shown, info.Length.TotalMs);
    emit playStarted(*path);
}

void PlayControl::StopPlaying()
{
    m_context.PlayingNow = false;
    if (playback::ZPlay *player = m_context.ThePlayer.get()) {
        player->Stop();
        ++m_generation;
    }
    if (setStatusPlayFileName)
        setStatusPlayFileName(QString());
}

void PlayControl::requestPlayCurrentFile()
{
    QMetaObject::invokeMethod(this, &PlayControl::PlayCurrentFile, Qt::QueuedConnection);
}

int PlayControl::PlayerCallback(void *, void *userData, int message, std::intptr_t, std::intptr_t)
{
    auto *self = static_cast<PlayControl *>(userData);
    if (self && message == playback::library::kMsgNextSongBegins && self->m_context.PlayingNow) {
        const std::uint64_t generation = self->m_generation.load();
        QMetaObject::invokeMethod(
            self, [self, generation] { self->onQueuedFileBegan(generation); }, Qt::QueuedConnection);
    }
    return 0;
}

void PlayControl::onQueuedFileBegan(std::uint64_t generation)
{
    if (generation != m_generation.load() || !m_context.PlayingNow)
        return; // a report of a play that has since been replaced or stopped
    PlayCurrentFile();
}

} // namespace tunelix::client

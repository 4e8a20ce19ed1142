#pragma once

#include "catalogue/CatalogueRow.h"
#include "transfer/TransferEngine.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <memory>

namespace tunelix::catalogue {
class TTxDataModule;
}

namespace tunelix::transfer {

class TTransmitManager;

// Creates the manager for `row` and makes it TheTransmitManager, lays out or loads
// its map in `ringFolder` and decodes the row's six link columns into its address
// list (key extlib::linkKey(FileID)). Returns none, creating nothing, when the row's
// FileName would lead outside `ringFolder`. Errors after the manager became current
// are thrown; that manager then ends through the inactivity time-out.
// GUI thread (or the tool's main thread).
std::shared_ptr<TTransmitManager> startDownload(TransferEngine &engine, const catalogue::CatalogueRow &row,
                                                const QString &ringFolder);

// The decoded addresses of a row, as startDownload collects them: one per WebLink
// column that is not blank, in column order.
QList<QByteArray> decodedAddresses(const catalogue::CatalogueRow &row);

// A progress snapshot of the running download (values only; crosses threads).
struct DownloadProgress
{
    QString fileName;
    std::uint64_t bytesDone = 0;
    std::uint64_t fileSize = 0;
    int workers = 0;
    std::uint64_t generation = 0;
    int percent() const { return fileSize ? int(bytesDone * 100 / fileSize) : 0; }
};

// What the queue needs of the main window.
class DownloadQueueHost
{
public:
    virtual ~DownloadQueueHost() = default;
    // Whether the main view (qry1) has rows, and its current row's FileID.
    virtual bool viewHasRows() = 0;
    virtual qint32 currentFileId() = 0;
    // The checked state of the auto-download button.
    virtual bool autoDownloadChecked() = 0;
    // Plays the main view's current row.
    virtual void PlayCurrentFile() = 0;
};

// The window's side of the transfer engine: StartNextDownload, DownloadCompleted and
// NextFileTimerTimer. A GUI-thread object; the engine's events reach it by queued
// call, so no engine thread ever waits for the GUI thread.
class DownloadQueue : public QObject
{
    Q_OBJECT
public:
    DownloadQueue(TransferEngine &engine, catalogue::TTxDataModule &data, QString ringFolder,
                  std::atomic<bool> &playingNow, std::atomic<bool> &autoDownloadOn, DownloadQueueHost &host,
                  QObject *parent = nullptr);
    // Shuts the engine down first: after that no engine event can arrive.
    ~DownloadQueue() override;

    // Starts the first missing file among the two highest view rows at or below
    // `fileIdText` (only the first row while auto-download is off). Does nothing while
    // a manager exists. Errors reach the caller.
    void StartNextDownload(const QString &fileIdText);
    // Every 500 ms while auto-download is on. Errors are dropped.
    void NextFileTimerTimer();
    // A verified file: marks every row with that MD5 downloaded, plays the current row
    // when nothing plays, copies the button into AutoDownloadOn. Errors are dropped.
    void DownloadCompleted(const QString &md5);
    // Stops the workers and releases the current manager (a new choice of the user).
    void stopTransfer();
    // Close route: stops and joins the engine's threads, then releases the manager.
    void shutdown();

    DownloadProgress progress() const;

signals:
    // A download began: the window shows "Download-" + fileName and sets the status
    // popup's file name.
    void downloadStarted(const QString &fileName);
    // A file was verified and its rows marked: hide the download label, empty the popup's name.
    void downloadFinished(const QString &fileName, const QString &md5);
    // A download ended in any way (the outcome says which).
    void downloadEnded(const QString &fileName, tunelix::transfer::DownloadOutcome outcome);
    // At most every 250 ms while a download runs.
    void progressChanged(const tunelix::transfer::DownloadProgress &progress);

private:
    void onEngineCompleted(const QString &md5, std::uint64_t generation);
    void onEngineReleased(std::uint64_t generation, DownloadOutcome outcome);

    TransferEngine &m_engine;
    catalogue::TTxDataModule &m_data;
    QString m_ringFolder;
    std::atomic<bool> &PlayingNow;
    std::atomic<bool> &AutoDownloadOn;
    DownloadQueueHost &m_host;
    QTimer m_progressTimer;
    QString m_currentName;
    std::uint64_t m_currentGeneration = 0;
};

} // namespace tunelix::transfer

Q_DECLARE_METATYPE(tunelix::transfer::DownloadProgress)

#pragma once

#include "catalogue/CatalogueRow.h"
#include "transfer/TransferEngine.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <memory>

namespace tunelix::catalogue {
class TTxDataModule;
}

namespace tunelix::get {

struct GetOptions
{
    int attempts = 3;            // starts per file (a time-out resumes from the map)
    bool progressBar = false;    // a terminal: one redrawn line; otherwise plain lines
    bool quiet = false;
};

// Downloads catalogue rows one after another with the transfer engine, the way the
// client's automatic download does, and reports one line per row that failed.
// Main thread; the engine's events arrive by queued call.
class GetRunner : public QObject
{
    Q_OBJECT
public:
    GetRunner(transfer::TransferEngine &engine, catalogue::TTxDataModule &data, QString ringFolder,
              GetOptions options, QObject *parent = nullptr);
    // Shuts the engine down first: no engine event can reach a destroyed runner.
    ~GetRunner() override;

    void add(const catalogue::CatalogueRow &row);
    void addMissing(qint32 fileId, const QString &why);
    // Starts the first row; finished() follows when every row is done.
    void run();
    int failures() const { return m_failures; }

signals:
    void finished();

private:
    void next();
    void startCurrent();
    void onCompleted(const QString &md5);
    void onReleased(std::uint64_t generation, transfer::DownloadOutcome outcome);
    void succeed();
    void fail(const QString &why);
    void showProgress(bool final);

    transfer::TransferEngine &m_engine;
    catalogue::TTxDataModule &m_data;
    QString m_ring;
    GetOptions m_options;
    std::deque<catalogue::CatalogueRow> m_rows;
    std::deque<std::pair<qint32, QString>> m_missing;
    std::optional<catalogue::CatalogueRow> m_current;
    std::uint64_t m_generation = 0;
    int m_attempt = 0;
    int m_failures = 0;
    int m_lastPercent = -1;
    QTimer m_progress;
};

} // namespace tunelix::get

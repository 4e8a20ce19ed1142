#include "GetRunner.h"

#include "catalogue/TxDataModule.h"
#include "extlib/Md5.h"
#include "transfer/DownloadQueue.h"
#include "transfer/TransmitManager.h"

#include <QFileInfo>

#include <cstdio>

namespace tunelix::get {

using transfer::DownloadOutcome;

GetRunner::GetRunner(transfer::TransferEngine &engine, catalogue::TTxDataModule &data, QString ringFolder,
                     GetOptions options, QObject *parent)
    : QObject(parent), m_engine(engine), m_data(data), m_ring(std::move(ringFolder)), m_options(options)
{
    // Raised on the manager thread: hand over to this thread, never wait.
    m_engine.DownloadCompleted = [this](const QString &md5, std::uint64_t) {
        QMetaObject::invokeMethod(this, [this, md5] { onCompleted(md5); }, Qt::QueuedConnection);
    };
    m_engine.ManagerReleased = [this](std::uint64_t generation, DownloadOutcome outcome) {
        QMetaObject::invokeMethod(this, [this, generation, outcome] { onReleased(generation, outcome); },
                                  Qt::QueuedConnection);
    };
    m_progress.setInterval(m_options.progressBar ? 200 : 1000);
    connect(&m_progress, &QTimer::timeout, this, [this] { showProgress(false); });
}

GetRunner::~GetRunner()
{
    m_engine.shutdown();
    m_engine.DownloadCompleted = nullptr;
    m_engine.ManagerReleased = nullptr;
}

void GetRunner::add(const catalogue::CatalogueRow &row)
{
    m_rows.push_back(row);
}

void GetRunner::addMissing(qint32 fileId, const QString &why)
{
    m_missing.emplace_back(fileId, why);
}

void GetRunner::run()
{
    for (const auto &[id, why] : m_missing) {
        std::fprintf(stderr, "%d: %s\n", id, qPrintable(why));
        ++m_failures;
    }
    QMetaObject::invokeMethod(this, [this] { next(); }, Qt::QueuedConnection);
}

void GetRunner::next()
{
    m_current.reset();
    while (!m_rows.empty()) {
        m_current = m_rows.front();
        m_rows.pop_front();
        m_attempt = 0;
        const auto path = transfer::ringFilePath(m_ring, m_current->fileName);
        if (!path) {
            fail(QStringLiteral("file name leaves the Ring folder, refused"));
            continue;
        }
        if (QFileInfo(*path).isFile()) {
            if (extlib::FileDirectoryMD5(*path) == m_current->md5Code) {
                succeed();
            } else {
                fail(QStringLiteral("present, but its MD5 differs from the catalogue"));
            }
            continue;
        }
        if (transfer::decodedAddresses(*m_current).isEmpty()) {
            fail(QStringLiteral("no download address"));
            continue;
        }
        startCurrent();
        return;
    }
    m_current.reset();
    emit finished();
}

void GetRunner::startCurrent()
{
    ++m_attempt;
    m_lastPercent = -1;
    try {
        const auto manager = transfer::startDownload(m_engine, *m_current, m_ring);
        m_generation = manager->generation();
    } catch (const std::exception &e) {
        // The manager (if any) ends through the inactivity time-out.
        if (!m_options.quiet)
            std::fprintf(stderr, "%d: %s\n", m_current->fileId, e.what());
        const auto manager = m_engine.TheTransmitManager();
        m_generation = manager ? manager->generation() : 0;
        if (!manager) {
            fail(QString::fromLocal8Bit(e.what()));
            QMetaObject::invokeMethod(this, [this] { next(); }, Qt::QueuedConnection);
            return;
        }
    }
    if (!m_options.quiet && !m_options.progressBar)
        std::fprintf(stdout, "%d %s: downloading (attempt %d)\n", m_current->fileId,
                     qPrintable(m_current->fileName), m_attempt);
    std::fflush(stdout);
    m_progress.start();
}

void GetRunner::onCompleted(const QString &md5)
{
    try {
        m_data.markDownloaded(md5);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "marking %s downloaded failed: %s\n", qPrintable(md5), e.what());
    }
}

void GetRunner::onReleased(std::uint64_t generation, DownloadOutcome outcome)
{
    if (!m_current || generation != m_generation)
        return;
    m_progress.stop();
    showProgress(true);
    const auto path = transfer::ringFilePath(m_ring, m_current->fileName);
    // Completed means the engine checked the whole file's MD5 before renaming it into
    // place; what is left to see is that the rename happened.
    if (outcome == DownloadOutcome::Completed && path
        && QFileInfo(*path).size() == qint64(m_current->fileSize.value_or(-1))) {
        succeed();
    } else if (outcome != DownloadOutcome::Completed && m_attempt < m_options.attempts) {
        startCurrent();
        return;
    } else {
        fail(QString::fromLatin1(transfer::outcomeText(outcome))
             + QStringLiteral(" (after %1 attempt%2)").arg(m_attempt).arg(m_attempt == 1 ? QString() : QStringLiteral("s")));
    }
    QMetaObject::invokeMethod(this, [this] { next(); }, Qt::QueuedConnection);
}

void GetRunner::succeed()
{
    try {
        m_data.markDownloaded(m_current->md5Code);
    } catch (...) {
    }
    if (!m_options.quiet && !m_options.progressBar)
        std::fprintf(stdout, "%d %s: ok\n", m_current->fileId, qPrintable(m_current->fileName));
    std::fflush(stdout);
}

void GetRunner::fail(const QString &why)
{
    ++m_failures;
    std::fprintf(stderr, "%d %s: %s\n", m_current->fileId, qPrintable(m_current->fileName), qPrintable(why));
}

void GetRunner::showProgress(bool final)
{
    if (m_options.quiet || !m_current)
        return;
    const auto manager = m_engine.TheTransmitManager();
    std::uint64_t done = 0, size = std::uint64_t(m_current->fileSize.value_or(0));
    int workers = 0;
    if (manager && manager->generation() == m_generation) {
        done = manager->bytesDone();
        workers = m_engine.HttpThreadList.Count(m_generation);
    } else if (final) {
        done = size;
    }
    const int percent = size ? int(done * 100 / size) : 100;
    if (m_options.progressBar) {
        const int width = 30, filled = percent * width / 100;
        std::fprintf(stdout, "\r%-24.24s [%s%s] %3d%% %7.2f/%.2f MB %d conn", qPrintable(m_current->fileName),
                     QByteArray(filled, '#').constData(), QByteArray(width - filled, ' ').constData(), percent,
                     double(done) / 1e6, double(size) / 1e6, workers);
        if (final)
            std::fprintf(stdout, "\n");
    } else if (!final && percent / 10 != m_lastPercent / 10) {
        std::fprintf(stdout, "%d %s: %d%%\n", m_current->fileId, qPrintable(m_current->fileName), percent);
    }
    m_lastPercent = percent;
    std::fflush(stdout);
}

} // namespace tunelix::get

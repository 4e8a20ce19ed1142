#include "kelvox/UpdateFrm.h"

#include "skin/ErrorBox.h"
#include "update/FilePass.h"
#include "update/UpdateStep.h"
#include "update/UpdateThread.h"

#include <QCloseEvent>
#include <QHideEvent>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QSystemTrayIcon>
#include <QTimer>

#include <climits>

namespace tunelix::kelvox {

namespace {

constexpr int kClientWidth = 215;
constexpr int kClientHeight = 93; // the frame's centre area is 213 x 58

// The updater's own tray icon: a small blue badge with a white arrow pointing down.
QIcon trayIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x1e, 0x6f, 0xd9));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
    p.setBrush(Qt::white);
    const QPointF arrow[] = {{9, 14}, {23, 14}, {16, 25}};
    p.drawPolygon(arrow, 3);
    p.drawRect(QRectF(13, 6, 6, 9));
    return QIcon(pixmap);
}

} // namespace

TUpdateFrm::TUpdateFrm(ProgramFolder folder, QWidget *parent)
    : skin::TDlgPopupFrm(folder, parent),
      m_folder(std::move(folder)),
      m_errorBox([](QWidget *owner, const QString &message) { skin::showErrorBox(owner, message); })
{
    // A tool window has no task-bar button; the tray icon stands for the program.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setWindowTitle(QStringLiteral("Kelvox"));
    setClientSize(kClientWidth, kClientHeight);

    QWidget *centre = CenterMiddle;

    Lbl_Note = new QLabel(QStringLiteral("Lbl_Note"), centre);
    Lbl_Note->move(4, 6);
    Lbl_Note->resize(205, 13);
    Up_ProgressBar = new QProgressBar(centre);
    Up_ProgressBar->setGeometry(4, 20, 205, 17);
    Up_ProgressBar->setTextVisible(false);
    Up_ProgressBar->setRange(0, 100);
    Up_ProgressBar->setValue(0);
    Lbl_Speed = new QLabel(QStringLiteral("Lbl_Speed"), centre);
    Lbl_Speed->move(4, 40);
    Lbl_Speed->resize(205, 13);

    Timer_Lag = new QTimer(this);
    Timer_Lag->setInterval(500);
    connect(Timer_Lag, &QTimer::timeout, this, &TUpdateFrm::Timer_LagTimer);

    CoolTrayIcon1 = new QSystemTrayIcon(trayIcon(), this);
    setWindowIcon(CoolTrayIcon1->icon());

    FormCreate();
}

TUpdateFrm::~TUpdateFrm()
{
    stopUpdateThread();
}

void TUpdateFrm::FormCreate()
{
    // One level only; when it cannot be made, the fetch of a daily file fails later.
    QDir().mkdir(m_folder.dailyFolder());
    if (QSystemTrayIcon::isSystemTrayAvailable())
        CoolTrayIcon1->show();
}

void TUpdateFrm::showEvent(QShowEvent *event)
{
    if (!m_activated) {
        m_activated = true;
        // Once, when the window first comes up (offscreen platforms never activate it).
        // Queued before the frame loads its pictures, so that a box about a missing
        // picture does not hold the update back.
        QTimer::singleShot(0, this, &TUpdateFrm::FormActivate);
    }
    skin::TDlgPopupFrm::showEvent(event); // pictures, then the bottom-right place
}

void TUpdateFrm::FormActivate()
{
    if (m_closed)
        return;
    // The task-bar button is already gone: the window is a tool window.
    Lbl_Note->setText(QStringLiteral("Ver"));

    try {
        m_fetcher = std::make_unique<update::HttpFetcher>(m_fetchSettings);
    } catch (const std::exception &) {
        // No HTTP client, no manifest: the same silent end as an unreachable server.
        setHideAnimation(false);
        close();
        return;
    }
    m_fetcher->onFetchStarted = [this](const update::FetchProgress &p) {
        QMetaObject::invokeMethod(this, [this, p] { fetchStarted(p); }, Qt::QueuedConnection);
    };
    m_fetcher->onDocData = [this](const update::FetchProgress &p) { postDocData(p); };
    m_thread = std::make_unique<update::UpdateThread>();

    const QString url = FManifestUrl;
    const QString target = m_folder.manifestFile();
    m_thread->post([this, url, target] {
        const bool ok = m_fetcher->DownloadToFile(url, target);
        QMetaObject::invokeMethod(
            this,
            [this, ok] {
                if (ok) {
                    Timer_Lag->start();
                    return;
                }
                // The manifest could not be fetched: end at once, silently.
                setHideAnimation(false);
                close();
            },
            Qt::QueuedConnection);
    });
}

void TUpdateFrm::Timer_LagTimer()
{
    Timer_Lag->stop(); // fires once, so the update step never runs twice
    RunUpdate();
}

void TUpdateFrm::RunUpdate()
{
    if (!m_thread || m_closed)
        return;
    m_thread->post([this] {
        const auto note = [this](const QString &name) {
            QMetaObject::invokeMethod(this, [this, name] { Lbl_Note->setText(name); }, Qt::QueuedConnection);
        };
        QString failure;
        bool cancelled = false;
        try {
            update::runUpdateStep(m_folder, *m_fetcher, note, &m_cancel);
        } catch (const update::UpdateCancelled &) {
            cancelled = true;
        } catch (const std::exception &e) {
            failure = QString::fromUtf8(e.what());
        }
        if (cancelled)
            return;
        QMetaObject::invokeMethod(
            this,
            [this, failure] {
                if (failure.isEmpty()) {
                    close();
                    return;
                }
                // The step ended here; the window stays until the user closes it.
                m_updateFailed = true;
                m_errorBox(this, failure);
            },
            Qt::QueuedConnection);
    });
}

void TUpdateFrm::fetchStarted(const update::FetchProgress &progress)
{
    if (progress.generation <= m_barGeneration)
        return;
    m_barGeneration = progress.generation;
    m_barShift = 0;
    while ((progress.expected >> m_barShift) > INT_MAX)
        ++m_barShift;
    Up_ProgressBar->setRange(0, static_cast<int>(progress.expected >> m_barShift));
    Up_ProgressBar->setValue(0);
}

void TUpdateFrm::postDocData(const update::FetchProgress &progress)
{
    {
        std::lock_guard lock(m_progressMutex);
        m_latest = progress;
        if (m_progressPending)
            return; // the queued call still to run will show this newer snapshot
        m_progressPending = true;
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            update::FetchProgress snapshot;
            {
                std::lock_guard lock(m_progressMutex);
                snapshot = m_latest;
                m_progressPending = false;
            }
            Kelvox_HttpCliDocData(snapshot);
        },
        Qt::QueuedConnection);
}

void TUpdateFrm::Kelvox_HttpCliDocData(const update::FetchProgress &progress)
{
    if (progress.generation < m_barGeneration)
        return;
    if (progress.generation > m_barGeneration)
        fetchStarted(progress); // its own start is still queued behind this snapshot
    Lbl_Speed->setText(QStringLiteral("%1/%2").arg(progress.received).arg(progress.expected));
    Up_ProgressBar->setValue(static_cast<int>(std::min(progress.received, progress.expected) >> m_barShift));
}

void TUpdateFrm::stopUpdateThread()
{
    m_cancel.store(true);
    if (m_fetcher)
        m_fetcher->abort();
    if (m_thread)
        m_thread->stop();
}

void TUpdateFrm::FormClose()
{
    // Nothing the update thread uses may go before it has ended.
    m_closed = true;
    Timer_Lag->stop();
    stopUpdateThread();
    CoolTrayIcon1->hide();
}

void TUpdateFrm::closeEvent(QCloseEvent *event)
{
    FormClose();
    skin::TDlgPopupFrm::closeEvent(event); // fades out, then hides
}

void TUpdateFrm::hideEvent(QHideEvent *event)
{
    skin::TDlgPopupFrm::hideEvent(event);
    // Closed: at once, or at the end of the fade-out.
    if (m_closed && !event->spontaneous())
        emit formClosed();
}

} // namespace tunelix::kelvox

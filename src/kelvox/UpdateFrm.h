#pragma once

#include "platform/ProgramFolder.h"
#include "skin/DlgPopupFrm.h"
#include "update/HttpFetcher.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class QLabel;
class QProgressBar;
class QSystemTrayIcon;
class QTimer;

namespace tunelix::update {
class UpdateThread;
}

namespace tunelix::kelvox {

// The updater's one window: a skinned popup at the bottom right with the name of the
// file in hand, a progress bar and the byte counts, and a tray icon; no task-bar button.
// It is the main form: when it has closed (and faded out) it emits formClosed, on which
// the program ends.
//
// Threads: the window, its handlers and its controls belong to the GUI thread. The
// fetches and the merge run on the window's update thread (owned here, stopped and
// joined on close and in the destructor, before anything it uses is freed); progress
// comes back as FetchProgress values through queued calls, coalesced so that a fast
// fetch does not flood the event queue.
class TUpdateFrm : public skin::TDlgPopupFrm
{
    Q_OBJECT
public:
    using ErrorBoxFn = std::function<void(QWidget *owner, const QString &message)>;

    // Runs FormCreate. The manifest address, fetch settings and error box may be changed
    // until the window is first shown.
    explicit TUpdateFrm(ProgramFolder folder, QWidget *parent = nullptr);
    ~TUpdateFrm() override;

    void setManifestUrl(const QString &url) { FManifestUrl = url; }
    QString manifestUrl() const { return FManifestUrl; }
    void setFetchSettings(const update::FetchSettings &settings) { m_fetchSettings = settings; }
    // The standard error box by default; tests put their own here so nothing blocks.
    void setErrorBox(ErrorBoxFn errorBox) { m_errorBox = std::move(errorBox); }

    // Whether the update step ended with an error (its box shown, the window left open).
    bool updateFailed() const { return m_updateFailed; }

    QLabel *Lbl_Note;
    QProgressBar *Up_ProgressBar;
    QLabel *Lbl_Speed;
    QTimer *Timer_Lag;
    QSystemTrayIcon *CoolTrayIcon1;

    // The handlers, GUI thread.
    void FormCreate();
    void FormActivate();
    void Timer_LagTimer();
    void RunUpdate();
    void FormClose();
    // Shows one progress snapshot: "received/expected" and the bar. A snapshot older
    // than the fetch the bar was last reset for is dropped.
    void Kelvox_HttpCliDocData(const update::FetchProgress &progress);

signals:
    // The window has closed and is gone from the screen.
    void formClosed();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void fetchStarted(const update::FetchProgress &progress);
    void postDocData(const update::FetchProgress &progress); // update thread
    void stopUpdateThread();

    ProgramFolder m_folder;
    QString FManifestUrl;
    update::FetchSettings m_fetchSettings;
    ErrorBoxFn m_errorBox;

    std::unique_ptr<update::HttpFetcher> m_fetcher;   // used on the update thread only
    std::unique_ptr<update::UpdateThread> m_thread;
    std::atomic<bool> m_cancel{false};

    std::mutex m_progressMutex; // guards m_latest and m_progressPending
    update::FetchProgress m_latest;
    bool m_progressPending = false;
    quint64 m_barGeneration = 0; // GUI thread: the fetch the bar was last reset for
    int m_barShift = 0;          // GUI thread: bytes >> shift fit the bar's int range

    bool m_activated = false;
    bool m_updateFailed = false;
    bool m_closed = false;
};

} // namespace tunelix::kelvox

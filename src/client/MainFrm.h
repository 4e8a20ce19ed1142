#pragma once

#include <QDate>
#include <QList>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QUrl>
#include <QWidget>

#include <functional>

class QAction;
class QItemSelectionModel;
class QLineEdit;
class QMenu;
class QTableView;
class QTimer;

namespace tunelix::catalogue {
class TTxDataModule;
class CatalogueModel;
} // namespace tunelix::catalogue

namespace tunelix::skin {
class CheckPictureButton;
class GlowLabel;
class PictureButton;
class PictureColumnDelegate;
class PictureToolBar;
class SkinPanel;
} // namespace tunelix::skin

namespace tunelix::client {

struct ClientContext;
class TRightBtmMsgDlgFrm;
class TCopyrightInfoFrm;

// What the main window needs of playback and of the transfer engine. ClientApp fills
// these when it creates those objects; an empty member is a stand-in that does
// nothing (a set-up step that is not there yet). All run on the GUI thread and may
// throw: the handler that called them then stops, and its error reaches the error box.
struct TmainFrmHooks
{
    // Playback.
    // Set-up steps 2 and 3: create ThePlayer and register PlayerCallback. Returns
    // false when registration failed (after its "Fatal error" box): the set-up ends.
    std::function<bool()> createPlayer;
    // Sets PlayingNow; plays the current row's file when it is in RingFolder; when it
    // is missing, checks seBtnAutoDownload if unchecked and then runs StopPlaying.
    std::function<void()> PlayCurrentFile;
    // Stops the player and clears PlayingNow.
    std::function<void()> StopPlaying;
    // Shows SongInfoFrm and switches its position timer on. Its close button enables
    // the main window again and calls RefreshCatalogue.
    std::function<void()> showSongInfo;
    // Teardown: free ThePlayer.
    std::function<void()> freePlayer;

    // Transfer engine.
    // Set-up steps 6 to 8: HttpThreadList, TheManagerThread, the checksum code.
    std::function<void()> createTransferEngine;
    // Play or fetch: when TheTransmitManager exists, stop it and release it.
    std::function<void()> releaseTransmitManager;
    // Fetches the first missing file at or below this FileID (decimal text).
    std::function<void(const QString &fileId)> StartNextDownload;
    // The 500 ms NextFileTimer's handler.
    std::function<void()> NextFileTimerTimer;
    // Teardown step 1: abort the running request of every live worker.
    std::function<void()> StopTransfer;
    // Teardown steps 3, 5, 6 and 7: the checksum code, the manager thread, the
    // workers and the transmit manager; stops and joins what it releases.
    std::function<void()> stopTransferEngine;
};

// The client's main window: the catalogue in three grids side by side sharing one
// current row, the toolbar of play, stop and the two views, search, the folder and
// automatic-download buttons, the tray icon and its menu. Handlers keep the names of
// the window's events. GUI thread only.
class TmainFrm : public QWidget
{
    Q_OBJECT
public:
    TmainFrm(ClientContext &context, catalogue::TTxDataModule &data, QWidget *parent = nullptr);
    ~TmainFrm() override;

    // The set-up run when the window is created; an error leaves it (and reaches the
    // error box) with the later steps not run.
    void FormCreate();
    // The close command: the daily updater start, then the end of the application.
    // Drops every error; the window stays open when the settings cannot be written.
    void CloseActExecute();
    // The teardown of the system close route.
    void FormClose();

    // Event handlers. None catches errors; they reach the standard error box and the
    // window stays as it was after the last step that succeeded.
    void wwDBGrid1DblClick(QObject *Sender);
    void seToolBarEx1Items0Click(QObject *Sender);
    void seToolBarEx1Items1Click(QObject *Sender);
    void seToolBarEx1Change(QObject *Sender, int index);
    void FindFileExecute(QObject *Sender);
    void OpenFolderExecute(QObject *Sender);
    void AutoDownloadActExecute(QObject *Sender);
    void BtnMinSizeClick(QObject *Sender);
    void ShowFrmExecute(QObject *Sender);
    void CopyrightInfoActExecute(QObject *Sender);
    // A click on the tray icon: while the window is minimised, the first click opens
    // the status popup and the next one (or a few seconds) closes it. Stands in for
    // the hover events that most desktops do not deliver.
    void CoolTrayIcon1Click(QObject *Sender);
    // Re-reads the view and returns to the same ordinal row; the grids do not paint
    // in between.
    void RefreshCatalogue();

    // The operations of playback and downloads, through the hooks.
    void PlayCurrentFile();
    void StopPlaying();
    void StartNextDownload(const QString &fileId);

    // The other windows, set by ClientApp after it creates them.
    void setStatusPopup(TRightBtmMsgDlgFrm *popup);
    void setAboutWindow(TCopyrightInfoFrm *about);
    // How far the running download is ("45% (…)"), shown after its name in the tray
    // tool tip; empty when no download runs.
    void setDownloadProgress(const QString &text);
    TRightBtmMsgDlgFrm *statusPopup() const { return m_statusPopup; }

    // True while the window is minimised or hidden in the tray.
    bool isMinimisedToTray() const;

    TmainFrmHooks hooks;

    // Stand-ins for tests: the clock of the close command, how programs start, how
    // the application ends, how a folder opens in the file browser.
    std::function<QDate()> today = [] { return QDate::currentDate(); };
    std::function<void(const QString &)> startProgram;
    std::function<void()> quitApplication;
    std::function<void(const QUrl &)> openUrl;

    // Components, named after the window's design.
    skin::SkinPanel *sePanel1;
    skin::PictureButton *BtnClose;
    skin::PictureButton *BtnMinSize;
    skin::PictureButton *BtnLogo;
    skin::GlowLabel *LogoStr;
    skin::PictureToolBar *seToolBarEx1;
    skin::SkinPanel *sePanel3;
    skin::GlowLabel *seXLbl_PlayFileName;
    QTableView *wwDBGrid2; // IsNew
    QTableView *wwDBGrid3; // FileState
    QTableView *wwDBGrid1; // FileName, SongLength, StarLv
    skin::SkinPanel *sePanel2;
    skin::PictureButton *sePngXButton1;
    QLineEdit *EdtFind;
    skin::PictureButton *seBtnOpenFolder;
    skin::SkinPanel *sePanel4;
    skin::GlowLabel *DownFileLbl;
    skin::CheckPictureButton *seBtnAutoDownload;
    QTimer *NextFileTimer;
    QSystemTrayIcon *CoolTrayIcon1;
    QMenu *IconPm;
    QAction *N1;
    QAction *N2;

    // The grids' model and their one selection model (the shared current row).
    catalogue::CatalogueModel *gridModel() const { return m_model; }
    QItemSelectionModel *gridSelection() const { return m_selection; }
    skin::PictureColumnDelegate *gridDelegate() const { return m_delegate; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildTitleAndToolbar();
    void buildGrids();
    void buildBottomRows();
    void buildTray();
    void showCurrentRowInGrids(int index);
    void updateTrayHint();
    void closeStatusPopup();

    ClientContext &m_context;
    catalogue::TTxDataModule &m_data;
    catalogue::CatalogueModel *m_model = nullptr;
    QItemSelectionModel *m_selection = nullptr;
    skin::PictureColumnDelegate *m_delegate = nullptr;
    TRightBtmMsgDlgFrm *m_statusPopup = nullptr;
    TCopyrightInfoFrm *m_about = nullptr;
    QTimer *m_popupTimer = nullptr;
    bool m_syncingRow = false;
    bool m_tornDown = false;
    QString m_downloadProgress;
};

} // namespace tunelix::client

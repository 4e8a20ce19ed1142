#include "client/MainFrm.h"

#include "catalogue/CatalogueModel.h"
#include "catalogue/CatalogueRecordSet.h"
#include "catalogue/TxDataModule.h"
#include "client/ClientContext.h"
#include "client/CopyrightInfoFrm.h"
#include "client/RightBtmMsgDlgFrm.h"
#include "platform/DailyUpdaterStart.h"
#include "skin/Artwork.h"
#include "skin/CheckPictureButton.h"
#include "skin/ErrorBox.h"
#include "skin/GlowLabel.h"
#include "skin/PictureButton.h"
#include "skin/PictureColumnDelegate.h"
#include "skin/PictureToolBar.h"
#include "skin/SkinPanel.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QWindowStateChangeEvent>

#include <algorithm>

namespace tunelix::client {

namespace {

using catalogue::CatalogueModel;
using skin::artwork;

const QColor kListColour(222, 235, 250);
const QColor kSearchColour(240, 251, 255);
const QColor kInk(27, 42, 65);
constexpr int kRowHeight = 18;
// How long the status popup stays open after a click on the tray icon.
constexpr int kStatusPopupMs = 5000;

skin::SkinPanel *plainPanel(QWidget *parent, const QRect &geometry, const QColor &colour)
{
    auto *panel = new skin::SkinPanel(parent);
    panel->setGeometry(geometry);
    panel->setPlainColour(colour);
    panel->setFormDrag(false);
    return panel;
}

skin::PictureButton *pictureButton(
    QWidget *parent, const QRect &geometry, const QString &normal, const QString &hot, const QString &pressed)
{
    auto *button = new skin::PictureButton(parent);
    button->setFaces(artwork(normal), artwork(hot), artwork(pressed));
    button->setGeometry(geometry);
    return button;
}

} // namespace

TmainFrm::TmainFrm(ClientContext &context, catalogue::TTxDataModule &data, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint)
    , m_context(context)
    , m_data(data)
{
    setWindowTitle(QStringLiteral("Tunelix-Mobri"));
    setWindowIcon(QIcon(artwork(QStringLiteral("tray32"))));
    setFixedSize(345, 533);
    setFont(skin::uiFont(11));

    sePanel1 = new skin::SkinPanel(this);
    sePanel1->setGeometry(rect());
    sePanel1->setPicture(artwork(QStringLiteral("mainBg")));
    sePanel1->setDrawType(skin::SkinPanel::DrawType::Stretch);
    sePanel1->setPlainColour(QColor(186, 212, 242));
    sePanel1->setFormDrag(true);

    buildTitleAndToolbar();
    buildGrids();
    buildBottomRows();
    buildTray();

    NextFileTimer = new QTimer(this);
    NextFileTimer->setInterval(500);
    connect(NextFileTimer, &QTimer::timeout, this, [this] {
        // A timer handler drops its errors.
        try {
            if (const auto handler = hooks.NextFileTimerTimer)
                handler();
        } catch (...) {
        }
    });
    NextFileTimer->start();

    startProgram = startDetachedProgram;
    quitApplication = [] { QCoreApplication::quit(); };
    openUrl = [](const QUrl &url) { QDesktopServices::openUrl(url); };
}

TmainFrm::~TmainFrm() = default;

void TmainFrm::buildTitleAndToolbar()
{
    BtnClose = pictureButton(sePanel1, { 307, 1, 37, 17 }, QStringLiteral("btnClose-normal"),
        QStringLiteral("btnClose-hot"), QStringLiteral("btnClose-pressed"));
    BtnClose->setToolTip(QStringLiteral("退出"));
    connect(BtnClose, &skin::PictureButton::clicked, this, [this] { CloseActExecute(); });

    BtnMinSize = pictureButton(sePanel1, { 282, 1, 25, 17 }, QStringLiteral("btnMin-normal"),
        QStringLiteral("btnMin-hot"), QStringLiteral("btnMin-pressed"));
    connect(BtnMinSize, &skin::PictureButton::clicked, this,
        [this] { skin::runHandler(this, [this] { BtnMinSizeClick(BtnMinSize); }); });

    BtnLogo = pictureButton(sePanel1, { 5, 3, 18, 18 }, QStringLiteral("btnLogo-normal"), QStringLiteral("btnLogo-hot"),
        QStringLiteral("btnLogo-pressed"));
    connect(BtnLogo, &skin::PictureButton::clicked, this,
        [this] { skin::runHandler(this, [this] { CopyrightInfoActExecute(BtnLogo); }); });

    LogoStr = new skin::GlowLabel(QStringLiteral("Tunelix-Mobri"), sePanel1);
    LogoStr->setFont(skin::uiFont(13, true));
    LogoStr->setTextColour(palette().color(QPalette::HighlightedText));
    LogoStr->setGlowColour(QColor(0, 255, 255));
    LogoStr->setAutoSize(true);
    LogoStr->move(24, 3);

    seToolBarEx1 = new skin::PictureToolBar(sePanel1);
    seToolBarEx1->setGeometry(2, 32, 340, 81);
    seToolBarEx1->setBackground(artwork(QStringLiteral("toolbarBg")));
    seToolBarEx1->setItemSize({ 61, 60 });
    seToolBarEx1->setItemSpacing(20);
    seToolBarEx1->addItem({ artwork(QStringLiteral("tbStop")), artwork(QStringLiteral("tbStop-selected")),
        QColor(0, 255, 0), [this] { seToolBarEx1Items0Click(seToolBarEx1); } });
    seToolBarEx1->addItem({ artwork(QStringLiteral("tbPlay")), artwork(QStringLiteral("tbPlay-selected")),
        QColor(0, 255, 255), [this] { seToolBarEx1Items1Click(seToolBarEx1); } });
    seToolBarEx1->addItem(
        { artwork(QStringLiteral("tbPopular")), artwork(QStringLiteral("tbPopular")), QColor(0, 0, 255), {} });
    seToolBarEx1->addItem(
        { artwork(QStringLiteral("tbClassic")), artwork(QStringLiteral("tbClassic")), QColor(0, 128, 0), {} });
    seToolBarEx1->setSelectedIndex(0);
    seToolBarEx1->onChange = [this](int index) { seToolBarEx1Change(seToolBarEx1, index); };

    sePanel3 = plainPanel(sePanel1, { 2, 113, 340, 22 }, kListColour);
    seXLbl_PlayFileName = new skin::GlowLabel(QStringLiteral("Play"), sePanel3);
    seXLbl_PlayFileName->setFont(skin::uiFont(13, true));
    seXLbl_PlayFileName->setTextColour(kInk);
    seXLbl_PlayFileName->setGlowColour(Qt::white);
    seXLbl_PlayFileName->setGeometry(0, 0, 340, 22);
}

void TmainFrm::buildGrids()
{
    m_model = new CatalogueModel(m_data.qry1(), this);
    m_delegate = new skin::PictureColumnDelegate(CatalogueModel::PictureRole, this);
    m_delegate->setTextColour(kInk);
    m_delegate->setPictureList(CatalogueModel::StarLvColumn,
        { artwork(QStringLiteral("stars1")), artwork(QStringLiteral("stars2")), artwork(QStringLiteral("stars3")),
            artwork(QStringLiteral("stars4")), artwork(QStringLiteral("newBadge")) }); // ImageList1
    m_delegate->setPictureList(CatalogueModel::FileStateColumn,
        { artwork(QStringLiteral("stateFetch")), artwork(QStringLiteral("statePlay")) }); // ImageList_FileState
    m_delegate->setPictureList(CatalogueModel::IsNewColumn,
        { artwork(QStringLiteral("newStar")), artwork(QStringLiteral("newBadge")) }); // ImageList_isnew

    auto makeGrid = [this](const QRect &geometry, std::initializer_list<int> columns) {
        auto *grid = new QTableView(sePanel1);
        grid->setGeometry(geometry);
        grid->setModel(m_model);
        grid->setItemDelegate(m_delegate);
        grid->setFrameShape(QFrame::NoFrame);
        grid->setShowGrid(false);
        grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
        grid->setSelectionBehavior(QAbstractItemView::SelectRows);
        grid->setSelectionMode(QAbstractItemView::SingleSelection);
        grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        grid->setFocusPolicy(Qt::ClickFocus);
        grid->setWordWrap(false);
        grid->horizontalHeader()->hide();
        grid->horizontalHeader()->setMinimumSectionSize(4);
        grid->verticalHeader()->hide();
        // Fixed rows: a large catalogue lays out in no time and the grids line up.
        grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        grid->verticalHeader()->setDefaultSectionSize(kRowHeight);
        grid->setFont(skin::uiFont(13));
        QPalette pal = grid->palette();
        pal.setColor(QPalette::Base, kListColour);
        pal.setColor(QPalette::Window, kListColour);
        pal.setColor(QPalette::Text, kInk);
        grid->setPalette(pal);
        for (int c = 0; c < CatalogueModel::ColumnCount; ++c)
            grid->setColumnHidden(c, std::find(columns.begin(), columns.end(), c) == columns.end());
        return grid;
    };
    wwDBGrid2 = makeGrid({ 2, 135, 40, 340 }, { CatalogueModel::IsNewColumn });
    wwDBGrid3 = makeGrid({ 42, 135, 15, 340 }, { CatalogueModel::FileStateColumn });
    wwDBGrid1 = makeGrid({ 56, 135, 286, 340 },
        { CatalogueModel::FileNameColumn, CatalogueModel::SongLengthColumn, CatalogueModel::StarLvColumn });
    wwDBGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    wwDBGrid2->horizontalHeader()->setSectionResizeMode(CatalogueModel::IsNewColumn, QHeaderView::Stretch);
    wwDBGrid3->horizontalHeader()->setSectionResizeMode(CatalogueModel::FileStateColumn, QHeaderView::Stretch);
    QHeaderView *columns = wwDBGrid1->horizontalHeader();
    columns->setSectionResizeMode(CatalogueModel::FileNameColumn, QHeaderView::Stretch);
    columns->setSectionResizeMode(CatalogueModel::SongLengthColumn, QHeaderView::Fixed);
    columns->setSectionResizeMode(CatalogueModel::StarLvColumn, QHeaderView::Fixed);
    columns->resizeSection(CatalogueModel::SongLengthColumn, 42);
    columns->resizeSection(CatalogueModel::StarLvColumn, 56);

    // One selection model: one current row for the three grids.
    m_selection = wwDBGrid1->selectionModel();
    for (QTableView *grid : { wwDBGrid2, wwDBGrid3 }) {
        QItemSelectionModel *own = grid->selectionModel();
        grid->setSelectionModel(m_selection);
        delete own;
    }
    // The three grids scroll together.
    const QList<QTableView *> grids { wwDBGrid2, wwDBGrid3, wwDBGrid1 };
    for (QTableView *from : grids) {
        for (QTableView *to : grids) {
            if (from != to)
                connect(from->verticalScrollBar(), &QScrollBar::valueChanged, to->verticalScrollBar(),
                    &QScrollBar::setValue);
        }
        connect(from, &QTableView::doubleClicked, this,
            [this, from] { skin::runHandler(this, [this, from] { wwDBGrid1DblClick(from); }); });
    }

    // The grids' current row and the view's current row follow each other.
    connect(m_selection, &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex &current) {
        if (m_syncingRow || !current.isValid())
            return;
        m_syncingRow = true;
        m_data.qry1()->setCurrentIndex(current.row());
        m_syncingRow = false;
    });
    connect(m_data.qry1(), &catalogue::CatalogueRecordSet::currentChanged, this, &TmainFrm::showCurrentRowInGrids);
    showCurrentRowInGrids(m_data.qry1()->currentIndex());
}

void TmainFrm::showCurrentRowInGrids(int index)
{
    if (m_syncingRow)
        return;
    m_syncingRow = true;
    if (index < 0 || index >= m_model->rowCount()) {
        m_selection->clear();
    } else {
        const QModelIndex cell = m_model->index(index, CatalogueModel::FileNameColumn);
        m_selection->setCurrentIndex(cell, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        wwDBGrid1->scrollTo(cell);
    }
    m_syncingRow = false;
}

void TmainFrm::buildBottomRows()
{
    sePanel2 = plainPanel(sePanel1, { 2, 475, 340, 20 }, kSearchColour);
    sePngXButton1 = pictureButton(sePanel2, { 0, -1, 45, 22 }, QStringLiteral("btnSearch-normal"),
        QStringLiteral("btnSearch-hot"), QStringLiteral("btnSearch-pressed"));
    connect(sePngXButton1, &skin::PictureButton::clicked, this,
        [this] { skin::runHandler(this, [this] { FindFileExecute(sePngXButton1); }); });

    EdtFind = new QLineEdit(sePanel2);
    EdtFind->setGeometry(45, 1, 244, 19);
    EdtFind->setFrame(false);
    EdtFind->setFont(skin::uiFont(13));
    EdtFind->setPlaceholderText(QStringLiteral("输入铃声名称"));
    QPalette pal = EdtFind->palette();
    pal.setColor(QPalette::Base, kSearchColour);
    pal.setColor(QPalette::Text, kInk);
    EdtFind->setPalette(pal);
    // The search runs from the button only; Enter in the edit does nothing.

    seBtnOpenFolder = pictureButton(sePanel2, { 340 - 22, 0, 22, 20 }, QStringLiteral("btnFolder"),
        QStringLiteral("btnFolder-hot"), QStringLiteral("btnFolder-hot"));
    seBtnOpenFolder->setToolTip(QStringLiteral("打开文件夹"));
    connect(seBtnOpenFolder, &skin::PictureButton::clicked, this,
        [this] { skin::runHandler(this, [this] { OpenFolderExecute(seBtnOpenFolder); }); });

    sePanel4 = plainPanel(sePanel1, { 2, 495, 340, 20 }, kListColour);
    DownFileLbl = new skin::GlowLabel(QStringLiteral("DownLoad"), sePanel4);
    DownFileLbl->setFont(skin::uiFont(13, true));
    DownFileLbl->setTextColour(kInk);
    DownFileLbl->setGlowColour(Qt::white);
    DownFileLbl->setGeometry(0, 0, 340 - 22, 20);

    seBtnAutoDownload = new skin::CheckPictureButton(sePanel4);
    seBtnAutoDownload->setGeometry(340 - 22, 0, 22, 20);
    seBtnAutoDownload->setPictures(artwork(QStringLiteral("btnAuto")), artwork(QStringLiteral("btnAuto-checked")));
    seBtnAutoDownload->setHint(QStringLiteral("自动下载"));
    seBtnAutoDownload->onCheckChange = [this](bool) { AutoDownloadActExecute(seBtnAutoDownload); };
}

void TmainFrm::buildTray()
{
    IconPm = new QMenu(this);
    N1 = IconPm->addAction(QStringLiteral("窗口"));
    N2 = IconPm->addAction(QStringLiteral("退出"));
    connect(N1, &QAction::triggered, this, [this] { skin::runHandler(this, [this] { ShowFrmExecute(N1); }); });
    connect(N2, &QAction::triggered, this, [this] { CloseActExecute(); });

    QIcon icon;
    for (const char *name : { "tray16", "tray32", "tray64" })
        icon.addPixmap(artwork(QLatin1String(name)));
    CoolTrayIcon1 = new QSystemTrayIcon(icon, this);
    CoolTrayIcon1->setContextMenu(IconPm);
    connect(CoolTrayIcon1, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        skin::runHandler(this, [&] {
            if (reason == QSystemTrayIcon::DoubleClick)
                ShowFrmExecute(CoolTrayIcon1);
            else if (reason == QSystemTrayIcon::Trigger)
                CoolTrayIcon1Click(CoolTrayIcon1);
        });
    });
    m_popupTimer = new QTimer(this);
    m_popupTimer->setSingleShot(true);
    m_popupTimer->setInterval(kStatusPopupMs);
    connect(m_popupTimer, &QTimer::timeout, this, &TmainFrm::closeStatusPopup);
    updateTrayHint();
    if (QSystemTrayIcon::isSystemTrayAvailable())
        CoolTrayIcon1->show();
}

void TmainFrm::setStatusPopup(TRightBtmMsgDlgFrm *popup)
{
    m_statusPopup = popup;
    if (popup)
        connect(popup, &TRightBtmMsgDlgFrm::statusChanged, this, &TmainFrm::updateTrayHint);
    updateTrayHint();
}

void TmainFrm::setAboutWindow(TCopyrightInfoFrm *about) { m_about = about; }

void TmainFrm::updateTrayHint()
{
    QString hint = windowTitle();
    if (m_statusPopup) {
        auto orStopped = [](const QString &text) { return text.isEmpty() ? QStringLiteral("停止") : text; };
        hint += QStringLiteral("\n播放：") + orStopped(m_statusPopup->lblPlayFilename->text())
            + QStringLiteral("\n下载：") + orStopped(m_statusPopup->lblDownLoadFileName->text());
        if (!m_downloadProgress.isEmpty() && !m_statusPopup->lblDownLoadFileName->text().isEmpty())
            hint += QLatin1Char(' ') + m_downloadProgress;
    }
    CoolTrayIcon1->setToolTip(hint);
}

void TmainFrm::setDownloadProgress(const QString &text)
{
    m_downloadProgress = text;
    updateTrayHint();
}

// ---- set-up and shutdown -------------------------------------------------------

void TmainFrm::FormCreate()
{
    m_context.RingFolder = m_context.programFolder.ringFolder();
    QDir().mkdir(m_context.RingFolder); // one level; a failure is not reported

    // >>> Playback: ThePlayer and PlayerCallback are created and registered here.
    if (const auto createPlayer = hooks.createPlayer; createPlayer && !createPlayer())
        return; // the "Fatal error" box was shown; the set-up ends here
    // <<< Playback

    m_context.PlayingNow = false;
    m_context.AutoDownloadOn = false;
    m_data.openView(catalogue::TTxDataModule::allRowsStatement());

    // >>> Transfer engine: HttpThreadList, TheManagerThread and the checksum code.
    if (const auto createTransferEngine = hooks.createTransferEngine)
        createTransferEngine();
    // <<< Transfer engine
}

void TmainFrm::CloseActExecute()
{
    try {
        DailyUpdaterStart start { m_context.programFolder.settingsFile(), m_context.programFolder.updaterExecutable(),
            startProgram };
        start.run(today());
        quitApplication();
    } catch (...) {
        // The close command drops every error; the window stays open.
    }
}

void TmainFrm::FormClose()
{
    if (m_tornDown)
        return;
    m_tornDown = true;
    closeStatusPopup();
    // Each step runs even when an earlier one fails: the process is ending.
    auto step = [](const std::function<void()> &f) {
        try {
            if (f)
                f();
        } catch (...) {
        }
    };
    step(hooks.StopTransfer);
    m_context.AutoDownloadOn = false;
    NextFileTimer->stop();
    step(hooks.stopTransferEngine);
    step(hooks.freePlayer);
    CoolTrayIcon1->hide();
}

void TmainFrm::closeEvent(QCloseEvent *event)
{
    FormClose();
    event->accept();
    quitApplication();
}

// ---- playback and downloads ----------------------------------------------------

void TmainFrm::PlayCurrentFile()
{
    if (const auto f = hooks.PlayCurrentFile)
        f();
}

void TmainFrm::StopPlaying()
{
    if (const auto f = hooks.StopPlaying)
        f();
}

void TmainFrm::StartNextDownload(const QString &fileId)
{
    if (const auto f = hooks.StartNextDownload)
        f(fileId);
}

// ---- handlers ------------------------------------------------------------------

void TmainFrm::wwDBGrid1DblClick(QObject *)
{
    PlayCurrentFile();
    if (!m_context.PlayingNow) {
        // The file is missing: its download replaces any running one.
        if (const auto release = hooks.releaseTransmitManager)
            release();
        if (const catalogue::ViewRow *row = m_data.qry1()->current())
            StartNextDownload(QString::number(row->fileId));
    }
    // Disabled until the song window's close button enables it again; without a
    // song window nothing could enable it, so it then stays enabled.
    if (const auto show = hooks.showSongInfo) {
        show();
        setEnabled(false);
    }
}

void TmainFrm::seToolBarEx1Items0Click(QObject *)
{
    if (seBtnAutoDownload->isChecked())
        seBtnAutoDownload->setChecked(false);
    StopPlaying();
}

void TmainFrm::seToolBarEx1Items1Click(QObject *) { wwDBGrid1DblClick(wwDBGrid1); }

void TmainFrm::seToolBarEx1Change(QObject *, int index)
{
    switch (index) {
    case 0:
        StopPlaying();
        break;
    case 1:
        wwDBGrid1DblClick(wwDBGrid1);
        break;
    case 2:
        m_data.openView(catalogue::TTxDataModule::newRowsStatement());
        break;
    case 3:
        m_data.openView(catalogue::TTxDataModule::allRowsStatement());
        break;
    default:
        break;
    }
}

void TmainFrm::FindFileExecute(QObject *)
{
    // The text is matched as written (quotes and wildcards included); it never
    // becomes part of a statement.
    const QString text = EdtFind->text().trimmed();
    catalogue::CatalogueRecordSet *view = m_data.qry1();
    if (!text.isEmpty()) {
        view->setFilterText(text);
        view->setFiltered(true);
    } else {
        view->setFiltered(false);
    }
}

void TmainFrm::OpenFolderExecute(QObject *) { openUrl(QUrl::fromLocalFile(m_context.RingFolder)); }

void TmainFrm::AutoDownloadActExecute(QObject *)
{
    // PlayCurrentFile may check the button again (nested run of this handler) when the
    // current file is missing; the state is copied only after it.
    if (!m_context.PlayingNow)
        PlayCurrentFile();
    const bool on = seBtnAutoDownload->isChecked();
    m_context.AutoDownloadOn = on;
    if (on)
        NextFileTimer->start();
    else
        NextFileTimer->stop();
}

void TmainFrm::BtnMinSizeClick(QObject *) { showMinimized(); }

bool TmainFrm::isMinimisedToTray() const { return isMinimized() || !isVisible(); }

void TmainFrm::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    // Minimised, the window leaves the task bar; only the tray icon remains. Without a
    // tray the window stays an ordinary minimised window, so it can come back.
    if (isMinimized() && CoolTrayIcon1->isVisible())
        QTimer::singleShot(0, this, [this] {
            if (isMinimized())
                hide();
        });
}

void TmainFrm::ShowFrmExecute(QObject *)
{
    closeStatusPopup();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TmainFrm::CoolTrayIcon1Click(QObject *)
{
    if (!m_statusPopup)
        return;
    if (m_statusPopup->isVisible()) {
        closeStatusPopup();
        return;
    }
    if (!isMinimisedToTray())
        return;
    m_statusPopup->show();
    m_popupTimer->start();
}

void TmainFrm::closeStatusPopup()
{
    m_popupTimer->stop();
    if (m_statusPopup && m_statusPopup->isVisible())
        m_statusPopup->close();
}

void TmainFrm::CopyrightInfoActExecute(QObject *)
{
    if (!m_about)
        return;
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void TmainFrm::RefreshCatalogue()
{
    const QList<QTableView *> grids { wwDBGrid2, wwDBGrid3, wwDBGrid1 };
    for (QTableView *grid : grids)
        grid->setUpdatesEnabled(false);
    struct ResumePainting
    {
        const QList<QTableView *> &grids;
        ~ResumePainting()
        {
            for (QTableView *grid : grids) {
                grid->setUpdatesEnabled(true);
                grid->viewport()->update();
            }
        }
    } resume { grids };
    m_data.refreshKeepingPosition();
}

} // namespace tunelix::client

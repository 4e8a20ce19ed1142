#include "client/song/SongInfoFrm.h"

#include "catalogue/TxDataModule.h"
#include "client/ClientContext.h"
#include "client/song/PlayControl.h"
#include "client/song/SeekSlider.h"
#include "client/song/SongLogic.h"
#include "skin/Artwork.h"
#include "skin/ErrorBox.h"
#include "skin/GlowLabel.h"
#include "skin/PictureButton.h"
#include "skin/SkinPanel.h"
#include "transfer/TransmitManager.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QUrl>

#include <algorithm>
#include <exception>
#include <stdexcept>

namespace tunelix::client {

namespace {

constexpr int kWidth = 345;
constexpr int kHeight = 185;
constexpr int kHoverFadeMs = 200; // seAnimation1: the picture buttons' hover fade
const QColor kGlow(0, 255, 255); // aqua

QPixmap face(int index) { return QPixmap(QStringLiteral(":/song/face%1.png").arg(index)); }

skin::PictureButton *faceButton(QWidget *parent, const QRect &geometry, int normal, int hot, int pressed)
{
    auto *button = new skin::PictureButton(parent);
    button->setGeometry(geometry);
    button->setFaces(face(normal), face(hot), face(pressed));
    button->setFadeDuration(kHoverFadeMs);
    return button;
}

skin::GlowLabel *glowLabel(QWidget *parent, const QString &text)
{
    auto *label = new skin::GlowLabel(text, parent);
    label->setFont(skin::uiFont(13, true));
    label->setTextColour(QApplication::palette().color(QPalette::HighlightedText));
    label->setGlowColour(kGlow);
    return label;
}

} // namespace

TSongInfoFrm::TSongInfoFrm(ProgramFolder folder, ClientContext &context, catalogue::TTxDataModule &data,
    PlayControl &control, QWidget *mainWindow, QWidget *parent)
    : TDlgPopupFrm(std::move(folder), parent)
    , m_context(context)
    , m_data(data)
    , m_control(control)
    , m_mainWindow(mainWindow)
{
    setWindowTitle(QStringLiteral("SongInfoFrm"));
    setClientSize(kWidth, kHeight); // centre band 150 high
    setHideAnimation(false);
    seAnimationForm1()->setDuration(0); // no show animation either

    BtnClose = faceButton(TopMiddle, QRect(297, 1, 37, 17), 0, 1, 2);
    TopMiddle->installEventFilter(this); // keeps BtnClose at the right edge

    seImage1 = new skin::PictureButton(CenterMiddle);
    const QPixmap banner(QStringLiteral(":/song/banner.png"));
    seImage1->setFaces(banner, banner, banner);
    seImage1->setFadeDuration(0);
    seImage1->setCursor(Qt::PointingHandCursor);
    seImage1->setToolTip(QStringLiteral("Tea"));

    sePanel3 = new skin::SkinPanel(CenterMiddle);
    sePanel3->setPlainColour(QColor(222, 235, 250));
    sePanel3->setFormDrag(false);
    Lbl_Filename = glowLabel(sePanel3, QStringLiteral(" DownLoading..."));
    Lbl_Filename->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Lbl_Filename->setGeometry(0, 0, 281, 22);
    Label1 = glowLabel(sePanel3, QStringLiteral("00:00"));
    Label1->setAutoSize(true);
    Label1->move(299, (22 - Label1->sizeHint().height()) / 2);

    USSliderEx1 = new SeekSlider(CenterMiddle);
    USSliderEx1->setCursor(Qt::ArrowCursor);

    sePngXButton1 = faceButton(CenterMiddle, QRect(5, 115, 46, 30), 4, 3, 5);
    sePngXButton2 = faceButton(CenterMiddle, QRect(53, 115, 46, 30), 7, 6, 8);
    sePngXButton3 = faceButton(CenterMiddle, QRect(109, 119, 25, 24), 9, 10, 11);
    sePngXButton4 = faceButton(CenterMiddle, QRect(137, 119, 25, 24), 12, 13, 14);
    seBtnOpenFolder = new skin::PictureButton(CenterMiddle);
    seBtnOpenFolder->setGeometry(315, 115, 24, 24);
    seBtnOpenFolder->setFaces(skin::artwork(QStringLiteral("btnFolder")),
        skin::artwork(QStringLiteral("btnFolder-hot")), skin::artwork(QStringLiteral("btnFolder-hot")));
    seBtnOpenFolder->setToolTip(QStringLiteral("保存到"));
    CenterMiddle->installEventFilter(this); // the banner, panel and slider follow its width

    Timer1.setInterval(100);
    Timer1.setTimerType(Qt::PreciseTimer);

    SaveToRingDialog = new QFileDialog(this, QStringLiteral("FilePath"));
    SaveToRingDialog->setAcceptMode(QFileDialog::AcceptSave);
    SaveToRingDialog->setNameFilter(QStringLiteral("mp3 (*.mp3)"));
    SaveToRingDialog->selectFile(QStringLiteral("Tunelix.mp3"));
    SaveToRingDialog->setOption(QFileDialog::DontUseNativeDialog); // keeps the last path as chosen

    askSavePath = [this] { return runSaveDialog(); };
    openUrl = [](const QString &url) { QDesktopServices::openUrl(QUrl(url)); };

    // Handlers catch nothing: an error reaches the standard error box.
    const auto handle = [this](void (TSongInfoFrm::*handler)()) {
        return [this, handler] { skin::runHandler(this, [&] { (this->*handler)(); }); };
    };
    connect(&Timer1, &QTimer::timeout, this, [this] {
        try {
            Timer1Timer();
        } catch (...) {
            // A timer's handler drops its errors.
        }
    });
    connect(USSliderEx1, &SeekSlider::mouseDown, this,
        [this](Qt::MouseButton, int x) { skin::runHandler(this, [&] { USSliderEx1MouseDown(x); }); });
    connect(sePngXButton1, &QAbstractButton::clicked, this, handle(&TSongInfoFrm::sePngXButton1Click));
    connect(sePngXButton2, &QAbstractButton::clicked, this, handle(&TSongInfoFrm::sePngXButton2Click));
    connect(sePngXButton3, &QAbstractButton::clicked, this, handle(&TSongInfoFrm::sePngXButton3Click));
    connect(sePngXButton4, &QAbstractButton::clicked, this, handle(&TSongInfoFrm::sePngXButton4Click));
    connect(BtnClose, &QAbstractButton::clicked, this, handle(&TSongInfoFrm::BtnCloseClick));
    connect(seImage1, &QAbstractButton::clicked, this, handle(&TSongInfoFrm::seImage1Click));
    connect(seBtnOpenFolder, &QAbstractButton::clicked, this, handle(&TSongInfoFrm::seBtnOpenFolderClick));

    m_control.songStarted
        = [this](const QString &shownName, std::uint32_t lengthMs) { songStarted(shownName, lengthMs); };

    // Size the bands now, so that the content has its design widths before the first show.
    layout()->activate();
    for (QWidget *band : { MainTop, mainCenter, mainBtm })
        band->layout()->activate();
    layoutContent();
}

TSongInfoFrm::~TSongInfoFrm() { m_control.songStarted = nullptr; }

QString TSongInfoFrm::shopPageUrl() { return QStringLiteral("https://shop.tunelix.example/"); }

void TSongInfoFrm::FormCreate()
{
    USSliderEx1->setThumbOrigins(QPoint(74, 0), QPoint(74, 0), QPoint(74, 0));
    USSliderEx1->setThumbSize(QSize(11, 12));
    USSliderEx1->setTrackRects(ParseSmallRect(QStringLiteral("0,0,74,12")), ParseSmallRect(QString()));
    USSliderEx1->setBorder(StrToIntOr(QStringLiteral("6"), 0));
    USSliderEx1->setMax(1000);
    USSliderEx1->loadSkinPicture(programFolder().seekSliderPicture());
}

void TSongInfoFrm::FormShow()
{
    // The inherited handler first; its placement is then replaced by ours, also when
    // a frame picture was missing (its error still leaves this handler).
    std::exception_ptr error;
    try {
        TDlgPopupFrm::FormShow();
    } catch (...) {
        error = std::current_exception();
    }
    if (m_mainWindow) {
        const QScreen *screen = m_mainWindow->screen() ? m_mainWindow->screen() : QGuiApplication::primaryScreen();
        const QRect workArea = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 15, 1 << 15);
        const QRect target = songWindowPlacement(m_mainWindow->frameGeometry(), height(), workArea);
        setClientSize(target.width(), target.height());
        move(target.topLeft());
    }
    if (error)
        std::rethrow_exception(error);
}

void TSongInfoFrm::FormClose()
{
    Timer1.stop();
    Lbl_Filename->setText(QStringLiteral(" DownLoading..."));
    if (RefreshCatalogue)
        RefreshCatalogue();
}

void TSongInfoFrm::closeEvent(QCloseEvent *event)
{
    skin::runHandler(this, [this] { FormClose(); });
    TDlgPopupFrm::closeEvent(event);
}

bool TSongInfoFrm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize) {
        if (watched == TopMiddle || watched == CenterMiddle)
            layoutContent();
    }
    return TDlgPopupFrm::eventFilter(watched, event);
}

void TSongInfoFrm::layoutContent()
{
    // The banner and the name panel are aligned to the top; the slider is anchored
    // left and right. BtnClose is anchored top and right.
    const int w = CenterMiddle->width();
    seImage1->setGeometry(0, 0, w, 73);
    sePanel3->setGeometry(0, 73, w, 22);
    USSliderEx1->setGeometry(0, 98, w, 12);
    BtnClose->move(TopMiddle->width() - (kWidth - 8 - 297), 1);
}

void TSongInfoFrm::songStarted(const QString &shownName, std::uint32_t lengthMs)
{
    m_lengthMs = lengthMs;
    Lbl_Filename->setText(QStringLiteral(" ") + shownName);
    USSliderEx1->setMin(0);
    USSliderEx1->setMax(static_cast<std::int16_t>(sliderMaximum(lengthMs)));
    USSliderEx1->setPosition(0);
}

void TSongInfoFrm::Timer1Timer()
{
    playback::ZPlay *player = m_context.ThePlayer.get();
    if (!player)
        return;
    playback::TPlayTime position;
    player->GetPosition(position);
    Label1->setText(timeText(position));
    USSliderEx1->setPosition(static_cast<std::int16_t>(sliderPosition(position.TotalMs, m_lengthMs)));
}

void TSongInfoFrm::USSliderEx1MouseDown(int x)
{
    playback::ZPlay *player = m_context.ThePlayer.get();
    if (!player)
        return;
    playback::TStreamInfo info;
    player->GetStreamInfo(info);
    playback::TPlayTime target;
    target.TotalSec = seekTargetSecond(x, USSliderEx1->width(), info.Length.TotalSec);
    player->Seek(playback::library::kTimeFormatSeconds, target, playback::library::kSeekFromBeginning);
}

void TSongInfoFrm::sePngXButton1Click()
{
    if (playback::ZPlay *player = m_context.ThePlayer.get())
        player->Pause();
}

void TSongInfoFrm::sePngXButton2Click()
{
    if (playback::ZPlay *player = m_context.ThePlayer.get())
        player->Resume();
}

void TSongInfoFrm::moveRow(int step)
{
    catalogue::CatalogueRecordSet *view = m_data.qry1();
    if (view->recordCount() > 0) // at either end the row stays
        view->setCurrentIndex(std::clamp(view->currentIndex() + step, 0, view->recordCount() - 1));
    m_control.PlayCurrentFile();
}

void TSongInfoFrm::sePngXButton3Click() { moveRow(-1); }

void TSongInfoFrm::sePngXButton4Click() { moveRow(+1); }

void TSongInfoFrm::BtnCloseClick()
{
    close();
    if (m_mainWindow)
        m_mainWindow->setEnabled(true);
}

void TSongInfoFrm::seImage1Click()
{
    if (openUrl)
        openUrl(shopPageUrl());
}

QString TSongInfoFrm::runSaveDialog()
{
    if (SaveToRingDialog->exec() != QDialog::Accepted || SaveToRingDialog->selectedFiles().isEmpty())
        return {};
    const QString chosen = SaveToRingDialog->selectedFiles().constFirst();
    SaveToRingDialog->selectFile(chosen); // the next time it opens with this path
    return chosen;
}

void TSongInfoFrm::seBtnOpenFolderClick()
{
    const QString target = askSavePath ? askSavePath() : QString();
    if (target.isEmpty())
        return;
    const catalogue::ViewRow *row = m_data.qry1()->current();
    const QString stored = row ? row->fileName : QString();
    const std::optional<QString> source = transfer::ringFilePath(programFolder().ringFolder(), stored);
    if (!source)
        throw std::runtime_error(QStringLiteral("Cannot open file \"%1\". Not a file in the ring folder.")
                                     .arg(programFolder().ringFolder() + stored)
                                     .toStdString());
    saveRingCopy(*source, target); // a target that cannot be written is not reported
}

} // namespace tunelix::client

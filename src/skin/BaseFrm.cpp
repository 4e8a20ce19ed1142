#include "skin/BaseFrm.h"

#include "skin/Artwork.h"
#include "skin/ErrorBox.h"
#include "skin/GlowLabel.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImageReader>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

namespace tunelix::skin {

namespace {

SkinPanel *makePanel(QWidget *parent, const QColor &colour)
{
    auto *panel = new SkinPanel(parent);
    panel->setPlainColour(colour);
    panel->setFormDrag(true);
    return panel;
}

QHBoxLayout *rowLayout(QWidget *band)
{
    auto *layout = new QHBoxLayout(band);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

} // namespace

const QStringList &TBaseFrm::frameImageNames()
{
    static const QStringList names { QStringLiteral("TopLeft.jpg"), QStringLiteral("TopMiddle.jpg"),
        QStringLiteral("TopRight.jpg"), QStringLiteral("BtmLeft.jpg"), QStringLiteral("BtmMiddle.jpg"),
        QStringLiteral("BtmRight.jpg"), QStringLiteral("CenterLeft.jpg"), QStringLiteral("CenterMiddle.jpg"),
        QStringLiteral("CenterRight.jpg") };
    return names;
}

QColor TBaseFrm::plainColour(int position)
{
    static const QColor colours[9]
        = { QColor(128, 0, 0), QColor(0, 128, 0), QColor(128, 128, 0), // maroon, green, olive
              QColor(128, 0, 0), QColor(0, 128, 0), QColor(128, 128, 0), // maroon, green, olive
              QColor(128, 128, 128), QColor(255, 255, 255), QColor(255, 0, 255) }; // grey, white, fuchsia
    return colours[position];
}

TBaseFrm::TBaseFrm(ProgramFolder folder, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_folder(std::move(folder))
{
    setFont(uiFont(11));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    MainTop = makePanel(this, plainColour(2));
    MainTop->setFixedHeight(31);
    mainCenter = makePanel(this, plainColour(2));
    mainBtm = makePanel(this, plainColour(2));
    mainBtm->setFixedHeight(4);
    outer->addWidget(MainTop);
    outer->addWidget(mainCenter, 1);
    outer->addWidget(mainBtm);

    auto fill = [](QWidget *band, SkinPanel *left, SkinPanel *middle, SkinPanel *right, int sideWidth) {
        left->setFixedWidth(sideWidth);
        right->setFixedWidth(sideWidth);
        auto *layout = rowLayout(band);
        layout->addWidget(left);
        layout->addWidget(middle, 1);
        layout->addWidget(right);
    };
    for (int i = 0; i < 9; ++i) {
        QWidget *band = i < 3 ? MainTop : i < 6 ? mainBtm : mainCenter;
        m_pieces[i] = makePanel(band, plainColour(i));
        m_pieces[i]->setDrawType(i == 0 ? SkinPanel::DrawType::Tile : SkinPanel::DrawType::Stretch);
    }
    TopLeft = m_pieces[0];
    TopMiddle = m_pieces[1];
    TopRight = m_pieces[2];
    BtmLeft = m_pieces[3];
    BtmMiddle = m_pieces[4];
    BtmRight = m_pieces[5];
    CenterLeft = m_pieces[6];
    CenterMiddle = m_pieces[7];
    CenterRight = m_pieces[8];
    fill(MainTop, TopLeft, TopMiddle, TopRight, 4);
    fill(mainBtm, BtmLeft, BtmMiddle, BtmRight, 4);
    fill(mainCenter, CenterLeft, CenterMiddle, CenterRight, 1);

    setClientSize(272, 188);
}

void TBaseFrm::setClientSize(int width, int height) { setFixedSize(width, height); }

void moveToDesktopCentre(QWidget &window)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect r(QPoint(), window.size());
    r.moveCenter(screen->availableGeometry().center());
    window.move(r.topLeft());
}

void TBaseFrm::setCaptionText(const QString &text)
{
    if (!m_caption) {
        m_caption = new GlowLabel(QString(), TopMiddle);
        m_caption->setFont(uiFont(12, true));
        m_caption->setTextColour(Qt::white);
        m_caption->setGlowColour(QColor(0, 200, 230));
        m_caption->setGeometry(2, 4, 160, 22);
        m_caption->lower(); // title-bar buttons stay above it
    }
    m_caption->setText(text);
}

void TBaseFrm::LoadFrameImages(const QString &folder)
{
    // Every show starts from an empty list, so a failed show leaves no stale picture.
    BgImg = QList<QPixmap>(9);
    const QStringList &names = frameImageNames();
    for (int i = 0; i < names.size(); ++i) {
        const QString path = folder + names[i];
        QImageReader reader(path, "jpg");
        const QImage image = reader.read();
        if (image.isNull()) {
            applyPictures();
            const QString reason
                = QFileInfo::exists(path) ? reader.errorString() : QStringLiteral("No such file or directory");
            throw FrameImageError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason).toStdString());
        }
        BgImg[i] = QPixmap::fromImage(image);
    }
    applyPictures();
}

void TBaseFrm::applyPictures()
{
    for (int i = 0; i < 9; ++i)
        m_pieces[i]->setPicture(i < BgImg.size() ? BgImg[i] : QPixmap());
    // The bands name position 2; their pieces cover them wholly.
    const QPixmap band = BgImg.size() > 2 ? BgImg[2] : QPixmap();
    MainTop->setPicture(band);
    mainBtm->setPicture(band);
    mainCenter->setPicture(band);
}

void TBaseFrm::FormShow() { LoadFrameImages(m_folder.skinFrameFolder()); }

void TBaseFrm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        runHandler(this, [this] { FormShow(); });
}

} // namespace tunelix::skin

#include "skin/BaseFrm.h"
#include "skin/CheckPictureButton.h"
#include "skin/DlgPopupFrm.h"
#include "skin/ErrorBox.h"
#include "skin/GlowLabel.h"
#include "skin/PictureButton.h"
#include "skin/PictureToolBar.h"
#include "support/TempProgramFolder.h"

#include <QApplication>
#include <QBuffer>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

using namespace tunelix;
using namespace tunelix::skin;

namespace {

// Collects the messages that would have gone to the error box.
class ErrorRecorder
{
public:
    ErrorRecorder()
    {
        m_previous = setErrorHandler([this](QWidget *, const QString &message) { messages << message; });
    }
    ~ErrorRecorder() { setErrorHandler(m_previous); }
    QStringList messages;

private:
    ErrorHandler m_previous;
};

// A distinct colour per frame position, so a test can tell the pictures apart.
QColor positionColour(int position) { return QColor::fromHsv((position * 37) % 360, 200, 220); }

QByteArray jpeg(const QColor &colour)
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 100);
    return bytes;
}

bool near(const QColor &a, const QColor &b)
{
    return std::abs(a.red() - b.red()) < 12 && std::abs(a.green() - b.green()) < 12
        && std::abs(a.blue() - b.blue()) < 12;
}

QColor centreColour(const QPixmap &pm)
{
    const QImage image = pm.toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

class FrameWindow : public ::testing::Test
{
protected:
    void writeSkin(const QString &except = {}, int colourShift = 0)
    {
        const QStringList &names = TBaseFrm::frameImageNames();
        for (int i = 0; i < names.size(); ++i) {
            if (names[i] != except)
                folder.writeFile(QStringLiteral("skin/frmBg/") + names[i], jpeg(positionColour(i + colourShift)));
        }
    }

    test::TempProgramFolder folder;
    ErrorRecorder errors;
};

TEST_F(FrameWindow, NinePicturesInOrderAfterShowHideShow)
{
    writeSkin();
    TBaseFrm frm(folder.folder());
    frm.show();
    frm.hide();
    // A later show reads the files again: a changed file gives a changed picture.
    writeSkin({}, 1);
    frm.show();

    EXPECT_TRUE(errors.messages.isEmpty());
    ASSERT_EQ(frm.BgImg.size(), 9);
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(i);
        ASSERT_FALSE(frm.BgImg[i].isNull());
        EXPECT_TRUE(near(centreColour(frm.BgImg[i]), positionColour(i + 1)));
        EXPECT_TRUE(frm.piece(i)->hasPicture());
        EXPECT_TRUE(near(centreColour(frm.piece(i)->picture()), positionColour(i + 1)));
    }
    EXPECT_EQ(frm.TopLeft->drawType(), SkinPanel::DrawType::Tile);
    EXPECT_EQ(frm.CenterMiddle->drawType(), SkinPanel::DrawType::Stretch);
}

TEST_F(FrameWindow, MissingBtmLeftGivesOneMessagePerShowAndPlainColoursFromThere)
{
    writeSkin(QStringLiteral("BtmLeft.jpg"));
    TBaseFrm frm(folder.folder());
    frm.show();
    ASSERT_EQ(errors.messages.size(), 1);
    EXPECT_TRUE(errors.messages[0].contains(folder.folder().skinFrameFolder() + QStringLiteral("BtmLeft.jpg")))
        << errors.messages[0].toStdString();
    EXPECT_TRUE(frm.isVisible());

    const QColor plain[] = { QColor(128, 0, 0), QColor(0, 128, 0), QColor(128, 128, 0), QColor(128, 128, 128),
        QColor(255, 255, 255), QColor(255, 0, 255) };
    auto check = [&] {
        ASSERT_EQ(frm.BgImg.size(), 9);
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(frm.piece(i)->hasPicture()) << i;
        for (int i = 3; i < 9; ++i) {
            EXPECT_TRUE(frm.BgImg[i].isNull()) << i;
            EXPECT_FALSE(frm.piece(i)->hasPicture()) << i;
            EXPECT_EQ(frm.piece(i)->plainColour(), plain[i - 3]) << i;
        }
    };
    check();

    frm.hide();
    frm.show();
    EXPECT_EQ(errors.messages.size(), 2);
    check();
}

TEST_F(FrameWindow, MissingSkinFolderLeavesAUsableWindowInPlainColours)
{
    TBaseFrm frm(folder.folder());
    frm.show();
    ASSERT_EQ(errors.messages.size(), 1);
    EXPECT_TRUE(errors.messages[0].contains(QStringLiteral("TopLeft.jpg")));
    for (int i = 0; i < 9; ++i)
        EXPECT_FALSE(frm.piece(i)->hasPicture()) << i;
    EXPECT_TRUE(frm.isVisible());
}

TEST_F(FrameWindow, DraggingAnyPieceOrTheFreeContentAreaMovesTheWindow)
{
    writeSkin();
    TBaseFrm frm(folder.folder());
    frm.move(100, 100);
    frm.show();
    for (SkinPanel *panel : { frm.TopMiddle, frm.CenterMiddle, frm.BtmRight, frm.CenterLeft }) {
        SCOPED_TRACE(panel->objectName().toStdString());
        const QPoint before = frm.pos();
        const QPoint grip(panel->width() / 2, panel->height() / 2);
        QTest::mousePress(panel, Qt::LeftButton, {}, grip);
        QTest::mouseMove(panel, grip + QPoint(20, 15));
        QTest::mouseRelease(panel, Qt::LeftButton, {}, grip + QPoint(20, 15));
        EXPECT_EQ(frm.pos(), before + QPoint(20, 15));
    }
}

TEST_F(FrameWindow, DraggingOnALabelMovesTheWindowToo)
{
    TBaseFrm frm(folder.folder());
    frm.setCaptionText(QStringLiteral("Caption"));
    auto *label = frm.TopMiddle->findChild<GlowLabel *>();
    ASSERT_NE(label, nullptr);
    frm.move(100, 100);
    frm.show();
    const QPoint grip(5, 5);
    QTest::mousePress(label, Qt::LeftButton, {}, grip);
    QTest::mouseMove(label, grip + QPoint(7, 9));
    QTest::mouseRelease(label, Qt::LeftButton, {}, grip + QPoint(7, 9));
    EXPECT_EQ(frm.pos(), QPoint(107, 109));
}

struct PlacementCase
{
    QRect workArea;
    QSize window;
    QPoint expected;
};

class PopupPlacement : public ::testing::TestWithParam<PlacementCase>
{
};

TEST_P(PopupPlacement, BottomRightOfTheWorkArea)
{
    EXPECT_EQ(bottomRightPosition(GetParam().workArea, GetParam().window), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, PopupPlacement,
    ::testing::Values(
        // status popup, task bar at the bottom
        PlacementCase { { 0, 0, 1920, 1040 }, { 217, 127 }, { 1703, 913 } },
        // the popup base's own size
        PlacementCase { { 0, 0, 800, 600 }, { 217, 148 }, { 583, 452 } },
        // task bar at the top: the popup still ends at the work area's bottom edge
        PlacementCase { { 0, 30, 1280, 994 }, { 217, 127 }, { 1063, 897 } },
        // task bar at the left
        PlacementCase { { 60, 0, 1220, 1024 }, { 217, 127 }, { 1063, 897 } },
        // primary screen right of another one
        PlacementCase { { 1920, 0, 1280, 1024 }, { 217, 127 }, { 2983, 897 } }));

TEST_F(FrameWindow, PopupPlacesItselfWhenShownEvenWithoutPictures)
{
    TDlgPopupFrm popup(folder.folder());
    popup.show();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(popup.pos(), bottomRightPosition(area, QSize(217, 148)));
    EXPECT_EQ(errors.messages.size(), 1);
}

TEST_F(FrameWindow, PopupFadesOutBeforeItHidesUnlessSwitchedOff)
{
    writeSkin();
    TDlgPopupFrm animated(folder.folder());
    animated.show();
    animated.close();
    EXPECT_TRUE(animated.isVisible()); // still fading
    EXPECT_TRUE(QTest::qWaitFor([&] { return !animated.isVisible(); }, 10000));

    TDlgPopupFrm instant(folder.folder());
    instant.setHideAnimation(false);
    instant.show();
    instant.close();
    EXPECT_FALSE(instant.isVisible());
}

// ---- toolbar ---------------------------------------------------------------------

class ToolBar : public ::testing::Test
{
protected:
    void SetUp() override
    {
        bar.resize(340, 81);
        for (int i = 0; i < 4; ++i) {
            PictureToolBar::Item item;
            QPixmap pm(61, 60);
            pm.fill(Qt::blue);
            item.normal = item.selected = pm;
            if (i < 2)
                item.onClick = [this, i] { log << QStringLiteral("click%1").arg(i); };
            bar.addItem(item);
        }
        bar.onChange = [this](int index) { log << QStringLiteral("change%1").arg(index); };
    }

    PictureToolBar bar;
    QStringList log;
};

struct SelectCase
{
    int from;
    int to;
    QStringList expected;
};

class ToolBarSelect : public ToolBar, public ::testing::WithParamInterface<SelectCase>
{
};

TEST_P(ToolBarSelect, ClickHandlerFirstThenChangeOnlyWhenChanged)
{
    bar.setSelectedIndex(GetParam().from);
    bar.selectItem(GetParam().to);
    EXPECT_EQ(log, GetParam().expected);
    EXPECT_EQ(bar.selectedIndex(), GetParam().to);
}

INSTANTIATE_TEST_SUITE_P(Table, ToolBarSelect,
    ::testing::Values(SelectCase { 1, 1, { QStringLiteral("click1") } },
        SelectCase { 0, 1, { QStringLiteral("click1"), QStringLiteral("change1") } },
        SelectCase { 0, 0, { QStringLiteral("click0") } },
        SelectCase { 3, 0, { QStringLiteral("click0"), QStringLiteral("change0") } },
        SelectCase { 1, 2, { QStringLiteral("change2") } }, SelectCase { 2, 2, {} }));

TEST_F(ToolBar, LeftPressOnAnItemSelectsItAndPressesBesideItemsDoNothing)
{
    bar.setSelectedIndex(0);
    QTest::mousePress(&bar, Qt::LeftButton, {}, bar.itemRect(3).center());
    EXPECT_EQ(log, QStringList { QStringLiteral("change3") });
    EXPECT_EQ(bar.selectedIndex(), 3);

    log.clear();
    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(1, 1));
    QTest::mousePress(&bar, Qt::RightButton, {}, bar.itemRect(1).center());
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(bar.selectedIndex(), 3);
}

TEST_F(ToolBar, AnErrorInTheClickHandlerReachesTheErrorBoxAndSkipsTheChange)
{
    ErrorRecorder errors;
    bar.item(1).onClick = [] { throw std::runtime_error("no player"); };
    bar.setSelectedIndex(0);
    QTest::mousePress(&bar, Qt::LeftButton, {}, bar.itemRect(1).center());
    EXPECT_EQ(errors.messages, QStringList { QStringLiteral("no player") });
    EXPECT_TRUE(log.isEmpty());
}

// ---- picture button ------------------------------------------------------------------

TEST(PictureButtonFaces, HotUnderThePointerPressedWhileDownNormalOtherwise)
{
    PictureButton button;
    QPixmap face(37, 17);
    face.fill(Qt::red);
    button.setFaces(face, face, face);
    button.resize(37, 17);
    button.show();
    EXPECT_EQ(button.fadeDuration(), 100);
    int clicks = 0;
    QObject::connect(&button, &PictureButton::clicked, [&] { ++clicks; });

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &enter);
    EXPECT_EQ(button.face(), PictureButton::Hot);
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(button.face(), PictureButton::Pressed);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(button.face(), PictureButton::Hot);
    EXPECT_EQ(clicks, 1);
    button.setEnabled(false);
    EXPECT_EQ(button.face(), PictureButton::Normal);
    button.setEnabled(true);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_EQ(button.face(), PictureButton::Normal);
}

// ---- check-able button -------------------------------------------------------------

TEST(CheckButton, EverySetRunsTheHandlerAndAHandlerMaySetItAgain)
{
    CheckPictureButton button;
    QList<bool> seen;
    button.onCheckChange = [&](bool checked) {
        seen << checked;
        if (!checked && seen.size() == 2)
            button.setChecked(true); // nested re-check
    };
    button.setChecked(true);
    button.setChecked(false);
    EXPECT_EQ(seen, (QList<bool> { true, false, true }));
    EXPECT_TRUE(button.isChecked());

    button.setChecked(true); // same state: runs all the same
    EXPECT_EQ(seen.size(), 4);
}

TEST(CheckButton, AClickToggles)
{
    CheckPictureButton button;
    button.resize(22, 20);
    int runs = 0;
    button.onCheckChange = [&](bool) { ++runs; };
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_TRUE(button.isChecked());
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_FALSE(button.isChecked());
    EXPECT_EQ(runs, 2);
}

} // namespace

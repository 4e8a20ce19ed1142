#include "client/song/SongInfoFrm.h"

#include "SongFixture.h"
#include "client/song/SeekSlider.h"
#include "client/song/SongLogic.h"
#include "playback/ZPlay.h"
#include "skin/ErrorBox.h"
#include "skin/GlowLabel.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace tunelix;
using namespace tunelix::client;

namespace {

class SongInfoFrmTest : public test::SongFixture
{
protected:
    void SetUp() override
    {
        SongFixture::SetUp();
        previousErrorHandler = skin::setErrorHandler([this](QWidget *, const QString &text) { errors << text; });
        mainWindow.setGeometry(100, 100, 345, 533);
        window = std::make_unique<TSongInfoFrm>(folder.folder(), context, data, control, &mainWindow);
        window->RefreshCatalogue = [this] { ++refreshes; };
        ASSERT_TRUE(control.createPlayer());
    }

    void TearDown() override
    {
        window.reset();
        skin::setErrorHandler(previousErrorHandler);
        SongFixture::TearDown();
    }

    QString timeLabel() const { return window->Label1->text(); }

    skin::ErrorHandler previousErrorHandler;
    QStringList errors;
    QWidget mainWindow;
    std::unique_ptr<TSongInfoFrm> window;
    int refreshes = 0;
};

} // namespace

TEST_F(SongInfoFrmTest, FormCreateSetsUpTheSliderFromTheSkinPicture)
{
    folder.writeFile(QStringLiteral("skin/.keep"), {});
    QFile::copy(
        QStringLiteral(TUNELIX_SOURCE_DIR "/artwork/skin/seek.png"), folder.path(QStringLiteral("skin/seek.png")));
    window->FormCreate();
    EXPECT_TRUE(window->USSliderEx1->hasSkinPicture());
    EXPECT_EQ(window->USSliderEx1->max(), 1000);
    EXPECT_EQ(window->USSliderEx1->width(), 343);

    QFile::remove(folder.path(QStringLiteral("skin/seek.png")));
    try {
        window->FormCreate();
        FAIL() << "a missing slider picture was not reported";
    } catch (const std::runtime_error &e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains(folder.path(QStringLiteral("skin/seek.png"))));
    }
    EXPECT_FALSE(window->USSliderEx1->hasSkinPicture()); // the slider still works without it
}

TEST_F(SongInfoFrmTest, APlayShowsItsNameAndRangeAndTheTimerFollowsSeekPauseAndResume)
{
    data.qry1()->setCurrentIndex(1); // Second, 2.5 s
    control.PlayCurrentFile();
    EXPECT_EQ(window->Lbl_Filename->text(), QStringLiteral(" Second"));
    EXPECT_EQ(window->USSliderEx1->max(), 25);
    EXPECT_EQ(window->USSliderEx1->position(), 0);

    window->sePngXButton1Click(); // pause
    // A press just past the middle of the 343-pixel slider: second 1 of 2 whole seconds.
    ASSERT_EQ(window->USSliderEx1->width(), 343);
    window->USSliderEx1MouseDown(172);
    window->Timer1Timer();
    EXPECT_EQ(timeLabel(), QStringLiteral("00:01"));
    EXPECT_EQ(window->USSliderEx1->position(), 10);
    window->Timer1Timer();
    EXPECT_EQ(window->USSliderEx1->position(), 10); // paused: it stays

    window->sePngXButton2Click(); // resume
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            window->Timer1Timer();
            return window->USSliderEx1->position() > 10;
        },
        kPatienceMs));
    EXPECT_TRUE(context.PlayingNow);
}

TEST_F(SongInfoFrmTest, PreviousAndNextMoveTheRowAndPlayItStayingAtTheEnds)
{
    QSignalSpy started(&control, &PlayControl::playStarted);
    struct Step
    {
        void (TSongInfoFrm::*click)();
        int rowAfter;
    };
    data.qry1()->setCurrentIndex(0);
    const Step steps[] = {
        { &TSongInfoFrm::sePngXButton3Click, 0 }, // previous on the first row: the same row again
        { &TSongInfoFrm::sePngXButton4Click, 1 },
        { &TSongInfoFrm::sePngXButton3Click, 0 },
    };
    int plays = 0;
    for (const Step &step : steps) {
        ((*window).*step.click)();
        EXPECT_EQ(data.qry1()->currentIndex(), step.rowAfter);
        EXPECT_EQ(started.count(), ++plays);
    }
    data.qry1()->setCurrentIndex(3); // the last row: a file that is not an MP3
    window->sePngXButton4Click();
    EXPECT_EQ(data.qry1()->currentIndex(), 3);
    EXPECT_EQ(window->Lbl_Filename->text(), QStringLiteral(" Bad"));
}

TEST_F(SongInfoFrmTest, CloseKeepsPlayingEnablesTheMainWindowAndRefreshesTheCatalogue)
{
    data.qry1()->setCurrentIndex(0);
    control.PlayCurrentFile();
    mainWindow.setEnabled(false);
    window->show();
    window->Timer1.start();
    window->BtnCloseClick();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(mainWindow.isEnabled());
    EXPECT_FALSE(window->Timer1.isActive());
    EXPECT_EQ(window->Lbl_Filename->text(), QStringLiteral(" DownLoading..."));
    EXPECT_EQ(refreshes, 1);
    EXPECT_TRUE(context.PlayingNow);
}

TEST_F(SongInfoFrmTest, ShowPlacesTheWindowOverTheMainWindow)
{
    window->show();
    const QRect workArea = mainWindow.screen()->availableGeometry();
    EXPECT_EQ(window->geometry(), songWindowPlacement(mainWindow.frameGeometry(), 185, workArea));
    EXPECT_EQ(window->geometry().top(), 100 + (533 - 185) / 2);
    // The frame pictures are not in this program folder: the error is shown and the
    // window is placed all the same.
    EXPECT_EQ(errors.size(), 1);
}

TEST_F(SongInfoFrmTest, BannerOpensTheShopPage)
{
    QStringList opened;
    window->openUrl = [&](const QString &url) { opened << url; };
    window->seImage1Click();
    EXPECT_EQ(opened, QStringList { TSongInfoFrm::shopPageUrl() });
}

TEST_F(SongInfoFrmTest, SaveDialogStartsWithItsNameFilterAndTitle)
{
    EXPECT_EQ(window->SaveToRingDialog->windowTitle(), QStringLiteral("FilePath"));
    EXPECT_EQ(window->SaveToRingDialog->nameFilters(), QStringList { QStringLiteral("mp3 (*.mp3)") });
    EXPECT_EQ(window->SaveToRingDialog->defaultSuffix(), QString());
    ASSERT_FALSE(window->SaveToRingDialog->selectedFiles().isEmpty());
    EXPECT_EQ(
        QFileInfo(window->SaveToRingDialog->selectedFiles().constFirst()).fileName(), QStringLiteral("Tunelix.mp3"));
}

TEST_F(SongInfoFrmTest, SaveToCopiesTheCurrentRowsFileOrLeavesNothingBehind)
{
    const QByteArray first = [&] {
        QFile f(ringPath("[Tunelix]First.mp3"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    ASSERT_FALSE(first.isEmpty());
    QTemporaryDir out;
    QString answer;
    window->askSavePath = [&] { return answer; };
    data.qry1()->setCurrentIndex(0);

    struct Case
    {
        QString target;
        bool written;
    };
    const QString existing = out.filePath(QStringLiteral("old.mp3"));
    {
        QFile f(existing);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(100'000, 'x')); // longer than the copy: nothing of it may stay
    }
    const Case cases[] = {
        { out.filePath(QStringLiteral("abc")), true }, // no extension added
        { existing, true }, // replaced wholly
        { out.filePath(QStringLiteral("no/such/folder/x.mp3")), false }, { out.path(), false }, // a folder
    };
    for (const Case &c : cases) {
        answer = c.target;
        window->seBtnOpenFolderClick();
        QFile f(c.target);
        if (c.written) {
            ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << c.target.toStdString();
            EXPECT_EQ(f.readAll(), first) << c.target.toStdString();
        } else {
            EXPECT_FALSE(QFileInfo(c.target).isFile()) << c.target.toStdString();
        }
    }
    // Only the two copies are in the folder: no temporary file was left behind.
    EXPECT_EQ(
        QDir(out.path()).entryList(QDir::Files), (QStringList { QStringLiteral("abc"), QStringLiteral("old.mp3") }));

    answer.clear(); // cancelled
    window->seBtnOpenFolderClick();

    data.qry1()->setCurrentIndex(2); // its file is not downloaded yet
    answer = out.filePath(QStringLiteral("missing.mp3"));
    EXPECT_THROW(window->seBtnOpenFolderClick(), std::runtime_error);
    EXPECT_FALSE(QFileInfo::exists(answer));
}

TEST_F(SongInfoFrmTest, TheSliderIsDrawnFromItsSkinPicture)
{
    const QString picture = QStringLiteral(TUNELIX_SOURCE_DIR "/artwork/skin/seek.png");
    folder.writeFile(QStringLiteral("skin/.keep"), {});
    QFile::copy(picture, folder.path(QStringLiteral("skin/seek.png")));
    window->FormCreate();
    const QImage skin(picture);
    SeekSlider *slider = window->USSliderEx1;
    slider->setMax(100);
    struct Case
    {
        std::int16_t position;
        int thumbLeft;
    };
    const Case cases[] = { { 0, 0 }, { 100, slider->width() - 11 }, { 50, (slider->width() - 11) / 2 } };
    for (const Case &c : cases) {
        slider->setPosition(c.position);
        const QImage drawn = slider->grab().toImage();
        // The thumb, unscaled, from its place at 74,0 in the picture.
        EXPECT_EQ(drawn.pixel(c.thumbLeft + 5, 6), skin.pixel(74 + 5, 6)) << c.position;
        EXPECT_EQ(drawn.pixel(c.thumbLeft + 4, 2), skin.pixel(74 + 4, 2)) << c.position;
    }
    // The track's middle stretched across; the thumb is at the start.
    slider->setPosition(0);
    const QImage drawn = slider->grab().toImage();
    EXPECT_EQ(drawn.pixel(slider->width() / 2, 5), skin.pixel(37, 5));
    EXPECT_EQ(drawn.pixel(slider->width() - 2, 5), skin.pixel(72, 5)); // the right end, unstretched
}

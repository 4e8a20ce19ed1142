#include "client/song/PlaybackWiring.h"

#include "SongFixture.h"
#include "client/MainFrm.h"
#include "client/RightBtmMsgDlgFrm.h"
#include "client/song/SongInfoFrm.h"
#include "skin/CheckPictureButton.h"
#include "skin/ErrorBox.h"
#include "skin/GlowLabel.h"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

using namespace tunelix;
using namespace tunelix::client;

namespace {

// The client's windows joined as its entry joins them, over the song fixture's folder.
class PlaybackWiringTest : public test::SongFixture
{
protected:
    void SetUp() override
    {
        SongFixture::SetUp();
        previousErrorHandler = skin::setErrorHandler([this](QWidget *, const QString &text) { errors << text; });
        mainFrm = std::make_unique<TmainFrm>(context, data);
        connectPlayControl(control, *mainFrm);
        mainFrm->FormCreate();
        popup = std::make_unique<TRightBtmMsgDlgFrm>(folder.folder());
        mainFrm->setStatusPopup(popup.get());
        songInfoFrm = std::make_unique<TSongInfoFrm>(folder.folder(), context, data, control, mainFrm.get());
        connectSongWindow(*songInfoFrm, *mainFrm);
    }

    void TearDown() override
    {
        control.freePlayer();
        songInfoFrm.reset();
        popup.reset();
        mainFrm.reset();
        skin::setErrorHandler(previousErrorHandler);
        SongFixture::TearDown();
    }

    skin::ErrorHandler previousErrorHandler;
    QStringList errors;
    std::unique_ptr<TmainFrm> mainFrm;
    std::unique_ptr<TRightBtmMsgDlgFrm> popup;
    std::unique_ptr<TSongInfoFrm> songInfoFrm;
};

} // namespace

TEST_F(PlaybackWiringTest, DoubleClickPlaysShowsTheSongWindowAndItsCloseEnablesTheMainWindow)
{
    ASSERT_NE(context.ThePlayer, nullptr);
    data.qry1()->setCurrentIndex(0);
    mainFrm->wwDBGrid1DblClick(nullptr);
    EXPECT_TRUE(context.PlayingNow);
    EXPECT_EQ(mainFrm->seXLbl_PlayFileName->text(), QStringLiteral("Playing: First"));
    EXPECT_EQ(popup->lblPlayFilename->text(), QStringLiteral("First"));
    EXPECT_TRUE(songInfoFrm->isVisible());
    EXPECT_TRUE(songInfoFrm->Timer1.isActive());
    EXPECT_EQ(songInfoFrm->Lbl_Filename->text(), QStringLiteral(" First"));
    EXPECT_FALSE(mainFrm->isEnabled());

    songInfoFrm->BtnCloseClick();
    EXPECT_TRUE(mainFrm->isEnabled());
    EXPECT_FALSE(songInfoFrm->Timer1.isActive());
    EXPECT_TRUE(context.PlayingNow); // closing the window keeps the ringtone repeating

    mainFrm->seToolBarEx1Items0Click(nullptr); // stop
    EXPECT_FALSE(context.PlayingNow);
    EXPECT_EQ(popup->lblPlayFilename->text(), QString());
}

TEST_F(PlaybackWiringTest, DoubleClickOnAMissingFileSwitchesAutomaticDownloadOn)
{
    data.qry1()->setCurrentIndex(2); // Missing.mp3
    mainFrm->wwDBGrid1DblClick(nullptr);
    EXPECT_TRUE(mainFrm->seBtnAutoDownload->isChecked());
    EXPECT_TRUE(context.AutoDownloadOn);
    EXPECT_FALSE(context.PlayingNow);
    EXPECT_EQ(songInfoFrm->Lbl_Filename->text(), QStringLiteral(" DownLoading..."));
}

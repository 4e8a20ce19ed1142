#include "client/CopyrightInfoFrm.h"
#include "client/RightBtmMsgDlgFrm.h"
#include "skin/DlgPopupFrm.h"
#include "skin/ErrorBox.h"
#include "skin/PictureButton.h"
#include "support/TempProgramFolder.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include <gtest/gtest.h>

using namespace tunelix;

namespace {

class PopupWindows : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // No skin folder: each show reports the missing picture here, not in a box.
        m_previous = skin::setErrorHandler([this](QWidget *, const QString &m) { errors << m; });
    }
    void TearDown() override { skin::setErrorHandler(m_previous); }

    QRect workArea() const { return QGuiApplication::primaryScreen()->availableGeometry(); }

    test::TempProgramFolder folder;
    QStringList errors;

private:
    skin::ErrorHandler m_previous;
};

TEST_F(PopupWindows, StatusPopupSitsBottomRightAndVanishesAtOnce)
{
    client::TRightBtmMsgDlgFrm popup(folder.folder());
    popup.show();
    EXPECT_EQ(popup.size(), QSize(217, 127));
    EXPECT_EQ(popup.pos(), skin::bottomRightPosition(workArea(), QSize(217, 127)));
    EXPECT_EQ(popup.seAnimationForm1()->duration(), 1000); // its showing still fades in
    popup.close();
    EXPECT_FALSE(popup.isVisible());
    EXPECT_EQ(errors.size(), 1);
}

TEST_F(PopupWindows, StatusPopupKeepsItsNamesWhileHidden)
{
    client::TRightBtmMsgDlgFrm popup(folder.folder());
    EXPECT_EQ(popup.lblPlayFilename->text(), QStringLiteral("停止"));
    popup.setPlayFileName(QStringLiteral("Sunrise"));
    popup.show();
    popup.close();
    popup.show();
    EXPECT_EQ(popup.lblPlayFilename->text(), QStringLiteral("Sunrise"));
    EXPECT_EQ(popup.lblDownLoadFileName->text(), QStringLiteral("停止"));
}

TEST_F(PopupWindows, AboutWindowOpensCentredAboveOtherWindowsAndClosesFromItsButton)
{
    client::TCopyrightInfoFrm about(folder.folder());
    about.show();
    EXPECT_EQ(about.size(), QSize(247, 118));
    EXPECT_EQ(about.frameGeometry().center(), workArea().center());
    EXPECT_TRUE(about.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About-Tunelix"));
    about.BtnClose->click();
    EXPECT_FALSE(about.isVisible());
}

} // namespace

#pragma once

#include "skin/DlgPopupFrm.h"

#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>

class QFileDialog;

namespace tunelix::catalogue {
class TTxDataModule;
}
namespace tunelix::skin {
class GlowLabel;
class PictureButton;
class SkinPanel;
} // namespace tunelix::skin

namespace tunelix::client {

struct ClientContext;
class PlayControl;
class SeekSlider;

// The song info window: the playing file's name, the elapsed time, a seek slider,
// pause, resume, previous and next, save to, and a banner that opens the shop page.
// It is shown over the main window by the grid's double-click (which disables the main
// window); its close button enables the main window again. Closing it does not stop
// playing. It listens to `control` for the file that began.
// GUI thread only.
class TSongInfoFrm : public skin::TDlgPopupFrm
{
    Q_OBJECT
public:
    TSongInfoFrm(ProgramFolder folder, ClientContext &context, catalogue::TTxDataModule &data, PlayControl &control,
        QWidget *mainWindow, QWidget *parent = nullptr);
    ~TSongInfoFrm() override;

    // The address the banner opens.
    static QString shopPageUrl();

    // Sets up the slider and reads its skin picture; throws when the picture cannot be
    // read (the window then works without it). Run once after construction.
    void FormCreate();
    // The inherited show handler first, then over the main window's middle.
    void FormShow() override;
    // Any close: Timer1 off, Lbl_Filename reset, the catalogue refreshed.
    void FormClose();

    void Timer1Timer();
    void USSliderEx1MouseDown(int x);
    void sePngXButton1Click(); // pause
    void sePngXButton2Click(); // resume
    void sePngXButton3Click(); // previous row
    void sePngXButton4Click(); // next row
    void BtnCloseClick();
    void seImage1Click();
    void seBtnOpenFolderClick();

    // A file began: its shown name, and its length for the slider's range.
    void songStarted(const QString &shownName, std::uint32_t lengthMs);

    // The main window's RefreshCatalogue.
    std::function<void()> RefreshCatalogue;
    // Stand-ins for tests: the save dialog's answer (empty: cancelled) and the shell's
    // "open" of a web address.
    std::function<QString()> askSavePath;
    std::function<void(const QString &url)> openUrl;

    skin::PictureButton *BtnClose;
    skin::PictureButton *seImage1;
    skin::SkinPanel *sePanel3;
    skin::GlowLabel *Lbl_Filename;
    skin::GlowLabel *Label1;
    SeekSlider *USSliderEx1;
    skin::PictureButton *sePngXButton1;
    skin::PictureButton *sePngXButton2;
    skin::PictureButton *sePngXButton3;
    skin::PictureButton *sePngXButton4;
    skin::PictureButton *seBtnOpenFolder;
    QTimer Timer1;
    QFileDialog *SaveToRingDialog;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void layoutContent();
    QString runSaveDialog();
    void moveRow(int step);

    ClientContext &m_context;
    catalogue::TTxDataModule &m_data;
    PlayControl &m_control;
    QWidget *m_mainWindow;
    std::uint32_t m_lengthMs = 0;
};

} // namespace tunelix::client

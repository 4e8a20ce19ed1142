#pragma once

#include "platform/ProgramFolder.h"
#include "skin/SkinPanel.h"

#include <QList>
#include <QPixmap>
#include <QStringList>
#include <QWidget>

#include <stdexcept>

namespace tunelix::skin {

class GlowLabel;

// A frame picture that could not be read; the message names the file.
class FrameImageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The borderless window of both programs: a nine-piece picture frame around a content
// area, in three bands (MainTop 31 high, mainBtm 4 high, mainCenter filling the rest).
// The nine pictures are read from the skin folder at every show, so replacing the
// files changes the look. Every band and piece drags the whole window. Derived windows
// put their title-bar buttons on TopMiddle and their content on CenterMiddle.
// GUI thread only.
class TBaseFrm : public QWidget
{
    Q_OBJECT
public:
    explicit TBaseFrm(ProgramFolder folder, QWidget *parent = nullptr);

    // The frame's picture files, in the order of their list positions 0 to 8.
    static const QStringList &frameImageNames();
    // The colour a piece shows without its picture, by list position.
    static QColor plainColour(int position);

    // The show handler: loads the nine pictures from the program's skin folder.
    // Derived windows that override it call this one first. Throws FrameImageError.
    virtual void FormShow();

    // Loads the nine pictures from `folder` + each name into positions 0 to 8 of
    // BgImg, replacing the earlier ones. The first file that cannot be read ends the
    // loading with FrameImageError: its piece and the later ones show their plain
    // colours; the window stays usable.
    void LoadFrameImages(const QString &folder);

    // Draws `text` as the caption on the title band (the frame has no system caption).
    void setCaptionText(const QString &text);

    // The size of the whole window (the frame has no system border).
    void setClientSize(int width, int height);

    // The picture list: always nine positions after a show; a null pixmap at a
    // position means "no picture" and the piece shows its plain colour.
    QList<QPixmap> BgImg;

    SkinPanel *MainTop;
    SkinPanel *mainBtm;
    SkinPanel *mainCenter;
    SkinPanel *TopLeft;
    SkinPanel *TopMiddle;
    SkinPanel *TopRight;
    SkinPanel *BtmLeft;
    SkinPanel *BtmMiddle;
    SkinPanel *BtmRight;
    SkinPanel *CenterLeft;
    SkinPanel *CenterMiddle;
    SkinPanel *CenterRight;

    // The pieces by list position 0 to 8.
    SkinPanel *piece(int position) const { return m_pieces[position]; }

protected:
    // Runs FormShow on each show by the program (not when the window system merely
    // maps the window again); its error goes to the standard error box.
    void showEvent(QShowEvent *event) override;

    const ProgramFolder &programFolder() const { return m_folder; }

private:
    void applyPictures();

    ProgramFolder m_folder;
    SkinPanel *m_pieces[9];
    GlowLabel *m_caption = nullptr;
};

// Moves `window` to the centre of the primary screen's work area (nothing without a screen).
void moveToDesktopCentre(QWidget &window);

} // namespace tunelix::skin

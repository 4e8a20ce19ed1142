// Takes pictures of the client's windows over a small sample catalogue, without a
// display: tunelix-screenshots OUTDIR SKINDIR writes main.png, status.png and about.png.
// scripts/screenshots.sh runs it (offscreen, at 1x and 2x).
#include "catalogue/TxDataModule.h"
#include "client/ClientContext.h"
#include "client/CopyrightInfoFrm.h"
#include "client/MainFrm.h"
#include "client/RightBtmMsgDlgFrm.h"
#include "skin/ErrorBox.h"
#include "skin/GlowLabel.h"
#include "skin/PictureToolBar.h"
#include "support/CatalogueBuilder.h"
#include "support/TempProgramFolder.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPixmap>
#include <QTableView>
#include <QTest>

#include <cstdio>

using namespace tunelix;

namespace {

void copySkin(const QString &from, const test::TempProgramFolder &to)
{
    const QDir root(QFileInfo(from).absoluteFilePath());
    QDirIterator it(root.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        QFile f(file);
        if (f.open(QIODevice::ReadOnly))
            to.writeFile(QStringLiteral("skin/") + root.relativeFilePath(file), f.readAll());
    }
}

std::vector<catalogue::CatalogueRow> sampleCatalogue()
{
    const char *names[] = {
        "[Tunelix]月亮代表我的心.mp3",
        "[Tunelix]茉莉花.mp3",
        "Nokia Tune.mp3",
        "[Tunelix]甜蜜蜜.mp3",
        "Für Elise (Piano).mp3",
        "[Tunelix]童年.mp3",
        "[Tunelix]小苹果.mp3",
        "Canon in D.mp3",
        "[Tunelix]菊花台.mp3",
        "Morning Birds.mp3",
        "[Tunelix]青花瓷.mp3",
        "[Tunelix]后来.mp3",
        "Marimba Classic.mp3",
        "[Tunelix]稻香.mp3",
        "[Tunelix]夜曲.mp3",
        "Retro Phone Ring.mp3",
        "[Tunelix]传奇.mp3",
        "[Tunelix]平凡之路.mp3",
        "Sunrise Alarm.mp3",
        "[Tunelix]告白气球.mp3",
        "Jingle Bells.mp3",
        "[Tunelix]江南.mp3",
        "[Tunelix]光年之外.mp3",
    };
    std::vector<catalogue::CatalogueRow> rows;
    int id = 1000;
    for (const char *name : names) {
        catalogue::CatalogueRow row = test::sampleRow(id, QString::fromUtf8(name));
        row.songLength = 18 + (id * 7) % 40;
        row.starLv = (id * 3) % 4;
        row.fileState = (id % 3 == 0) ? 1 : 0;
        row.isNew = id >= 1016 ? 1 : (id % 4 == 0 ? 0 : -1);
        rows.push_back(row);
        ++id;
    }
    return rows;
}

bool save(QWidget *window, const QString &file)
{
    const QPixmap pm = window->grab();
    if (!pm.save(file, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: tunelix-screenshots OUTDIR SKINDIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString suffix = app.devicePixelRatio() > 1.0 ? QStringLiteral("@2x") : QString();
    QDir().mkpath(out);
    // No box may wait for a click here.
    skin::setErrorHandler(
        [](QWidget *, const QString &message) { std::fprintf(stderr, "error: %s\n", qPrintable(message)); });

    test::TempProgramFolder folder;
    copySkin(QString::fromLocal8Bit(argv[2]), folder);
    test::writeCatalogue(folder.folder().catalogueDatabase(), sampleCatalogue());

    client::ClientContext context(folder.folder());
    catalogue::TTxDataModule data(folder.folder().catalogueDatabase());
    client::TmainFrm mainFrm(context, data);
    mainFrm.FormCreate();
    client::TRightBtmMsgDlgFrm popup(folder.folder());
    client::TCopyrightInfoFrm about(folder.folder());
    mainFrm.setStatusPopup(&popup);
    mainFrm.setAboutWindow(&about);

    data.qry1()->setCurrentIndex(2);
    mainFrm.seXLbl_PlayFileName->setText(QStringLiteral("Playing: 光年之外"));
    mainFrm.DownFileLbl->setText(QStringLiteral("Download-[Tunelix]江南.mp3"));
    mainFrm.seToolBarEx1->setSelectedIndex(1);
    mainFrm.show();
    QTest::qWait(400);

    popup.setPlayFileName(QStringLiteral("光年之外"));
    popup.setDownloadFileName(QStringLiteral("[Tunelix]江南.mp3"));
    popup.show();
    about.show();
    QTest::qWait(1200); // the popup's show animation

    bool ok = save(&mainFrm, out + QStringLiteral("/main") + suffix + QStringLiteral(".png"));
    ok = save(&popup, out + QStringLiteral("/status") + suffix + QStringLiteral(".png")) && ok;
    ok = save(&about, out + QStringLiteral("/about") + suffix + QStringLiteral(".png")) && ok;
    return ok ? 0 : 1;
}

#pragma once

// The play-control fixture both client playback tests use: a program folder with a
// catalogue of four rows and their ring files, the data module, the client context
// and a PlayControl whose hooks record what they are given.

#include "catalogue/TxDataModule.h"
#include "client/ClientContext.h"
#include "client/song/PlayControl.h"
#include "support/CatalogueBuilder.h"
#include "support/TempProgramFolder.h"
#include "support/ToneMp3.h"

#include <QDir>

#include <gtest/gtest.h>

namespace tunelix::test {

class SongFixture : public ::testing::Test
{
protected:
    // Rows of the view (FileID descending): 0 First (0.5 s), 1 Second (2.5 s),
    // 2 Missing (no file), 3 Bad (not an MP3).
    void SetUp() override
    {
        qputenv("TUNELIX_AUDIO_OUTPUT", "silent");
        writeCatalogue(folder.folder().catalogueDatabase(),
            { sampleRow(1, QStringLiteral("[Tunelix]Bad.mp3")), sampleRow(2, QStringLiteral("Missing.mp3")),
                sampleRow(3, QStringLiteral("Second.mp3")), sampleRow(4, QStringLiteral("[Tunelix]First.mp3")) });
        context.RingFolder = folder.folder().ringFolder();
        QDir().mkpath(context.RingFolder);
        writeToneMp3(ringPath("[Tunelix]First.mp3"), 0.5, 22050, 440);
        writeToneMp3(ringPath("Second.mp3"), 2.5, 22050, 660);
        folder.writeFile(QStringLiteral("Ring/[Tunelix]Bad.mp3"), QByteArray("not an MP3 at all\n").repeated(50));
        data.openView(catalogue::TTxDataModule::allRowsStatement());

        control.isAutoDownloadChecked = [this] { return autoDownloadButton; };
        control.checkAutoDownload = [this] {
            ++buttonChecks;
            autoDownloadButton = true;
            context.AutoDownloadOn = true; // what the button's handler does
        };
        control.setPlayFileNameLabel = [this](const QString &text) { playLabel = text; };
        control.setStatusPlayFileName = [this](const QString &text) { statusLabel = text; };
    }

    void TearDown() override { control.freePlayer(); }

    QString ringPath(const char *name) const { return context.RingFolder + QString::fromUtf8(name); }

    static constexpr int kPatienceMs = 30'000;

    TempProgramFolder folder;
    client::ClientContext context { folder.folder() };
    catalogue::TTxDataModule data { folder.folder().catalogueDatabase() };
    client::PlayControl control { context, data };

    bool autoDownloadButton = false;
    int buttonChecks = 0;
    QString playLabel = QStringLiteral("Play");
    QString statusLabel = QStringLiteral("(unchanged)");
};

} // namespace tunelix::test

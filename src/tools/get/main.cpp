// tunelix-get: downloads catalogue rows with the client's transfer engine, without windows.
//   tunelix-get [options] FILEID...   those rows
//   tunelix-get [options] --all       every row whose file is missing, highest FileID first
// Exit status 0 only when every requested file is present and verified.
#include "GetRunner.h"

#include "catalogue/TxDataModule.h"
#include "platform/ProgramFolder.h"
#include "transfer/TransferEngine.h"
#include "transfer/TransmitManager.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <unistd.h>

#include <climits>
#include <cstdio>

using namespace tunelix;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tunelix-get"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Downloads catalogue files into the program folder's Ring folder."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("FILEID"), QStringLiteral("catalogue rows to download"),
                                 QStringLiteral("[FILEID...]"));
    const QCommandLineOption all(QStringLiteral("all"), QStringLiteral("Download every missing file."));
    const QCommandLineOption folderOpt(QStringLiteral("folder"),
                                       QStringLiteral("Program folder to use instead of this program's."),
                                       QStringLiteral("DIR"));
    const QCommandLineOption attemptsOpt(QStringLiteral("attempts"),
                                         QStringLiteral("Starts per file before giving up (default 3)."),
                                         QStringLiteral("N"), QStringLiteral("3"));
    const QCommandLineOption inactivityOpt(QStringLiteral("inactivity-ms"),
                                           QStringLiteral("Stop a download that completes no segment for this long "
                                                          "(default 15000)."),
                                           QStringLiteral("MS"), QStringLiteral("15000"));
    const QCommandLineOption stallOpt(QStringLiteral("stall-seconds"),
                                      QStringLiteral("Fail a request after this many seconds without data "
                                                     "(default 30)."),
                                      QStringLiteral("S"), QStringLiteral("30"));
    const QCommandLineOption agentOpt(QStringLiteral("user-agent"),
                                      QStringLiteral("User-Agent to send (benchmarks tell runs apart by it)."),
                                      QStringLiteral("TEXT"));
    const QCommandLineOption endGameOpt(QStringLiteral("end-game-take-over"),
                                        QStringLiteral("Let a worker without a free segment take over a slow "
                                                       "worker's last one (benchmark comparison)."));
    const QCommandLineOption pauseOpt(QStringLiteral("segment-pause-ms"),
                                      QStringLiteral("A worker's pause after each segment (default 1)."),
                                      QStringLiteral("MS"), QStringLiteral("1"));
    const QCommandLineOption quietOpt(QStringLiteral("quiet"), QStringLiteral("Only report failures."));
    parser.addOptions({all, folderOpt, attemptsOpt, inactivityOpt, stallOpt, agentOpt, endGameOpt, pauseOpt, quietOpt});
    parser.process(app);

    const QStringList ids = parser.positionalArguments();
    if (parser.isSet(all) == !ids.isEmpty()) {
        std::fprintf(stderr, "tunelix-get: give FILEIDs or --all\n");
        return 2;
    }
    const ProgramFolder folder = parser.isSet(folderOpt) ? ProgramFolder(parser.value(folderOpt))
                                                         : ProgramFolder::ofRunningProgram();
    if (!QFileInfo::exists(folder.catalogueDatabase())) {
        std::fprintf(stderr, "tunelix-get: no catalogue at %s\n", qPrintable(folder.catalogueDatabase()));
        return 2;
    }
    QDir().mkpath(folder.ringFolder());

    transfer::EngineSettings settings;
    settings.inactivityTimeoutMs = parser.value(inactivityOpt).toUInt();
    settings.stallSeconds = parser.value(stallOpt).toLong();
    settings.endGameTakeOver = parser.isSet(endGameOpt);
    settings.segmentPauseMs = parser.value(pauseOpt).toInt();
    if (parser.isSet(agentOpt))
        settings.userAgent = parser.value(agentOpt).toUtf8();
    transfer::TransferEngine engine(settings);

    get::GetOptions options;
    options.attempts = std::max(1, parser.value(attemptsOpt).toInt());
    options.progressBar = ::isatty(STDOUT_FILENO);
    options.quiet = parser.isSet(quietOpt);

    int status = 0;
    try {
        catalogue::TTxDataModule data(folder.catalogueDatabase());
        get::GetRunner runner(engine, data, folder.ringFolder(), options);
        if (parser.isSet(all)) {
            // As automatic download walks: every row whose finished file is not there.
            for (const catalogue::CatalogueRow &row : data.rowsAtOrBelow(INT_MAX, INT_MAX)) {
                const auto path = transfer::ringFilePath(folder.ringFolder(), row.fileName);
                if (!path || !QFileInfo(*path).isFile())
                    runner.add(row);
            }
        } else {
            for (const QString &text : ids) {
                bool ok = false;
                const qint32 id = text.toInt(&ok);
                if (!ok) {
                    runner.addMissing(0, QStringLiteral("not a FileID: ") + text);
                    continue;
                }
                if (const auto row = data.readRow(id))
                    runner.add(*row);
                else
                    runner.addMissing(id, QStringLiteral("no such row in the catalogue"));
            }
        }
        QObject::connect(&runner, &get::GetRunner::finished, &app, &QCoreApplication::quit);
        engine.startManagerThread();
        runner.run();
        app.exec();
        engine.shutdown();
        status = runner.failures() ? 1 : 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "tunelix-get: %s\n", e.what());
        status = 1;
    }
    return status;
}

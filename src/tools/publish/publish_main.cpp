// tunelix-publish: makes or extends a release folder for a static HTTP server.
//
//   tunelix-publish --book N --source DIR --release DIR --mirror URL [--mirror URL ...]
//                   [--page-mirror URL ...] [--update-base URL]
#include "publish/Publisher.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tunelix-publish"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes a release folder: the ringtones of one book, its daily catalogue file and the manifest ver.xml."));
    parser.addHelpOption();
    const QCommandLineOption book(QStringLiteral("book"), QStringLiteral("Book number (1 or more)."), QStringLiteral("N"));
    const QCommandLineOption source(QStringLiteral("source"), QStringLiteral("Folder of MP3 files."), QStringLiteral("DIR"));
    const QCommandLineOption release(QStringLiteral("release"), QStringLiteral("Release folder."), QStringLiteral("DIR"));
    const QCommandLineOption mirror(QStringLiteral("mirror"), QStringLiteral("Base address of a mirror (repeatable)."),
                                    QStringLiteral("URL"));
    const QCommandLineOption pageMirror(QStringLiteral("page-mirror"),
                                        QStringLiteral("Base address of a mirror given as link pages (repeatable)."),
                                        QStringLiteral("URL"));
    const QCommandLineOption updateBase(QStringLiteral("update-base"),
                                        QStringLiteral("Base address of the daily files in the manifest."),
                                        QStringLiteral("URL"));
    parser.addOptions({book, source, release, mirror, pageMirror, updateBase});
    parser.process(app);

    if (!parser.isSet(book) || !parser.isSet(source) || !parser.isSet(release)) {
        std::fprintf(stderr, "tunelix-publish: --book, --source and --release are needed (see --help)\n");
        return 2;
    }
    tunelix::publish::PublishOptions options;
    bool ok = false;
    options.book = parser.value(book).toInt(&ok);
    if (!ok) {
        std::fprintf(stderr, "tunelix-publish: the book number must be a whole number\n");
        return 2;
    }
    options.sourceFolder = parser.value(source);
    options.releaseFolder = parser.value(release);
    options.mirrors = parser.values(mirror);
    options.pageMirrors = parser.values(pageMirror);
    options.updateBase = parser.value(updateBase);
    try {
        const auto result = tunelix::publish::publishRelease(options);
        std::printf("book %d: %d new rows", options.book, result.added);
        if (result.added > 0)
            std::printf(" (FileID %d to %d)", result.firstNewFileId, result.lastNewFileId);
        std::printf(", %d changed rows\n", result.changed);
    } catch (const tunelix::publish::PublishError &e) {
        std::fprintf(stderr, "tunelix-publish: %s\n", e.what());
        return 1;
    }
    return 0;
}

// Writes benchmark rows into a catalogue: transfer-bench-catalogue DB < rows
// Each input line: FILEID FILENAME SIZE MD5 URL [URL...] (at most six URLs; the links
// are encoded with the row's key as the catalogue stores them).
#include "catalogue/CatalogueDatabase.h"
#include "catalogue/CatalogueWriter.h"
#include "extlib/LinkCodec.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

using namespace tunelix;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: transfer-bench-catalogue DB < rows\n");
        return 2;
    }
    try {
        if (!QFileInfo::exists(args.at(1)))
            catalogue::CatalogueDatabase::create(args.at(1));
        std::vector<catalogue::CatalogueRow> rows;
        QTextStream in(stdin);
        while (!in.atEnd()) {
            const QStringList f = in.readLine().split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (f.size() < 5)
                continue;
            catalogue::CatalogueRow r;
            r.fileId = f.at(0).toInt();
            r.fileName = f.at(1);
            r.fileSize = f.at(2).toInt();
            r.md5Code = f.at(3);
            r.songLength = 30;
            r.starLv = 0;
            r.fileType = 1;
            r.fileState = 0;
            r.bookId = 1;
            r.isNew = 0;
            for (int i = 4; i < f.size() && i - 4 < 6; ++i)
                r.webLinks[std::size_t(i - 4)] =
                    QString::fromLatin1(extlib::encodeLink(f.at(i).toLatin1(), extlib::linkKey(r.fileId)));
            rows.push_back(r);
        }
        catalogue::CatalogueDatabase db(args.at(1), {});
        catalogue::insertRows(db.db(), rows);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "transfer-bench-catalogue: %s\n", e.what());
        return 1;
    }
    return 0;
}

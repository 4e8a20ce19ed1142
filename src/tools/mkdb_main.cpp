// Writes an empty catalogue file: tunelix-mkdb PATH
#include "catalogue/CatalogueDatabase.h"
#include "catalogue/CatalogueError.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: tunelix-mkdb PATH\n");
        return 2;
    }
    try {
        tunelix::catalogue::CatalogueDatabase::create(args.at(1));
    } catch (const tunelix::catalogue::CatalogueError &e) {
        std::fprintf(stderr, "tunelix-mkdb: %s\n", e.what());
        return 1;
    }
    return 0;
}

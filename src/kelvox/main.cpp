#include "kelvox/UpdateFrm.h"
#include "update/UpdateStep.h"

#include <QApplication>

#ifndef KELVOX_DEFAULT_MANIFEST_URL
#error "KELVOX_DEFAULT_MANIFEST_URL is set by the build"
#endif

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvox"));
    tunelix::kelvox::TUpdateFrm frm(tunelix::ProgramFolder::ofRunningProgram());
    // The window is the main form: when it has closed, the program ends.
    QObject::connect(&frm, &tunelix::kelvox::TUpdateFrm::formClosed, &app, &QApplication::quit, Qt::QueuedConnection);
    frm.setManifestUrl(tunelix::update::manifestUrl(QStringLiteral(KELVOX_DEFAULT_MANIFEST_URL)));
    frm.show();
    return QApplication::exec();
}

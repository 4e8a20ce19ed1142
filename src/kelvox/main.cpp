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
    // The window is the main form: when it closes, the program ends (the tray icon
    // does not keep it alive).
    QApplication::setQuitOnLastWindowClosed(true);
    tunelix::kelvox::TUpdateFrm frm(tunelix::ProgramFolder::ofRunningProgram());
    frm.setManifestUrl(tunelix::update::manifestUrl(QStringLiteral(KELVOX_DEFAULT_MANIFEST_URL)));
    frm.show();
    return QApplication::exec();
}

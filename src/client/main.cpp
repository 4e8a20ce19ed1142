#include "client/ClientApp.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tunelix"));
    return tunelix::client::runClient(tunelix::ProgramFolder::ofRunningProgram());
}

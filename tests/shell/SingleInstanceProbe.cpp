// A process that runs the single-instance test under a given name, for the
// two-process tests: prints "running" or "forwarded", then, when running, waits for
// restore requests and prints "restore" for each, until killed or told to quit on stdin.
#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    tunelix::SingleInstance instance(QString::fromLocal8Bit(argv[1]));
    if (instance.alreadyRunning()) {
        std::printf("forwarded\n");
        std::fflush(stdout);
        return 0;
    }
    std::printf(instance.isRegistered() ? "running\n" : "unguarded\n");
    std::fflush(stdout);
    QObject::connect(&instance, &tunelix::SingleInstance::restoreRequested, [] {
        std::printf("restore\n");
        std::fflush(stdout);
    });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    return QCoreApplication::exec();
}

#include "platform/DailyUpdaterStart.h"
#include "platform/SingleInstance.h"
#include "support/TempProgramFolder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QFile>
#include <QProcess>
#include <QUuid>

#include <gtest/gtest.h>

#include <csignal>

using namespace tunelix;

namespace {

// Generous bounds: a slow machine must not fail these.
constexpr int kWaitMs = 20000;

QString uniqueName()
{
    return QStringLiteral("tunelix-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

class Probe
{
public:
    explicit Probe(const QString &name)
    {
        m_process.setProgram(QStringLiteral(SINGLE_INSTANCE_PROBE));
        m_process.setArguments({name});
        m_process.start();
    }
    ~Probe()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(kWaitMs);
        }
    }

    QString nextLine()
    {
        QElapsedTimer timer;
        timer.start();
        while (!m_process.canReadLine() && timer.elapsed() < kWaitMs)
            m_process.waitForReadyRead(100);
        return QString::fromLatin1(m_process.readLine()).trimmed();
    }

    bool finished() { return m_process.waitForFinished(kWaitMs); }
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(kWaitMs);
    }
    QProcess &process() { return m_process; }

private:
    QProcess m_process;
};

TEST(SingleInstance, SecondProcessAsksTheFirstToComeForwardAndEnds)
{
    const QString name = uniqueName();
    Probe first(name);
    ASSERT_EQ(first.nextLine(), QStringLiteral("running"));

    Probe second(name);
    EXPECT_EQ(second.nextLine(), QStringLiteral("forwarded"));
    EXPECT_TRUE(second.finished());
    EXPECT_EQ(second.process().exitCode(), 0);
    EXPECT_EQ(first.nextLine(), QStringLiteral("restore"));
}

TEST(SingleInstance, NameLeftByAKilledInstanceDoesNotBlockTheNextStart)
{
    const QString name = uniqueName();
    {
        Probe killed(name);
        ASSERT_EQ(killed.nextLine(), QStringLiteral("running"));
        killed.kill(); // SIGKILL: the socket name stays behind
    }
    Probe next(name);
    EXPECT_EQ(next.nextLine(), QStringLiteral("running"));
}

TEST(SingleInstance, InProcessRegistrationAndRestoreSignal)
{
    const QString name = uniqueName();
    SingleInstance first(name);
    ASSERT_FALSE(first.alreadyRunning());
    EXPECT_TRUE(first.isRegistered());
    int restores = 0;
    QObject::connect(&first, &SingleInstance::restoreRequested, [&] { ++restores; });

    // The second instance must run in another process: this one serves the first's socket.
    Probe second(name);
    QElapsedTimer timer;
    timer.start();
    while (restores == 0 && timer.elapsed() < kWaitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(restores, 1);
    EXPECT_EQ(second.nextLine(), QStringLiteral("forwarded"));
}

TEST(UpdaterStart, StartsTheProgramFromItsPathWithoutWaiting)
{
    test::TempProgramFolder folder;
    const QString marker = folder.path(QStringLiteral("started.txt"));
    folder.writeFile(QStringLiteral("kelvox"),
                     QByteArray("#!/bin/sh\necho started > '").append(marker.toUtf8()).append("'\n"));
    QFile::setPermissions(folder.folder().updaterExecutable(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    DailyUpdaterStart start{folder.folder().settingsFile(), folder.folder().updaterExecutable(), startDetachedProgram};
    start.run(QDate(2026, 12, 11));

    QElapsedTimer timer;
    timer.start();
    while (!QFile::exists(marker) && timer.elapsed() < kWaitMs)
        QThread::msleep(20);
    EXPECT_TRUE(QFile::exists(marker));
}

TEST(UpdaterStart, MissingUpdaterIsNotReportedAndTheDateIsStored)
{
    test::TempProgramFolder folder;
    DailyUpdaterStart start{folder.folder().settingsFile(), folder.folder().updaterExecutable(), startDetachedProgram};
    EXPECT_NO_THROW(start.run(QDate(2026, 12, 11)));
    EXPECT_TRUE(folder.readFile(QStringLiteral("RngConfig.ini")).contains("20261211"));
}

} // namespace

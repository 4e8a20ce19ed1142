#include "platform/DailyUpdaterStart.h"

#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace tunelix;

namespace {

struct StartCase
{
    const char *name;
    const char *stored; // null: no settings file
    bool starts;
};

class DailyStart : public ::testing::TestWithParam<StartCase>
{
protected:
    test::TempProgramFolder folder;
    QStringList started;

    DailyUpdaterStart command()
    {
        return DailyUpdaterStart{folder.folder().settingsFile(), folder.folder().updaterExecutable(),
                                 [this](const QString &p) { started << p; }};
    }
};

TEST_P(DailyStart, StartsTheUpdaterUnlessTodayIsStored)
{
    const StartCase &c = GetParam();
    if (c.stored)
        folder.writeFile(QStringLiteral("RngConfig.ini"), QByteArray("[LastKelvox]\nLastUpDate=") + c.stored + "\n");
    const QDate today(2026, 12, 11);
    const QByteArray before = folder.readFile(QStringLiteral("RngConfig.ini"));

    command().run(today);

    EXPECT_EQ(started.size(), c.starts ? 1 : 0);
    if (c.starts) {
        EXPECT_EQ(started.value(0), folder.folder().updaterExecutable());
        QSettings settings(folder.folder().settingsFile(), QSettings::IniFormat);
        EXPECT_EQ(settings.value(QStringLiteral("LastKelvox/LastUpDate")).toString(), QStringLiteral("20261211"));
    } else {
        EXPECT_EQ(folder.readFile(QStringLiteral("RngConfig.ini")), before);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, DailyStart, ::testing::Values(
    StartCase{"NoFile", nullptr, true},
    StartCase{"SameDay", "20261211", false},
    StartCase{"EarlierDay", "20261210", true},
    StartCase{"LaterDay", "20270101", true},
    StartCase{"Garbage", "yesterday", true},
    StartCase{"Empty", "", true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(DailyStartFailure, UnwritableFolderThrowsAfterStartingAndStoresNothing)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    test::TempProgramFolder folder;
    ASSERT_EQ(chmod(folder.folder().root().toLocal8Bit().constData(), 0555), 0);
    int started = 0;
    DailyUpdaterStart command{folder.folder().settingsFile(), folder.folder().updaterExecutable(),
                              [&](const QString &) { ++started; }};
    EXPECT_THROW(command.run(QDate(2026, 12, 11)), std::runtime_error);
    EXPECT_EQ(started, 1);
    chmod(folder.folder().root().toLocal8Bit().constData(), 0755);
    EXPECT_FALSE(QFile::exists(folder.folder().settingsFile()));
}

TEST(DailyStartFailure, UnwritableSettingsFileThrows)
{
    test::TempProgramFolder folder;
    // A folder in place of the file cannot be written, even by root.
    QDir().mkpath(folder.folder().settingsFile());
    int started = 0;
    DailyUpdaterStart command{folder.folder().settingsFile(), folder.folder().updaterExecutable(),
                              [&](const QString &) { ++started; }};
    EXPECT_THROW(command.run(QDate(2026, 12, 11)), std::runtime_error);
}

} // namespace

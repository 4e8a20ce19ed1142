#include "platform/DailyUpdaterStart.h"

#include <QFileInfo>
#include <QSettings>

#include <stdexcept>

namespace tunelix {

namespace {
const QString kKey = QStringLiteral("LastKelvox/LastUpDate");
}

QString settingsDateText(const QDate &date)
{
    return date.toString(QStringLiteral("yyyyMMdd"));
}

void DailyUpdaterStart::run(const QDate &today) const
{
    QSettings settings(settingsFile, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        throw std::runtime_error("cannot read the settings file");

    const QString todayText = settingsDateText(today);
    const QString stored = settings.value(kKey).toString();
    if (!stored.isEmpty() && stored == todayText)
        return;

    startProgram(updaterExecutable);

    settings.setValue(kKey, todayText);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw std::runtime_error("cannot write the settings file");
}

} // namespace tunelix

#include <QProcess>

namespace tunelix {
void startDetachedProgram(const QString &program)
{
    QProcess::startDetached(program, {}, QFileInfo(program).absolutePath());
}
} // namespace tunelix

#pragma once

#include <QDate>
#include <QString>

#include <functional>

namespace tunelix {

// The close command's daily updater start: the updater runs when the date stored in
// the settings file ("LastKelvox"/"LastUpDate", "YYYYMMDD") is empty or differs as
// text from today, and today is then stored. A plain inequality, so a date in the
// future (clock set back) also starts it.
struct DailyUpdaterStart
{
    QString settingsFile;
    QString updaterExecutable;
    // Starts a program without waiting; its result is not looked at.
    std::function<void(const QString &program)> startProgram;

    // Throws std::runtime_error when the settings file cannot be read or written; the
    // updater may have been started already then, and the date is not stored, so the
    // next close command starts it again.
    void run(const QDate &today) const;
};

// "YYYYMMDD" of a local date.
QString settingsDateText(const QDate &date);

} // namespace tunelix

namespace tunelix {
// Starts a program from its full path without waiting and without looking at the result.
void startDetachedProgram(const QString &program);
} // namespace tunelix

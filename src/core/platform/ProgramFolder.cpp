#include "platform/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>

namespace tunelix {

namespace {
QString executableName(const QString &base)
{
#ifdef Q_OS_WIN
    return base + QStringLiteral(".exe");
#else
    return base;
#endif
}
} // namespace

ProgramFolder ProgramFolder::ofRunningProgram()
{
    return ProgramFolder(QCoreApplication::applicationDirPath());
}

ProgramFolder::ProgramFolder(const QString &root)
    : m_root(QDir::cleanPath(QDir(root).absolutePath()))
{
    if (!m_root.endsWith(QLatin1Char('/')))
        m_root += QLatin1Char('/');
}

QString ProgramFolder::file(const QString &relative) const
{
    QString rel = relative;
    rel.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return m_root + rel;
}

QString ProgramFolder::ringFolder() const { return file(QStringLiteral("Ring/")); }
QString ProgramFolder::dailyFolder() const { return file(QStringLiteral("daily/")); }
QString ProgramFolder::skinFrameFolder() const { return file(QStringLiteral("skin/frmBg/")); }
QString ProgramFolder::catalogueDatabase() const { return file(QStringLiteral("local.mdb")); }
QString ProgramFolder::settingsFile() const { return file(QStringLiteral("RngConfig.ini")); }
QString ProgramFolder::seekSliderPicture() const { return file(QStringLiteral("skin/seek.png")); }
QString ProgramFolder::updaterExecutable() const { return file(executableName(QStringLiteral("kelvox"))); }
QString ProgramFolder::clientExecutable() const { return file(executableName(QStringLiteral("tunelix"))); }
QString ProgramFolder::manifestFile() const { return file(QStringLiteral("ver.xml")); }

} // namespace tunelix

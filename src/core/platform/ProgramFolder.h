#pragma once

#include <QString>

namespace tunelix {

// The one place that knows where the program lives. Every file the programs read or
// write is named here, relative to the folder of the running executable; nothing is
// ever resolved against the process's current folder. Tests build one over a
// temporary folder. Immutable after construction, so any thread may call it.
class ProgramFolder
{
public:
    // The folder of the running executable (QCoreApplication must exist).
    static ProgramFolder ofRunningProgram();

    explicit ProgramFolder(const QString &root);

    // Absolute, with a trailing separator.
    QString root() const { return m_root; }
    QString ringFolder() const;        // "Ring/", ringtones and their .map/.data files
    QString dailyFolder() const;       // "daily/", the updater's daily catalogue files
    QString skinFrameFolder() const;   // "skin/frmBg/", the nine frame pictures
    QString catalogueDatabase() const; // "local.mdb"
    QString settingsFile() const;      // "RngConfig.ini"
    QString seekSliderPicture() const; // "skin/seek.png"
    QString updaterExecutable() const; // "kelvox"
    QString clientExecutable() const;  // "tunelix"
    QString manifestFile() const;      // "ver.xml", where the updater stores the manifest

    // `relative` may use '/' or '\' as separators; the result is absolute.
    QString file(const QString &relative) const;

private:
    QString m_root;
};

} // namespace tunelix

#pragma once

#include "platform/ProgramFolder.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace tunelix::test {

// A program folder in a temporary directory, removed with the fixture.
class TempProgramFolder
{
public:
    TempProgramFolder();

    const ProgramFolder &folder() const { return m_folder; }
    QString path(const QString &relative) const { return m_folder.file(relative); }

    // Writes a file below the folder, creating its folders.
    void writeFile(const QString &relative, const QByteArray &content) const;
    QByteArray readFile(const QString &relative) const;

    // Writes an empty catalogue local.mdb.
    void createCatalogue() const;

private:
    QTemporaryDir m_dir;
    ProgramFolder m_folder;
};

} // namespace tunelix::test

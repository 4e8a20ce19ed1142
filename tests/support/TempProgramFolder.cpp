#include "support/TempProgramFolder.h"

#include "catalogue/CatalogueDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace tunelix::test {

TempProgramFolder::TempProgramFolder()
    : m_folder(m_dir.path())
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot make a temporary folder");
}

void TempProgramFolder::writeFile(const QString &relative, const QByteArray &content) const
{
    const QString target = path(relative);
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile f(target);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(content) != content.size())
        throw std::runtime_error("cannot write a fixture file");
}

QByteArray TempProgramFolder::readFile(const QString &relative) const
{
    QFile f(path(relative));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void TempProgramFolder::createCatalogue() const
{
    catalogue::CatalogueDatabase::create(m_folder.catalogueDatabase());
}

} // namespace tunelix::test

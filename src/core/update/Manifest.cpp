#include "update/Manifest.h"

#include "rowset/RowsetReader.h"

#include <QDir>
#include <QRegularExpression>

namespace tunelix::update {

std::vector<ManifestEntry> readManifest(const QString &path)
{
    const rowset::Rowset rs = rowset::readRowsetFile(path);
    const int link = rs.requireColumn(QStringLiteral("F_Link"));
    const int name = rs.requireColumn(QStringLiteral("F_FileName"));
    const int dir = rs.requireColumn(QStringLiteral("F_SaveDir"));
    const int md5 = rs.requireColumn(QStringLiteral("F_MD5"));
    std::vector<ManifestEntry> entries;
    entries.reserve(rs.rows.size());
    for (int r = 0; r < rs.rowCount(); ++r)
        entries.push_back({rs.text(r, link), rs.text(r, name), rs.text(r, dir), rs.text(r, md5)});
    return entries;
}

QString TextBeforeDot(const QString &s)
{
    const qsizetype dot = s.indexOf(QLatin1Char('.'));
    return dot < 0 ? s : s.left(dot);
}

bool isDailyFile(const ManifestEntry &entry)
{
    return entry.fileName.contains(QLatin1String(".daily"));
}

namespace {

// A relative piece of a path that stays where it is put: no root, no drive, no "..".
bool staysInside(const QString &piece)
{
    if (piece.startsWith(QLatin1Char('/')) || piece.startsWith(QLatin1Char('\\')))
        return false;
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:"));
    if (drive.match(piece).hasMatch())
        return false;
    static const QRegularExpression separators(QStringLiteral("[/\\\\]"));
    const QStringList parts = piece.split(separators);
    for (const QString &part : parts) {
        if (part == QLatin1String(".."))
            return false;
    }
    return !piece.contains(QChar(0));
}

std::optional<QString> inside(const ProgramFolder &folder, const QString &relative)
{
    const QString cleaned = QDir::cleanPath(folder.file(relative));
    if (!cleaned.startsWith(folder.root()) || cleaned.size() <= folder.root().size())
        return std::nullopt;
    return cleaned;
}

} // namespace

std::optional<EntryPaths> entryPaths(const ProgramFolder &folder, const ManifestEntry &entry)
{
    if (entry.fileName.isEmpty() || !staysInside(entry.saveDir) || !staysInside(entry.fileName))
        return std::nullopt;
    const auto check = inside(folder, entry.saveDir + entry.fileName);
    const auto write = inside(folder, entry.saveDir + QLatin1Char('/') + entry.fileName);
    if (!check || !write)
        return std::nullopt;
    return EntryPaths{*check, *write};
}

} // namespace tunelix::update

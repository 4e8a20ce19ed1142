#include "publish/Publisher.h"

#include "extlib/LinkCodec.h"
#include "extlib/Md5.h"
#include "publish/Mp3Probe.h"
#include "rowset/RowsetReader.h"
#include "rowset/RowsetWriter.h"
#include "update/Publish.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSet>
#include <QUrl>

#include <algorithm>
#include <limits>
#include <map>

namespace tunelix::publish {

namespace {

constexpr int kMaxLinks = 6;
constexpr int kMaxFileNameLength = 200;

struct Ringtone
{
    QString name;
    QString path;
    qint64 size = 0;
    QString md5;
    int seconds = 0;
    int fileId = 0;
    bool changed = false;
};

[[noreturn]] void fail(const QString &message)
{
    throw PublishError(message.toStdString());
}

QString withSlash(QString base)
{
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    return base;
}

void checkBase(const QString &base)
{
    const QUrl url(base, QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QStringLiteral("http") || url.host().isEmpty())
        fail(QStringLiteral("'%1' is not an http:// base address").arg(base));
}

QByteArray encodedName(const QString &name)
{
    return QUrl::toPercentEncoding(name);
}

// Stable rating per name, so re-publishing a name keeps its stars.
int starsFor(const QString &name)
{
    return static_cast<int>(qHash(name, 0x7475u) % 4u);
}

void writeFileAtomically(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        fail(QStringLiteral("cannot write '%1': %2").arg(path, file.errorString()));
}

void copyFileAtomically(const QString &from, const QString &to)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read '%1': %2").arg(from, in.errorString()));
    QDir().mkpath(QFileInfo(to).absolutePath());
    QSaveFile out(to);
    if (!out.open(QIODevice::WriteOnly))
        fail(QStringLiteral("cannot write '%1': %2").arg(to, out.errorString()));
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(buffer.data(), buffer.size());
        if (n < 0)
            fail(QStringLiteral("cannot read '%1': %2").arg(from, in.errorString()));
        if (n == 0)
            break;
        if (out.write(buffer.constData(), n) != n)
            fail(QStringLiteral("cannot write '%1': %2").arg(to, out.errorString()));
    }
    if (!out.commit())
        fail(QStringLiteral("cannot write '%1': %2").arg(to, out.errorString()));
}

std::vector<Ringtone> readSourceFolder(const QString &folder)
{
    const QDir dir(folder);
    if (!dir.exists())
        fail(QStringLiteral("the source folder '%1' does not exist").arg(folder));
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    if (entries.isEmpty())
        fail(QStringLiteral("the source folder '%1' holds no MP3 file").arg(folder));

    std::vector<Ringtone> tones;
    QHash<QString, QString> seen; // folded name -> name
    for (const QFileInfo &info : entries) {
        const QString name = info.fileName();
        if (!name.endsWith(QStringLiteral(".mp3"), Qt::CaseInsensitive))
            fail(QStringLiteral("'%1' is not an MP3 file (its name does not end in .mp3)").arg(name));
        if (name.contains(QLatin1Char('\\')) || name.contains(QLatin1Char('/')))
            fail(QStringLiteral("'%1': a ringtone name holds no path separator").arg(name));
        if (name.size() > kMaxFileNameLength)
            fail(QStringLiteral("'%1': the name is longer than %2 characters").arg(name).arg(kMaxFileNameLength));
        const QString folded = name.toCaseFolded();
        if (seen.contains(folded))
            fail(QStringLiteral("'%1' and '%2' name the same ringtone").arg(seen.value(folded), name));
        seen.insert(folded, name);

        Ringtone tone;
        tone.name = name;
        tone.path = info.absoluteFilePath();
        try {
            tone.seconds = probeMp3(tone.path).seconds;
        } catch (const std::runtime_error &e) {
            fail(QString::fromStdString(e.what()));
        }
        tone.size = info.size();
        if (tone.size > std::numeric_limits<qint32>::max())
            fail(QStringLiteral("'%1' is too large for the catalogue").arg(name));
        tone.md5 = extlib::FileDirectoryMD5(tone.path);
        if (!extlib::looksLikeMd5(tone.md5))
            fail(QStringLiteral("cannot read '%1'").arg(tone.path));
        tones.push_back(tone);
    }
    return tones;
}

struct EarlierRelease
{
    rowset::Rowset manifest;
    // folded name -> FileID, from every book listed (a re-published book keeps its own)
    std::map<QString, int> fileIdByName;
    // FileID -> the latest LastDateTime any listed book gives it
    std::map<int, QDateTime> lastChange;
    int highestFileId = 0;
};

int bookOf(const QString &dailyName)
{
    bool ok = false;
    const int book = dailyName.section(QLatin1Char('.'), 0, 0).toInt(&ok);
    return ok ? book : -1;
}

EarlierRelease readEarlierRelease(const QString &release)
{
    EarlierRelease earlier;
    const QString manifestPath = release + QStringLiteral("/ver.xml");
    if (!QFile::exists(manifestPath))
        return earlier;
    try {
        earlier.manifest = rowset::readRowsetFile(manifestPath);
        const int iName = earlier.manifest.requireColumn(QStringLiteral("F_FileName"));
        const int iDir = earlier.manifest.requireColumn(QStringLiteral("F_SaveDir"));
        for (int r = 0; r < earlier.manifest.rowCount(); ++r) {
            const QString name = earlier.manifest.text(r, iName);
            if (!name.contains(QStringLiteral(".daily")))
                continue;
            QString dir = earlier.manifest.text(r, iDir);
            dir.replace(QLatin1Char('\\'), QLatin1Char('/'));
            const rowset::Rowset daily = rowset::readRowsetFile(release + QLatin1Char('/') + dir + QLatin1Char('/') + name);
            const int iId = daily.requireColumn(QStringLiteral("FileID"));
            const int iFile = daily.requireColumn(QStringLiteral("FileName"));
            for (int d = 0; d < daily.rowCount(); ++d) {
                const int id = daily.text(d, iId).toInt();
                earlier.highestFileId = std::max(earlier.highestFileId, id);
                earlier.fileIdByName.emplace(daily.text(d, iFile).toCaseFolded(), id);
                const int iTime = daily.indexOf(QStringLiteral("LastDateTime"));
                if (iTime >= 0 && !daily.isNull(d, iTime)) {
                    const QDateTime when = daily.rows[static_cast<size_t>(d)][static_cast<size_t>(iTime)].toDateTime();
                    QDateTime &latest = earlier.lastChange[id];
                    if (!latest.isValid() || when > latest)
                        latest = when;
                }
            }
        }
    } catch (const rowset::RowsetError &e) {
        fail(QStringLiteral("the earlier release cannot be read: %1").arg(e.message()));
    }
    return earlier;
}

} // namespace

PublishResult publishRelease(const PublishOptions &options)
{
    // 1. Check everything before writing anything.
    if (options.book < 1)
        fail(QStringLiteral("the book number must be 1 or more"));
    const int linkCount = static_cast<int>(options.mirrors.size() + options.pageMirrors.size());
    if (linkCount < 1 || linkCount > kMaxLinks)
        fail(QStringLiteral("give 1 to %1 mirrors in all (direct and page)").arg(kMaxLinks));
    QStringList direct, pages;
    for (const QString &m : options.mirrors) {
        checkBase(m);
        direct << withSlash(m);
    }
    for (const QString &m : options.pageMirrors) {
        checkBase(m);
        pages << withSlash(m);
    }
    const QString updateBase = withSlash(options.updateBase.isEmpty() ? (direct + pages).first() : options.updateBase);
    checkBase(updateBase);

    std::vector<Ringtone> tones = readSourceFolder(options.sourceFolder);
    const QString release = QDir(options.releaseFolder).absolutePath();
    EarlierRelease earlier = readEarlierRelease(release);

    PublishResult result;
    int nextId = earlier.highestFileId;
    for (Ringtone &tone : tones) {
        const auto known = earlier.fileIdByName.find(tone.name.toCaseFolded());
        if (known != earlier.fileIdByName.end()) {
            tone.fileId = known->second;
            tone.changed = true;
            ++result.changed;
        } else {
            tone.fileId = ++nextId;
            if (result.firstNewFileId == 0)
                result.firstNewFileId = tone.fileId;
            result.lastNewFileId = tone.fileId;
            ++result.added;
        }
    }

    // 2. The daily file of this book. Times are naive wall-clock times, as the daily
    // files hold them, so that they compare with the earlier books' times as written.
    const QDateTime stamp(options.now.date(), QTime(options.now.time().hour(), options.now.time().minute(),
                                                    options.now.time().second()),
                          Qt::UTC);
    std::map<int, QByteArray> linkPages;
    std::vector<catalogue::CatalogueRow> rows;
    rows.reserve(tones.size());
    for (const Ringtone &tone : tones) {
        const QByteArray key = extlib::linkKey(tone.fileId);
        QList<QByteArray> addresses;
        for (const QString &m : direct)
            addresses << m.toUtf8().append("Ring/").append(encodedName(tone.name));
        QByteArray page;
        for (const QByteArray &a : addresses)
            page.append("<a href=\"").append(a).append("\">").append(a).append("</a>\n");
        for (const QString &m : pages)
            addresses << m.toUtf8().append("links/").append(QByteArray::number(tone.fileId)).append(".html");
        if (!pages.isEmpty())
            linkPages.emplace(tone.fileId, page);

        catalogue::CatalogueRow row;
        row.fileId = tone.fileId;
        row.fileName = tone.name;
        for (int i = 0; i < kMaxLinks; ++i) {
            QString link = QLatin1String("");
            if (i < addresses.size()) {
                if (addresses[i].size() > extlib::kMaxLinkAddressLength)
                    fail(QStringLiteral("'%1': its download address is longer than a catalogue link holds")
                             .arg(tone.name));
                link = QString::fromLatin1(extlib::encodeLink(addresses[i], key));
            }
            row.webLinks[size_t(i)] = link;
        }
        row.md5Code = tone.md5;
        row.songLength = tone.seconds;
        row.fileType = 1;
        row.fileSize = static_cast<int>(tone.size);
        row.starLv = starsFor(tone.name);
        // The merge overwrites a row only when its time differs to the second, so a changed
        // row never keeps the time an earlier book gave it (two books published within one
        // second would otherwise leave the old row in every catalogue).
        QDateTime changedAt = stamp;
        if (const auto before = earlier.lastChange.find(tone.fileId); before != earlier.lastChange.end()) {
            if (changedAt <= before->second)
                changedAt = before->second.addSecs(1);
        }
        row.lastDateTime = changedAt.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
        rows.push_back(std::move(row));
    }
    const QByteArray dailyXml = rowset::rowsetToXml(update::dailyRowset(rows));
    const QString dailyName = QStringLiteral("%1.daily").arg(options.book);

    // 3. The manifest: earlier rows kept (this book's replaced), this book's daily file added.
    std::vector<update::ManifestEntry> manifest;
    if (earlier.manifest.rowCount() > 0) {
        const int c[] = {earlier.manifest.requireColumn(QStringLiteral("F_Link")),
                         earlier.manifest.requireColumn(QStringLiteral("F_FileName")),
                         earlier.manifest.requireColumn(QStringLiteral("F_SaveDir")),
                         earlier.manifest.requireColumn(QStringLiteral("F_MD5"))};
        for (int r = 0; r < earlier.manifest.rowCount(); ++r) {
            if (earlier.manifest.text(r, c[1]) == dailyName)
                continue;
            manifest.push_back({earlier.manifest.text(r, c[0]), earlier.manifest.text(r, c[1]),
                                earlier.manifest.text(r, c[2]), earlier.manifest.text(r, c[3])});
        }
    }
    manifest.push_back({updateBase + QStringLiteral("daily/") + dailyName, dailyName, QStringLiteral("daily"),
                        QString::fromLatin1(QCryptographicHash::hash(dailyXml, QCryptographicHash::Md5).toHex())});
    std::stable_sort(manifest.begin(), manifest.end(), [](const update::ManifestEntry &a, const update::ManifestEntry &b) {
        return bookOf(a.fileName) < bookOf(b.fileName);
    });

    // 4. Write: ringtones and link pages, the daily file, the manifest last.
    for (const Ringtone &tone : tones) {
        const QString target = release + QStringLiteral("/Ring/") + tone.name;
        if (extlib::FileDirectoryMD5(target) != tone.md5)
            copyFileAtomically(tone.path, target);
    }
    for (const auto &[fileId, page] : linkPages)
        writeFileAtomically(release + QStringLiteral("/links/%1.html").arg(fileId), page);
    writeFileAtomically(release + QStringLiteral("/daily/") + dailyName, dailyXml);
    try {
        rowset::writeRowsetFile(release + QStringLiteral("/ver.xml"), update::manifestRowset(manifest));
    } catch (const rowset::RowsetError &e) {
        fail(e.message());
    }
    return result;
}

} // namespace tunelix::publish

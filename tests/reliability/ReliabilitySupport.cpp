#include "reliability/ReliabilitySupport.h"

#include "extlib/LinkCodec.h"
#include "support/CatalogueBuilder.h"
#include "support/UpdateFixtures.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <signal.h>

#include <cstdio>
#include <cstdlib>

namespace tunelix::test::reliability {

QByteArray patternBytes(int size, int seed)
{
    QByteArray b(size, Qt::Uninitialized);
    quint32 x = quint32(seed) * 2654435761u + 1;
    for (int i = 0; i < size; ++i) {
        x = x * 1664525u + 1013904223u;
        b[i] = char(x >> 24);
    }
    return b;
}

std::vector<catalogue::CatalogueRow> bookRows(qint32 firstId, int count, const QString &prefix, int book,
                                              const QString &lastDateTime)
{
    std::vector<catalogue::CatalogueRow> rows;
    rows.reserve(std::size_t(std::max(count, 0)));
    for (qint32 id = firstId; id < firstId + count; ++id) {
        catalogue::CatalogueRow row = sampleRow(id, QStringLiteral("%1 %2.mp3").arg(prefix).arg(id));
        row.bookId = book;
        row.lastDateTime = lastDateTime;
        rows.push_back(std::move(row));
    }
    return rows;
}

catalogue::CatalogueRow linkedRow(qint32 fileId, const QString &fileName, const QByteArray &content,
                                  const std::vector<std::string> &urls)
{
    catalogue::CatalogueRow r = sampleRow(fileId, fileName);
    r.fileSize = qint32(content.size());
    r.md5Code = md5Hex(content);
    for (auto &link : r.webLinks)
        link.clear();
    for (std::size_t i = 0; i < urls.size() && i < r.webLinks.size(); ++i)
        r.webLinks[i] = QString::fromLatin1(
            extlib::encodeLink(QByteArray::fromStdString(urls[i]), extlib::linkKey(fileId)));
    return r;
}

namespace {

// A connection of its own, removed when the scope ends.
template <typename F>
auto withConnection(const QString &path, F &&body)
{
    const QString name = QStringLiteral("reliability-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    struct Remover
    {
        QString name;
        ~Remover() { QSqlDatabase::removeDatabase(name); }
    } remover{name};
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=30000"));
    auto result = body(db);
    db.close();
    return result;
}

} // namespace

QString integrityCheck(const QString &databasePath)
{
    if (!QFile::exists(databasePath))
        return QStringLiteral("no file");
    return withConnection(databasePath, [](QSqlDatabase &db) -> QString {
        if (!db.open())
            return QStringLiteral("cannot open: ") + db.lastError().text();
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("PRAGMA integrity_check")))
            return QStringLiteral("check failed: ") + q.lastError().text();
        QStringList lines;
        while (q.next() && lines.size() < 5)
            lines << q.value(0).toString();
        return lines.join(QLatin1Char('\n'));
    });
}

qint64 rowCount(const QString &databasePath, qint64 maxFileId)
{
    return withConnection(databasePath, [maxFileId](QSqlDatabase &db) -> qint64 {
        if (!db.open())
            return -1;
        QSqlQuery q(db);
        if (!q.prepare(maxFileId < 0 ? QStringLiteral("select count(*) from RngFileInfo")
                                     : QStringLiteral("select count(*) from RngFileInfo where FileID <= ?")))
            return -1;
        if (maxFileId >= 0)
            q.addBindValue(maxFileId);
        if (!q.exec() || !q.next())
            return -1;
        return q.value(0).toLongLong();
    });
}

QString installProgram(const TempProgramFolder &folder, const QString &builtPath, const QString &name)
{
    const QString target = folder.path(name);
    QFile::remove(target);
    if (!QFile::copy(builtPath, target))
        return QString();
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDirIterator it(QStringLiteral(TUNELIX_SKIN_DIR), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString copy = folder.path(QStringLiteral("skin/") + QDir(QStringLiteral(TUNELIX_SKIN_DIR)).relativeFilePath(source));
        QDir().mkpath(QFileInfo(copy).absolutePath());
        if (!QFile::copy(source, copy))
            return QString();
    }
    return target;
}

int envInt(const char *name, int fallback)
{
    const char *text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    return std::atoi(text);
}

std::mt19937 &rng()
{
    static std::mt19937 generator = [] {
        const int fromEnv = envInt("RELIABILITY_SEED", 0);
        const unsigned seed = fromEnv ? unsigned(fromEnv) : unsigned(QDateTime::currentMSecsSinceEpoch() & 0x7fffffff);
        std::printf("reliability seed: RELIABILITY_SEED=%u\n", seed);
        return std::mt19937(seed);
    }();
    return generator;
}

int randomBetween(int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(rng());
}

bool runAndKill(QProcess &process, const QString &program, const QStringList &arguments, int delayMs)
{
    process.start(program, arguments);
    if (!process.waitForStarted(30000))
        return false;
    if (process.waitForFinished(delayMs))
        return false;
    ::kill(pid_t(process.processId()), SIGKILL);
    process.waitForFinished(30000);
    return true;
}

QProcessEnvironment kelvoxEnvironment(const QString &manifestUrl)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KELVOX_MANIFEST_URL"), manifestUrl);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

} // namespace tunelix::test::reliability

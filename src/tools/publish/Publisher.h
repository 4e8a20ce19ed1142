#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <stdexcept>

namespace tunelix::publish {

// What a release is made from. A release folder is served as it is by any static HTTP
// server (every mirror serves the same folder):
//   Ring/<name>.mp3       the ringtones
//   links/<FileID>.html   link pages, when a mirror is given as a page
//   daily/<book>.daily    one daily catalogue file per book (recordset XML)
//   ver.xml               the manifest listing every book's daily file
struct PublishOptions
{
    QString sourceFolder;      // MP3 files of this book
    QString releaseFolder;     // created when missing; earlier books in it are kept
    int book = 0;              // 1 or more
    QStringList mirrors;       // base addresses ("http://host:port/") serving the release
    QStringList pageMirrors;   // base addresses whose links are link pages
    QString updateBase;        // base address of the manifest's daily links; first mirror when empty
    QDateTime now = QDateTime::currentDateTime(); // LastDateTime of the rows written
};

struct PublishResult
{
    int added = 0;    // rows with a new FileID
    int changed = 0;  // rows of names an earlier book already had (their FileID kept)
    int firstNewFileId = 0;
    int lastNewFileId = 0;
};

class PublishError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Checks everything first (every file an MP3, names, mirrors, link lengths), so that a
// refused release writes nothing; then writes each file beside its target and renames
// it into place, the manifest last. Throws PublishError.
PublishResult publishRelease(const PublishOptions &options);

} // namespace tunelix::publish

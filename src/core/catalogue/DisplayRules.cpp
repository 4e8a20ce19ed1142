#include "catalogue/DisplayRules.h"

namespace tunelix::catalogue {

QString displayFileName(const QString &stored)
{
    QString text = stored;
    text.remove(QStringLiteral(".mp3"), Qt::CaseSensitive);
    text.remove(QStringLiteral("[Tunelix]"), Qt::CaseSensitive);
    return text;
}

QString displaySongLength(NullableInt seconds)
{
    // A fraction of a day shown as minutes and seconds: negative lengths count back
    // from midnight, the hours are dropped.
    constexpr qint64 kDay = 86400;
    qint64 s = seconds.value_or(0) % kDay;
    if (s < 0)
        s += kDay;
    const int minutes = static_cast<int>((s / 60) % 60);
    const int secs = static_cast<int>(s % 60);
    return QStringLiteral("%1:%2").arg(minutes, 2, 10, QLatin1Char('0')).arg(secs, 2, 10, QLatin1Char('0'));
}

int pictureCount(MarkerList list)
{
    switch (list) {
    case MarkerList::StarLv:
        return 5;
    case MarkerList::FileState:
    case MarkerList::IsNew:
        return 2;
    }
    return 0;
}

std::optional<int> markerPicture(MarkerList list, NullableInt value)
{
    if (!value || *value < 0 || *value >= pictureCount(list))
        return std::nullopt;
    return *value;
}

} // namespace tunelix::catalogue

#include "client/song/SongLogic.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace tunelix::client {

namespace {
bool toSmallInt(const QString &text, std::int16_t &value)
{
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    if (!ok || number < std::numeric_limits<std::int16_t>::min() || number > std::numeric_limits<std::int16_t>::max())
        return false;
    value = static_cast<std::int16_t>(number);
    return true;
}
} // namespace

std::array<std::int16_t, 4> ParseSmallRect(const QString &text)
{
    std::array<std::int16_t, 4> result { 0, 0, 0, 0 };
    if (text.isEmpty())
        return result;
    // Three commas split off three numbers; the fourth is all that follows the third.
    QStringList parts;
    qsizetype from = 0;
    for (int i = 0; i < 3; ++i) {
        const qsizetype comma = text.indexOf(QLatin1Char(','), from);
        if (comma < 0)
            return { 0, 0, 0, 0 };
        parts << text.mid(from, comma - from);
        from = comma + 1;
    }
    parts << text.mid(from);
    for (int i = 0; i < 4; ++i) {
        if (!toSmallInt(parts[i], result[static_cast<size_t>(i)]))
            return { 0, 0, 0, 0 };
    }
    return result;
}

int StrToIntOr(const QString &text, int fallback)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : fallback;
}

int sliderMaximum(std::uint32_t lengthMs)
{
    return static_cast<int>(std::min<std::uint32_t>(lengthMs / 100, kSliderLimit));
}

int sliderPosition(std::uint32_t positionMs, std::uint32_t lengthMs)
{
    const std::uint64_t tenths = positionMs / 100;
    const std::uint64_t lengthTenths = lengthMs / 100;
    if (lengthTenths <= kSliderLimit)
        return static_cast<int>(std::min<std::uint64_t>(tenths, kSliderLimit));
    return static_cast<int>(std::min<std::uint64_t>(tenths * kSliderLimit / lengthTenths, kSliderLimit));
}

QString timeText(const playback::TPlayTime &time) { return QString::asprintf("%.2u:%.2u", time.Minute, time.Second); }

std::uint32_t seekTargetSecond(int x, int width, std::uint32_t lengthSec)
{
    if (width <= 0)
        return 0;
    const double ratio = std::clamp(static_cast<double>(x) / width, 0.0, 1.0);
    return static_cast<std::uint32_t>(std::floor(lengthSec * ratio));
}

QRect songWindowPlacement(const QRect &mainWindow, int height, const QRect &workArea)
{
    QRect r(mainWindow.left(), mainWindow.top() + (mainWindow.height() - height) / 2, mainWindow.width(), height);
    if (workArea.top() + workArea.height() < r.top() + r.height()
        || workArea.left() + workArea.width() < r.left() + r.width()) {
        r.moveLeft(workArea.left() + (workArea.width() - r.width()) / 2);
        r.moveTop(workArea.top() + (workArea.height() - r.height()) / 2);
    }
    return r;
}

bool saveRingCopy(const QString &source, const QString &target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw std::runtime_error(
            QStringLiteral("Cannot open file \"%1\". %2").arg(source, in.errorString()).toStdString());
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError)
        throw std::runtime_error(
            QStringLiteral("Cannot read file \"%1\". %2").arg(source, in.errorString()).toStdString());
    in.close();

    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    if (out.write(bytes) != bytes.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

} // namespace tunelix::client

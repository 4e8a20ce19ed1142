#include "skin/Artwork.h"

#include <QFile>
#include <QGuiApplication>

namespace tunelix::skin {

QPixmap artwork(const QString &name)
{
    const QString base = QStringLiteral(":/artwork/") + name;
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    if (ratio > 1.0) {
        const QString twice = base + QStringLiteral("@2x.png");
        if (QFile::exists(twice)) {
            QPixmap pm(twice);
            pm.setDevicePixelRatio(2.0);
            return pm;
        }
    }
    return QPixmap(base + QStringLiteral(".png"));
}

} // namespace tunelix::skin

namespace tunelix::skin {

QFont uiFont(int pixelHeight, bool bold)
{
    QFont font;
    font.setFamilies(
        { QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans"), QStringLiteral("DejaVu Sans") });
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    return font;
}

} // namespace tunelix::skin

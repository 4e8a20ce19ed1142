// Draws every picture of the programs' look from code, so the artwork can be changed
// and rebuilt: tunelix-artwork OUTDIR writes OUTDIR/skin/frmBg/*.jpg (the nine frame
// pictures read at run time) and OUTDIR/ui/*.png with a twice-size "@2x" drawing of
// each (built into the programs). One palette serves all of it.
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>
#include <functional>

namespace {

namespace palette {
const QColor deep(24, 78, 150); // title bar and frame edge
const QColor mid(52, 122, 206); // title bar highlight, buttons
const QColor panel(222, 235, 250); // the list and status rows
const QColor pale(240, 251, 255); // the search row
const QColor body(186, 212, 242); // window body around the panels
const QColor aqua(0, 200, 230);
const QColor lime(60, 200, 60);
const QColor green(40, 160, 70);
const QColor red(220, 64, 64);
const QColor gold(245, 180, 0);
const QColor ink(27, 42, 65);
} // namespace palette

QString g_out;

using Draw = std::function<void(QPainter &, const QRectF &)>;

QImage render(const QSize &size, qreal scale, const Draw &draw, bool opaque = false)
{
    QImage img(size * scale, opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    img.fill(opaque ? Qt::white : Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.scale(scale, scale);
    draw(p, QRectF(QPointF(0, 0), QSizeF(size)));
    return img;
}

void savePng(const QString &name, const QSize &size, const Draw &draw)
{
    for (int scale : { 1, 2 }) {
        const QString file
            = g_out + QStringLiteral("/ui/") + name + (scale == 2 ? QStringLiteral("@2x.png") : QStringLiteral(".png"));
        if (!render(size, scale, draw).save(file, "PNG"))
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
    }
}

void saveJpg(const QString &name, const QSize &size, const Draw &draw)
{
    const QString file = g_out + QStringLiteral("/skin/frmBg/") + name;
    if (!render(size, 1, draw, true).save(file, "JPG", 95))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
}

QFont font(int pixels, bool bold = true)
{
    QFont f;
    f.setFamilies({ QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans"), QStringLiteral("DejaVu Sans") });
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

QLinearGradient vertical(const QRectF &r, const QColor &top, const QColor &bottom)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

// A glossy rounded body: gradient fill, thin dark outline, light upper sheen.
void glossy(QPainter &p, const QRectF &r, qreal radius, const QColor &base)
{
    p.setPen(QPen(base.darker(150), 1));
    p.setBrush(vertical(r, base.lighter(135), base.darker(115)));
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    QRectF sheen = r.adjusted(1.5, 1.5, -1.5, -r.height() * 0.5);
    QLinearGradient g(sheen.topLeft(), sheen.bottomLeft());
    g.setColorAt(0, QColor(255, 255, 255, 150));
    g.setColorAt(1, QColor(255, 255, 255, 20));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(sheen, radius * 0.8, radius * 0.8);
}

void glossyCircle(QPainter &p, const QRectF &r, const QColor &base)
{
    p.setPen(QPen(base.darker(160), 1));
    QRadialGradient g(r.center() - QPointF(r.width() * 0.15, r.height() * 0.2), r.width() * 0.7);
    g.setColorAt(0, base.lighter(150));
    g.setColorAt(1, base.darker(120));
    p.setBrush(g);
    p.drawEllipse(r.adjusted(0.5, 0.5, -0.5, -0.5));
    QRectF sheen(r.left() + r.width() * 0.2, r.top() + r.height() * 0.08, r.width() * 0.6, r.height() * 0.42);
    QLinearGradient s(sheen.topLeft(), sheen.bottomLeft());
    s.setColorAt(0, QColor(255, 255, 255, 170));
    s.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(s);
    p.drawEllipse(sheen);
}

QPainterPath starPath(const QPointF &c, qreal outer)
{
    QPainterPath path;
    const qreal inner = outer * 0.45;
    for (int i = 0; i < 10; ++i) {
        const qreal a = -M_PI / 2 + i * M_PI / 5;
        const qreal rad = (i % 2 == 0) ? outer : inner;
        const QPointF pt(c.x() + rad * std::cos(a), c.y() + rad * std::sin(a));
        if (i == 0)
            path.moveTo(pt);
        else
            path.lineTo(pt);
    }
    path.closeSubpath();
    return path;
}

void stars(QPainter &p, const QRectF &r, int n)
{
    for (int i = 0; i < n; ++i) {
        const QPointF c(r.left() + 6 + i * 12, r.center().y() + 0.5);
        p.setPen(QPen(palette::gold.darker(140), 0.8));
        QLinearGradient g(c - QPointF(0, 6), c + QPointF(0, 6));
        g.setColorAt(0, QColor(255, 226, 90));
        g.setColorAt(1, palette::gold);
        p.setBrush(g);
        p.drawPath(starPath(c, 5.6));
    }
}

void newBadge(QPainter &p, const QRectF &r)
{
    const QRectF b(r.center().x() - 15, r.top() + 0.5, 30, 11);
    glossy(p, b, 5, palette::mid);
    p.setPen(Qt::white);
    p.setFont(font(9));
    p.drawText(b.adjusted(0, 0, 0, 0.5), Qt::AlignCenter, QStringLiteral("NEW"));
}

void playTriangle(QPainter &p, const QRectF &r, const QColor &colour)
{
    const qreal w = r.width();
    QPainterPath t;
    t.moveTo(r.left() + w * 0.38, r.top() + w * 0.28);
    t.lineTo(r.left() + w * 0.74, r.center().y());
    t.lineTo(r.left() + w * 0.38, r.bottom() - w * 0.28);
    t.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(t);
}

void curvedArrow(QPainter &p, const QRectF &r, const QColor &colour)
{
    // A down-pointing arrow bending out of an arc: "fetch".
    const qreal w = r.width();
    p.setPen(QPen(colour, w * 0.11, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QRectF arc(r.left() + w * 0.27, r.top() + w * 0.25, w * 0.46, w * 0.46);
    p.drawArc(arc, 200 * 16, -200 * 16);
    QPainterPath head;
    const QPointF tip(r.left() + w * 0.71, r.top() + w * 0.74);
    head.moveTo(tip);
    head.lineTo(tip + QPointF(-w * 0.16, -w * 0.12));
    head.lineTo(tip + QPointF(w * 0.12, -w * 0.16));
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(head);
}

void note(QPainter &p, const QRectF &r, const QColor &colour)
{
    // A beamed pair of quavers.
    const qreal w = r.width();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QRectF(r.left() + w * 0.14, r.top() + w * 0.62, w * 0.28, w * 0.2));
    p.drawEllipse(QRectF(r.left() + w * 0.54, r.top() + w * 0.54, w * 0.28, w * 0.2));
    p.setPen(QPen(colour, w * 0.07, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(r.left() + w * 0.39, r.top() + w * 0.71), QPointF(r.left() + w * 0.39, r.top() + w * 0.22));
    p.drawLine(QPointF(r.left() + w * 0.79, r.top() + w * 0.63), QPointF(r.left() + w * 0.79, r.top() + w * 0.14));
    QPainterPath beam;
    beam.moveTo(r.left() + w * 0.355, r.top() + w * 0.22);
    beam.lineTo(r.left() + w * 0.825, r.top() + w * 0.12);
    beam.lineTo(r.left() + w * 0.825, r.top() + w * 0.25);
    beam.lineTo(r.left() + w * 0.355, r.top() + w * 0.35);
    beam.closeSubpath();
    p.setPen(Qt::NoPen);
    p.drawPath(beam);
}

void logo(QPainter &p, const QRectF &r, const QColor &base)
{
    glossyCircle(p, r, base);
    note(p, r.adjusted(r.width() * 0.12, r.height() * 0.1, -r.width() * 0.12, -r.height() * 0.1), Qt::white);
}

// The title-bar buttons: a face in three states (0 normal, 1 hot, 2 pressed).
void titleButton(QPainter &p, const QRectF &r, int state, const QColor &base, bool close)
{
    const QColor c = state == 1 ? base.lighter(120) : state == 2 ? base.darker(125) : base;
    glossy(p, r.adjusted(0.5, 0, -0.5, -0.5), 3, c);
    p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
    const QPointF m = r.center() + (state == 2 ? QPointF(0.5, 0.5) : QPointF());
    if (close) {
        p.drawLine(m + QPointF(-3.5, -3.5), m + QPointF(3.5, 3.5));
        p.drawLine(m + QPointF(-3.5, 3.5), m + QPointF(3.5, -3.5));
    } else {
        p.drawLine(m + QPointF(-4, 3), m + QPointF(4, 3));
    }
}

void searchButton(QPainter &p, const QRectF &r, int state)
{
    const QColor base = state == 1 ? palette::mid.lighter(115) : state == 2 ? palette::mid.darker(120) : palette::mid;
    glossy(p, r.adjusted(1, 1.5, -1, -1.5), 8, base);
    const QPointF o = state == 2 ? QPointF(0.5, 0.5) : QPointF();
    p.setPen(QPen(Qt::white, 1.8));
    p.setBrush(Qt::NoBrush);
    const QPointF c = QPointF(r.left() + 12, r.center().y() - 1) + o;
    p.drawEllipse(c, 4.2, 4.2);
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(3.2, 3.2), c + QPointF(6, 6));
    p.setFont(font(11));
    p.setPen(Qt::white);
    p.drawText(QRectF(r.left() + 19, r.top(), r.width() - 20, r.height()).translated(o), Qt::AlignCenter,
        QStringLiteral("搜索"));
}

// Toolbar items: 61 x 60 each.
void toolbarDisc(QPainter &p, const QRectF &r, const QColor &base)
{
    const QRectF disc(r.center().x() - 25, r.top() + 5, 50, 50);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 40));
    p.drawEllipse(disc.translated(0, 1.5));
    glossyCircle(p, disc, base);
}

void pauseBars(QPainter &p, const QRectF &r, const QColor &colour)
{
    const QRectF disc(r.center().x() - 25, r.top() + 5, 50, 50);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(disc.center().x() - 10, disc.top() + 14, 7, 22), 2, 2);
    p.drawRoundedRect(QRectF(disc.center().x() + 3, disc.top() + 14, 7, 22), 2, 2);
}

void stopItem(QPainter &p, const QRectF &r, bool selected)
{
    toolbarDisc(p, r, QColor(245, 248, 252));
    pauseBars(p, r, selected ? palette::lime : palette::red);
}

void playItem(QPainter &p, const QRectF &r, bool selected)
{
    toolbarDisc(p, r, selected ? palette::mid : QColor(150, 158, 170));
    const QRectF disc(r.center().x() - 25, r.top() + 5, 50, 50);
    playTriangle(p, disc.adjusted(2, 0, 2, 0), Qt::white);
}

void viewBox(QPainter &p, const QRectF &r, const QColor &base, const QString &top, const QString &bottom)
{
    const QRectF box(r.left() + 6, r.top() + 5, r.width() - 12, 50);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 45));
    p.drawRoundedRect(box.translated(0, 1.5), 7, 7);
    glossy(p, box, 7, base);
    p.setPen(Qt::white);
    p.setFont(font(13));
    p.drawText(QRectF(box.left(), box.top() + 4, box.width(), 21), Qt::AlignCenter, top);
    p.drawText(QRectF(box.left(), box.top() + 24, box.width(), 21), Qt::AlignCenter, bottom);
}

// Frame: blue title band, thin dark edges, a light content area.
void frameTop(QPainter &p, const QRectF &r)
{
    p.fillRect(r, vertical(r, palette::mid, palette::deep));
    p.fillRect(QRectF(r.left(), r.top(), r.width(), 1), palette::mid.lighter(140));
    p.fillRect(QRectF(r.left(), r.bottom() - 1, r.width(), 1), palette::deep.darker(130));
}

void mainBackground(QPainter &p, const QRectF &r)
{
    const QRectF title(r.left(), r.top(), r.width(), 31);
    frameTop(p, title);
    const QRectF rest(r.left(), 31, r.width(), r.height() - 31);
    p.fillRect(rest, vertical(rest, palette::body.lighter(108), palette::body));
    p.setPen(QPen(palette::deep, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0.5, 0.5, -0.5, -0.5));
}

void toolbarBackground(QPainter &p, const QRectF &r)
{
    p.fillRect(r, vertical(r, QColor(250, 253, 255), QColor(206, 226, 248)));
    p.fillRect(QRectF(r.left(), r.bottom() - 1, r.width(), 1), QColor(160, 192, 230));
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tunelix-artwork OUTDIR\n");
        return 2;
    }
    g_out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_out + QStringLiteral("/ui"));
    QDir().mkpath(g_out + QStringLiteral("/skin/frmBg"));

    // The nine frame pictures (stretched, except the tiled top-left corner).
    saveJpg(QStringLiteral("TopLeft.jpg"), { 4, 31 }, [](QPainter &p, const QRectF &r) {
        frameTop(p, r);
        p.fillRect(QRectF(r.left(), r.top(), 1, r.height()), palette::deep.darker(130));
    });
    saveJpg(QStringLiteral("TopMiddle.jpg"), { 64, 31 }, frameTop);
    saveJpg(QStringLiteral("TopRight.jpg"), { 4, 31 }, [](QPainter &p, const QRectF &r) {
        frameTop(p, r);
        p.fillRect(QRectF(r.right() - 1, r.top(), 1, r.height()), palette::deep.darker(130));
    });
    const auto edge = [](QPainter &p, const QRectF &r) { p.fillRect(r, palette::deep); };
    saveJpg(QStringLiteral("BtmLeft.jpg"), { 4, 4 }, edge);
    saveJpg(QStringLiteral("BtmMiddle.jpg"), { 64, 4 },
        [](QPainter &p, const QRectF &r) { p.fillRect(r, vertical(r, palette::mid, palette::deep)); });
    saveJpg(QStringLiteral("BtmRight.jpg"), { 4, 4 }, edge);
    saveJpg(QStringLiteral("CenterLeft.jpg"), { 1, 64 }, edge);
    saveJpg(QStringLiteral("CenterMiddle.jpg"), { 64, 128 },
        [](QPainter &p, const QRectF &r) { p.fillRect(r, vertical(r, QColor(248, 252, 255), palette::panel)); });
    saveJpg(QStringLiteral("CenterRight.jpg"), { 1, 64 }, edge);

    // The main window's backgrounds.
    savePng(QStringLiteral("mainBg"), { 345, 533 }, mainBackground);
    savePng(QStringLiteral("toolbarBg"), { 340, 81 }, toolbarBackground);

    // Title-bar, search and logo buttons.
    const char *states[] = { "normal", "hot", "pressed" };
    for (int s = 0; s < 3; ++s) {
        const QString suffix = QStringLiteral("-") + QLatin1String(states[s]);
        savePng(QStringLiteral("btnClose") + suffix, { 37, 17 },
            [s](QPainter &p, const QRectF &r) { titleButton(p, r, s, palette::red, true); });
        savePng(QStringLiteral("btnMin") + suffix, { 25, 17 },
            [s](QPainter &p, const QRectF &r) { titleButton(p, r, s, palette::mid, false); });
        savePng(QStringLiteral("btnSearch") + suffix, { 45, 22 },
            [s](QPainter &p, const QRectF &r) { searchButton(p, r, s); });
        savePng(QStringLiteral("btnLogo") + suffix, { 18, 18 }, [s](QPainter &p, const QRectF &r) {
            logo(p, r.adjusted(0.5, 0.5, -0.5, -0.5),
                s == 1       ? palette::aqua.lighter(115)
                    : s == 2 ? palette::aqua.darker(120)
                             : palette::aqua);
        });
    }

    // Toolbar items.
    savePng(QStringLiteral("tbStop"), { 61, 60 }, [](QPainter &p, const QRectF &r) { stopItem(p, r, false); });
    savePng(QStringLiteral("tbStop-selected"), { 61, 60 }, [](QPainter &p, const QRectF &r) { stopItem(p, r, true); });
    savePng(QStringLiteral("tbPlay"), { 61, 60 }, [](QPainter &p, const QRectF &r) { playItem(p, r, false); });
    savePng(QStringLiteral("tbPlay-selected"), { 61, 60 }, [](QPainter &p, const QRectF &r) { playItem(p, r, true); });
    savePng(QStringLiteral("tbPopular"), { 61, 60 }, [](QPainter &p, const QRectF &r) {
        viewBox(p, r, palette::mid, QStringLiteral("流行"), QStringLiteral("铃声"));
    });
    savePng(QStringLiteral("tbClassic"), { 61, 60 }, [](QPainter &p, const QRectF &r) {
        viewBox(p, r, palette::green, QStringLiteral("经典"), QStringLiteral("铃声"));
    });

    // Folder and automatic-download buttons (20 x 20).
    for (int hot = 0; hot < 2; ++hot) {
        savePng(hot ? QStringLiteral("btnFolder-hot") : QStringLiteral("btnFolder"), { 20, 20 },
            [hot](QPainter &p, const QRectF &r) {
                const QColor c = hot ? QColor(255, 200, 60) : QColor(240, 180, 40);
                QPainterPath folder;
                folder.moveTo(2.5, 5.5);
                folder.lineTo(8, 5.5);
                folder.lineTo(9.5, 7);
                folder.lineTo(17.5, 7);
                folder.lineTo(17.5, 16.5);
                folder.lineTo(2.5, 16.5);
                folder.closeSubpath();
                p.setPen(QPen(c.darker(150), 1));
                p.setBrush(vertical(r, c.lighter(125), c));
                p.drawPath(folder);
                p.setPen(QPen(QColor(255, 255, 255, 160), 1));
                p.drawLine(QPointF(3.5, 9), QPointF(16.5, 9));
            });
    }
    savePng(QStringLiteral("btnAuto"), { 20, 20 }, [](QPainter &p, const QRectF &r) {
        glossyCircle(p, r.adjusted(1.5, 1, -1.5, -2), QColor(150, 158, 170));
        curvedArrow(p, r.adjusted(1.5, 1, -1.5, -2), Qt::white);
    });
    savePng(QStringLiteral("btnAuto-checked"), { 20, 20 }, [](QPainter &p, const QRectF &r) {
        glossyCircle(p, r.adjusted(1.5, 1, -1.5, -2), palette::green);
        curvedArrow(p, r.adjusted(1.5, 1, -1.5, -2), Qt::white);
    });

    // Marker pictures: stars and NEW (48 x 12), download state (12 x 12).
    for (int n = 1; n <= 4; ++n)
        savePng(QStringLiteral("stars%1").arg(n), { 48, 12 }, [n](QPainter &p, const QRectF &r) { stars(p, r, n); });
    savePng(QStringLiteral("newBadge"), { 48, 12 }, newBadge);
    // The new-marker list's "one star": centred like the NEW badge it alternates with.
    savePng(QStringLiteral("newStar"), { 48, 12 },
        [](QPainter &p, const QRectF &r) { stars(p, QRectF(r.center().x() - 6, r.top(), 12, r.height()), 1); });
    savePng(QStringLiteral("stateFetch"), { 12, 12 }, [](QPainter &p, const QRectF &r) {
        glossyCircle(p, r.adjusted(0.5, 0.5, -0.5, -0.5), QColor(70, 78, 92));
        curvedArrow(p, r, Qt::white);
    });
    savePng(QStringLiteral("statePlay"), { 12, 12 }, [](QPainter &p, const QRectF &r) {
        glossyCircle(p, r.adjusted(0.5, 0.5, -0.5, -0.5), palette::mid);
        playTriangle(p, r.adjusted(0.5, 0, 0.5, 0), Qt::white);
    });

    // Logo of the about window and the tray icon.
    savePng(QStringLiteral("logo"), { 36, 36 },
        [](QPainter &p, const QRectF &r) { logo(p, r.adjusted(1, 1, -1, -1), palette::mid); });
    for (int size : { 16, 32, 64 }) {
        savePng(QStringLiteral("tray%1").arg(size), { size, size },
            [](QPainter &p, const QRectF &r) { logo(p, r.adjusted(0.5, 0.5, -0.5, -0.5), palette::aqua.darker(110)); });
    }
    return 0;
}

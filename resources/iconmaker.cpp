// Draws the application's icons, so the artwork lives as code in the
// repository and the build makes the PNG files that are compiled in.
//
//   iconmaker <output folder>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <functional>

namespace {

const QColor ink(0x2b, 0x33, 0x3d);
const QColor paper(0xfb, 0xfb, 0xf7);
const QColor green(0x2e, 0x9d, 0x4f);
const QColor red(0xd8, 0x2c, 0x2c);
const QColor grey(0x9a, 0xa0, 0xa6);
const QColor blue(0x2f, 0x6f, 0xc0);
const QColor teal(0x1c, 0x7c, 0x86);

QPen pen(const QColor &color, double width)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A sheet of paper with a folded corner, filling most of a 16 by 16 icon.
void drawSheet(QPainter &p, const QColor &fill, Qt::PenStyle style = Qt::SolidLine)
{
    QPainterPath sheet;
    sheet.moveTo(2.5, 0.5);
    sheet.lineTo(9.5, 0.5);
    sheet.lineTo(13.5, 4.5);
    sheet.lineTo(13.5, 15.5);
    sheet.lineTo(2.5, 15.5);
    sheet.closeSubpath();
    QPen outline = pen(ink, 1);
    outline.setStyle(style);
    p.setPen(outline);
    p.setBrush(fill);
    p.drawPath(sheet);
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({ QPointF(9.5, 0.5), QPointF(9.5, 4.5), QPointF(13.5, 4.5) }));
}

void drawTextLines(QPainter &p, int lines)
{
    p.setPen(pen(grey, 1));
    for (int i = 0; i < lines; ++i)
        p.drawLine(QPointF(4.5, 6.5 + 2 * i), QPointF(10.5, 6.5 + 2 * i));
}

// A workflow section: a stack of two sheets.
void drawSection(QPainter &p, const QColor &fill)
{
    p.setPen(pen(ink, 1));
    p.setBrush(fill.darker(108));
    p.drawRect(QRectF(3.5, 0.5, 11, 12));
    p.setBrush(fill);
    p.drawRect(QRectF(1.5, 2.5, 11, 13));
    p.setPen(pen(grey, 1));
    for (int i = 0; i < 3; ++i)
        p.drawLine(QPointF(3.5, 5.5 + 2 * i), QPointF(10.5, 5.5 + 2 * i));
}

void drawBadge(QPainter &p, const QColor &color)
{
    p.setPen(pen(Qt::white, 1));
    p.setBrush(color);
    p.drawEllipse(QRectF(7.5, 7.5, 8, 8));
}

void drawCheck(QPainter &p)
{
    drawBadge(p, green);
    p.setPen(pen(Qt::white, 1.5));
    p.drawPolyline(QPolygonF({ QPointF(9.5, 11.5), QPointF(11, 13), QPointF(13.8, 9.8) }));
}

void drawCross(QPainter &p)
{
    drawBadge(p, red);
    p.setPen(pen(Qt::white, 1.5));
    p.drawLine(QPointF(9.8, 9.8), QPointF(13.2, 13.2));
    p.drawLine(QPointF(13.2, 9.8), QPointF(9.8, 13.2));
}

void drawPending(QPainter &p)
{
    drawBadge(p, grey);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (int i = 0; i < 3; ++i)
        p.drawEllipse(QPointF(9.6 + 1.9 * i, 11.5), 0.75, 0.75);
}

// An arrow entering (into = true) or leaving a bar at the right.
void drawArrow(QPainter &p, const QColor &color, bool into)
{
    p.setPen(pen(ink, 1.5));
    const double barX = into ? 13.5 : 2.5;
    p.drawLine(QPointF(barX, 2), QPointF(barX, 14));
    const double from = into ? 1.5 : 5;
    const double to = into ? 11 : 14.5;
    p.setPen(pen(color, 2.2));
    p.drawLine(QPointF(from, 8), QPointF(to - 2, 8));
    QPainterPath head;
    head.moveTo(to, 8);
    head.lineTo(to - 4.5, 3.5);
    head.lineTo(to - 4.5, 12.5);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(head);
}

void drawMagnifier(QPainter &p, bool plus)
{
    p.setPen(pen(ink, 2.2));
    p.drawLine(QPointF(10, 10), QPointF(14.5, 14.5));
    p.setPen(pen(ink, 1.4));
    p.setBrush(paper);
    p.drawEllipse(QPointF(6.5, 6.5), 5, 5);
    p.setPen(pen(blue, 1.6));
    p.drawLine(QPointF(4, 6.5), QPointF(9, 6.5));
    if (plus)
        p.drawLine(QPointF(6.5, 4), QPointF(6.5, 9));
}

// The application icon: three workflow steps linked into a chain on a
// rounded tile, the newest one highlighted.
void drawApplicationIcon(QPainter &p)
{
    QLinearGradient tile(0, 0, 0, 64);
    tile.setColorAt(0, teal.lighter(125));
    tile.setColorAt(1, teal.darker(130));
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);

    const QPointF steps[3] = { QPointF(16, 46), QPointF(32, 22), QPointF(48, 42) };
    p.setPen(pen(Qt::white, 4));
    p.drawLine(steps[0], steps[1]);
    p.drawLine(steps[1], steps[2]);
    for (int i = 0; i < 3; ++i) {
        p.setPen(pen(Qt::white, 3));
        p.setBrush(i == 2 ? QColor(0xfe, 0xbf, 0x1c) : teal.darker(115));
        p.drawEllipse(steps[i], 8, 8);
    }
}

struct Icon
{
    const char *name;
    int size;
    std::function<void(QPainter &)> draw;
    // The size the drawing is made for; it is scaled to size. The desktop's
    // icons are the window icons drawn larger.
    int drawnAt = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: iconmaker <output folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "iconmaker: cannot create %s\n", argv[1]);
        return 1;
    }

    const Icon icons[] = {
        { "traxobench1-64.png", 64, drawApplicationIcon },
        { "not-validated.png", 16,
            [](QPainter &p) {
                drawSection(p, paper);
                drawPending(p);
            } },
        { "section-valid.png", 16,
            [](QPainter &p) {
                drawSection(p, paper);
                drawCheck(p);
            } },
        { "section-invalid.png", 16,
            [](QPainter &p) {
                drawSection(p, paper);
                drawCross(p);
            } },
        { "file-valid.png", 16,
            [](QPainter &p) {
                drawSheet(p, paper);
                drawTextLines(p, 2);
                drawCheck(p);
            } },
        { "file-invalid.png", 16,
            [](QPainter &p) {
                drawSheet(p, paper);
                drawTextLines(p, 2);
                drawCross(p);
            } },
        { "embedded.png", 16,
            [](QPainter &p) {
                drawSheet(p, paper);
                drawTextLines(p, 1);
                p.setPen(pen(blue.darker(120), 1));
                p.setBrush(blue);
                p.drawRect(QRectF(4.5, 9.5, 6, 4));
            } },
        { "not-embedded.png", 16, [](QPainter &p) { drawSheet(p, Qt::transparent, Qt::DotLine); } },
        { "input.png", 16, [](QPainter &p) { drawArrow(p, green, true); } },
        { "output.png", 16, [](QPainter &p) { drawArrow(p, blue, false); } },
        { "zoom-plus.png", 16, [](QPainter &p) { drawMagnifier(p, true); } },
        { "zoom-minus.png", 16, [](QPainter &p) { drawMagnifier(p, false); } },
        { "traxobench-128.png", 128, drawApplicationIcon, 64 },
        { "container-64.png", 64, [](QPainter &p) { drawSection(p, paper); }, 16 },
        { "argfile-64.png", 64,
            [](QPainter &p) {
                drawSheet(p, paper);
                drawTextLines(p, 4);
            },
            16 },
    };

    for (const Icon &icon : icons) {
        QImage image(icon.size, icon.size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        if (icon.drawnAt > 0)
            painter.scale(double(icon.size) / icon.drawnAt, double(icon.size) / icon.drawnAt);
        icon.draw(painter);
        painter.end();
        const QString path = out.filePath(QString::fromLatin1(icon.name));
        if (!image.save(path, "PNG")) {
            std::fprintf(stderr, "iconmaker: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}

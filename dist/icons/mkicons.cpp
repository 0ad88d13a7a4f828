// Draws the Tallowmere icon: a dark screen with a grid and a ping trace that spikes once.
// One geometry, two outputs: the scalable SVG and the hicolor PNGs, painted with QPainter.
//
//   dist/icons/make-icons.sh   (builds this file and writes dist/icons/hicolor/...)

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPointF>
#include <QTextStream>

#include <cstdio>
#include <vector>

namespace {

// Everything in a 256 x 256 design square.
constexpr double Design = 256;
const QColor ScreenTop(0x1d, 0x3b, 0x5c);
const QColor ScreenBottom(0x0c, 0x1b, 0x2e);
const QColor Rim(0x5f, 0x86, 0xaa);
const QColor Grid(0x3d, 0x63, 0x86);
const QColor Trace(0x4c, 0xe0, 0x8a);
const QColor Peak(0xff, 0xb3, 0x3b);

const std::vector<QPointF>& tracePoints()
{
    static const std::vector<QPointF> points{{36, 160},  {76, 160},  {96, 140},
                                             {114, 176}, {134, 70},  {154, 188},
                                             {170, 150}, {190, 160}, {220, 160}};
    return points;
}

// Grid lines are left out where they would blur into mush.
bool showGrid(int size)
{
    return size >= 32;
}

// Thin strokes get thicker in design units at small sizes, so they stay at least ~1.5 px.
double traceWidth(int size)
{
    return size <= 16 ? 30 : size <= 32 ? 20 : size <= 48 ? 16 : 12;
}

QImage paint(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / Design, size / Design);

    const QRectF screen(16, 24, 224, 208);
    QLinearGradient fill(screen.topLeft(), screen.bottomLeft());
    fill.setColorAt(0, ScreenTop);
    fill.setColorAt(1, ScreenBottom);
    p.setPen(QPen(Rim, size <= 16 ? 16 : 8));
    p.setBrush(fill);
    p.drawRoundedRect(screen, 28, 28);

    if (showGrid(size)) {
        p.setPen(QPen(Grid, 4));
        for (double x = 72; x < 240; x += 56)
            p.drawLine(QPointF(x, 44), QPointF(x, 212));
        for (double y = 80; y < 232; y += 52)
            p.drawLine(QPointF(36, y), QPointF(220, y));
    }

    QPainterPath path(tracePoints().front());
    for (std::size_t i = 1; i < tracePoints().size(); ++i)
        path.lineTo(tracePoints()[i]);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Trace, traceWidth(size), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);

    p.setPen(Qt::NoPen);
    p.setBrush(Peak);
    const double r = size <= 16 ? 22 : 16;
    p.drawEllipse(QPointF(134, 70), r, r);
    return image;
}

QString svg()
{
    QString out;
    QTextStream s(&out);
    auto hex = [](const QColor& c) { return c.name(QColor::HexRgb); };
    s << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
         "viewBox=\"0 0 256 256\">\n"
      << "  <title>Tallowmere</title>\n"
      << "  <defs>\n    <linearGradient id=\"screen\" x1=\"0\" y1=\"24\" x2=\"0\" y2=\"232\" "
         "gradientUnits=\"userSpaceOnUse\">\n"
      << "      <stop offset=\"0\" stop-color=\"" << hex(ScreenTop) << "\"/>\n"
      << "      <stop offset=\"1\" stop-color=\"" << hex(ScreenBottom) << "\"/>\n"
      << "    </linearGradient>\n  </defs>\n"
      << "  <rect x=\"16\" y=\"24\" width=\"224\" height=\"208\" rx=\"28\" fill=\"url(#screen)\" "
         "stroke=\""
      << hex(Rim) << "\" stroke-width=\"8\"/>\n"
      << "  <g stroke=\"" << hex(Grid) << "\" stroke-width=\"4\">\n";
    for (int x = 72; x < 240; x += 56)
        s << "    <line x1=\"" << x << "\" y1=\"44\" x2=\"" << x << "\" y2=\"212\"/>\n";
    for (int y = 80; y < 232; y += 52)
        s << "    <line x1=\"36\" y1=\"" << y << "\" x2=\"220\" y2=\"" << y << "\"/>\n";
    s << "  </g>\n  <polyline fill=\"none\" stroke=\"" << hex(Trace)
      << "\" stroke-width=\"12\" stroke-linecap=\"round\" stroke-linejoin=\"round\" points=\"";
    for (std::size_t i = 0; i < tracePoints().size(); ++i)
        s << (i ? " " : "") << tracePoints()[i].x() << ',' << tracePoints()[i].y();
    s << "\"/>\n  <circle cx=\"134\" cy=\"70\" r=\"16\" fill=\"" << hex(Peak) << "\"/>\n</svg>\n";
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        fprintf(stderr, "usage: mkicons OUTDIR NAME\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        const QString file = dir + u'/' + name + QStringLiteral(".png");
        if (!QDir().mkpath(dir) || !paint(size).save(file, "PNG")) {
            fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    const QString dir = root + QStringLiteral("/scalable/apps");
    QFile file(dir + u'/' + name + QStringLiteral(".svg"));
    if (!QDir().mkpath(dir) || !file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(svg().toUtf8()) < 0) {
        fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        return 1;
    }
    return 0;
}

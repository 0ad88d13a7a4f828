#include "platform/canvas.h"

#include <QFontMetrics>
#include <QPainter>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>

namespace {

using Wide = __int128;

// floor(a / b) for b > 0.
qint64 floorDiv(Wide a, Wide b)
{
    Wide q = a / b;
    if ((a % b != 0) && (a < 0))
        --q;
    return qint64(q);
}

// Spans are clipped to the surface afterwards, so far-away ends only need to stay far away.
qint64 ceilToInt(double v)
{
    constexpr double kFar = 4.0e18;
    v = std::clamp(v, -kFar, kFar);
    const qint64 c = qint64(v);
    return double(c) < v ? c + 1 : c;
}

} // namespace

Canvas::Canvas(int width, int height, qreal scale)
    : m_width(std::max(width, 0)), m_height(std::max(height, 0)), m_scale(scale > 0 ? scale : 1.0)
{
    m_image = QImage(int(dev(m_width)), int(dev(m_height)), QImage::Format_RGB32);
    m_image.fill(Qt::white);
    m_bits = m_image.bits();
    m_stride = m_image.bytesPerLine();
    m_devWidth = m_image.width();
    m_devHeight = m_image.height();
    m_penWidth = std::max(1, int(std::lround(m_scale)));
}

Canvas::~Canvas() = default;

const QImage& Canvas::image()
{
    endPainter();
    return m_image;
}

QImage Canvas::takeImage()
{
    endPainter();
    m_bits = nullptr;
    return std::move(m_image);
}

QRgb Canvas::toRgb(quint32 colorRef)
{
    return qRgb(int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF));
}

qint64 Canvas::dev(qint64 v) const
{
    if (m_scale == 1.0)
        return v;
    return std::llround(double(v) * m_scale);
}

void Canvas::fillDevice(qint64 left, qint64 top, qint64 right, qint64 bottom, QRgb rgb)
{
    left = std::max<qint64>(left, 0);
    top = std::max<qint64>(top, 0);
    right = std::min<qint64>(right, m_devWidth);
    bottom = std::min<qint64>(bottom, m_devHeight);
    if (left >= right || top >= bottom)
        return;
    for (qint64 y = top; y < bottom; ++y) {
        auto* row = reinterpret_cast<QRgb*>(m_bits + y * m_stride);
        std::fill(row + left, row + right, rgb);
    }
}

// Straight lines cover exactly the device pixels of their logical pixels.
void Canvas::straightLine(CanvasPoint from, CanvasPoint to, QRgb rgb)
{
    if (from.x == to.x && from.y == to.y)
        return;
    if (from.y == to.y) {
        const qint64 a = to.x > from.x ? from.x : to.x + 1;
        const qint64 b = to.x > from.x ? to.x : from.x + 1;
        fillDevice(dev(a), dev(from.y), dev(b), dev(from.y + 1), rgb);
    } else {
        const qint64 a = to.y > from.y ? from.y : to.y + 1;
        const qint64 b = to.y > from.y ? to.y : from.y + 1;
        fillDevice(dev(from.x), dev(a), dev(from.x + 1), dev(b), rgb);
    }
}

void Canvas::line(CanvasPoint from, CanvasPoint to)
{
    const QRgb rgb = toRgb(m_pen);
    if (from.y == to.y || from.x == to.x) {
        straightLine(from, to, rgb);
        return;
    }

    // Slanted: the midpoint rule in device space, one pen square per step, last point left
    // out. Only the steps that can touch the surface are walked, so far-away end points of
    // values outside the scale cost nothing.
    const qint64 px = dev(from.x), py = dev(from.y);
    const qint64 qx = dev(to.x), qy = dev(to.y);
    const qint64 adx = qx > px ? qx - px : px - qx;
    const qint64 ady = qy > py ? qy - py : py - qy;
    const int sx = qx > px ? 1 : -1;
    const int sy = qy > py ? 1 : -1;
    const int w = m_penWidth;
    const bool xMajor = adx >= ady;
    const qint64 n = xMajor ? adx : ady;
    if (n == 0)
        return;
    const qint64 major0 = xMajor ? px : py;
    const int majorStep = xMajor ? sx : sy;
    const qint64 limit = xMajor ? m_devWidth : m_devHeight;
    const qint64 minorLimit = xMajor ? m_devHeight : m_devWidth;

    // Steps k whose major coordinate major0 + majorStep * k lies in [1 - w, limit).
    qint64 kLo = 0, kHi = n - 1;
    if (majorStep > 0) {
        kLo = std::max(kLo, 1 - w - major0);
        kHi = std::min(kHi, limit - 1 - major0);
    } else {
        kLo = std::max(kLo, major0 - (limit - 1));
        kHi = std::min(kHi, major0 - (1 - w));
    }
    const qint64 dMajor = xMajor ? adx : ady;
    const qint64 dMinor = xMajor ? ady : adx;
    const qint64 minor0 = xMajor ? py : px;
    const int minorStep = xMajor ? sy : sx;
    for (qint64 k = kLo; k <= kHi; ++k) {
        const qint64 minorOffset = floorDiv(Wide(2) * k * dMinor + dMajor, Wide(2) * dMajor);
        const qint64 minor = minor0 + minorStep * minorOffset;
        if (minor < 1 - w || minor >= minorLimit)
            continue;
        const qint64 major = major0 + majorStep * k;
        const qint64 x = xMajor ? major : minor;
        const qint64 y = xMajor ? minor : major;
        if (w == 1) {
            if (x >= 0 && y >= 0)
                reinterpret_cast<QRgb*>(m_bits + y * m_stride)[x] = rgb;
        } else {
            fillDevice(x, y, x + w, y + w, rgb);
        }
    }
}

void Canvas::lineTo(qint64 x, qint64 y)
{
    line(m_at, {x, y});
    m_at = {x, y};
}

void Canvas::polyline(std::span<const CanvasPoint> points)
{
    for (size_t i = 1; i < points.size(); ++i)
        line(points[i - 1], points[i]);
}

void Canvas::fillPolygon(std::span<const CanvasPoint> points, QRgb rgb)
{
    // Small polygons (all the graph draws) stay on the stack.
    const qsizetype n = qsizetype(points.size());
    QVarLengthArray<double, 16> vx(n), vy(n), slope(n), xs(n);
    double minY = devF(points[0].y), maxY = minY;
    for (qsizetype i = 0; i < n; ++i) {
        vx[i] = devF(points[size_t(i)].x);
        vy[i] = devF(points[size_t(i)].y);
        minY = std::min(minY, vy[i]);
        maxY = std::max(maxY, vy[i]);
    }
    // slope[i] belongs to the edge from vertex i - 1 to vertex i.
    for (qsizetype i = 0, j = n - 1; i < n; j = i++)
        slope[i] = vy[i] != vy[j] ? (vx[i] - vx[j]) / (vy[i] - vy[j]) : 0.0;
    const qint64 rowFirst = std::max<qint64>(0, qint64(std::floor(minY)));
    const qint64 rowLast = std::min<qint64>(m_devHeight - 1, qint64(std::ceil(maxY)));
    for (qint64 row = rowFirst; row <= rowLast; ++row) {
        // Pixel centres inside the polygon (even-odd), sampled at the middle of the row.
        const double yc = double(row) + 0.5;
        qsizetype k = 0;
        for (qsizetype i = 0, j = n - 1; i < n; j = i++) {
            const double ya = vy[j], yb = vy[i];
            if ((ya <= yc && yc < yb) || (yb <= yc && yc < ya)) {
                const double x = vx[j] + (yc - ya) * slope[i];
                qsizetype at = k++;
                for (; at > 0 && xs[at - 1] > x; --at)
                    xs[at] = xs[at - 1];
                xs[at] = x;
            }
        }
        auto* line = reinterpret_cast<QRgb*>(m_bits + row * m_stride);
        for (qsizetype i = 0; i + 1 < k; i += 2) {
            const qint64 a = std::max<qint64>(0, ceilToInt(xs[i] - 0.5));
            const qint64 b = std::min<qint64>(m_devWidth, ceilToInt(xs[i + 1] - 0.5));
            if (a < b)
                std::fill(line + a, line + b, rgb);
        }
    }
}

void Canvas::polygon(std::span<const CanvasPoint> points)
{
    if (points.size() < 2)
        return;
    if (!m_brushClear)
        fillPolygon(points, toRgb(m_brush));
    for (size_t i = 0; i < points.size(); ++i)
        line(points[i], points[(i + 1) % points.size()]);
}

void Canvas::rectangle(qint64 x1, qint64 y1, qint64 x2, qint64 y2)
{
    const qint64 l = dev(std::min(x1, x2)), r = dev(std::max(x1, x2));
    const qint64 t = dev(std::min(y1, y2)), b = dev(std::max(y1, y2));
    if (l >= r || t >= b)
        return;
    // The outline is one logical pixel wide, inside the rectangle.
    const qint64 il = dev(std::min(x1, x2) + 1), ir = dev(std::max(x1, x2) - 1);
    const qint64 it = dev(std::min(y1, y2) + 1), ib = dev(std::max(y1, y2) - 1);
    const QRgb pen = toRgb(m_pen);
    if (il >= ir || it >= ib) {
        fillDevice(l, t, r, b, pen);
        return;
    }
    if (!m_brushClear)
        fillDevice(il, it, ir, ib, toRgb(m_brush));
    fillDevice(l, t, r, it, pen);
    fillDevice(l, ib, r, b, pen);
    fillDevice(l, it, il, ib, pen);
    fillDevice(ir, it, r, ib, pen);
}

void Canvas::fillRect(qint64 left, qint64 top, qint64 right, qint64 bottom)
{
    if (m_brushClear || left >= right || top >= bottom)
        return;
    fillDevice(dev(left), dev(top), dev(right), dev(bottom), toRgb(m_brush));
}

void Canvas::setFont(const QFont& font, int height, quint32 color, bool rotated)
{
    m_font = font;
    if (height > 0) {
        // A cell height: the largest pixel size whose ascent and descent fit into it.
        int px = height;
        m_font.setPixelSize(px);
        while (px > 1 && QFontMetrics(m_font).height() > height)
            m_font.setPixelSize(--px);
        m_fontHeight = height;
    } else {
        m_font.setPixelSize(std::max(1, -height));
        m_fontHeight = QFontMetrics(m_font).height();
    }
    m_metrics.emplace(m_font);
    m_fontAscent = m_metrics->ascent();
    m_fontColor = color;
    m_rotated = rotated;
    if (m_painter)
        m_painter->setFont(m_font);
}

int Canvas::textWidth(const QString& text) const
{
    return m_metrics ? m_metrics->horizontalAdvance(text)
                     : QFontMetrics(m_font).horizontalAdvance(text);
}

QPainter& Canvas::painter()
{
    if (!m_painter) {
        m_painter = std::make_unique<QPainter>(&m_image);
        m_painter->scale(m_scale, m_scale);
        m_painter->setFont(m_font);
    }
    return *m_painter;
}

void Canvas::endPainter()
{
    if (m_painter) {
        m_painter->end();
        m_painter.reset();
    }
}

void Canvas::textOut(qint64 x, qint64 y, const QString& text)
{
    const int tw = textWidth(text);
    if (!m_brushClear) {
        if (m_rotated)
            fillRect(x, y - tw, x + m_fontHeight, y);
        else
            fillRect(x, y, x + tw, y + m_fontHeight);
    }
    // Far outside the surface nothing shows; keep the painter's coordinates small.
    const qint64 far = qint64(m_width) + m_height + tw + m_fontHeight + 16;
    if (m_image.isNull() || x < -far || x > far || y < -far || y > far)
        return;
    QPainter& p = painter();
    p.setPen(QColor(toRgb(m_fontColor)));
    if (m_rotated) {
        p.save();
        p.translate(double(x), double(y));
        p.rotate(-90);
        p.drawText(QPointF(0, m_fontAscent), text);
        p.restore();
    } else {
        p.drawText(QPointF(double(x), double(y + m_fontAscent)), text);
    }
}

#include "controls/VexTrend.h"

#include "platform/canvas.h"
#include "platform/formreader.h"
#include "platform/rounding.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

template <class T> bool changes(T& field, T value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace

TVexTrend::TVexTrend(QWidget* parent) : QFrame(parent)
{
    // The panel's size until the stored description places the control.
    resize(185, 41);
    setFrameStyle(QFrame::NoFrame);
    // Every paint covers the whole client area.
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_divisions = 20;
}

TVexTrend::~TVexTrend() = default;

void TVexTrend::setMinVal(int value)
{
    if (value >= m_maxVal)
        value = m_maxVal - 1;
    if (changes(m_minVal, value))
        update();
}

void TVexTrend::setMaxVal(int value)
{
    if (value <= m_minVal)
        value = m_minVal + 1;
    if (changes(m_maxVal, value))
        update();
}

void TVexTrend::setDivisions(int value)
{
    if (changes(m_divisions, std::clamp(value, 2, kSlots)))
        update();
}

void TVexTrend::setOptions(TTrendOptions value)
{
    if (changes(m_options, value))
        update();
}

void TVexTrend::setStyle(TTrendStyle value)
{
    if (changes(m_style, value))
        update();
}

void TVexTrend::setColor(quint32 value)
{
    if (changes(m_color, value))
        update();
}

void TVexTrend::setColorBase(quint32 value)
{
    if (changes(m_colorBase, value))
        update();
}

void TVexTrend::setBackGroundColor(quint32 value)
{
    if (changes(m_backGroundColor, value))
        update();
}

void TVexTrend::setGridStyle(TGridStyle value)
{
    if (changes(m_gridStyle, value))
        update();
}

void TVexTrend::setGridColor(quint32 value)
{
    if (changes(m_gridColor, value))
        update();
}

// A step of 0 or less is ignored; there is no form designer to complain to. A control of
// width or height 0 still stores 0 here, and the grid drawing skips such a step.
void TVexTrend::setGridXstep(int value)
{
    if (value <= 0)
        return;
    if (changes(m_gridXstep, std::min(value, width())))
        update();
}

void TVexTrend::setGridYstep(int value)
{
    if (value <= 0)
        return;
    if (changes(m_gridYstep, std::min(value, height())))
        update();
}

void TVexTrend::setAutoScale(bool value)
{
    if (changes(m_autoScale, value))
        update();
}

void TVexTrend::setBorderStyle(TBorderStyle value)
{
    if (!changes(m_borderStyle, value))
        return;
    // The sunken two-pixel frame lies outside the client area, as a window border would.
    setFrameStyle(value == bsSingle ? QFrame::WinPanel | QFrame::Sunken : QFrame::NoFrame);
    update();
}

void TVexTrend::addTo(Series& series, int value)
{
    std::copy(series.begin() + 1, series.begin() + m_divisions, series.begin());
    if (value < m_minVal)
        value = m_minVal;
    if (m_autoScale)
        ScaleToValue(value);
    else if (value > m_maxVal)
        value = m_maxVal;
    series[size_t(m_divisions - 1)] = value;
    update();
}

void TVexTrend::AddValue(int value)
{
    addTo(m_values, value);
}

void TVexTrend::AddTwinValue(int value)
{
    addTo(m_twinValues, value);
}

void TVexTrend::clear(Series& series)
{
    std::fill(series.begin(), series.begin() + m_divisions, 0);
    update();
}

void TVexTrend::ClearValues()
{
    clear(m_values);
}

void TVexTrend::ClearTwinValues()
{
    clear(m_twinValues);
}

void TVexTrend::ScaleToValue(int value)
{
    // Hidden slots count too, so lowering Divisions does not shrink the scale.
    const int m1 = *std::max_element(m_values.begin(), m_values.end());
    const int m2 = *std::max_element(m_twinValues.begin(), m_twinValues.end());
    const int m = std::max({m1, m2, value});
    if (m != m_maxVal)
        setMaxVal(m);
}

quint32 TVexTrend::LightenColor(quint32 color, int amount)
{
    auto channel = [color, amount](int shift) {
        const qint64 v = qint64((color >> shift) & 0xFF) + amount;
        return quint32(std::clamp<qint64>(v, 0, 255));
    };
    return channel(0) + channel(8) * 256 + channel(16) * 65536;
}

qint64 TVexTrend::heightOf(int value, int plot) const
{
    // 64-bit, so large values (speeds of fast links) stay exact.
    const qint64 range = qint64(m_maxVal) - m_minVal;
    return (qint64(value) - m_minVal) * plot / range + 3;
}

void TVexTrend::paintEvent(QPaintEvent*)
{
    const qreal scale = devicePixelRatioF();
    const QImage picture = renderImage(scale);
    const QRect client = contentsRect();
    QPainter painter(this);
    painter.drawImage(
        QRectF(client), picture,
        QRectF(0, 0, std::round(client.width() * scale), std::round(client.height() * scale)));
    drawFrame(&painter);
}

QImage TVexTrend::renderImage(qreal scale) const
{
    const int w = width();
    const int h = height();
    const QRect client = contentsRect();
    Canvas c(w, h, scale);
    if (m_options & toValues)
        setLabelFont(c);
    c.setBrushColor(m_backGroundColor);
    c.fillRect(0, 0, client.width(), client.height());
    if (m_gridStyle != gsNone) {
        c.setPenColor(m_gridColor);
        drawGrid(c, client.width(), client.height());
    }
    // From here on the brush colour is the primary colour; a bar style without a grid keeps
    // the default black pen for its outlines.
    c.setBrushColor(m_color);
    switch (m_style) {
    case tsLine:
        c.setPenColor(m_color);
        drawLine(c, m_values);
        if (m_options & toTwin) {
            c.setPenColor(m_colorBase);
            drawLine(c, m_twinValues);
        }
        break;
    case tsBar:
        drawBars(c);
        break;
    case tsScatter:
        drawScatter(c);
        break;
    case ts3D:
        draw3D(c);
        break;
    case tsFilled:
        drawFilled(c);
        break;
    }
    return c.takeImage();
}

void TVexTrend::drawGrid(Canvas& c, int right, int bottom) const
{
    if ((m_gridStyle == gsXGrid || m_gridStyle == gsFull) && m_gridXstep > 0) {
        // Anchored at the right edge, where the newest values appear.
        for (qint64 a = m_gridXstep; a <= right - 1; a += m_gridXstep) {
            const CanvasPoint line[] = {{right - a, 0}, {right - a, bottom - 1}};
            c.polyline(line);
        }
    }
    if ((m_gridStyle == gsYGrid || m_gridStyle == gsFull) && m_gridYstep > 0) {
        // A line for every multiple of the step strictly inside the scale, at its whole
        // percentage of the height. Many multiples share a percentage, so walk the at most
        // 100 percentages and ask whether a multiple falls into each.
        const qint64 range = qint64(m_maxVal) - m_minVal;
        for (qint64 p = 0; p < 100; ++p) {
            const qint64 lo = m_minVal + std::max<qint64>(1, ceilDiv(p * range, 100));
            const qint64 hi = m_minVal + std::min(range - 1, ceilDiv((p + 1) * range, 100) - 1);
            if (lo > hi || ceilDiv(lo, m_gridYstep) * m_gridYstep > hi)
                continue;
            const qint64 y = bottom - Round(double(p) * (bottom / 100.0));
            const CanvasPoint line[] = {{0, y}, {right - 1, y}};
            c.polyline(line);
        }
    }
}

void TVexTrend::drawLine(Canvas& c, const Series& series) const
{
    const int h = height();
    const double step = double(width() - 6) / m_divisions;
    const qint64 half = Round(step) / 2;
    for (int i = 0; i < m_divisions; ++i) {
        const qint64 x = Round(3 + i * step + double(half));
        const qint64 y = h - heightOf(series[size_t(i)], h - 6);
        if (i == 0)
            c.moveTo(x, y);
        else
            c.lineTo(x, y);
    }
}

void TVexTrend::setLabelFont(Canvas& c) const
{
    // The label cell is as many pixels high as the control font has points (at the 96 pixels
    // per inch that logical pixels stand for).
    const QFont f = font();
    const int size = f.pixelSize() > 0 ? (f.pixelSize() * 72 + 48) / 96 : qRound(f.pointSizeF());
    const quint32 colour = colorref::fromColor(palette().color(QPalette::WindowText));
    c.setFont(f, std::max(1, size), colour, bool(m_options & toRotated));
}

void TVexTrend::prepareLabel(Canvas& c) const
{
    c.setBrushColor(m_backGroundColor);
    if (m_options & toTransparent)
        c.setBrushClear();
}

void TVexTrend::drawBars(Canvas& c) const
{
    const int h = height();
    const double step = double(width() - 6) / m_divisions;
    const qint64 half = Round(step) / 2;
    const double range = double(qint64(m_maxVal) - m_minVal);
    for (int i = 0; i < m_divisions; ++i) {
        const int v = m_values[size_t(i)];
        const qint64 x = Round(3 + i * step);
        const qint64 x2 = Round(double(x) + step);
        const qint64 t = Round(double((qint64(v) - m_minVal) * (h - 6)) / range + 3);
        c.setBrushColor(m_color);
        c.rectangle(x, h - 3, x2, h - t);
        if (!(m_options & toValues) || (v == 0 && (m_options & toNoZeros)))
            continue;
        prepareLabel(c);
        const QString text = QString::number(v);
        const qint64 tw = c.textWidth(text);
        const qint64 fh = c.fontHeight();
        if (m_options & toRotated)
            c.textOut(x + half - fh / 2, std::max(tw, h - t), text);
        else
            c.textOut(x + half - tw / 2, std::max<qint64>(0, h - t - fh), text);
    }
}

void TVexTrend::drawScatter(Canvas& c) const
{
    const int h = height();
    const double step = double(width() - 6) / m_divisions;
    const qint64 r = std::max<qint64>(1, Round(step / 4));
    const qint64 range = qint64(m_maxVal) - m_minVal;
    auto square = [&](qint64 cx, int v) {
        const qint64 cy = (qint64(v) - m_minVal) * (h - 6 - 2 * r) / range + 3 + r;
        c.rectangle(cx - r, h - cy + r, cx + r, h - cy - r);
    };
    for (int i = 0; i < m_divisions; ++i) {
        const qint64 cx = Round(3 + i * step + 2 * double(r));
        c.setPenColor(m_color);
        c.setBrushColor(m_color);
        square(cx, m_values[size_t(i)]);
        if (m_options & toTwin) {
            c.setPenColor(m_colorBase);
            c.setBrushColor(m_colorBase);
            square(cx, m_twinValues[size_t(i)]);
        }
    }
}

void TVexTrend::drawFilled(Canvas& c) const
{
    const int h = height();
    const double step = double(width() - 6) / m_divisions;
    c.setPenColor(c.brushColor());
    for (int i = 0; i + 1 < m_divisions; ++i) {
        const qint64 x = Round(3 + i * step + step / 2);
        const qint64 x2 = Round(double(x) + step);
        const qint64 y0 = heightOf(m_values[size_t(i)], h - 6);
        const qint64 y1 = heightOf(m_values[size_t(i + 1)], h - 6);
        const CanvasPoint area[] = {{x, h - 3}, {x2, h - 3}, {x2, h - y1}, {x, h - y0}};
        c.polygon(area);
    }
}

void TVexTrend::draw3D(Canvas& c) const
{
    const int h = height();
    const double step = double(width() - 6 - m_depthX) / m_divisions;
    const qint64 half = Round(step) / 2;
    const quint32 base = c.brushColor();
    const quint32 side = LightenColor(base, -60);
    const quint32 lid = LightenColor(base, 60);
    const int dx = m_depthX, dy = m_depthY;
    const bool twin = bool(m_options & toTwin);
    qint64 left = 3;
    for (int i = 0; i < m_divisions; ++i) {
        const qint64 right = Round(3 + (i + 1) * step);
        qint64 top = heightOf(m_values[size_t(i)], h - 6 - dy);
        qint64 bottom = twin ? heightOf(m_twinValues[size_t(i)], h - 6 - dy) : 3;
        if (top < bottom)
            std::swap(top, bottom);
        auto face = [&c](quint32 colour, std::span<const CanvasPoint> points) {
            c.setBrushColor(colour);
            c.setPenColor(colour);
            c.polygon(points);
        };
        const CanvasPoint front[] = {
            {left, h - bottom}, {right, h - bottom}, {right, h - top}, {left, h - top}};
        const CanvasPoint sideFace[] = {{right, h - bottom},
                                        {right + dx, h - bottom - dy},
                                        {right + dx, h - top - dy},
                                        {right, h - top}};
        const CanvasPoint topFace[] = {{right, h - top},
                                       {right + dx, h - top - dy},
                                       {left + dx, h - top - dy},
                                       {left, h - top}};
        face(base, front);
        face(side, sideFace);
        face(lid, topFace);

        // With the twin series the number is the distance between the two ends, signed.
        const qint64 v = twin ? qint64(m_values[size_t(i)]) - m_twinValues[size_t(i)]
                              : qint64(m_values[size_t(i)]);
        if ((m_options & toValues) && !(v == 0 && (m_options & toNoZeros))) {
            prepareLabel(c);
            const QString text = QString::number(v);
            const qint64 tw = c.textWidth(text);
            const qint64 fh = c.fontHeight();
            if (m_options & toRotated)
                c.textOut(left + half - fh / 2, std::max(tw, h - top - tw), text);
            else
                c.textOut(left + half - tw / 2, h - top - fh, text);
        }
        left = right;
    }
}

void registerVexTrendClass()
{
    FormReader::registerClass(QStringLiteral("TVexTrend"),
                              [](QWidget* parent) -> QObject* { return new TVexTrend(parent); });
}

#pragma once
// A small drawing surface with the pixel rules the program's graphs were designed for:
// a line leaves out its last point, a rectangle leaves out its right column and bottom row,
// a polygon is filled with the brush and outlined with the pen, and text is drawn on a box of
// the brush colour unless the brush is clear. Nothing is antialiased, so every pixel a formula
// names is hit exactly.
//
// Coordinates are logical pixels and may lie far outside the surface (values outside the
// graph's scale); the surface clips. With a scale above 1 the drawing happens at device pixels:
// fills and straight lines cover exactly the device pixels of their logical pixels, and slanted
// lines are drawn in device space with a pen one logical pixel wide.
//
// Colours are 0x00BBGGRR values, red in the low byte; the top byte is ignored.

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QString>

#include <memory>
#include <optional>
#include <span>

class QPainter;

struct CanvasPoint
{
    qint64 x = 0;
    qint64 y = 0;
};

class Canvas
{
public:
    // A surface of width x height logical pixels, filled white.
    Canvas(int width, int height, qreal scale = 1.0);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    int width() const { return m_width; }
    int height() const { return m_height; }
    qreal scale() const { return m_scale; }
    // The device pixels drawn so far; text drawing is finished first.
    const QImage& image();
    // Hands the device pixels over; the canvas must not be drawn on afterwards.
    QImage takeImage();

    static QRgb toRgb(quint32 colorRef);

    void setPenColor(quint32 color) { m_pen = color; }
    quint32 penColor() const { return m_pen; }
    // Setting the brush colour makes a clear brush solid again.
    void setBrushColor(quint32 color)
    {
        m_brush = color;
        m_brushClear = false;
    }
    quint32 brushColor() const { return m_brush; }
    void setBrushClear() { m_brushClear = true; }
    bool brushClear() const { return m_brushClear; }

    // height > 0 is the height of the character cell, height < 0 that of the characters
    // alone (the em size), both in logical pixels. Rotated text runs upwards from its
    // reference point, with its cell to the right of that point.
    void setFont(const QFont& font, int height, quint32 color, bool rotated = false);
    int fontHeight() const { return m_fontHeight; }

    void moveTo(qint64 x, qint64 y) { m_at = {x, y}; }
    void lineTo(qint64 x, qint64 y);
    void polyline(std::span<const CanvasPoint> points);
    void polygon(std::span<const CanvasPoint> points);
    // Corners in any order; filled with the brush, outlined with the pen.
    void rectangle(qint64 x1, qint64 y1, qint64 x2, qint64 y2);
    // Brush only, no outline; nothing when the brush is clear.
    void fillRect(qint64 left, qint64 top, qint64 right, qint64 bottom);
    // The reference point is the top-left corner of the text's cell.
    void textOut(qint64 x, qint64 y, const QString& text);
    int textWidth(const QString& text) const;

private:
    qint64 dev(qint64 v) const;
    double devF(qint64 v) const { return double(v) * m_scale; }
    void fillDevice(qint64 left, qint64 top, qint64 right, qint64 bottom, QRgb rgb);
    void line(CanvasPoint from, CanvasPoint to);
    void straightLine(CanvasPoint from, CanvasPoint to, QRgb rgb);
    void fillPolygon(std::span<const CanvasPoint> points, QRgb rgb);
    QPainter& painter();
    void endPainter();

    int m_width;
    int m_height;
    qreal m_scale;
    QImage m_image;
    uchar* m_bits;
    qsizetype m_stride;
    qint64 m_devWidth;
    qint64 m_devHeight;
    int m_penWidth; // device pixels of a logical pixel's width
    quint32 m_pen = 0x000000;
    quint32 m_brush = 0xFFFFFF;
    bool m_brushClear = false;
    CanvasPoint m_at;

    QFont m_font;
    std::optional<QFontMetrics> m_metrics;
    int m_fontHeight = 0;
    int m_fontAscent = 0;
    quint32 m_fontColor = 0;
    bool m_rotated = false;
    std::unique_ptr<QPainter> m_painter;
};

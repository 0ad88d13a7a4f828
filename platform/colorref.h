#pragma once
// Colours as the program keeps them: 0x00BBGGRR values, red in the low byte; the top byte is
// ignored. Controls store them in their properties, window descriptions name them.

#include <QColor>
#include <QRgb>
#include <QStringView>

#include <optional>

class QWidget;

namespace colorref {

constexpr quint32 clBlack = 0x000000;
constexpr quint32 clMaroon = 0x000080;
constexpr quint32 clGreen = 0x008000;
constexpr quint32 clOlive = 0x008080;
constexpr quint32 clNavy = 0x800000;
constexpr quint32 clPurple = 0x800080;
constexpr quint32 clTeal = 0x808000;
constexpr quint32 clGray = 0x808080;
constexpr quint32 clSilver = 0xC0C0C0;
constexpr quint32 clRed = 0x0000FF;
constexpr quint32 clLime = 0x00FF00;
constexpr quint32 clYellow = 0x00FFFF;
constexpr quint32 clBlue = 0xFF0000;
constexpr quint32 clFuchsia = 0xFF00FF;
constexpr quint32 clAqua = 0xFFFF00;
constexpr quint32 clWhite = 0xFFFFFF;

constexpr QRgb toRgb(quint32 ref)
{
    return qRgb(int(ref & 0xFF), int(ref >> 8 & 0xFF), int(ref >> 16 & 0xFF));
}
inline QColor toColor(quint32 ref)
{
    return QColor(toRgb(ref));
}
inline quint32 fromColor(const QColor& color)
{
    return quint32(color.red()) | quint32(color.green()) << 8 | quint32(color.blue()) << 16;
}

// The colour a name stands for ("clRed", and the system colours "clBtnFace" and the like as
// this program shows them); nothing for a name it does not know.
std::optional<quint32> byName(QStringView name);

// A widget's text colour: every palette role its texts are drawn in (labels, edits, buttons).
void setTextColor(QWidget* w, const QColor& color);

} // namespace colorref

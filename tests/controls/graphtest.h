#pragma once
// What the graph tests and benchmarks share: the stored ping graph, series set up slot by slot,
// and pixel queries.

#include "controls/VexTrend.h"
#include "platform/canvas.h"
#include "platform/colorref.h"

#include <QFont>
#include <QImage>

#include <climits>
#include <initializer_list>
#include <memory>
#include <set>

namespace graphtest {

// The ping graph as the main window stores it (with the start-up grid step).
inline std::unique_ptr<TVexTrend> pingGraph()
{
    auto g = std::make_unique<TVexTrend>();
    g->setGeometry(7, 20, 585, 181);
    g->setBorderStyle(TVexTrend::bsSingle);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPixelSize(11);
    f.setBold(true);
    g->setFont(f);
    g->setStyle(TVexTrend::tsLine);
    g->setDivisions(100);
    g->setGridXstep(6);
    g->setGridYstep(25);
    g->setColorBase(colorref::clBlue);
    return g;
}

// Puts the values into slots 0, 1, ... of the primary (or twin) series, then sets the scale.
inline void fill(TVexTrend& g, std::initializer_list<int> values, int maxVal, bool twin = false)
{
    g.setAutoScale(false);
    g.setMaxVal(INT_MAX);
    // The values first, then zeros to push them down to slot 0.
    for (int v : values)
        twin ? g.AddTwinValue(v) : g.AddValue(v);
    for (int i = int(values.size()); i < g.Divisions(); ++i)
        twin ? g.AddTwinValue(0) : g.AddValue(0);
    g.setMaxVal(maxVal);
}

inline bool is(const QImage& img, int x, int y, quint32 colour)
{
    return img.valid(x, y) && img.pixel(x, y) == colorref::toRgb(colour);
}

inline std::set<int> rowsWith(const QImage& img, quint32 colour)
{
    std::set<int> rows;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (is(img, x, y, colour))
                rows.insert(y);
    return rows;
}

inline std::set<int> columnsWith(const QImage& img, quint32 colour)
{
    std::set<int> cols;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (is(img, x, y, colour))
                cols.insert(x);
    return cols;
}

inline int count(const QImage& img, const QRect& area, quint32 colour)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += is(img, x, y, colour) ? 1 : 0;
    return n;
}

} // namespace graphtest

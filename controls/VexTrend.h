#pragma once
// TVexTrend: the trend graph of all three measuring tabs. It keeps the newest values of two
// integer series in fixed slots, scales them between MinVal and MaxVal (optionally following
// the data) and draws them as lines, bars, scatter squares, 3D bars or a filled area over a
// grid. Property writes coerce to the nearest legal value and only invalidate, and only when
// the stored value changes.

#include "platform/colorref.h"

#include <QFrame>
#include <QImage>

#include <array>

class Canvas;

class TVexTrend : public QFrame
{
    Q_OBJECT
public:
    // Each stored in one byte, ordinals as the stored descriptions expect.
    enum TTrendStyle : quint8
    {
        tsBar,
        tsLine,
        tsScatter,
        ts3D,
        tsFilled
    };
    Q_ENUM(TTrendStyle)
    // Option n is bit n of the set.
    enum TTrendOption : quint8
    {
        toValues = 0x01,
        toTwin = 0x02,
        toTransparent = 0x04,
        toRotated = 0x08,
        toNoZeros = 0x10
    };
    Q_DECLARE_FLAGS(TTrendOptions, TTrendOption)
    Q_FLAG(TTrendOptions)
    enum TGridStyle : quint8
    {
        gsNone,
        gsXGrid,
        gsYGrid,
        gsFull
    };
    Q_ENUM(TGridStyle)
    enum TBorderStyle : quint8
    {
        bsNone,
        bsSingle
    };
    Q_ENUM(TBorderStyle)

    Q_PROPERTY(int MinVal READ MinVal WRITE setMinVal)
    Q_PROPERTY(int MaxVal READ MaxVal WRITE setMaxVal)
    Q_PROPERTY(int Divisions READ Divisions WRITE setDivisions)
    Q_PROPERTY(TTrendOptions Options READ Options WRITE setOptions)
    Q_PROPERTY(TTrendStyle Style READ Style WRITE setStyle)
    Q_PROPERTY(quint32 Color READ Color WRITE setColor)
    Q_PROPERTY(quint32 ColorBase READ ColorBase WRITE setColorBase)
    Q_PROPERTY(quint32 BackGroundColor READ BackGroundColor WRITE setBackGroundColor)
    Q_PROPERTY(TGridStyle GridStyle READ GridStyle WRITE setGridStyle)
    Q_PROPERTY(quint32 GridColor READ GridColor WRITE setGridColor)
    Q_PROPERTY(int GridXstep READ GridXstep WRITE setGridXstep)
    Q_PROPERTY(int GridYstep READ GridYstep WRITE setGridYstep)
    Q_PROPERTY(bool AutoScale READ AutoScale WRITE setAutoScale)
    Q_PROPERTY(TBorderStyle BorderStyle READ BorderStyle WRITE setBorderStyle)

    static constexpr int kSlots = 100;
    using Series = std::array<int, kSlots>;

    explicit TVexTrend(QWidget* parent = nullptr);
    ~TVexTrend() override;

    int MinVal() const { return m_minVal; }
    void setMinVal(int value);
    int MaxVal() const { return m_maxVal; }
    void setMaxVal(int value);
    int Divisions() const { return m_divisions; }
    void setDivisions(int value);
    TTrendOptions Options() const { return m_options; }
    void setOptions(TTrendOptions value);
    TTrendStyle Style() const { return m_style; }
    void setStyle(TTrendStyle value);
    // The primary series colour.
    quint32 Color() const { return m_color; }
    void setColor(quint32 value);
    // The twin series colour.
    quint32 ColorBase() const { return m_colorBase; }
    void setColorBase(quint32 value);
    quint32 BackGroundColor() const { return m_backGroundColor; }
    void setBackGroundColor(quint32 value);
    TGridStyle GridStyle() const { return m_gridStyle; }
    void setGridStyle(TGridStyle value);
    quint32 GridColor() const { return m_gridColor; }
    void setGridColor(quint32 value);
    // Pixels between vertical grid lines; at most the control's width. 0 or less is ignored.
    int GridXstep() const { return m_gridXstep; }
    void setGridXstep(int value);
    // Value units between horizontal grid lines; at most the control's height.
    int GridYstep() const { return m_gridYstep; }
    void setGridYstep(int value);
    bool AutoScale() const { return m_autoScale; }
    void setAutoScale(bool value);
    // bsSingle: a sunken frame outside the client area.
    TBorderStyle BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(TBorderStyle value);

    int DepthX() const { return m_depthX; }
    int DepthY() const { return m_depthY; }

    // Slot 0 is the oldest value shown, slot Divisions - 1 the newest; the slots above are
    // kept but hidden.
    const Series& Values() const { return m_values; }
    const Series& TwinValues() const { return m_twinValues; }

    // Shifts the series one slot towards slot 0 and stores the value, at least MinVal, as the
    // newest; with AutoScale MaxVal follows at once, otherwise the value is capped at MaxVal.
    void AddValue(int value);
    void AddTwinValue(int value);
    // Zero the shown slots; bounds and the other series stay.
    void ClearValues();
    void ClearTwinValues();

    // The automatic scaling step: MaxVal becomes the largest of all 200 slots and the value.
    void ScaleToValue(int value);
    // Shifts every channel by amount, clamped to 0..255; the top byte of the result is 0.
    static quint32 LightenColor(quint32 color, int amount);

    // The picture of one paint: Width x Height logical pixels at the given device scale. Only
    // the client-sized top-left part is shown.
    QImage renderImage(qreal scale = 1.0) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void addTo(Series& series, int value);
    void clear(Series& series);
    void drawGrid(Canvas& c, int right, int bottom) const;
    void drawLine(Canvas& c, const Series& series) const;
    void drawBars(Canvas& c) const;
    void drawScatter(Canvas& c) const;
    void draw3D(Canvas& c) const;
    void drawFilled(Canvas& c) const;
    void setLabelFont(Canvas& c) const;
    void prepareLabel(Canvas& c) const;
    qint64 heightOf(int value, int plot) const;

    Series m_values{};
    Series m_twinValues{};
    int m_divisions = 100;
    int m_minVal = 0;
    int m_maxVal = 100;
    TTrendStyle m_style = tsBar;
    TTrendOptions m_options;
    quint32 m_color = colorref::clRed;
    quint32 m_colorBase = colorref::clAqua;
    quint32 m_backGroundColor = colorref::clWhite;
    TGridStyle m_gridStyle = gsFull;
    quint32 m_gridColor = colorref::clSilver;
    int m_gridXstep = 10;
    int m_gridYstep = 10;
    int m_depthY = 10;
    int m_depthX = 10;
    bool m_autoScale = false;
    TBorderStyle m_borderStyle = bsNone;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TVexTrend::TTrendOptions)

// Makes "TVexTrend" known to the form reader; the program calls it once at start.
void registerVexTrendClass();

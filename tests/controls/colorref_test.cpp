#include "graphtest.h"

#include "platform/errors.h"
#include "platform/formreader.h"

#include <QLabel>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// A graph and a label whose colours a description names.
void readColours(QWidget& form, const QString& graphColour, const QString& labelColour)
{
    registerVexTrendClass();
    const QString ui = QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>QWidget</class>
 <widget class="QWidget" name="Form">
  <widget class="TVexTrend" name="Graph">
   <property name="Color"><color>%1</color></property>
  </widget>
  <widget class="QLabel" name="Label">
   <property name="textColor"><color>%2</color></property>
  </widget>
 </widget>
</ui>)")
                           .arg(graphColour, labelColour);
    FormReader::read(&form, ui.toUtf8(), QStringLiteral("colours.ui"), FormReader::Mode::Create,
                     HandlerTable());
}

} // namespace

// Red sits in the low byte of a stored value and in the high byte of Qt's: a name whose
// channels are not all alike shows a swap in either direction.
TEST(ColorRef, NamedColoursReachPropertiesAndPalettesUnswapped)
{
    struct Case
    {
        const char* name;
        quint32 ref;
        QRgb rgb;
    };
    const Case cases[] = {
        {"clMaroon", 0x000080, qRgb(128, 0, 0)},
        {"clOlive", 0x008080, qRgb(128, 128, 0)},
        {"clNavy", 0x800000, qRgb(0, 0, 128)},
        {"clTeal", 0x808000, qRgb(0, 128, 128)},
        {"clYellow", 0x00FFFF, qRgb(255, 255, 0)},
        {"clAqua", 0xFFFF00, qRgb(0, 255, 255)},
        {"clWindowText", 0x000000, qRgb(0, 0, 0)},
        {"clScrollBar", 0xC8D0D4, qRgb(0xD4, 0xD0, 0xC8)},
        {"clInactiveCaptionText", 0x6D6D6D, qRgb(0x6D, 0x6D, 0x6D)},
        {"#102030", 0x302010, qRgb(0x10, 0x20, 0x30)}, // Qt's own spelling
    };
    for (const Case& c : cases) {
        QWidget form;
        readColours(form, QLatin1String(c.name), QLatin1String(c.name));
        const auto* graph = form.findChild<TVexTrend*>(QStringLiteral("Graph"));
        const auto* label = form.findChild<QLabel*>(QStringLiteral("Label"));
        ASSERT_TRUE(graph && label) << c.name;
        EXPECT_EQ(graph->Color(), c.ref) << c.name;
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            EXPECT_EQ(label->palette().color(role).rgb(), c.rgb) << c.name << " role " << role;
        const QString name = QLatin1String(c.name);
        const auto named = colorref::byName(name);
        if (name.startsWith(u'#'))
            EXPECT_EQ(named, std::nullopt) << c.name;
        else
            EXPECT_EQ(named, c.ref) << c.name;
    }
}

TEST(ColorRef, AnUnknownColourNameIsALoadErrorThatNamesIt)
{
    EXPECT_EQ(colorref::byName(u"clred"), std::nullopt); // names are matched exactly
    EXPECT_EQ(colorref::byName(u""), std::nullopt);
    QWidget form;
    try {
        readColours(form, QStringLiteral("clMauve"), QStringLiteral("clRed"));
        FAIL() << "an unknown colour was accepted";
    } catch (const EResourceError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("clMauve"))) << e.text().toStdString();
    }
}

TEST(ColorRef, ConversionsIgnoreTheTopByteAndAlpha)
{
    EXPECT_EQ(colorref::toRgb(0xFF123456), qRgb(0x56, 0x34, 0x12));
    EXPECT_EQ(colorref::toColor(0x7F0000FF), QColor(255, 0, 0));
    EXPECT_EQ(colorref::fromColor(QColor(0x56, 0x34, 0x12, 0x20)), 0x00123456u);
    for (quint32 ref : {0x000000u, 0xFFFFFFu, 0x010203u, 0xFE00FDu})
        EXPECT_EQ(colorref::fromColor(colorref::toColor(ref)), ref);
}

// What a canvas paints in a stored colour is that colour on the screen, not its mirror.
TEST(ColorRef, CanvasPaintsStoredColoursInTheirChannels)
{
    Canvas c(4, 4);
    c.setBrushColor(colorref::clNavy);
    c.fillRect(0, 0, 4, 4);
    c.setPenColor(colorref::clMaroon);
    c.moveTo(0, 1);
    c.lineTo(4, 1);
    EXPECT_EQ(c.image().pixel(2, 0), qRgb(0, 0, 128));
    EXPECT_EQ(c.image().pixel(2, 1), qRgb(128, 0, 0));
}

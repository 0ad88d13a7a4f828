#include "graphtest.h"

#include "platform/errors.h"
#include "platform/formreader.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace {

QByteArray description(const QByteArray& properties)
{
    return QByteArrayLiteral(R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>QWidget</class>
 <widget class="QWidget" name="Form">
  <widget class="TVexTrend" name="VexTrend2">
   <property name="geometry"><rect><x>7</x><y>20</y><width>585</width><height>181</height></rect></property>
   <property name="font"><font><family>MS Sans Serif</family><pixelsize>11</pixelsize><bold>true</bold></font></property>
)") + properties +
           QByteArrayLiteral(R"(
  </widget>
 </widget>
</ui>)");
}

TVexTrend* readGraph(QWidget& form, const QByteArray& properties)
{
    registerVexTrendClass();
    FormReader::read(&form, description(properties), QStringLiteral("graph.ui"),
                     FormReader::Mode::Create, HandlerTable());
    return form.findChild<TVexTrend*>(QStringLiteral("VexTrend2"));
}

} // namespace

TEST(VexTrendForm, StoredPropertiesArriveThroughTheWriteRules)
{
    QWidget form;
    TVexTrend* g = readGraph(form, R"(
   <property name="BorderStyle"><enum>bsSingle</enum></property>
   <property name="Color"><color>clRed</color></property>
   <property name="ColorBase"><color>clBlue</color></property>
   <property name="BackGroundColor"><color><red>1</red><green>2</green><blue>3</blue></color></property>
   <property name="Divisions"><number>150</number></property>
   <property name="MaxVal"><number>0</number></property>
   <property name="GridXstep"><number>1000</number></property>
   <property name="GridYstep"><number>0</number></property>
   <property name="Options"><set>toValues|toTwin</set></property>
   <property name="Style"><enum>tsLine</enum></property>
   <property name="GridStyle"><enum>gsXGrid</enum></property>
   <property name="GridColor"><number>0x00808080</number></property>
   <property name="AutoScale"><bool>true</bool></property>)");
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->geometry(), QRect(7, 20, 585, 181));
    EXPECT_EQ(g->contentsRect(), QRect(2, 2, 581, 177));
    EXPECT_EQ(g->font().family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(g->BorderStyle(), TVexTrend::bsSingle);
    EXPECT_EQ(g->Color(), 0x000000FFu);
    EXPECT_EQ(g->ColorBase(), 0x00FF0000u);
    EXPECT_EQ(g->BackGroundColor(), 0x00030201u); // red in the low byte
    EXPECT_EQ(g->Divisions(), 100);
    EXPECT_EQ(g->MaxVal(), 1);
    EXPECT_EQ(g->GridXstep(), 585); // clamped to the stored width, which came first
    EXPECT_EQ(g->GridYstep(), 10);  // 0 is ignored
    EXPECT_EQ(g->Options(), TVexTrend::toValues | TVexTrend::toTwin);
    EXPECT_EQ(g->Style(), TVexTrend::tsLine);
    EXPECT_EQ(g->GridStyle(), TVexTrend::gsXGrid);
    EXPECT_EQ(g->GridColor(), 0x00808080u);
    EXPECT_TRUE(g->AutoScale());
}

TEST(VexTrendForm, AnEmptySetAndOmittedPropertiesKeepTheDefaults)
{
    QWidget form;
    TVexTrend* g = readGraph(form, R"(<property name="Options"><set></set></property>)");
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->Options(), TVexTrend::TTrendOptions());
    EXPECT_EQ(g->Style(), TVexTrend::tsBar);
    EXPECT_EQ(g->BorderStyle(), TVexTrend::bsNone);
    EXPECT_EQ(g->contentsRect(), QRect(0, 0, 585, 181));
}

TEST(VexTrendForm, UnknownNamesAreLoadErrorsThatNameThem)
{
    QWidget form;
    try {
        readGraph(form, R"(<property name="Options"><set>toValues|toSideways</set></property>)");
        FAIL() << "an unknown option was accepted";
    } catch (const EResourceError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("toSideways"))) << e.text().toStdString();
    }
    QWidget other;
    try {
        readGraph(other, R"(<property name="Style"><enum>tsPie</enum></property>)");
        FAIL() << "an unknown style was accepted";
    } catch (const EResourceError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("tsPie"))) << e.text().toStdString();
    }
}

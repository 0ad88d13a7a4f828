// A handler's exception, also that of a handler another handler set off: shown once by the
// error handler, never lost and never carried over to a later handler.

#include "platform/errors.h"
#include "platform/formreader.h"
#include "support/testapp.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

class Nest : public QWidget
{
    Q_OBJECT
public:
    // Checks the box itself: the box's failure ends this handler too.
    void OuterClick(QObject*)
    {
        auto* box = findChild<QCheckBox*>(QStringLiteral("Box"));
        {
            const QSignalBlocker blocker(box);
            box->setChecked(!box->isChecked());
        }
        BoxClick(box);
        ++outerDone;
    }
    // Leaves the box's handler to the box's own signal.
    void ThroughSignalClick(QObject*)
    {
        auto* box = findChild<QCheckBox*>(QStringLiteral("Box"));
        box->setChecked(!box->isChecked());
        ++outerDone;
    }
    void BoxClick(QObject*)
    {
        ++boxRuns;
        throw TmError(QStringLiteral("Kästchen %1 kaputt").arg(boxRuns));
    }
    void FineClick(QObject*) { ++fineRuns; }

    int outerDone = 0;
    int boxRuns = 0;
    int fineRuns = 0;
};

namespace {

QByteArray button(const char* name, int y)
{
    return "<widget class=\"QPushButton\" name=\"" + QByteArray(name) +
           "\"><property name=\"geometry\"><rect><x>10</x><y>" + QByteArray::number(y) +
           "</y><width>150</width><height>25</height></rect></property></widget>";
}

QByteArray connection(const char* sender, const char* signal, const char* slot)
{
    return "<connection><sender>" + QByteArray(sender) + "</sender><signal>" + signal +
           "</signal><receiver>Nest</receiver><slot>" + slot + "()</slot></connection>";
}

const QByteArray kNest =
    "<ui version=\"4.0\"><class>Nest</class><widget class=\"Nest\" name=\"Nest\">" +
    button("Outer", 10) + button("ThroughSignal", 40) + button("Fine", 70) +
    "<widget class=\"QCheckBox\" name=\"Box\"><property name=\"geometry\"><rect><x>10</x>"
    "<y>100</y><width>150</width><height>20</height></rect></property><property "
    "name=\"text\"><string>Kästchen</string></property></widget></widget><connections>" +
    connection("Outer", "clicked()", "OuterClick") +
    connection("ThroughSignal", "clicked()", "ThroughSignalClick") +
    connection("Fine", "clicked()", "FineClick") + connection("Box", "toggled(bool)", "BoxClick") +
    "</connections></ui>";

TEST(NestedHandlers, AFailureIsShownOnceAndEndsOnlyTheHandlersThatCalledIt)
{
    struct Case
    {
        const char* click;
        int outerDone; // the outer handler went on after the box's failure
        bool checked;  // the box after the click
    };
    const Case cases[] = {
        {"Outer", 0, true},
        {"ThroughSignal", 1, true},
        {"Box", 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.click);
        testapp::clearRecorded();
        Nest nest;
        HandlerTable table;
        table.add(QStringLiteral("OuterClick"), &nest, &Nest::OuterClick);
        table.add(QStringLiteral("ThroughSignalClick"), &nest, &Nest::ThroughSignalClick);
        table.add(QStringLiteral("BoxClick"), &nest, &Nest::BoxClick);
        table.add(QStringLiteral("FineClick"), &nest, &Nest::FineClick);
        FormReader::read(&nest, kNest, QStringLiteral("nest"), FormReader::Mode::Create, table);
        nest.resize(200, 140);
        nest.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&nest));
        auto* clicked = nest.findChild<QWidget*>(QString::fromLatin1(c.click));
        QTest::mouseClick(clicked, Qt::LeftButton, {}, QPoint(20, clicked->height() / 2));
        EXPECT_EQ(nest.boxRuns, 1);
        EXPECT_EQ(nest.outerDone, c.outerDone);
        EXPECT_EQ(nest.findChild<QCheckBox*>(QStringLiteral("Box"))->isChecked(), c.checked);
        EXPECT_EQ(testapp::recordedTexts(), QStringList{QStringLiteral("Kästchen 1 kaputt")});
        // The next handler starts clean: nothing of the failure is left to raise again.
        auto* fine = nest.findChild<QPushButton*>(QStringLiteral("Fine"));
        QTest::mouseClick(fine, Qt::LeftButton);
        EXPECT_EQ(nest.fineRuns, 1);
        EXPECT_EQ(testapp::recordedTexts().size(), 1);
    }
}

} // namespace

#include "handlers_test.moc"

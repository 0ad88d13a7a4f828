// Reading a description into a window that exists: what is found, what is checked, what
// follows the new texts, and the Loaded notification of the controls.

#include "langfixture.h"

#include "controls/ovkWebLabel.h"
#include "platform/errors.h"

#include <QFont>
#include <QLabel>
#include <QPushButton>

#include <functional>

// A window of its own class, as the reader requires; with or without its handler table.
class Plain : public QWidget
{
    Q_OBJECT
public:
    void Clicked(QObject*) { ++clicks; }
    int clicks = 0;
};

class WithTable : public Plain, public ReloadableForm
{
    Q_OBJECT
public:
    HandlerTable handlerTable() override
    {
        HandlerTable h;
        h.add(QStringLiteral("Clicked"), static_cast<Plain*>(this), &Plain::Clicked);
        return h;
    }
};

namespace {

QByteArray window(const char* cls, const QByteArray& body, const QByteArray& connections = {})
{
    return "<ui version=\"4.0\"><class>" + QByteArray(cls) + "</class><widget class=\"" + cls +
           "\" name=\"W\">" + body + "</widget><connections>" + connections + "</connections></ui>";
}

const QByteArray kCreate = "<widget class=\"QLabel\" name=\"Auto\"><property "
                           "name=\"pos\"><point><x>4</x><y>5</y></point></property>"
                           "<property name=\"text\"><string>kurz</string></property></widget>"
                           "<widget class=\"QLabel\" name=\"Left\"><property "
                           "name=\"geometry\"><rect><x>4</x><y>50</y><width>80</width>"
                           "<height>13</height></rect></property><property "
                           "name=\"text\"><string>kurz</string></property></widget>"
                           "<widget class=\"QLabel\" name=\"Right\"><property "
                           "name=\"geometry\"><rect><x>100</x><y>70</y><width>80</width>"
                           "<height>13</height></rect></property><property "
                           "name=\"text\"><string>kurz</string></property><property "
                           "name=\"alignment\"><set>Qt::AlignRight|Qt::AlignTop</set></property>"
                           "</widget>"
                           "<widget class=\"QLabel\" name=\"Fixed\"><property "
                           "name=\"geometry\"><rect><x>4</x><y>30</y><width>40</width>"
                           "<height>13</height></rect></property><property "
                           "name=\"text\"><string>kurz</string></property><property "
                           "name=\"AutoSize\"><bool>false</bool></property></widget>"
                           "<widget class=\"QPushButton\" name=\"Button\"/>"
                           "<widget class=\"TovkWebLabel\" name=\"Web\"><property "
                           "name=\"textColor\"><color>clRed</color></property></widget>";
const QByteArray kClick = "<connection><sender>Button</sender><signal>clicked()</"
                          "signal><receiver>W</receiver><slot>Clicked()</slot></connection>";

template <class W> void create(W& w)
{
    registerLabelClasses();
    HandlerTable h;
    h.add(QStringLiteral("Clicked"), static_cast<Plain*>(&w), &Plain::Clicked);
    FormReader::read(&w, window(W::staticMetaObject.className(), kCreate, kClick),
                     QStringLiteral("test"), FormReader::Mode::Create, h);
}

TEST_F(LangTest, LabelsFollowEveryNewCaptionFromTheEdgeTheirAlignmentNames)
{
    Plain w;
    create(w);
    w.setFont(QFont(QStringLiteral("Liberation Sans"), 8));
    const QString longer = QStringLiteral("ein viel längerer Text");
    struct Case
    {
        const char* name;
        QRect stored; // a width of 0: the width of the stored caption
        enum
        {
            LeftEdge,
            RightEdge,
            Fixed
        } keeps;
    };
    const Case cases[] = {
        {"Auto", QRect(4, 5, 0, 0), Case::LeftEdge},
        {"Left", QRect(4, 50, 80, 13), Case::LeftEdge},
        {"Right", QRect(100, 70, 80, 13), Case::RightEdge},
        {"Fixed", QRect(4, 30, 40, 13), Case::Fixed},
    };
    // A caption set by the program, then one read from a module, then a short one again.
    QByteArray module;
    for (const Case& c : cases)
        module += "<widget class=\"QLabel\" name=\"" + QByteArray(c.name) +
                  "\"><property name=\"text\"><string>" + longer.toUtf8() +
                  "</string></property></widget>";
    const std::function<void()> steps[] = {
        [&] {
            for (const Case& c : cases)
                w.findChild<QLabel*>(QString::fromLatin1(c.name))->setText(QStringLiteral("x"));
        },
        [&] {
            TAsInheritedReader(window("Plain", module), QStringLiteral("module"))
                .ReadRootComponent(&w);
        },
        [&] {
            for (const Case& c : cases)
                w.findChild<QLabel*>(QString::fromLatin1(c.name))->setText(QStringLiteral("12"));
        },
    };
    for (const auto& step : steps) {
        step();
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            const QLabel* label = w.findChild<QLabel*>(QString::fromLatin1(c.name));
            const int textWidth = label->fontMetrics().horizontalAdvance(label->text());
            switch (c.keeps) {
            case Case::LeftEdge:
                EXPECT_EQ(label->pos(), c.stored.topLeft());
                EXPECT_EQ(label->width(), label->sizeHint().width());
                EXPECT_GE(label->width(), textWidth);
                break;
            case Case::RightEdge:
                EXPECT_EQ(label->geometry().right(), c.stored.right());
                EXPECT_EQ(label->y(), c.stored.y());
                EXPECT_EQ(label->width(), label->sizeHint().width());
                break;
            case Case::Fixed:
                EXPECT_EQ(label->geometry(), c.stored);
                break;
            }
        }
    }
}

TEST_F(LangTest, ReReadingCreatesNothingAndBindsNothing)
{
    Plain w;
    create(w);
    const int children = int(w.findChildren<QObject*>().size());
    TAsInheritedReader(window("Plain", "", kClick), QStringLiteral("module")).ReadRootComponent(&w);
    EXPECT_EQ(int(w.findChildren<QObject*>().size()), children);
    w.findChild<QPushButton*>(QStringLiteral("Button"))->click();
    EXPECT_EQ(w.clicks, 1);
    try {
        TAsInheritedReader(window("Plain", "<widget class=\"QLabel\" name=\"Nowhere\"/>"),
                           QStringLiteral("module"))
            .ReadRootComponent(&w);
        FAIL() << "a missing object was accepted";
    } catch (const EResourceError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("module, line 1, object 'Nowhere': no QLabel of that "
                                           "name exists in the window"));
    }
}

TEST_F(LangTest, HandlerNamesAreCheckedWhenTheWindowGivesItsTable)
{
    const QByteArray unknown = "<connection><sender>Button</sender><signal>clicked()</"
                               "signal><receiver>W</receiver><slot>Gone()</slot></connection>";
    WithTable checked;
    create(checked);
    try {
        TAsInheritedReader(window("WithTable", "", unknown), QStringLiteral("module"))
            .ReadRootComponent(&checked);
        FAIL() << "an unknown handler was accepted";
    } catch (const EResourceError& e) {
        EXPECT_TRUE(e.text().contains(QLatin1String("'Gone'"))) << e.what();
    }
    // A window without a table is re-read without the check; nothing is bound either way.
    Plain plain;
    create(plain);
    EXPECT_NO_THROW(TAsInheritedReader(window("Plain", "", unknown), QStringLiteral("module"))
                        .ReadRootComponent(&plain));
}

TEST_F(LangTest, LabelsTakeTheirStoredColourAsTheOneToReturnTo)
{
    // A stored font colour equal to the focus colour is not taken by the font change, only
    // by Loaded after the reading; so these labels stay red under the pointer and after it.
    Plain w;
    create(w);
    auto* web = w.findChild<TovkWebLabel*>(QStringLiteral("Web"));
    EXPECT_EQ(web->FontColor(), TovkBasicLabel::clRed);
    EXPECT_EQ(web->savedColor(), TovkBasicLabel::clRed);
    web->setFontColor(0x00123456);
    TAsInheritedReader(
        window("Plain", "<widget class=\"TovkWebLabel\" name=\"Web\"><property name=\"textColor\">"
                        "<color>clRed</color></property></widget>"),
        QStringLiteral("module"))
        .ReadRootComponent(&w);
    EXPECT_EQ(web->savedColor(), TovkBasicLabel::clRed);
}

} // namespace

#include "inherited_test.moc"

// The stored windows read strictly: each fault a description may have, put into a copy of a
// real one, is a load error naming the description, the line and the object.

#include "app/Unit2.h"
#include "app/vamtp.h"
#include "platform/errors.h"
#include "platform/formreader.h"
#include "platform/programdir.h"
#include "support/testapp.h"

#include <QDialog>
#include <QMainWindow>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

// Windows of their own class for the copies; the real windows give their tables.
class ProbeMain : public QMainWindow
{
    Q_OBJECT
};

class ProbeDialog : public QDialog
{
    Q_OBJECT
};

namespace {

QByteArray stored(const char* file)
{
    return testapp::fileBytes(QStringLiteral(TM_RESOURCES_DIR "/") + QLatin1String(file));
}

// The description as it stands, for a window of the probe's class.
QByteArray forProbe(QByteArray ui, const char* windowClass, const char* probeClass)
{
    ui.replace("<class>" + QByteArray(windowClass) + "</class>",
               "<class>" + QByteArray(probeClass) + "</class>");
    return ui;
}

int lineAt(const QByteArray& text, qsizetype position)
{
    return int(text.left(position).count('\n')) + 1;
}

class StrictReader : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_data = std::make_unique<QTemporaryDir>();
        programdir::setDataFolderOverride(s_data->path());
        s_main = std::make_unique<TForm1>();
        s_about = std::make_unique<TForm2>();
    }
    static void TearDownTestSuite()
    {
        s_about.reset();
        s_main.reset();
        programdir::setDataFolderOverride(QString());
        s_data.reset();
    }

    // Reads ui as the description of file: the main window's into a new ProbeMain (German
    // ones created, the English one re-read into one created from the German), the About
    // window's into a new ProbeDialog.
    static void read(const char* file, const QByteArray& ui)
    {
        const QString origin = QString::fromLatin1(file);
        if (origin == QLatin1String("TForm2.ui")) {
            ProbeDialog probe;
            FormReader::read(&probe, forProbe(ui, "TForm2", "ProbeDialog"), origin,
                             FormReader::Mode::Create, s_about->handlerTable());
            return;
        }
        const HandlerTable table = s_main->handlerTable();
        ProbeMain probe;
        if (origin == QLatin1String("TForm1.ui")) {
            FormReader::read(&probe, forProbe(ui, "TForm1", "ProbeMain"), origin,
                             FormReader::Mode::Create, table);
            return;
        }
        FormReader::read(&probe, forProbe(stored("TForm1.ui"), "TForm1", "ProbeMain"),
                         QStringLiteral("TForm1.ui"), FormReader::Mode::Create, table);
        FormReader::read(&probe, forProbe(ui, "TForm1", "ProbeMain"), origin,
                         FormReader::Mode::Inherited, table);
    }

    static inline std::unique_ptr<QTemporaryDir> s_data;
    static inline std::unique_ptr<TForm1> s_main;
    static inline std::unique_ptr<TForm2> s_about;
};

TEST_F(StrictReader, TheStoredDescriptionsReadAsTheyAre)
{
    for (const char* file : {"TForm1.ui", "TForm2.ui", "en/TForm1.ui"}) {
        SCOPED_TRACE(file);
        const QByteArray ui = stored(file);
        ASSERT_FALSE(ui.isEmpty());
        EXPECT_NO_THROW(read(file, ui));
    }
}

struct Mutation
{
    const char* what;
    const char* file;
    const char* within; // the mutation is made after the first place of this text
    const char* from;   // replaced, where it first stands after that
    const char* to;
    const char* object; // named by the error; nullptr: none, the fault is the whole window's
    const char* says;
    // The error's line is that of this text in the copy; nullptr: the line of the mutation.
    const char* lineOf = nullptr;
};

const char* const kButton3Connection =
    "<connection><sender>Button3</sender><signal>clicked()</signal><receiver>TForm1</"
    "receiver><slot>Button3Click()</slot></connection>";
const QByteArray kTwoButton3Connections = QByteArray(kButton3Connection) + kButton3Connection;

const Mutation kMutations[] = {
    // Elements the reader does not know: their content would be lost.
    {"a layout, with the widget it holds", "TForm1.ui", "",
     "<widget class=\"QLabel\" name=\"Label5\">",
     "<widget class=\"QLabel\" name=\"Label5\"><layout class=\"QVBoxLayout\" name=\"box\"><item>"
     "<widget class=\"QLabel\" name=\"Lost\"/></item></layout>",
     "Label5", "unknown element <layout> in <widget>"},
    {"a spacer", "TForm2.ui", "", "<widget class=\"QPushButton\" name=\"Button1\">",
     "<widget class=\"QPushButton\" name=\"Button1\"><spacer name=\"gap\"/>", "Button1",
     "unknown element <spacer> in <widget>"},
    {"a layout in the English module", "en/TForm1.ui", "",
     "<widget class=\"QLabel\" name=\"Label22\">",
     "<widget class=\"QLabel\" name=\"Label22\"><layout class=\"QHBoxLayout\" name=\"row\"/>",
     "Label22", "unknown element <layout> in <widget>"},
    {"resources of the designer", "TForm1.ui", "", " <customwidgets>",
     " <resources/><customwidgets>", nullptr, "unknown element <resources> in <ui>"},
    {"an unknown font setting", "TForm1.ui", "", "<bold>true</bold></font>",
     "<heavy>true</heavy></font>", "TForm1", "unknown font setting <heavy>"},
    {"an unknown value type", "TForm1.ui", "name=\"Label5\"", "<string>32</string>",
     "<cstring>32</cstring>", "Label5", "unknown value type <cstring> of 'text'"},
    {"a property without a value", "TForm1.ui", "name=\"Label5\"",
     "<property name=\"text\"><string>32</string></property>", "<property name=\"text\"/>",
     "Label5", "'text' holds no value"},
    // Malformed values.
    {"a letter O for a zero", "TForm1.ui", "name=\"Label5\"", "<x>48</x>", "<x>4O</x>", "Label5",
     "'4O' in <x> is no whole number"},
    {"a number with a unit", "TForm2.ui", "name=\"Button1\"", "<width>75</width>",
     "<width>75px</width>", "Button1", "'75px' in <width> is no whole number"},
    {"a colour component that is no number", "TForm1.ui", "name=\"Edit4\"",
     "<color>clInactiveCaptionText</color>",
     "<color><red>1O</red><green>0</green><blue>0</blue></color>", "Edit4",
     "'1O' in <red> is no whole number"},
    {"a rectangle without its height", "TForm1.ui", "name=\"TrackBar1\"", "<height>25</height>", "",
     "TrackBar1", "<rect> lacks <height>"},
    {"a truth value in German", "TForm1.ui", "name=\"TrackBar1\"", "<bool>false</bool>",
     "<bool>nein</bool>", "TrackBar1", "'nein' in <bool> is neither true nor false"},
    {"a truth value in the English module", "en/TForm1.ui", "name=\"Label22\"",
     "<property name=\"text\">",
     "<property name=\"visible\"><bool>yes</bool></property>"
     "<property name=\"text\">",
     "Label22", "'yes' in <bool> is neither true nor false"},
    {"an empty enumeration", "TForm1.ui", "name=\"TrackBar1\"", "<enum>QSlider::TicksBelow</enum>",
     "<enum/>", "TrackBar1", "an empty <enum> names no value"},
    {"an empty link type", "TForm2.ui", "", "<enum>lnMailto</enum>", "<enum></enum>",
     "ovkWebLabel2", "an empty <enum> names no value"},
    {"a number where a truth value belongs", "TForm1.ui", "name=\"TrackBar1\"",
     "<property name=\"tabStop\"><bool>false</bool>",
     "<property name=\"tabStop\"><number>0</number>", "TrackBar1",
     "'tabStop' takes a <bool>, not a <number>"},
    // Connections that cannot be made.
    {"an event the control does not have", "TForm1.ui", kButton3Connection, "<signal>clicked()",
     "<signal>clicked(int)", "Button3", "'Button3' has no event 'clicked(int)'"},
    {"a check mark on a timer", "TForm1.ui", "", "<sender>Timer2</sender><signal>timeout()",
     "<sender>Timer2</sender><signal>checked()", "Timer2", "'Timer2' has no event 'checked()'"},
    {"a sender that does not exist", "TForm1.ui", "", "<sender>Button3</sender>",
     "<sender>Button33</sender>", "Button33", "connection from 'Button33', which does not exist"},
    {"a connection made twice", "TForm1.ui", "", kButton3Connection,
     kTwoButton3Connections.constData(), "Button3",
     "'clicked()' is connected to 'Button3Click' twice"},
    {"a handler the English module names but the window lacks", "en/TForm1.ui", "",
     "  </widget>\n</ui>",
     "  </widget>\n<connections><connection><sender>Button1</sender><signal>clicked()</signal>"
     "<receiver>TForm1</receiver><slot>Gone()</slot></connection></connections></ui>",
     "Button1", "handler 'Gone' does not exist in the window", "<connections>"},
    // What the window's code expects and the description does not give.
    {"a handler bound to nothing", "TForm1.ui", "", kButton3Connection, "", "TForm1",
     "the window's handler 'Button3Click' is bound to nothing in the description", "<connections>"},
    {"the About window's only handler bound to nothing", "TForm2.ui", "",
     "<connection><sender>Button1</sender><signal>clicked()</signal><receiver>TForm2</"
     "receiver><slot>Button1Click()</slot></connection>",
     "", "TForm2", "the window's handler 'Button1Click' is bound to nothing", "<connections>"},
    {"a member whose object was renamed", "TForm1.ui", "", "name=\"Label5\"", "name=\"Label5x\"",
     "Label5", "the window's member of class QLabel is never bound", "<widget class=\"TForm1\""},
    {"a member whose object has another class", "TForm1.ui", "",
     "<widget class=\"QLabel\" name=\"Label5\">", "<widget class=\"QLineEdit\" name=\"Label5\">",
     "Label5", "is a QLineEdit, the window's member a QLabel"},
    {"two objects of one name", "TForm1.ui", "", "<widget class=\"QLabel\" name=\"Label5\">",
     "<widget class=\"QLabel\" name=\"Label6\">", "Label6", "an object of that name is read twice"},
    {"a custom class the reader does not know", "TForm1.ui", "", "<class>TMemo</class>",
     "<class>TNotepad</class>", nullptr, "custom class 'TNotepad' is not registered"},
    {"a custom class extending a class the reader does not know", "TForm2.ui", "",
     "<extends>QLabel</extends>", "<extends>QLabelle</extends>", nullptr,
     "custom class 'TovkWebLabel' extends 'QLabelle'"},
};

TEST_F(StrictReader, EveryFaultIsALoadErrorNamingFileLineAndObject)
{
    for (const Mutation& m : kMutations) {
        SCOPED_TRACE(m.what);
        QByteArray ui = stored(m.file);
        const qsizetype within = ui.indexOf(m.within);
        ASSERT_GE(within, 0);
        const qsizetype at = ui.indexOf(m.from, within);
        ASSERT_GE(at, 0);
        ui.replace(at, qsizetype(qstrlen(m.from)), m.to);
        const int line = m.lineOf ? lineAt(ui, ui.indexOf(m.lineOf)) : lineAt(ui, at);
        QString where = QStringLiteral("%1, line %2").arg(QLatin1String(m.file)).arg(line);
        if (m.object)
            where += QStringLiteral(", object '%1'").arg(QLatin1String(m.object));
        std::optional<QString> error;
        try {
            read(m.file, ui);
        } catch (const EResourceError& e) {
            error = e.text();
        }
        ASSERT_TRUE(error.has_value()) << "read without an error";
        EXPECT_TRUE(error->startsWith(where + QStringLiteral(": ")))
            << error->toStdString() << "\n  expected it to begin with: " << where.toStdString();
        EXPECT_TRUE(error->contains(QLatin1String(m.says))) << error->toStdString();
    }
}

} // namespace

#include "strict_test.moc"

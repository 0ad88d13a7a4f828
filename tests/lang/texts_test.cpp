// After the switch to English no text of the German descriptions is left on screen, except
// the few that read the same in both languages; both windows load in both languages.

#include "langfixture.h"

#include "controls/ovkWebLabel.h"
#include "platform/memo.h"
#include "platform/resources.h"

#include <QAction>
#include <QDomDocument>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QTabWidget>
#include <QTextEdit>

namespace {

struct StoredText
{
    QString object;
    QString property; // "text", "title", "windowTitle", "currentText", "Lines" or "tab"
    QString german;
};

// Every text a description stores, with the object and property it belongs to.
QList<StoredText> storedTexts(const QByteArray& xml)
{
    QDomDocument doc;
    EXPECT_TRUE(doc.setContent(xml));
    QList<StoredText> texts;
    const QStringList names = {QStringLiteral("text"), QStringLiteral("title"),
                               QStringLiteral("windowTitle"), QStringLiteral("currentText"),
                               QStringLiteral("Lines")};
    const QDomNodeList props = doc.elementsByTagName(QStringLiteral("property"));
    for (int i = 0; i < props.size(); ++i) {
        const QDomElement p = props.at(i).toElement();
        const QString name = p.attribute(QStringLiteral("name"));
        if (!names.contains(name))
            continue;
        const QString owner = p.parentNode().toElement().attribute(QStringLiteral("name"));
        QString value = p.firstChildElement().text();
        if (name == QLatin1String("Lines")) {
            QStringList lines;
            for (QDomElement s = p.firstChildElement().firstChildElement(); !s.isNull();
                 s = s.nextSiblingElement())
                lines += s.text();
            value = lines.join(u'\n');
        }
        texts.append({owner, name, value});
    }
    const QDomNodeList attrs = doc.elementsByTagName(QStringLiteral("attribute"));
    for (int i = 0; i < attrs.size(); ++i) {
        const QDomElement a = attrs.at(i).toElement();
        if (a.attribute(QStringLiteral("name")) == QLatin1String("title"))
            texts.append({a.parentNode().toElement().attribute(QStringLiteral("name")),
                          QStringLiteral("tab"), a.firstChildElement().text()});
    }
    return texts;
}

QString shownText(QWidget* root, const StoredText& t)
{
    // The description names the window after its class.
    QObject* obj = t.object == QLatin1String(root->metaObject()->className())
                       ? root
                       : root->findChild<QObject*>(t.object);
    if (!obj)
        return QStringLiteral("<missing %1>").arg(t.object);
    if (t.property == QLatin1String("tab")) {
        auto* page = static_cast<QWidget*>(obj);
        auto* tabs = qobject_cast<QTabWidget*>(page->parentWidget()->parentWidget());
        return tabs->tabText(tabs->indexOf(page));
    }
    if (t.property == QLatin1String("Lines"))
        return obj->property("Lines").toStringList().join(u'\n');
    return obj->property(t.property.toLatin1().constData()).toString();
}

// Texts that read the same in German and English: numbers with units, names, and the few
// words both languages share.
bool sameInBothLanguages(const QString& text)
{
    static const QRegularExpression quantity(
        QStringLiteral("^[0-9]* ?(B|KB|KByte|MByte|KBit/s|MBit/s|GBit/s)?$"));
    static const QStringList words = {
        QStringLiteral("Ping"),      QStringLiteral("TTL:"),      QStringLiteral("Timeout:"),
        QStringLiteral("List"),      QStringLiteral("Bar"),       QStringLiteral("3D"),
        QStringLiteral("&About..."), QStringLiteral("Interpret"), QStringLiteral("create files"),
        QStringLiteral("z"),         QStringLiteral("\\\\")};
    return quantity.match(text).hasMatch() || words.contains(text);
}

// Captions the main window's start-up writes itself (the copy tab's scale in its unit).
bool writtenByTheCode(const StoredText& t)
{
    return t.object == QLatin1String("Label33") || t.object == QLatin1String("Label34");
}

TEST_F(LangTest, NoGermanTextOfTheMainWindowIsLeft)
{
    placeModule(QStringLiteral("quillnet.enu"));
    startUp("en_US.UTF-8");
    const QList<StoredText> texts = storedTexts(builtInFile(QStringLiteral("TForm1.ui")));
    ASSERT_GT(texts.size(), 80);
    int translated = 0;
    for (const StoredText& t : texts) {
        SCOPED_TRACE(
            QStringLiteral("%1.%2 \"%3\"").arg(t.object, t.property, t.german).toStdString());
        const std::string shown = shownText(&form1(), t).toStdString();
        const std::string german = t.german.toStdString();
        EXPECT_EQ(shown.find("<missing"), std::string::npos);
        if (writtenByTheCode(t))
            continue;
        if (sameInBothLanguages(t.german)) {
            EXPECT_EQ(shown, german);
            continue;
        }
        EXPECT_NE(shown, german);
        EXPECT_FALSE(shown.empty());
        EXPECT_FALSE(QString::fromStdString(shown).contains(
            QRegularExpression(QStringLiteral("[äöüÄÖÜß]"))));
        ++translated;
    }
    EXPECT_GE(translated, 45);
}

TEST_F(LangTest, TheGermanWindowShowsItsStoredTexts)
{
    // The same comparison without a module: everything as stored, so the check above can
    // only pass because the module replaced the texts.
    startUp("de_DE.UTF-8");
    for (const StoredText& t : storedTexts(builtInFile(QStringLiteral("TForm1.ui")))) {
        if (!writtenByTheCode(t)) {
            EXPECT_EQ(shownText(&form1(), t).toStdString(), t.german.toStdString())
                << t.object.toStdString();
        }
    }
}

TEST_F(LangTest, MenuAndTabsSpeakEnglish)
{
    placeModule(QStringLiteral("quillnet.enu"));
    startUp("en_US.UTF-8");
    TForm1& f = form1();
    QStringList menus;
    for (QAction* a : f.MainMenu1->actions())
        menus += a->text();
    EXPECT_EQ(menus, (QStringList{QStringLiteral("&File"), QStringLiteral("&Options"),
                                  QStringLiteral("&Help")}));
    EXPECT_EQ(f.Alwaysontop1->text(), QStringLiteral("Always on top"));
    EXPECT_EQ(f.PageControl1->tabText(1), QStringLiteral("Analysis"));
    EXPECT_EQ(f.PageControl1->tabText(2), QStringLiteral("VamtCopy"));
    EXPECT_EQ(f.GroupBox2->title(), QStringLiteral("Display"));
    // Stored settings that are no texts stay as they were.
    EXPECT_TRUE(f.Line1->isChecked());
    EXPECT_FALSE(f.PageControl1->isTabVisible(3));
    EXPECT_EQ(f.Label56->text(), QStringLiteral("MBit/s"));
}

// Whether a control's text fits into it as placed; labels, check and radio buttons size to
// their hint, push buttons need their text plus the style's margins.
bool textFits(QWidget* w)
{
    if (auto* b = qobject_cast<QPushButton*>(w)) {
        QString text = b->text();
        text.remove(u'&');
        const int margin = b->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, b);
        return b->fontMetrics().horizontalAdvance(text) + 2 * margin <= b->width();
    }
    return w->sizeHint().width() <= w->width();
}

QMap<QString, bool> fitting(QWidget* root)
{
    QMap<QString, bool> fits;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)) {
            if (!w->property("text").toString().isEmpty())
                fits.insert(w->objectName(), textFits(w));
        }
    }
    return fits;
}

TEST_F(LangTest, EveryEnglishTextFitsWhereTheGermanOneDid)
{
    startUp("de_DE.UTF-8");
    const QMap<QString, bool> german = fitting(&form1());
    ASSERT_GT(german.size(), 50);
    m_form1.reset();
    placeModule(QStringLiteral("quillnet.enu"));
    startUp("en_US.UTF-8");
    for (auto it = german.cbegin(); it != german.cend(); ++it) {
        auto* w = form1().findChild<QWidget*>(it.key());
        if (it.value()) {
            EXPECT_TRUE(textFits(w))
                << it.key().toStdString() << ": " << w->property("text").toString().toStdString();
        }
    }
}

TEST_F(LangTest, TheAboutWindowLoadsFromBothSources)
{
    // Built in, and from the module once it is installed: the same English texts.
    for (bool module : {false, true}) {
        SCOPED_TRACE(module);
        if (module) {
            placeModule(QStringLiteral("quillnet.enu"));
            startUp("en_US.UTF-8");
            ASSERT_NE(resources::installedModule(), nullptr);
        }
        TForm2 about;
        EXPECT_EQ(about.windowTitle(), QStringLiteral("About"));
        EXPECT_EQ(about.Label1->text(), QStringLiteral("Please report bugs to:"));
        EXPECT_EQ(about.Label2->text(), QStringLiteral("Visit the webpage"));
        EXPECT_EQ(about.Button1->text(), QStringLiteral("&Close"));
        EXPECT_EQ(
            about.RichEdit1->toPlainText(),
            QStringLiteral(
                "Tallowmere, \nQuillnet.exe\nVersion 2.0.0; March 2006\n\nSoftware by Vornhart"));
        // Re-reading it from the module, as a later switch would, names only what exists.
        EXPECT_TRUE(ReloadFormClasses(&about, &QWidget::staticMetaObject));
    }
}

} // namespace

#include "platform/formreader.h"

#include "platform/errors.h"
#include "platform/formreading.h"
#include "platform/widgetrules.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDomDocument>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMetaProperty>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>

#include <cstring>
#include <utility>

namespace {

using formreading::factories;
using formreading::Spot;
using namespace Qt::StringLiterals;

// Marks a control stored with its place only: it sizes itself to its text, also when a later
// reading changes the text.
constexpr char kPlaceOnly[] = "_tm_placeOnly";

struct Colour
{
    const char* name;
    QRgb rgb;
};

// The colour names a stored description may use, with their values.
constexpr Colour kColours[] = {
    {"clBlack", 0x000000},     {"clMaroon", 0x800000},     {"clGreen", 0x008000},
    {"clOlive", 0x808000},     {"clNavy", 0x000080},       {"clPurple", 0x800080},
    {"clTeal", 0x008080},      {"clGray", 0x808080},       {"clSilver", 0xC0C0C0},
    {"clRed", 0xFF0000},       {"clLime", 0x00FF00},       {"clYellow", 0xFFFF00},
    {"clBlue", 0x0000FF},      {"clFuchsia", 0xFF00FF},    {"clAqua", 0x00FFFF},
    {"clWhite", 0xFFFFFF},     {"clWindowText", 0x000000}, {"clInactiveCaptionText", 0x6D6D6D},
    {"clScrollBar", 0xD4D0C8}, {"clBtnFace", 0xEFEFEF},
};

class Reader
{
public:
    Reader(QWidget* root, const QString& origin, FormReader::Mode mode,
           const HandlerTable& handlers)
        : m_root(root), m_origin(origin), m_mode(mode), m_handlers(handlers)
    {
    }

    HandlerTable::Handler run(const QDomElement& ui)
    {
        const std::initializer_list<QLatin1StringView> parts = {
            "class"_L1, "widget"_L1, "customwidgets"_L1, "connections"_L1};
        formreading::allowOnly(spot(), ui, parts, parts);
        const QDomElement clsElement = ui.firstChildElement(QStringLiteral("class"));
        const QString cls = clsElement.text();
        const QString rootClass = QString::fromLatin1(m_root->metaObject()->className());
        if (cls != rootClass)
            fail(clsElement.isNull() ? ui : clsElement,
                 QStringLiteral("describes class '%1', not '%2'").arg(cls, rootClass));
        const QDomElement top = ui.firstChildElement(QStringLiteral("widget"));
        if (top.isNull())
            fail(ui, QStringLiteral("holds no window"));
        formreading::checkCustomWidgets(spot(),
                                        ui.firstChildElement(QStringLiteral("customwidgets")));
        m_rootName = top.attribute(QStringLiteral("name"));
        formreading::Binder binder(m_root, m_rootName, m_mode, m_handlers);
        m_read.append(m_root);
        readChildren(top, m_root);
        applyProperties(top, m_root);
        const Spot window = Spot(m_origin, m_rootName);
        if (!m_onCreate.isNull())
            m_onCreateHandler = binder.handler(window, m_onCreate, m_onCreate.text());
        const QDomElement connections = ui.firstChildElement(QStringLiteral("connections"));
        binder.bind(window, connections);
        if (m_mode == FormReader::Mode::Create) {
            binder.checkEveryHandlerUsed(window, connections.isNull() ? top : connections);
            checkMembers(top);
        }
        for (const QPointer<QObject>& obj : std::as_const(m_read)) {
            if (obj && obj->metaObject()->indexOfMethod("Loaded()") >= 0)
                QMetaObject::invokeMethod(obj, "Loaded", Qt::DirectConnection);
        }
        return m_onCreateHandler;
    }

private:
    Spot spot() const { return Spot(m_origin, m_object); }

    [[noreturn]] void fail(const QDomNode& at, const QString& what) const { spot().fail(at, what); }
    // At the element being read.
    [[noreturn]] void fail(const QString& what) const { fail(m_at, what); }

    // Create mode: every member the window binds after reading is an object of its class.
    void checkMembers(const QDomElement& top) const
    {
        for (const HandlerTable::Member& member : m_handlers.members()) {
            const auto it = m_objects.constFind(member.name);
            const Spot at = Spot(m_origin, member.name);
            if (it == m_objects.constEnd())
                at.fail(top, QStringLiteral("the window's member of class %1 is never bound: the "
                                            "description holds no object of that name")
                                 .arg(QLatin1String(member.className)));
            if (!it->first->inherits(member.className))
                at.fail(it->second, QStringLiteral("is a %1, the window's member a %2")
                                        .arg(QLatin1String(it->first->metaObject()->className()),
                                             QLatin1String(member.className)));
        }
    }

    // An object of the description, once by its name.
    void enter(QObject* obj, const QDomElement& element)
    {
        if (m_objects.contains(obj->objectName()))
            fail(element, QStringLiteral("an object of that name is read twice"));
        m_objects.insert(obj->objectName(), {obj, element});
        m_read.append(obj);
    }

    QWidget* clientOf(QWidget* w)
    {
        if (auto* main = qobject_cast<QMainWindow*>(w)) {
            if (!main->centralWidget()) {
                auto* client = new QWidget(main);
                client->setObjectName(QStringLiteral("client"));
                main->setCentralWidget(client);
            }
            return main->centralWidget();
        }
        return w;
    }

    QObject* existing(const QString& name, const QString& cls)
    {
        QObject* obj = m_root->findChild<QObject*>(name);
        if (!obj)
            fail(QStringLiteral("no %1 of that name exists in the window").arg(cls));
        if (!obj->inherits(cls.toLatin1().constData()))
            fail(QStringLiteral("is a %1 in the window, not a %2")
                     .arg(QString::fromLatin1(obj->metaObject()->className()), cls));
        return obj;
    }

    QObject* make(const QString& cls, const QString& name, QWidget* parent)
    {
        const auto it = factories().constFind(cls);
        if (it == factories().constEnd())
            fail(QStringLiteral("unknown class '%1' of object '%2'").arg(cls, name));
        QObject* obj = (*it)(parent);
        obj->setObjectName(name);
        return obj;
    }

    void readChildren(const QDomElement& element, QWidget* widget)
    {
        m_object = widget == m_root ? m_rootName : widget->objectName();
        formreading::allowOnly(
            spot(), element,
            {"property"_L1, "attribute"_L1, "widget"_L1, "object"_L1, "action"_L1, "addaction"_L1});
        // Menu entries first, so that menus anywhere in the description can list them.
        for (QDomElement child = element.firstChildElement(QStringLiteral("action"));
             !child.isNull(); child = child.nextSiblingElement(QStringLiteral("action")))
            readAction(child, widget);
        for (QDomElement child = element.firstChildElement(); !child.isNull();
             child = child.nextSiblingElement()) {
            const QString tag = child.tagName();
            if (tag == QLatin1String("widget") || tag == QLatin1String("object"))
                readObject(child, widget);
        }
        // Menus list their entries after the entries are known.
        for (QDomElement child = element.firstChildElement(QStringLiteral("addaction"));
             !child.isNull(); child = child.nextSiblingElement(QStringLiteral("addaction")))
            addAction(widget, child);
    }

    void readAction(const QDomElement& element, QWidget* owner)
    {
        const QString name = element.attribute(QStringLiteral("name"));
        m_object = name;
        m_at = element;
        if (name.isEmpty())
            fail(QStringLiteral("a menu entry without a name"));
        formreading::allowOnly(spot(), element, {"property"_L1});
        QObject* obj = m_mode == FormReader::Mode::Create
                           ? make(QStringLiteral("QAction"), name, owner)
                           : existing(name, QStringLiteral("QAction"));
        enter(obj, element);
        applyProperties(element, obj);
    }

    void addAction(QWidget* widget, const QDomElement& element)
    {
        m_object = widget->objectName();
        m_at = element;
        formreading::allowOnly(spot(), element, {});
        const QString name = element.attribute(QStringLiteral("name"));
        if (m_mode != FormReader::Mode::Create)
            return;
        if (name == QLatin1String("separator")) {
            if (auto* menu = qobject_cast<QMenu*>(widget))
                menu->addSeparator();
            return;
        }
        if (auto* menu = m_root->findChild<QMenu*>(name)) {
            widget->addAction(menu->menuAction());
            return;
        }
        auto* action = m_root->findChild<QAction*>(name);
        if (!action)
            fail(QStringLiteral("menu entry '%1' is not defined").arg(name));
        widget->addAction(action);
    }

    QObject* create(const QString& cls, const QString& name, QWidget* parent)
    {
        QWidget* container = parent;
        auto* main = qobject_cast<QMainWindow*>(parent);
        if (!(main && cls == QLatin1String("QMenuBar")) && !qobject_cast<QMenuBar*>(parent) &&
            !qobject_cast<QMenu*>(parent))
            container = clientOf(parent);
        QObject* obj = make(cls, name, container);
        if (main && cls == QLatin1String("QMenuBar"))
            main->setMenuBar(static_cast<QMenuBar*>(obj));
        if (auto* tabs = qobject_cast<QTabWidget*>(parent); tabs && obj->isWidgetType()) {
            // A page has the window's colour, as every panel on it: an opaque label on a
            // page then shows no box of another shade.
            static_cast<QWidget*>(obj)->setAutoFillBackground(true);
            tabs->addTab(static_cast<QWidget*>(obj), QString());
        }
        // Labels size themselves to their caption unless the description says otherwise.
        if (auto* label = qobject_cast<QLabel*>(obj))
            widgetrules::setAutoSize(label, true);
        if (qobject_cast<QAbstractButton*>(obj) || qobject_cast<QMenuBar*>(obj))
            widgetrules::routeMnemonics(static_cast<QWidget*>(obj));
        return obj;
    }

    void readObject(const QDomElement& element, QWidget* parent)
    {
        const QString cls = element.attribute(QStringLiteral("class"));
        const QString name = element.attribute(QStringLiteral("name"));
        m_object = name;
        m_at = element;
        if (name.isEmpty())
            fail(QStringLiteral("an object of class '%1' has no name").arg(cls));
        QObject* obj =
            m_mode == FormReader::Mode::Create ? create(cls, name, parent) : existing(name, cls);
        enter(obj, element);
        if (auto* w = qobject_cast<QWidget*>(obj)) {
            readChildren(element, w);
            applyAttributes(element, w);
        } else {
            formreading::allowOnly(spot(), element, {"property"_L1});
        }
        applyProperties(element, obj);
    }

    void applyAttributes(const QDomElement& element, QWidget* page)
    {
        m_object = page->objectName();
        auto* tabs = qobject_cast<QTabWidget*>(
            page->parentWidget() ? page->parentWidget()->parentWidget() : nullptr);
        for (QDomElement a = element.firstChildElement(QStringLiteral("attribute")); !a.isNull();
             a = a.nextSiblingElement(QStringLiteral("attribute"))) {
            m_at = a;
            const QString name = a.attribute(QStringLiteral("name"));
            if (!tabs || tabs->indexOf(page) < 0)
                fail(QStringLiteral("attribute '%1' on '%2', which is not a tab page")
                         .arg(name, page->objectName()));
            const int index = tabs->indexOf(page);
            const QDomElement value = formreading::valueOf(spot(), a);
            if (name == QLatin1String("title")) {
                formreading::expectType(spot(), value, "string"_L1, name);
                tabs->setTabText(index, value.text());
            } else if (name == QLatin1String("tabVisible")) {
                formreading::expectType(spot(), value, "bool"_L1, name);
                // A hidden tab can never be chosen, neither by Ctrl+Tab nor by the keys of the
                // tab bar, which skip only disabled tabs.
                const bool shown = value.text() == QLatin1String("true");
                tabs->setTabVisible(index, shown);
                tabs->setTabEnabled(index, shown);
            } else
                fail(
                    QStringLiteral("unknown attribute '%1' of '%2'").arg(name, page->objectName()));
        }
    }

    QColor colour(const QDomElement& e) const
    {
        if (!e.firstChildElement(QStringLiteral("red")).isNull())
            return QColor(e.firstChildElement(QStringLiteral("red")).text().toInt(),
                          e.firstChildElement(QStringLiteral("green")).text().toInt(),
                          e.firstChildElement(QStringLiteral("blue")).text().toInt());
        const QString text = e.text().trimmed();
        for (const Colour& c : kColours) {
            if (text == QLatin1String(c.name))
                return QColor::fromRgb(c.rgb);
        }
        const QColor parsed(text);
        if (!parsed.isValid())
            fail(QStringLiteral("unknown colour '%1'").arg(text));
        return parsed;
    }

    static uint toColorRef(const QColor& c)
    {
        return uint(c.red()) | uint(c.green()) << 8 | uint(c.blue()) << 16;
    }

    // A stored font names its whole style: what it does not set is off (a label that underlines
    // itself by default is not underlined when its stored font says nothing of it). Family and
    // size not stored are the parent's.
    QFont font(const QDomElement& e, const QFont& base) const
    {
        QFont f = base;
        f.setBold(false);
        f.setItalic(false);
        f.setUnderline(false);
        f.setStrikeOut(false);
        for (QDomElement p = e.firstChildElement(); !p.isNull(); p = p.nextSiblingElement()) {
            const QString tag = p.tagName();
            if (tag == QLatin1String("family"))
                f.setFamily(p.text());
            else if (tag == QLatin1String("pixelsize"))
                f.setPixelSize(p.text().toInt());
            else if (tag == QLatin1String("pointsize"))
                f.setPointSize(p.text().toInt());
            else if (tag == QLatin1String("bold"))
                f.setBold(p.text() == QLatin1String("true"));
            else if (tag == QLatin1String("italic"))
                f.setItalic(p.text() == QLatin1String("true"));
            else if (tag == QLatin1String("underline"))
                f.setUnderline(p.text() == QLatin1String("true"));
            else if (tag == QLatin1String("strikeout"))
                f.setStrikeOut(p.text() == QLatin1String("true"));
            else
                fail(QStringLiteral("unknown font setting '%1'").arg(tag));
        }
        return f;
    }

    static QRect rect(const QDomElement& e)
    {
        auto n = [&e](const char* tag) {
            return e.firstChildElement(QString::fromLatin1(tag)).text().toInt();
        };
        return QRect(n("x"), n("y"), n("width"), n("height"));
    }

    static QStringList stringList(const QDomElement& e)
    {
        QStringList list;
        for (QDomElement s = e.firstChildElement(QStringLiteral("string")); !s.isNull();
             s = s.nextSiblingElement(QStringLiteral("string")))
            list += s.text();
        return list;
    }

    // Properties the description stores that are no single Qt property. Each returns false
    // when the object is not one it applies to: the name is then an ordinary property.
    using Apply = bool (Reader::*)(QObject* obj, const QString& name, const QDomElement& value);
    struct Special
    {
        const char* name;
        const char* type;
        Apply apply;
    };

    bool applySpecial(QObject* obj, const QString& name, const QDomElement& value)
    {
        static constexpr Special kSpecials[] = {
            {"OnCreate", "string", &Reader::setOnCreate},
            {"separator", "bool", &Reader::setSeparator},
            {"geometry", "rect", &Reader::setGeometry},
            {"pos", "point", &Reader::setPlace},
            {"AutoSize", "bool", &Reader::setAutoSize},
            {"font", "font", &Reader::setFont},
            {"align", "enum", &Reader::setAlign},
            {"tabStop", "bool", &Reader::setTabStop},
            {"textColor", "color", &Reader::setColour},
            {"backgroundColor", "color", &Reader::setColour},
            {"lines", "stringlist", &Reader::setLines},
            {"itemHeight", "number", &Reader::setItemHeight},
            {"items", "stringlist", &Reader::setItems},
            {"colWidths", "stringlist", &Reader::setColumnWidths},
            {"fixedRows", "number", &Reader::setFixed},
            {"fixedCols", "number", &Reader::setFixed},
            {"defaultRowHeight", "number", &Reader::setRowHeight},
        };
        for (const Special& s : kSpecials) {
            if (name == QLatin1String(s.name)) {
                formreading::expectType(spot(), value, QLatin1StringView(s.type), name);
                return (this->*s.apply)(obj, name, value);
            }
        }
        return false;
    }

    bool setOnCreate(QObject* obj, const QString&, const QDomElement& value)
    {
        if (obj != m_root)
            return false;
        m_onCreate = value;
        return true;
    }

    bool setSeparator(QObject* obj, const QString&, const QDomElement& value)
    {
        auto* a = qobject_cast<QAction*>(obj);
        if (a)
            a->setSeparator(value.text() == QLatin1String("true"));
        return a;
    }

    bool setGeometry(QObject* obj, const QString&, const QDomElement& value)
    {
        auto* w = qobject_cast<QWidget*>(obj);
        if (!w)
            return false;
        if (w == m_root) {
            const QRect r = rect(value);
            clientOf(w)->setFixedSize(r.size());
        } else {
            w->setGeometry(rect(value));
            if (auto* label = qobject_cast<QLabel*>(w))
                widgetrules::rememberPlace(label, rect(value));
        }
        return true;
    }

    bool setPlace(QObject* obj, const QString&, const QDomElement& value)
    {
        auto* w = qobject_cast<QWidget*>(obj);
        if (!w)
            return false;
        // Only its place is stored; its size is that of its text.
        w->move(rect(value).topLeft());
        w->setProperty(kPlaceOnly, true);
        m_placeOnly = true;
        return true;
    }

    bool setAutoSize(QObject* obj, const QString&, const QDomElement& value)
    {
        auto* label = qobject_cast<QLabel*>(obj);
        if (!label)
            fail(QStringLiteral("'AutoSize' on '%1', which is no label").arg(obj->objectName()));
        widgetrules::setAutoSize(label, value.text() == QLatin1String("true"));
        return true;
    }

    bool setFont(QObject* obj, const QString&, const QDomElement& value)
    {
        auto* w = qobject_cast<QWidget*>(obj);
        if (w)
            w->setFont(font(value, w->font()));
        return w;
    }

    bool setAlign(QObject* obj, const QString&, const QDomElement& value)
    {
        auto* w = qobject_cast<QWidget*>(obj);
        if (!w)
            return false;
        if (value.text() != QLatin1String("alBottom"))
            fail(QStringLiteral("unknown alignment '%1' of '%2'")
                     .arg(value.text(), w->objectName()));
        if (m_mode == FormReader::Mode::Create)
            widgetrules::alignBottom(w);
        return true;
    }

    bool setTabStop(QObject* obj, const QString&, const QDomElement& value)
    {
        auto* w = qobject_cast<QWidget*>(obj);
        if (w)
            widgetrules::setTabStop(w, value.text() == QLatin1String("true"));
        return w;
    }

    bool setColour(QObject* obj, const QString& name, const QDomElement& value)
    {
        auto* w = qobject_cast<QWidget*>(obj);
        if (!w)
            return false;
        QPalette pal = w->palette();
        const QColor c = colour(value);
        if (name == QLatin1String("textColor")) {
            for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
                pal.setColor(role, c);
        } else {
            for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
                pal.setColor(role, c);
            w->setAutoFillBackground(true);
        }
        w->setPalette(pal);
        return true;
    }

    bool setLines(QObject* obj, const QString&, const QDomElement& value)
    {
        if (obj->metaObject()->indexOfProperty("Lines") >= 0 || !obj->isWidgetType())
            return false;
        const QString text = stringList(value).join(u'\n');
        if (auto* memo = qobject_cast<QPlainTextEdit*>(obj))
            memo->setPlainText(text);
        else if (auto* rich = qobject_cast<QTextEdit*>(obj))
            rich->setPlainText(text);
        else
            fail(QStringLiteral("'lines' on '%1', which is no memo").arg(obj->objectName()));
        return true;
    }

    bool setItemHeight(QObject* obj, const QString&, const QDomElement& value)
    {
        auto* box = qobject_cast<QComboBox*>(obj);
        if (!box)
            fail(QStringLiteral("'itemHeight' on '%1', which is no combo box")
                     .arg(obj->objectName()));
        widgetrules::setItemHeight(box, value.text().toInt());
        return true;
    }

    bool setItems(QObject* obj, const QString&, const QDomElement& value)
    {
        auto* box = qobject_cast<QComboBox*>(obj);
        if (!box)
            fail(QStringLiteral("'items' on '%1', which is no combo box").arg(obj->objectName()));
        const QString text = box->currentText();
        box->clear();
        box->addItems(stringList(value));
        box->setEditText(text);
        return true;
    }

    bool setColumnWidths(QObject* obj, const QString&, const QDomElement& value)
    {
        auto* grid = qobject_cast<QTableWidget*>(obj);
        if (!grid)
            return false;
        int i = 0;
        for (QDomElement s = value.firstChildElement(); !s.isNull(); s = s.nextSiblingElement()) {
            const int width = formreading::wholeNumber(spot(), s, s.text());
            if (i < grid->columnCount())
                grid->setColumnWidth(i, width);
            ++i;
        }
        return true;
    }

    bool setFixed(QObject* obj, const QString& name, const QDomElement& value)
    {
        auto* grid = qobject_cast<QTableWidget*>(obj);
        if (!grid)
            return false;
        // Fixed rows and columns are ordinary cells drawn like headers; Qt's own headers are
        // not used, so cell (0, 0) is addressed as in the stored window.
        grid->horizontalHeader()->hide();
        grid->verticalHeader()->hide();
        grid->setProperty(name.toLatin1().constData(), value.text().toInt());
        return true;
    }

    bool setRowHeight(QObject* obj, const QString&, const QDomElement& value)
    {
        auto* grid = qobject_cast<QTableWidget*>(obj);
        if (!grid)
            return false;
        grid->verticalHeader()->setMinimumSectionSize(1);
        grid->verticalHeader()->setDefaultSectionSize(value.text().toInt());
        return true;
    }

    // Writes a number into a property of enumeration type, whatever the enumeration's size.
    static QVariant enumVariant(const QMetaProperty& prop, int value)
    {
        const QMetaType type = prop.metaType();
        if (!(type.flags() & QMetaType::IsEnumeration) || type.sizeOf() > qsizetype(sizeof value))
            return QVariant(value);
        QVariant v(type);
        std::memcpy(v.data(), &value, size_t(type.sizeOf()));
        return v;
    }

    QVariant value(QObject* obj, const QMetaProperty& prop, const QDomElement& e)
    {
        const QString tag = e.tagName();
        const QString text = e.text();
        if (tag == QLatin1String("string"))
            return text;
        if (tag == QLatin1String("bool"))
            return text == QLatin1String("true");
        if (tag == QLatin1String("number"))
            return text.startsWith(QLatin1String("0x")) ? QVariant(text.mid(2).toUInt(nullptr, 16))
                                                        : QVariant(text.toLongLong());
        if (tag == QLatin1String("double"))
            return text.toDouble();
        if (tag == QLatin1String("rect"))
            return rect(e);
        if (tag == QLatin1String("stringlist"))
            return stringList(e);
        if (tag == QLatin1String("color")) {
            const QColor c = colour(e);
            if (prop.metaType().id() == QMetaType::QColor)
                return c;
            return toColorRef(c);
        }
        if (tag == QLatin1String("enum") || tag == QLatin1String("set")) {
            if (!prop.isEnumType())
                fail(QStringLiteral("property '%1' of '%2' is no enumeration")
                         .arg(QString::fromLatin1(prop.name()), obj->objectName()));
            const QMetaEnum en = prop.enumerator();
            int v = 0;
            bool ok = true;
            const QString keys = text.trimmed();
            if (!keys.isEmpty()) {
                // Stored keys may carry their scope ("Qt::AlignRight").
                QStringList plain;
                for (const QString& k : keys.split(u'|'))
                    plain += k.trimmed().section(QStringLiteral("::"), -1);
                const QByteArray joined = plain.join(u'|').toLatin1();
                v = prop.isFlagType() ? en.keysToValue(joined.constData(), &ok)
                                      : en.keyToValue(joined.constData(), &ok);
            }
            if (!ok)
                fail(QStringLiteral("'%1' is no value of property '%2' of '%3'")
                         .arg(text, QString::fromLatin1(prop.name()), obj->objectName()));
            return enumVariant(prop, v);
        }
        fail(QStringLiteral("unknown value type '%1' for property '%2' of '%3'")
                 .arg(tag, QString::fromLatin1(prop.name()), obj->objectName()));
    }

    void applyProperties(const QDomElement& element, QObject* obj)
    {
        m_object = obj == m_root ? m_rootName : obj->objectName();
        m_placeOnly = false;
        auto* label = qobject_cast<QLabel*>(obj);
        if (label)
            widgetrules::holdFit(label, true);
        applyEach(element, obj);
        if (label)
            widgetrules::holdFit(label, false);
        auto* w = qobject_cast<QWidget*>(obj);
        if (!w)
            return;
        // A label stored with its place only was stored at the size of its stored caption: its
        // left edge holds. Any other auto-sized label keeps the edge its alignment names.
        const bool placeOnly = m_placeOnly || w->property(kPlaceOnly).toBool();
        if (label && widgetrules::autoSize(label))
            widgetrules::fitLabel(label, m_placeOnly);
        else if (placeOnly)
            w->adjustSize();
    }

    void applyEach(const QDomElement& element, QObject* obj)
    {
        for (QDomElement p = element.firstChildElement(QStringLiteral("property")); !p.isNull();
             p = p.nextSiblingElement(QStringLiteral("property"))) {
            m_at = p;
            const QString name = p.attribute(QStringLiteral("name"));
            const QDomElement v = formreading::valueOf(spot(), p);
            if (applySpecial(obj, name, v))
                continue;
            const QMetaObject* meta = obj->metaObject();
            const int index = meta->indexOfProperty(name.toLatin1().constData());
            if (index < 0)
                fail(QStringLiteral("'%1' (%2) has no property '%3'")
                         .arg(obj->objectName(), QString::fromLatin1(meta->className()), name));
            const QMetaProperty prop = meta->property(index);
            if (!prop.isWritable())
                fail(QStringLiteral("property '%1' of '%2' cannot be written")
                         .arg(name, obj->objectName()));
            m_at = v;
            if (!prop.write(obj, value(obj, prop, v)))
                fail(QStringLiteral("property '%1' of '%2' does not take '%3'")
                         .arg(name, obj->objectName(), v.text()));
        }
    }

    QWidget* m_root;
    QString m_origin;
    FormReader::Mode m_mode;
    const HandlerTable& m_handlers;
    QString m_rootName;
    // The object and the element being read, for the messages.
    QString m_object;
    QDomElement m_at;
    QDomElement m_onCreate;
    HandlerTable::Handler m_onCreateHandler;
    bool m_placeOnly = false;
    QList<QPointer<QObject>> m_read;
    QHash<QString, std::pair<QObject*, QDomElement>> m_objects;
};

} // namespace

static QDomElement parse(QDomDocument& doc, const QByteArray& xml, const QString& origin)
{
    QString message;
    int line = 0;
    if (!doc.setContent(xml, &message, &line))
        throw EResourceError(QStringLiteral("%1: not a window description (line %2: %3)")
                                 .arg(origin)
                                 .arg(line)
                                 .arg(message));
    const QDomElement ui = doc.documentElement();
    if (ui.tagName() != QLatin1String("ui"))
        throw EResourceError(QStringLiteral("%1: not a window description").arg(origin));
    return ui;
}

HandlerTable::Handler FormReader::read(QWidget* root, const QByteArray& xml, const QString& origin,
                                       Mode mode, const HandlerTable& handlers)
{
    QDomDocument doc;
    const QDomElement ui = parse(doc, xml, origin);
    return Reader(root, origin, mode, handlers).run(ui);
}

QString FormReader::className(const QByteArray& xml)
{
    QDomDocument doc;
    if (!doc.setContent(xml))
        return {};
    return doc.documentElement().firstChildElement(QStringLiteral("class")).text();
}

#include "platform/formreader.h"

#include "platform/application.h"
#include "platform/colorref.h"
#include "platform/errors.h"
#include "platform/memo.h"
#include "platform/widgetrules.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDomDocument>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMetaProperty>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QTimer>

#include <cstring>
#include <exception>
#include <utility>

namespace {

// Marks a control stored with its place only: it sizes itself to its text, also when a later
// reading changes the text.
constexpr char kPlaceOnly[] = "_tm_placeOnly";

// Calls a handler with the control that raised the event.
class HandlerRelay : public QObject
{
    Q_OBJECT
public:
    HandlerRelay(QObject* sender, QWidget* window, HandlerTable::Handler handler)
        : QObject(sender), m_sender(sender), m_window(window), m_windowClass(window->metaObject()),
          m_handler(std::move(handler))
    {
    }

public Q_SLOTS:
    void fire() { call(); }
    // A radio button's click handler runs when it becomes checked, not when it is unchecked.
    void fireIfTrue(bool on)
    {
        if (on)
            call();
    }
    // A menu entry's check mark is set by its handler; undo the toggle Qt made on the click.
    void fireMenuItem(bool checked)
    {
        if (auto* action = qobject_cast<QAction*>(m_sender); action && action->isCheckable())
            action->setChecked(!checked);
        call();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyRelease)
            call();
        return QObject::eventFilter(watched, event);
    }

public:
    // Handlers running right now, and the exception of a nested one; only the main thread
    // runs handlers.
    static inline int s_depth = 0;
    static inline std::exception_ptr s_pending;

private:
    void call()
    {
        // While the window's own destructor has run and its base class hides it, Qt still
        // sends focus and text signals: the window's members are gone by then.
        if (m_window->metaObject() != m_windowClass)
            return;
        // A handler's exception stops here, not inside Qt's widget code, which is built
        // without unwinding clean-ups and would leak its events and guards. A handler run by a
        // change that another handler made (a box checked in code) keeps its exception for the
        // outer one, which takes it up with FormReader::rethrowPending() or, at the latest,
        // hands it to the error handler when it returns.
        TApplication* app = TApplication::instance();
        if (s_depth > 0 || !app) {
            ++s_depth;
            try {
                m_handler(m_sender);
            } catch (...) {
                if (!s_pending)
                    s_pending = std::current_exception();
            }
            --s_depth;
            if (!app && s_depth == 0)
                FormReader::rethrowPending();
            return;
        }
        ++s_depth;
        app->guarded([this] {
            m_handler(m_sender);
            FormReader::rethrowPending();
        });
        s_pending = nullptr;
        --s_depth;
    }

    QObject* m_sender;
    QWidget* m_window;
    const QMetaObject* m_windowClass;
    HandlerTable::Handler m_handler;
};

QHash<QString, FormReader::Factory>& factories()
{
    static QHash<QString, FormReader::Factory> table = [] {
        QHash<QString, FormReader::Factory> t;
        auto widget = [&t]<class W>(const char* name, W*) {
            t.insert(QString::fromLatin1(name),
                     [](QWidget* parent) -> QObject* { return new W(parent); });
        };
        widget("QWidget", static_cast<QWidget*>(nullptr));
        widget("QLabel", static_cast<QLabel*>(nullptr));
        widget("QPushButton", static_cast<QPushButton*>(nullptr));
        widget("QLineEdit", static_cast<QLineEdit*>(nullptr));
        widget("QCheckBox", static_cast<QCheckBox*>(nullptr));
        widget("QRadioButton", static_cast<QRadioButton*>(nullptr));
        widget("QPlainTextEdit", static_cast<QPlainTextEdit*>(nullptr));
        widget("QTextEdit", static_cast<QTextEdit*>(nullptr));
        widget("QFrame", static_cast<QFrame*>(nullptr));
        widget("QGroupBox", static_cast<QGroupBox*>(nullptr));
        widget("QTabWidget", static_cast<QTabWidget*>(nullptr));

        widget("QMenuBar", static_cast<QMenuBar*>(nullptr));
        widget("QMenu", static_cast<QMenu*>(nullptr));
        widget("TMemo", static_cast<TMemo*>(nullptr));
        t.insert(QStringLiteral("QComboBox"), [](QWidget* parent) -> QObject* {
            auto* box = new QComboBox(parent);
            widgetrules::prepareComboBox(box);
            return box;
        });
        t.insert(QStringLiteral("QSlider"), [](QWidget* parent) -> QObject* {
            auto* slider = new QSlider(parent);
            widgetrules::prepareSlider(slider);
            return slider;
        });
        t.insert(QStringLiteral("QTableWidget"), [](QWidget* parent) -> QObject* {
            auto* grid = new QTableWidget(parent);
            widgetrules::prepareGrid(grid);
            return grid;
        });
        t.insert(QStringLiteral("QTimer"),
                 [](QWidget* parent) -> QObject* { return new QTimer(parent); });
        t.insert(QStringLiteral("QAction"),
                 [](QWidget* parent) -> QObject* { return new QAction(parent); });
        return t;
    }();
    return table;
}

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
        const QString cls = ui.firstChildElement(QStringLiteral("class")).text();
        if (cls != QString::fromLatin1(m_root->metaObject()->className()))
            fail(QStringLiteral("describes class '%1', not '%2'")
                     .arg(cls, QString::fromLatin1(m_root->metaObject()->className())));
        const QDomElement top = ui.firstChildElement(QStringLiteral("widget"));
        if (top.isNull())
            fail(QStringLiteral("holds no window"));
        m_rootName = top.attribute(QStringLiteral("name"));
        m_read.append(m_root);
        readChildren(top, m_root);
        applyProperties(top, m_root);
        bindConnections(ui.firstChildElement(QStringLiteral("connections")));
        for (const QPointer<QObject>& obj : std::as_const(m_read)) {
            if (obj && obj->metaObject()->indexOfMethod("Loaded()") >= 0)
                QMetaObject::invokeMethod(obj, "Loaded", Qt::DirectConnection);
        }
        return m_onCreate;
    }

private:
    [[noreturn]] void fail(const QString& what) const
    {
        throw EResourceError(QStringLiteral("%1: %2").arg(m_origin, what));
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
            fail(QStringLiteral("no object '%1' of class %2 exists in the window").arg(name, cls));
        if (!obj->inherits(cls.toLatin1().constData()))
            fail(QStringLiteral("object '%1' is a %2, not a %3")
                     .arg(name, QString::fromLatin1(obj->metaObject()->className()), cls));
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
            addAction(widget, child.attribute(QStringLiteral("name")));
    }

    void readAction(const QDomElement& element, QWidget* owner)
    {
        const QString name = element.attribute(QStringLiteral("name"));
        QObject* obj = m_mode == FormReader::Mode::Create
                           ? make(QStringLiteral("QAction"), name, owner)
                           : existing(name, QStringLiteral("QAction"));
        m_read.append(obj);
        applyProperties(element, obj);
    }

    void addAction(QWidget* widget, const QString& name)
    {
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

    void readObject(const QDomElement& element, QWidget* parent)
    {
        const QString cls = element.attribute(QStringLiteral("class"));
        const QString name = element.attribute(QStringLiteral("name"));
        if (name.isEmpty())
            fail(QStringLiteral("an object of class '%1' has no name").arg(cls));
        QObject* obj = nullptr;
        if (m_mode == FormReader::Mode::Create) {
            QWidget* container = parent;
            auto* main = qobject_cast<QMainWindow*>(parent);
            if (!(main && cls == QLatin1String("QMenuBar")) && !qobject_cast<QMenuBar*>(parent) &&
                !qobject_cast<QMenu*>(parent))
                container = clientOf(parent);
            obj = make(cls, name, container);
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
        } else {
            obj = existing(name, cls);
        }
        m_read.append(obj);
        if (auto* w = qobject_cast<QWidget*>(obj)) {
            readChildren(element, w);
            applyAttributes(element, w);
        }
        applyProperties(element, obj);
    }

    void applyAttributes(const QDomElement& element, QWidget* page)
    {
        auto* tabs = qobject_cast<QTabWidget*>(
            page->parentWidget() ? page->parentWidget()->parentWidget() : nullptr);
        for (QDomElement a = element.firstChildElement(QStringLiteral("attribute")); !a.isNull();
             a = a.nextSiblingElement(QStringLiteral("attribute"))) {
            const QString name = a.attribute(QStringLiteral("name"));
            if (!tabs || tabs->indexOf(page) < 0)
                fail(QStringLiteral("attribute '%1' on '%2', which is not a tab page")
                         .arg(name, page->objectName()));
            const int index = tabs->indexOf(page);
            const QDomElement value = a.firstChildElement();
            if (name == QLatin1String("title"))
                tabs->setTabText(index, value.text());
            else if (name == QLatin1String("tabVisible")) {
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
        if (const std::optional<quint32> named = colorref::byName(text))
            return colorref::toColor(*named);
        const QColor parsed(text);
        if (!parsed.isValid())
            fail(QStringLiteral("unknown colour '%1'").arg(text));
        return parsed;
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

    // Properties the description stores that are no single Qt property.
    bool applySpecial(QObject* obj, const QString& name, const QDomElement& value)
    {
        auto* w = qobject_cast<QWidget*>(obj);
        if (name == QLatin1String("OnCreate") && obj == m_root) {
            m_onCreate = handler(value.text(), obj->objectName());
            return true;
        }
        if (name == QLatin1String("separator")) {
            if (auto* a = qobject_cast<QAction*>(obj)) {
                a->setSeparator(value.text() == QLatin1String("true"));
                return true;
            }
        }
        if (!w)
            return false;
        if (name == QLatin1String("geometry")) {
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
        if (name == QLatin1String("pos")) {
            // Only its place is stored; its size is that of its text.
            w->move(rect(value).topLeft());
            w->setProperty(kPlaceOnly, true);
            m_placeOnly = true;
            return true;
        }
        if (name == QLatin1String("AutoSize")) {
            auto* label = qobject_cast<QLabel*>(w);
            if (!label)
                fail(QStringLiteral("'AutoSize' on '%1', which is no label").arg(w->objectName()));
            widgetrules::setAutoSize(label, value.text() == QLatin1String("true"));
            return true;
        }
        if (name == QLatin1String("font")) {
            w->setFont(font(value, w->font()));
            return true;
        }
        if (name == QLatin1String("align")) {
            if (value.text() != QLatin1String("alBottom"))
                fail(QStringLiteral("unknown alignment '%1' of '%2'")
                         .arg(value.text(), w->objectName()));
            if (m_mode == FormReader::Mode::Create)
                widgetrules::alignBottom(w);
            return true;
        }
        if (name == QLatin1String("tabStop")) {
            widgetrules::setTabStop(w, value.text() == QLatin1String("true"));
            return true;
        }
        if (name == QLatin1String("textColor") || name == QLatin1String("backgroundColor")) {
            const QColor c = colour(value);
            if (name == QLatin1String("textColor")) {
                colorref::setTextColor(w, c);
                return true;
            }
            QPalette pal = w->palette();
            for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
                pal.setColor(role, c);
            w->setPalette(pal);
            w->setAutoFillBackground(true);
            return true;
        }
        if (name == QLatin1String("lines") && w->metaObject()->indexOfProperty("Lines") < 0) {
            const QString text = stringList(value).join(u'\n');
            if (auto* memo = qobject_cast<QPlainTextEdit*>(w))
                memo->setPlainText(text);
            else if (auto* rich = qobject_cast<QTextEdit*>(w))
                rich->setPlainText(text);
            else
                fail(QStringLiteral("'lines' on '%1', which is no memo").arg(w->objectName()));
            return true;
        }
        if (name == QLatin1String("itemHeight")) {
            auto* box = qobject_cast<QComboBox*>(w);
            if (!box)
                fail(QStringLiteral("'itemHeight' on '%1', which is no combo box")
                         .arg(w->objectName()));
            widgetrules::setItemHeight(box, value.text().toInt());
            return true;
        }
        if (name == QLatin1String("items")) {
            auto* box = qobject_cast<QComboBox*>(w);
            if (!box)
                fail(QStringLiteral("'items' on '%1', which is no combo box").arg(w->objectName()));
            const QString text = box->currentText();
            box->clear();
            box->addItems(stringList(value));
            box->setEditText(text);
            return true;
        }
        if (auto* grid = qobject_cast<QTableWidget*>(w)) {
            if (name == QLatin1String("colWidths")) {
                const QStringList widths = stringList(value);
                for (int i = 0; i < widths.size() && i < grid->columnCount(); ++i)
                    grid->setColumnWidth(i, widths[i].toInt());
                return true;
            }
            if (name == QLatin1String("fixedRows") || name == QLatin1String("fixedCols")) {
                // Fixed rows and columns are ordinary cells drawn like headers; Qt's own
                // headers are not used, so cell (0, 0) is addressed as in the stored window.
                grid->horizontalHeader()->hide();
                grid->verticalHeader()->hide();
                grid->setProperty(name.toLatin1().constData(), value.text().toInt());
                return true;
            }
            if (name == QLatin1String("defaultRowHeight")) {
                grid->verticalHeader()->setMinimumSectionSize(1);
                grid->verticalHeader()->setDefaultSectionSize(value.text().toInt());
                return true;
            }
        }
        return false;
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
            return colorref::fromColor(c);
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
            const QString name = p.attribute(QStringLiteral("name"));
            const QDomElement v = p.firstChildElement();
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
            if (!prop.write(obj, value(obj, prop, v)))
                fail(QStringLiteral("property '%1' of '%2' does not take '%3'")
                         .arg(name, obj->objectName(), v.text()));
        }
    }

    HandlerTable::Handler handler(const QString& name, const QString& sender) const
    {
        // A re-reading binds nothing; without the window's table there is nothing to check.
        if (m_mode == FormReader::Mode::Inherited && m_handlers.isEmpty())
            return {};
        if (!m_handlers.contains(name))
            fail(QStringLiteral("handler '%1' of '%2' does not exist in the window")
                     .arg(name, sender));
        return m_handlers.find(name);
    }

    void bindConnections(const QDomElement& connections)
    {
        for (QDomElement c = connections.firstChildElement(QStringLiteral("connection"));
             !c.isNull(); c = c.nextSiblingElement(QStringLiteral("connection"))) {
            const QString senderName = c.firstChildElement(QStringLiteral("sender")).text();
            QString signal = c.firstChildElement(QStringLiteral("signal")).text();
            const QString receiver = c.firstChildElement(QStringLiteral("receiver")).text();
            QString slot = c.firstChildElement(QStringLiteral("slot")).text();
            if (receiver != m_rootName)
                fail(QStringLiteral("handler '%1' is bound to '%2', not to the window")
                         .arg(slot, receiver));
            if (slot.endsWith(QLatin1String("()")))
                slot.chop(2);
            QObject* sender =
                senderName == m_rootName ? m_root : m_root->findChild<QObject*>(senderName);
            if (!sender)
                fail(QStringLiteral("connection from '%1', which does not exist").arg(senderName));
            const HandlerTable::Handler fn = handler(slot, senderName);
            if (m_mode != FormReader::Mode::Create)
                continue;
            auto* relay = new HandlerRelay(sender, m_root, fn);
            if (signal == QLatin1String("keyReleased()")) {
                // Typed keys reach an editable combo box itself (its line edit's focus proxy),
                // which hands them to the line edit past any filter; keys sent to the line edit
                // directly reach only the line edit. Both are watched.
                sender->installEventFilter(relay);
                if (auto* box = qobject_cast<QComboBox*>(sender); box && box->lineEdit())
                    box->lineEdit()->installEventFilter(relay);
                continue;
            }
            const char* relaySlot = "fire()";
            if (signal == QLatin1String("checked()")) {
                signal = QStringLiteral("toggled(bool)");
                relaySlot = "fireIfTrue(bool)";
            } else if (qobject_cast<QAction*>(sender) && signal == QLatin1String("triggered()")) {
                signal = QStringLiteral("triggered(bool)");
                relaySlot = "fireMenuItem(bool)";
            }
            const QByteArray sig = QMetaObject::normalizedSignature(signal.toLatin1().constData());
            const int signalIndex = sender->metaObject()->indexOfSignal(sig.constData());
            if (signalIndex < 0)
                fail(QStringLiteral("'%1' has no event '%2'").arg(senderName, signal));
            const int slotIndex = relay->metaObject()->indexOfSlot(relaySlot);
            QMetaObject::connect(sender, signalIndex, relay, slotIndex);
        }
    }

    QWidget* m_root;
    QString m_origin;
    FormReader::Mode m_mode;
    const HandlerTable& m_handlers;
    QString m_rootName;
    HandlerTable::Handler m_onCreate;
    bool m_placeOnly = false;
    QList<QPointer<QObject>> m_read;
};

} // namespace

void FormReader::rethrowPending()
{
    if (std::exception_ptr pending = std::exchange(HandlerRelay::s_pending, nullptr))
        std::rethrow_exception(pending);
}

void FormReader::registerClass(const QString& className, Factory factory)
{
    factories().insert(className, std::move(factory));
}

bool FormReader::knowsClass(const QString& className)
{
    return factories().contains(className);
}

static QDomElement parse(const QByteArray& xml, const QString& origin)
{
    QDomDocument doc;
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
    const QDomElement ui = parse(xml, origin);
    return Reader(root, origin, mode, handlers).run(ui);
}

QString FormReader::className(const QByteArray& xml)
{
    QDomDocument doc;
    if (!doc.setContent(xml))
        return {};
    return doc.documentElement().firstChildElement(QStringLiteral("class")).text();
}

#include "formreader.moc"

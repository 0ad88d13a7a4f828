// What ties a window description to the program: the classes its objects may have, and the
// connections through which each control's event reaches the window's handler, by way of a
// relay that keeps the handler's exception out of Qt.

#include "platform/application.h"
#include "platform/errors.h"
#include "platform/formreading.h"
#include "platform/logging.h"
#include "platform/memo.h"
#include "platform/widgetrules.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMetaMethod>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QTimer>
#include <QWidget>

#include <exception>
#include <utility>

namespace {

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

private:
    void call()
    {
        // While the window's own destructor has run and its base class hides it, Qt still
        // sends focus and text signals: the window's members are gone by then.
        if (m_window->metaObject() != m_windowClass)
            return;
        // A handler's exception stops here, not inside Qt's widget code, which is built
        // without unwinding clean-ups and would leak its events and guards. The error handler
        // shows it now, also for a handler that another handler's change of a control ran:
        // that one goes on unless it called the nested handler itself.
        if (TApplication* app = TApplication::instance()) {
            app->guarded([this] { m_handler(m_sender); });
            return;
        }
        try {
            m_handler(m_sender);
        } catch (const std::exception& e) {
            qCCritical(lcForms).noquote()
                << "a handler failed with no application to show it:" << e.what();
        }
    }

    QObject* m_sender;
    QWidget* m_window;
    const QMetaObject* m_windowClass;
    HandlerTable::Handler m_handler;
};

// The signal a stored event stands for, and the relay's slot that takes it.
struct Route
{
    QString signal;
    const char* slot;
};

Route routeOf(QObject* sender, const QString& signal)
{
    if (signal == QLatin1String("checked()"))
        return {QStringLiteral("toggled(bool)"), "fireIfTrue(bool)"};
    if (qobject_cast<QAction*>(sender) && signal == QLatin1String("triggered()"))
        return {QStringLiteral("triggered(bool)"), "fireMenuItem(bool)"};
    return {signal, "fire()"};
}

} // namespace

namespace formreading {

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

HandlerTable::Handler Binder::handler(const Spot& spot, const QDomNode& at, const QString& name)
{
    // A re-reading binds nothing; without the window's table there is nothing to check.
    if (m_mode == FormReader::Mode::Inherited && m_handlers.isEmpty())
        return {};
    if (!m_handlers.contains(name))
        spot.fail(at, QStringLiteral("handler '%1' does not exist in the window").arg(name));
    m_used.insert(name);
    return m_handlers.find(name);
}

void Binder::bind(const Spot& spot, const QDomElement& connections)
{
    using namespace Qt::StringLiterals;
    if (connections.isNull())
        return;
    allowOnly(spot, connections, {"connection"_L1});
    for (QDomElement c = connections.firstChildElement(); !c.isNull(); c = c.nextSiblingElement())
        bindOne(spot, c);
}

void Binder::bindOne(const Spot& windowSpot, const QDomElement& c)
{
    using namespace Qt::StringLiterals;
    const std::initializer_list<QLatin1StringView> parts = {"sender"_L1, "signal"_L1, "receiver"_L1,
                                                            "slot"_L1};
    allowOnly(windowSpot, c, parts, parts);
    auto part = [&c](const char* tag) { return c.firstChildElement(QLatin1String(tag)).text(); };
    const QString senderName = part("sender");
    const QString signal = part("signal");
    const QString receiver = part("receiver");
    QString slot = part("slot");
    const Spot spot = windowSpot.of(senderName);
    if (senderName.isEmpty() || signal.isEmpty() || receiver.isEmpty() || slot.isEmpty())
        spot.fail(c,
                  QStringLiteral("a connection needs a sender, a signal, a receiver and a slot"));
    if (receiver != m_rootName)
        spot.fail(
            c,
            QStringLiteral("handler '%1' is bound to '%2', not to the window").arg(slot, receiver));
    if (slot.endsWith(QLatin1String("()")))
        slot.chop(2);
    QObject* sender = senderName == m_rootName ? m_root : m_root->findChild<QObject*>(senderName);
    if (!sender)
        spot.fail(c, QStringLiteral("connection from '%1', which does not exist").arg(senderName));
    const QString key = senderName + u'\n' + signal + u'\n' + slot;
    if (m_connections.contains(key))
        spot.fail(c, QStringLiteral("'%1' is connected to '%2' twice").arg(signal, slot));
    m_connections.insert(key);
    const HandlerTable::Handler fn = handler(spot, c, slot);
    if (signal == QLatin1String("keyReleased()")) {
        if (!sender->isWidgetType())
            spot.fail(c, QStringLiteral("'%1' takes no keys").arg(senderName));
        if (m_mode != FormReader::Mode::Create)
            return;
        // Typed keys reach an editable combo box itself (its line edit's focus proxy), which
        // hands them to the line edit past any filter; keys sent to the line edit directly
        // reach only the line edit. Both are watched.
        auto* relay = new HandlerRelay(sender, m_root, fn);
        sender->installEventFilter(relay);
        if (auto* box = qobject_cast<QComboBox*>(sender); box && box->lineEdit())
            box->lineEdit()->installEventFilter(relay);
        return;
    }
    const Route route = routeOf(sender, signal);
    const QByteArray sig = QMetaObject::normalizedSignature(route.signal.toLatin1().constData());
    const int signalIndex = sender->metaObject()->indexOfSignal(sig.constData());
    if (signalIndex < 0)
        spot.fail(c, QStringLiteral("'%1' has no event '%2'").arg(senderName, signal));
    if (m_mode != FormReader::Mode::Create)
        return;
    auto* relay = new HandlerRelay(sender, m_root, fn);
    const int slotIndex = relay->metaObject()->indexOfSlot(route.slot);
    if (slotIndex < 0 || !QObject::connect(sender, sender->metaObject()->method(signalIndex), relay,
                                           relay->metaObject()->method(slotIndex)))
        spot.fail(
            c, QStringLiteral("event '%1' cannot be connected to handler '%2'").arg(signal, slot));
}

void Binder::checkEveryHandlerUsed(const Spot& spot, const QDomNode& at) const
{
    QStringList unused;
    for (const QString& name : m_handlers.names()) {
        if (!m_used.contains(name))
            unused.append(name);
    }
    if (unused.isEmpty())
        return;
    unused.sort();
    spot.fail(at, QStringLiteral("the window's handler '%1' is bound to nothing in the description")
                      .arg(unused.join(QStringLiteral("', '"))));
}

} // namespace formreading

void FormReader::registerClass(const QString& className, Factory factory)
{
    formreading::factories().insert(className, std::move(factory));
}

bool FormReader::knowsClass(const QString& className)
{
    return formreading::factories().contains(className);
}

#include "formbinding.moc"

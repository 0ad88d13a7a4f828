#pragma once
// Reads a stored window description (Qt Designer's .ui XML) into a window.
//
// Create mode builds the children from the description with a class factory and binds the
// handlers that its <connections> name. Inherited mode finds the existing children by name and
// only overwrites the properties the description holds, which is how a language module
// re-reads a window that already exists; it binds nothing, and checks handler names only when
// it is given the window's handler table. Unknown classes, objects, properties and handlers are
// errors that name them, so a renamed object cannot break silently. After reading, every
// object read that has an invokable Loaded() gets it called, in the order read.

#include <QByteArray>
#include <QHash>
#include <QString>

#include <functional>

class QObject;
class QWidget;

// Handler name to the window's member function, as each window registers them in code.
class HandlerTable
{
public:
    using Handler = std::function<void(QObject* sender)>;

    template <class Form>
    void add(const QString& name, Form* form, void (Form::*member)(QObject*))
    {
        m_handlers.insert(name, [form, member](QObject* sender) { (form->*member)(sender); });
    }
    bool contains(const QString& name) const { return m_handlers.contains(name); }
    bool isEmpty() const { return m_handlers.isEmpty(); }
    Handler find(const QString& name) const { return m_handlers.value(name); }

private:
    QHash<QString, Handler> m_handlers;
};

class FormReader
{
public:
    enum class Mode { Create, Inherited };
    using Factory = std::function<QObject*(QWidget* parent)>;

    // The program's own classes register here; Qt's widgets are known from the start.
    static void registerClass(const QString& className, Factory factory);
    static bool knowsClass(const QString& className);

    // Reads the description into root (whose class must be the description's <class>).
    // Throws EResourceError with origin and the offending name when anything does not fit.
    // Returns the handler named by the root's "OnCreate" property, if any.
    static HandlerTable::Handler read(QWidget* root, const QByteArray& xml, const QString& origin,
                                      Mode mode, const HandlerTable& handlers);

    // Raises the exception that a handler run by the current handler's own change kept back
    // (see the handler relay), so that the current handler ends there as well.
    static void rethrowPending();

    // The class name stored in a description, without reading it.
    static QString className(const QByteArray& xml);
};

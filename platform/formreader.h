#pragma once
// Reads a stored window description (Qt Designer's .ui XML) into a window.
//
// Create mode builds the children from the description with a class factory and binds the
// handlers that its <connections> name. Inherited mode finds the existing children by name and
// only overwrites the properties the description holds, which is how a language module
// re-reads a window that already exists; it binds nothing, and checks handler names only when
// it is given the window's handler table. The reader is strict, so that nothing breaks
// silently: an unknown element, class, object, property or handler, a malformed number, truth
// value or enumeration, a connection that cannot be made, and in Create mode a handler or
// member of the window that the description never binds are load errors that name the
// description, the line and the object. After reading, every object read that has an
// invokable Loaded() gets it called, in the order read.
//
// A handler's exception goes to the application's error handler as soon as the handler
// returns, also when another handler's change of a control ran it. A handler that must end
// when such a nested handler fails changes the control with its signals blocked and calls the
// handler itself.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>

class QObject;
class QWidget;

// What a window's code expects of its description: handler names with the window's member
// functions, and the members bound to its objects by name after reading.
class HandlerTable
{
public:
    using Handler = std::function<void(QObject* sender)>;
    struct Member
    {
        QString name;
        const char* className;
    };

    template <class Form> void add(const QString& name, Form* form, void (Form::*member)(QObject*))
    {
        m_handlers.insert(name, [form, member](QObject* sender) { (form->*member)(sender); });
    }
    // A member bound after reading: the description must hold an object of that name and
    // class (className as the meta-object gives it).
    void addMember(const QString& name, const char* className)
    {
        m_members.append({name, className});
    }

    bool contains(const QString& name) const { return m_handlers.contains(name); }
    bool isEmpty() const { return m_handlers.isEmpty(); }
    Handler find(const QString& name) const { return m_handlers.value(name); }
    QList<QString> names() const { return m_handlers.keys(); }
    const QList<Member>& members() const { return m_members; }

private:
    QHash<QString, Handler> m_handlers;
    QList<Member> m_members;
};

class FormReader
{
public:
    enum class Mode
    {
        Create,
        Inherited
    };
    using Factory = std::function<QObject*(QWidget* parent)>;

    // The program's own classes register here; Qt's widgets are known from the start.
    static void registerClass(const QString& className, Factory factory);
    static bool knowsClass(const QString& className);

    // Reads the description into root (whose class must be the description's <class>).
    // Throws EResourceError naming origin, line and object when anything does not fit.
    // Returns the handler named by the root's "OnCreate" property, if any.
    static HandlerTable::Handler read(QWidget* root, const QByteArray& xml, const QString& origin,
                                      Mode mode, const HandlerTable& handlers);

    // The class name stored in a description, without reading it.
    static QString className(const QByteArray& xml);
};

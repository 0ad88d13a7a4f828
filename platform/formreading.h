#pragma once
// What the form reader's source files share; not for users of the reader.

#include "platform/formreader.h"

#include <QDomElement>
#include <QLatin1StringView>
#include <QSet>
#include <QString>

#include <initializer_list>

namespace formreading {

// Class name to the factory that makes an object of it.
QHash<QString, FormReader::Factory>& factories();

// Where the reader stands: the description and the object being read, so that every load
// error names both and the line.
class Spot
{
public:
    Spot(const QString& origin, const QString& object) : m_origin(origin), m_object(object) {}
    Spot of(const QString& object) const { return Spot(m_origin, object); }
    const QString& origin() const { return m_origin; }

    [[noreturn]] void fail(const QDomNode& at, const QString& what) const;

private:
    QString m_origin;
    QString m_object;
};

// Fails at the first child element whose tag is not one of allowed, and at the second of
// any tag listed in once.
void allowOnly(const Spot& spot, const QDomElement& element,
               std::initializer_list<QLatin1StringView> allowed,
               std::initializer_list<QLatin1StringView> once = {});

// The single value element of a <property> or <attribute>, checked in full: a known value
// type, whole numbers, "true" or "false", a named enumeration value, every part a compound
// value needs and nothing else. Conversions may rely on that afterwards.
QDomElement valueOf(const Spot& spot, const QDomElement& property);
// Fails unless the value is of the type a property needs.
void expectType(const Spot& spot, const QDomElement& value, QLatin1StringView tag,
                const QString& property);
// A whole number stored as text (a column width in a string list, say).
int wholeNumber(const Spot& spot, const QDomElement& at, const QString& text);

// Every class the <customwidgets> block declares must be known to the class factory.
void checkCustomWidgets(const Spot& spot, const QDomElement& block);

// Binds a description's <connections> to the window's handlers (Create mode), or only checks
// their names (Inherited mode with the window's table), and keeps count of the handlers used.
class Binder
{
public:
    Binder(QWidget* root, const QString& rootName, FormReader::Mode mode,
           const HandlerTable& handlers)
        : m_root(root), m_rootName(rootName), m_mode(mode), m_handlers(handlers)
    {
    }

    // The handler of that name, counted as used; empty when there is nothing to check it
    // against (a re-reading without the window's table).
    HandlerTable::Handler handler(const Spot& spot, const QDomNode& at, const QString& name);
    void bind(const Spot& spot, const QDomElement& connections);
    // Create mode: every handler of the window's table is bound by the description.
    void checkEveryHandlerUsed(const Spot& spot, const QDomNode& at) const;

private:
    void bindOne(const Spot& spot, const QDomElement& connection);

    QWidget* m_root;
    QString m_rootName;
    FormReader::Mode m_mode;
    const HandlerTable& m_handlers;
    QSet<QString> m_used;
    QSet<QString> m_connections;
};

} // namespace formreading

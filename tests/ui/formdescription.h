#pragma once
// A window description (.ui) read on its own, so that tests take their expectations from the
// description instead of copies of it: every widget, object and action with its class, its
// parent and its properties and attributes as plain values.

#include <QFile>
#include <QHash>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QXmlStreamReader>

namespace formdescription {

struct Element
{
    QString tag; // "widget", "object" or "action"
    QString cls; // empty for actions
    QString name;
    QString parent; // the enclosing element's name, empty for the window itself
    // rect -> QRect, point -> QPoint, number -> int, bool -> bool, string -> QString,
    // stringlist -> QStringList; enum, set and color as their text. Fonts are left out.
    QHash<QString, QVariant> properties;
    QHash<QString, QVariant> attributes;

    bool has(const char* property) const
    {
        return properties.contains(QString::fromLatin1(property));
    }
    QVariant value(const char* property) const
    {
        return properties.value(QString::fromLatin1(property));
    }
};

namespace detail {

inline QHash<QString, QString> children(QXmlStreamReader& xml)
{
    QHash<QString, QString> values;
    while (xml.readNextStartElement())
        values.insert(xml.name().toString(), xml.readElementText());
    return values;
}

// Reads the value element inside a <property> or <attribute>; xml stands on its start.
inline QVariant value(QXmlStreamReader& xml, bool* known)
{
    *known = true;
    const QString kind = xml.name().toString();
    if (kind == QLatin1String("rect")) {
        const auto v = children(xml);
        return QRect(v.value(QStringLiteral("x")).toInt(), v.value(QStringLiteral("y")).toInt(),
                     v.value(QStringLiteral("width")).toInt(),
                     v.value(QStringLiteral("height")).toInt());
    }
    if (kind == QLatin1String("point")) {
        const auto v = children(xml);
        return QPoint(v.value(QStringLiteral("x")).toInt(), v.value(QStringLiteral("y")).toInt());
    }
    if (kind == QLatin1String("stringlist")) {
        QStringList list;
        while (xml.readNextStartElement())
            list << xml.readElementText();
        return list;
    }
    if (kind == QLatin1String("font")) {
        *known = false;
        xml.skipCurrentElement();
        return {};
    }
    const QString text = xml.readElementText();
    if (kind == QLatin1String("number"))
        return text.toInt();
    if (kind == QLatin1String("bool"))
        return text == QLatin1String("true");
    return text; // string, enum, set, color
}

} // namespace detail

// Every element of the description in document order; empty with *error set when it cannot be
// read.
inline QList<Element> read(const QString& file, QString* error)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot open %1").arg(file);
        return {};
    }
    QXmlStreamReader xml(&f);
    QList<Element> elements;
    QList<qsizetype> open; // indexes of the enclosing elements
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        const QString tag = xml.name().toString();
        const bool element = tag == QLatin1String("widget") || tag == QLatin1String("object") ||
                             tag == QLatin1String("action");
        if (token == QXmlStreamReader::EndElement && element) {
            open.removeLast();
        } else if (token == QXmlStreamReader::StartElement && element) {
            Element e;
            e.tag = tag;
            e.cls = xml.attributes().value(QLatin1String("class")).toString();
            e.name = xml.attributes().value(QLatin1String("name")).toString();
            if (!open.isEmpty())
                e.parent = elements[open.last()].name;
            elements.append(e);
            open.append(elements.size() - 1);
        } else if (token == QXmlStreamReader::StartElement && !open.isEmpty() &&
                   (tag == QLatin1String("property") || tag == QLatin1String("attribute"))) {
            const QString name = xml.attributes().value(QLatin1String("name")).toString();
            if (!xml.readNextStartElement())
                continue;
            bool known = false;
            const QVariant v = detail::value(xml, &known);
            xml.skipCurrentElement(); // the rest of the property
            Element& e = elements[open.last()];
            if (known)
                (tag == QLatin1String("property") ? e.properties : e.attributes).insert(name, v);
        }
    }
    if (xml.hasError()) {
        *error = QStringLiteral("%1, line %2: %3")
                     .arg(file)
                     .arg(xml.lineNumber())
                     .arg(xml.errorString());
        return {};
    }
    return elements;
}

} // namespace formdescription

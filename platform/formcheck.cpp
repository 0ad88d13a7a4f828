// The checks of a window description's elements and values, before anything is converted.

#include "platform/errors.h"
#include "platform/formreading.h"

#include <QStringList>

#include <algorithm>

namespace formreading {

namespace {

enum class Kind
{
    Text,
    Integer,
    Double,
    Bool,
    Enum,
    Set,
    Rect,
    Point,
    Font,
    Colour,
    List
};

struct ValueType
{
    const char* tag;
    Kind kind;
};

constexpr ValueType kValueTypes[] = {
    {"string", Kind::Text},  {"number", Kind::Integer},  {"double", Kind::Double},
    {"bool", Kind::Bool},    {"enum", Kind::Enum},       {"set", Kind::Set},
    {"rect", Kind::Rect},    {"point", Kind::Point},     {"font", Kind::Font},
    {"color", Kind::Colour}, {"stringlist", Kind::List},
};

// The parts of a font, each optional.
constexpr ValueType kFontParts[] = {
    {"family", Kind::Text},    {"pixelsize", Kind::Integer}, {"pointsize", Kind::Integer},
    {"bold", Kind::Bool},      {"italic", Kind::Bool},       {"underline", Kind::Bool},
    {"strikeout", Kind::Bool},
};

void checkValue(const Spot& spot, const QDomElement& e, Kind kind);

bool isWholeNumber(const QString& text)
{
    bool ok = false;
    if (text.startsWith(QLatin1String("0x")))
        text.mid(2).toULongLong(&ok, 16);
    else
        text.toLongLong(&ok);
    return ok;
}

void checkLeaf(const Spot& spot, const QDomElement& e, Kind kind)
{
    allowOnly(spot, e, {});
    const QString text = e.text();
    const QString tag = e.tagName();
    if (kind == Kind::Integer && !isWholeNumber(text))
        spot.fail(e, QStringLiteral("'%1' in <%2> is no whole number").arg(text, tag));
    if (kind == Kind::Double) {
        bool ok = false;
        text.toDouble(&ok);
        if (!ok)
            spot.fail(e, QStringLiteral("'%1' in <%2> is no number").arg(text, tag));
    }
    if (kind == Kind::Bool && text != QLatin1String("true") && text != QLatin1String("false"))
        spot.fail(e, QStringLiteral("'%1' in <%2> is neither true nor false").arg(text, tag));
    if (kind == Kind::Enum && text.trimmed().isEmpty())
        spot.fail(e, QStringLiteral("an empty <%1> names no value").arg(tag));
}

// Every part listed, each once and a whole number.
void checkParts(const Spot& spot, const QDomElement& e,
                std::initializer_list<QLatin1StringView> parts)
{
    allowOnly(spot, e, parts, parts);
    for (const QLatin1StringView part : parts) {
        const QDomElement p = e.firstChildElement(part.toString());
        if (p.isNull())
            spot.fail(e, QStringLiteral("<%1> lacks <%2>").arg(e.tagName(), part.toString()));
        checkLeaf(spot, p, Kind::Integer);
    }
}

void checkFont(const Spot& spot, const QDomElement& e)
{
    for (QDomElement p = e.firstChildElement(); !p.isNull(); p = p.nextSiblingElement()) {
        const ValueType* part = nullptr;
        for (const ValueType& t : kFontParts) {
            if (p.tagName() == QLatin1String(t.tag))
                part = &t;
        }
        if (!part)
            spot.fail(p, QStringLiteral("unknown font setting <%1>").arg(p.tagName()));
        checkLeaf(spot, p, part->kind);
    }
    for (const ValueType& t : kFontParts) {
        const QString tag = QString::fromLatin1(t.tag);
        const QDomElement first = e.firstChildElement(tag);
        if (!first.isNull() && !first.nextSiblingElement(tag).isNull())
            spot.fail(first.nextSiblingElement(tag),
                      QStringLiteral("<%1> is given twice").arg(tag));
    }
}

void checkValue(const Spot& spot, const QDomElement& e, Kind kind)
{
    using namespace Qt::StringLiterals;
    switch (kind) {
    case Kind::Rect:
        return checkParts(spot, e, {"x"_L1, "y"_L1, "width"_L1, "height"_L1});
    case Kind::Point:
        return checkParts(spot, e, {"x"_L1, "y"_L1});
    case Kind::Font:
        return checkFont(spot, e);
    case Kind::Colour:
        // A colour's name, or its three components.
        if (e.firstChildElement().isNull())
            return checkLeaf(spot, e, Kind::Enum);
        return checkParts(spot, e, {"red"_L1, "green"_L1, "blue"_L1});
    case Kind::List:
        allowOnly(spot, e, {"string"_L1});
        for (QDomElement s = e.firstChildElement(); !s.isNull(); s = s.nextSiblingElement())
            checkLeaf(spot, s, Kind::Text);
        return;
    default:
        return checkLeaf(spot, e, kind);
    }
}

} // namespace

void Spot::fail(const QDomNode& at, const QString& what) const
{
    const QString line =
        at.lineNumber() > 0 ? QStringLiteral(", line %1").arg(at.lineNumber()) : QString();
    if (m_object.isEmpty())
        throw EResourceError(QStringLiteral("%1%2: %3").arg(m_origin, line, what));
    throw EResourceError(
        QStringLiteral("%1%2, object '%3': %4").arg(m_origin, line, m_object, what));
}

void allowOnly(const Spot& spot, const QDomElement& element,
               std::initializer_list<QLatin1StringView> allowed,
               std::initializer_list<QLatin1StringView> once)
{
    QStringList seen;
    for (QDomElement child = element.firstChildElement(); !child.isNull();
         child = child.nextSiblingElement()) {
        const QString tag = child.tagName();
        if (std::find(allowed.begin(), allowed.end(), tag) == allowed.end())
            spot.fail(child,
                      QStringLiteral("unknown element <%1> in <%2>").arg(tag, element.tagName()));
        if (std::find(once.begin(), once.end(), tag) != once.end()) {
            if (seen.contains(tag))
                spot.fail(
                    child,
                    QStringLiteral("<%1> is given twice in <%2>").arg(tag, element.tagName()));
            seen.append(tag);
        }
    }
}

QDomElement valueOf(const Spot& spot, const QDomElement& property)
{
    const QString name = property.attribute(QStringLiteral("name"));
    if (name.isEmpty())
        spot.fail(property, QStringLiteral("a <%1> without a name").arg(property.tagName()));
    const QDomElement value = property.firstChildElement();
    if (value.isNull())
        spot.fail(property, QStringLiteral("'%1' holds no value").arg(name));
    if (!value.nextSiblingElement().isNull())
        spot.fail(value.nextSiblingElement(),
                  QStringLiteral("'%1' holds more than one value").arg(name));
    for (const ValueType& t : kValueTypes) {
        if (value.tagName() == QLatin1String(t.tag)) {
            checkValue(spot, value, t.kind);
            return value;
        }
    }
    spot.fail(value, QStringLiteral("unknown value type <%1> of '%2'").arg(value.tagName(), name));
}

void expectType(const Spot& spot, const QDomElement& value, QLatin1StringView tag,
                const QString& property)
{
    if (value.tagName() != tag)
        spot.fail(value, QStringLiteral("'%1' takes a <%2>, not a <%3>")
                             .arg(property, tag.toString(), value.tagName()));
}

int wholeNumber(const Spot& spot, const QDomElement& at, const QString& text)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok)
        spot.fail(at, QStringLiteral("'%1' is no whole number").arg(text));
    return n;
}

void checkCustomWidgets(const Spot& spot, const QDomElement& block)
{
    using namespace Qt::StringLiterals;
    if (block.isNull())
        return;
    allowOnly(spot, block, {"customwidget"_L1});
    for (QDomElement w = block.firstChildElement(); !w.isNull(); w = w.nextSiblingElement()) {
        allowOnly(spot, w, {"class"_L1, "extends"_L1, "header"_L1},
                  {"class"_L1, "extends"_L1, "header"_L1});
        const QString cls = w.firstChildElement(QStringLiteral("class")).text();
        const QString extends = w.firstChildElement(QStringLiteral("extends")).text();
        if (cls.isEmpty())
            spot.fail(w, QStringLiteral("a custom class without a name"));
        if (!FormReader::knowsClass(cls))
            spot.fail(
                w, QStringLiteral("custom class '%1' is not registered with the reader").arg(cls));
        if (!extends.isEmpty() && !FormReader::knowsClass(extends))
            spot.fail(
                w, QStringLiteral("custom class '%1' extends '%2', which the reader does not know")
                       .arg(cls, extends));
    }
}

} // namespace formreading

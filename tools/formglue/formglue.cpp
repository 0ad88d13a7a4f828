// Generates a window's glue from its stored description, as uic does for ordinary forms: one
// member per named object, the code that binds them after the description has been read, and
// the table of the handlers the description names. A control or handler is then named in the
// description only; a misspelt member or a handler the window lacks fails to compile.
//
//   formglue DESCRIPTION.ui WINDOW_HEADER OUT_DIR
//
// writes OUT_DIR/<Class>Glue.h and OUT_DIR/<Class>Glue.cpp. Classes outside Qt need a
// <customwidget> entry with their header. Errors name the file and line, and exit with 1.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QMap>
#include <QSaveFile>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>

#include <cstdio>
#include <stdexcept>

namespace {

struct Object
{
    QString name;
    QString cls;
};

struct Form
{
    QString cls;
    QList<Object> objects;          // in the order of the description
    QStringList handlers;           // each once, in the order first named
    QMap<QString, QString> headers; // class -> header, from <customwidgets>
};

class Parser
{
public:
    explicit Parser(const QString& path) : m_path(path) {}

    Form parse()
    {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly))
            throw std::runtime_error(
                qPrintable(QStringLiteral("%1: %2").arg(m_path, file.errorString())));
        m_xml.setDevice(&file);
        int depth = 0;
        QString rootName;
        while (!m_xml.atEnd()) {
            const auto token = m_xml.readNext();
            if (token == QXmlStreamReader::EndElement) {
                --depth;
                continue;
            }
            if (token != QXmlStreamReader::StartElement)
                continue;
            ++depth;
            const auto tag = m_xml.name();
            const auto attrs = m_xml.attributes();
            if (tag == QLatin1String("class") && depth == 2) {
                m_form.cls = m_xml.readElementText();
                --depth;
            } else if (tag == QLatin1String("widget") || tag == QLatin1String("object")) {
                const QString name = attrs.value(QLatin1String("name")).toString();
                const QString cls = attrs.value(QLatin1String("class")).toString();
                if (name.isEmpty() || cls.isEmpty())
                    fail(QStringLiteral("an object without name or class"));
                if (rootName.isEmpty())
                    rootName = name;
                else
                    add(name, cls);
            } else if (tag == QLatin1String("action")) {
                add(attrs.value(QLatin1String("name")).toString(), QStringLiteral("QAction"));
            } else if (tag == QLatin1String("property") &&
                       attrs.value(QLatin1String("name")) == QLatin1String("OnCreate")) {
                m_xml.readNextStartElement();
                handler(m_xml.readElementText());
                m_xml.skipCurrentElement();
                --depth;
            } else if (tag == QLatin1String("slot")) {
                QString slot = m_xml.readElementText();
                if (slot.endsWith(QLatin1String("()")))
                    slot.chop(2);
                handler(slot);
                --depth;
            } else if (tag == QLatin1String("customwidget")) {
                customWidget();
                --depth;
            }
        }
        if (m_xml.hasError())
            fail(m_xml.errorString());
        if (m_form.cls.isEmpty() || m_form.cls != rootName)
            fail(QStringLiteral("the window's class '%1' and its top object '%2' differ")
                     .arg(m_form.cls, rootName));
        return m_form;
    }

private:
    [[noreturn]] void fail(const QString& what) const
    {
        throw std::runtime_error(
            qPrintable(QStringLiteral("%1:%2: %3").arg(m_path).arg(m_xml.lineNumber()).arg(what)));
    }

    void add(const QString& name, const QString& cls)
    {
        if (name.isEmpty() || !isIdentifier(name))
            fail(QStringLiteral("'%1' is no name a member can have").arg(name));
        if (m_names.contains(name))
            fail(QStringLiteral("object '%1' is named twice").arg(name));
        m_names.insert(name);
        m_form.objects.append({name, cls});
    }

    void handler(const QString& name)
    {
        if (!isIdentifier(name))
            fail(QStringLiteral("'%1' is no handler name").arg(name));
        if (!m_form.handlers.contains(name))
            m_form.handlers.append(name);
    }

    void customWidget()
    {
        QString cls;
        QString header;
        while (m_xml.readNextStartElement()) {
            if (m_xml.name() == QLatin1String("class"))
                cls = m_xml.readElementText();
            else if (m_xml.name() == QLatin1String("header"))
                header = m_xml.readElementText();
            else
                m_xml.skipCurrentElement();
        }
        if (cls.isEmpty() || header.isEmpty())
            fail(QStringLiteral("a custom widget needs a class and a header"));
        m_form.headers.insert(cls, header);
    }

    static bool isIdentifier(const QString& s)
    {
        if (s.isEmpty() || s.front().isDigit())
            return false;
        for (const QChar c : s) {
            if (!(c.isLetterOrNumber() || c == u'_') || c.unicode() > 127)
                return false;
        }
        return true;
    }

    QString m_path;
    QXmlStreamReader m_xml;
    Form m_form;
    QSet<QString> m_names;
};

QString headerOf(const Form& form, const QString& cls)
{
    if (form.headers.contains(cls))
        return QStringLiteral("\"%1\"").arg(form.headers.value(cls));
    if (cls.startsWith(u'Q'))
        return QStringLiteral("<%1>").arg(cls);
    throw std::runtime_error(qPrintable(
        QStringLiteral("class '%1' needs a <customwidget> entry with its header").arg(cls)));
}

void write(const QString& path, const QString& text)
{
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(text.toUtf8()) < 0 || !out.commit())
        throw std::runtime_error(qPrintable(QStringLiteral("%1: %2").arg(path, out.errorString())));
}

void generate(const Form& form, const QString& uiPath, const QString& windowHeader,
              const QString& outDir)
{
    const QString glue = form.cls + QStringLiteral("Glue");
    const QString origin = QFileInfo(uiPath).fileName();
    QStringList classes;
    for (const Object& o : form.objects) {
        if (!classes.contains(o.cls))
            classes.append(o.cls);
    }
    classes.sort();

    QString h = QStringLiteral("#pragma once\n// Generated from %1 by formglue: do not edit.\n\n")
                    .arg(origin);
    h += QStringLiteral("class HandlerTable;\nclass QObject;\nclass %1;\n").arg(form.cls);
    for (const QString& c : classes)
        h += QStringLiteral("class %1;\n").arg(c);
    h += QStringLiteral("\n// The objects of the window description, bound by name once it has "
                        "been read.\nclass %1\n{\npublic:\n")
             .arg(glue);
    for (const Object& o : form.objects)
        h += QStringLiteral("    %1* %2 = nullptr;\n").arg(o.cls, o.name);
    h += QStringLiteral(
             "\nprotected:\n"
             "    // Throws EResourceError naming the description and the object that is missing.\n"
             "    void bindControls(QObject* window);\n"
             "    // Every handler the description names, bound to the window's member of that "
             "name,\n    // and every member the description must bind.\n"
             "    static HandlerTable descriptionHandlers(%1* window);\n};\n")
             .arg(form.cls);

    QString cpp =
        QStringLiteral("// Generated from %1 by formglue: do not edit.\n#include \"%2\"\n\n"
                       "#include \"platform/errors.h\"\n#include \"platform/formreader.h\"\n\n")
            .arg(origin, windowHeader);
    QStringList includes;
    for (const QString& c : classes)
        includes.append(QStringLiteral("#include %1\n").arg(headerOf(form, c)));
    includes.removeDuplicates();
    cpp += includes.join(QString()) + u'\n';
    cpp += QStringLiteral(
               "namespace {\ntemplate <class T>\nT* bound(QObject* window, const char* name)\n{\n"
               "    T* object = window->findChild<T*>(QLatin1String(name));\n"
               "    if (!object)\n"
               "        throw EResourceError(QStringLiteral(\"%1: no object '%2' of class %3 after "
               "reading\")\n"
               "                                 .arg(QLatin1String(name), "
               "QLatin1String(T::staticMetaObject.className())));\n"
               "    return object;\n}\n} // namespace\n\n")
               .arg(origin, QStringLiteral("%1"), QStringLiteral("%2"));
    cpp += QStringLiteral("void %1::bindControls(QObject* window)\n{\n").arg(glue);
    for (const Object& o : form.objects)
        cpp += QStringLiteral("    %1 = bound<%2>(window, \"%1\");\n").arg(o.name, o.cls);
    cpp += QStringLiteral(
               "}\n\nHandlerTable %1::descriptionHandlers(%2* window)\n{\n    HandlerTable h;\n")
               .arg(glue, form.cls);
    for (const QString& name : form.handlers)
        cpp += QStringLiteral("    h.add(QStringLiteral(\"%1\"), window, &%2::%1);\n")
                   .arg(name, form.cls);
    for (const Object& o : form.objects)
        cpp +=
            QStringLiteral("    h.addMember(QStringLiteral(\"%1\"), \"%2\");\n").arg(o.name, o.cls);
    cpp += QStringLiteral("    return h;\n}\n");

    write(QDir(outDir).filePath(glue + QStringLiteral(".h")), h);
    write(QDir(outDir).filePath(glue + QStringLiteral(".cpp")), cpp);
}

} // namespace

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: formglue DESCRIPTION.ui WINDOW_HEADER OUT_DIR\n");
        return 2;
    }
    Form form;
    try {
        form = Parser(args[1]).parse();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "formglue: %s\n", e.what());
        return 1;
    }
    try {
        generate(form, args[1], args[2], args[3]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "formglue: %s: %s\n", qPrintable(args[1]), e.what());
        return 1;
    }
    return 0;
}

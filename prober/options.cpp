#include "prober/options.h"

#include <QCommandLineParser>

namespace prober {

QString programVersion()
{
    return QStringLiteral(TALLOWMERE_VERSION);
}

namespace {

// The program's options; Qt's own (-platform, ...) are refused like any unknown one.
struct Switches
{
    // Not addHelpOption(): its --help-all lists Qt's own options, which this parser refuses.
    const QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help.")};
    const QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version.")};
    const QCommandLineOption listen{
        QStringLiteral("metrics-listen"),
        QStringLiteral("Serve /metrics for Prometheus on PORT of ADDRESS (default 127.0.0.1)."),
        QStringLiteral("[ADDRESS:]PORT")};
    const QCommandLineOption headless{
        QStringLiteral("headless"),
        QStringLiteral("Run as a prober without a window: measure what --config names.")};
    const QCommandLineOption config{QStringLiteral("config"),
                                    QStringLiteral("The prober's configuration (INI file)."),
                                    QStringLiteral("FILE")};
};

Options failed(const QString& text)
{
    Options result;
    result.mode = Options::Mode::Error;
    result.text = text;
    return result;
}

// What is left after --help and --version: the options of a run, checked together.
Options runOptions(const QCommandLineParser& parser, const Switches& s)
{
    if (!parser.positionalArguments().isEmpty())
        return failed(QStringLiteral("Unexpected argument '%1'.")
                          .arg(parser.positionalArguments().constFirst()));
    for (const QCommandLineOption* single : {&s.listen, &s.config}) {
        if (parser.values(*single).size() > 1)
            return failed(QStringLiteral("Option '%1' given more than once.")
                              .arg(single->names().constFirst()));
    }
    Options result;
    if (parser.isSet(s.listen)) {
        QString why;
        result.metricsListen = metrics::parseListenAddress(parser.value(s.listen), &why);
        if (!result.metricsListen)
            return failed(
                QStringLiteral("--metrics-listen %1: %2.").arg(parser.value(s.listen), why));
    }
    if (parser.isSet(s.headless)) {
        if (!parser.isSet(s.config))
            return failed(QStringLiteral("--headless needs --config FILE."));
        result.mode = Options::Mode::Headless;
        result.configFile = parser.value(s.config);
    } else if (parser.isSet(s.config)) {
        return failed(QStringLiteral("--config is read only with --headless."));
    }
    return result;
}

} // namespace

Options parseCommandLine(const QStringList& arguments)
{
    const Switches s;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Tallowmere network monitor. Without options it opens its window."));
    parser.addOptions({s.help, s.version, s.listen, s.headless, s.config});
    if (!parser.parse(arguments))
        return failed(parser.errorText());
    Options result;
    if (parser.isSet(s.help)) {
        result.mode = Options::Mode::Help;
        // The first line names the program as it was called, or nothing before an application
        // object exists: it is always quillnet.
        const QString text = parser.helpText();
        result.text = QStringLiteral("Usage: quillnet [options]") + text.mid(text.indexOf(u'\n'));
        return result;
    }
    if (parser.isSet(s.version)) {
        result.mode = Options::Mode::Version;
        result.text = QStringLiteral("quillnet ") + programVersion() + u'\n';
        return result;
    }
    return runOptions(parser, s);
}

} // namespace prober

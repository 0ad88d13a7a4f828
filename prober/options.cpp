#include "prober/options.h"

#include <QCommandLineParser>

namespace prober {

QString programVersion()
{
    return QStringLiteral(TALLOWMERE_VERSION);
}

Options parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Tallowmere network monitor. Without options it opens its window."));
    // Not addHelpOption(): its --help-all lists Qt's own options, which this parser refuses.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version."));
    const QCommandLineOption listen(
        QStringLiteral("metrics-listen"),
        QStringLiteral("Serve /metrics for Prometheus on PORT of ADDRESS (default 127.0.0.1)."),
        QStringLiteral("[ADDRESS:]PORT"));
    const QCommandLineOption headless(
        QStringLiteral("headless"),
        QStringLiteral("Run as a prober without a window: measure what --config names."));
    const QCommandLineOption config(QStringLiteral("config"),
                                    QStringLiteral("The prober's configuration (INI file)."),
                                    QStringLiteral("FILE"));
    parser.addOptions({help, version, listen, headless, config});

    Options result;
    auto fail = [&result](const QString& text) {
        result.mode = Options::Mode::Error;
        result.text = text;
        return result;
    };
    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (parser.isSet(help)) {
        result.mode = Options::Mode::Help;
        // The first line names the program as it was called, or nothing before an application
        // object exists: it is always quillnet.
        const QString text = parser.helpText();
        result.text = QStringLiteral("Usage: quillnet [options]") + text.mid(text.indexOf(u'\n'));
        return result;
    }
    if (parser.isSet(version)) {
        result.mode = Options::Mode::Version;
        result.text = QStringLiteral("quillnet ") + programVersion() + u'\n';
        return result;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("Unexpected argument '%1'.")
                        .arg(parser.positionalArguments().constFirst()));
    for (const QCommandLineOption* single : {&listen, &config}) {
        if (parser.values(*single).size() > 1)
            return fail(QStringLiteral("Option '%1' given more than once.")
                            .arg(single->names().constFirst()));
    }
    if (parser.isSet(listen)) {
        QString why;
        result.metricsListen = metrics::parseListenAddress(parser.value(listen), &why);
        if (!result.metricsListen)
            return fail(QStringLiteral("--metrics-listen %1: %2.").arg(parser.value(listen), why));
    }
    if (parser.isSet(headless)) {
        if (!parser.isSet(config))
            return fail(QStringLiteral("--headless needs --config FILE."));
        result.mode = Options::Mode::Headless;
        result.configFile = parser.value(config);
    } else if (parser.isSet(config)) {
        return fail(QStringLiteral("--config is read only with --headless."));
    }
    return result;
}

} // namespace prober

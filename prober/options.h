#pragma once
// The command line. Without options the program is the window and nothing else.
//
//   quillnet                                  the window
//   quillnet --metrics-listen [ADDRESS:]PORT  the window, also serving /metrics
//   quillnet --headless --config FILE         the prober: no window, no display
//   quillnet --help | --version

#include "metrics/endpoint.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace prober {

struct Options
{
    enum class Mode
    {
        Window,
        Headless,
        Help,
        Version,
        Error,
    };
    Mode mode = Mode::Window;
    std::optional<metrics::ListenAddress> metricsListen;
    QString configFile;
    // Help or version text to print, or the one-line error.
    QString text;
};

// Reads the arguments (the program name first). Needs no application object.
Options parseCommandLine(const QStringList& arguments);

// The program's version, as --version and the metrics show it.
QString programVersion();

// Exit status of a command line or configuration that cannot be used.
constexpr int kUsageExit = 2;

} // namespace prober

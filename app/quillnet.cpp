// Program entry: the command line first; then the prober without a window, or the
// application object, the main window, the About window and the message loop.

#include "app/Unit2.h"
#include "app/vamtp.h"
#include "metrics/endpoint.h"
#include "metrics/registry.h"
#include "net/PingThrd.h"
#include "platform/application.h"
#include "prober/headless.h"
#include "prober/options.h"

#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

// Without a display the program can still show itself: started on a virtual display with
// TALLOWMERE_SCREENSHOT=<file>, it writes a picture of its window there and ends.
void scheduleScreenshot(TForm1* form, const QString& file)
{
    QTimer::singleShot(1500, form, [form, file] {
        const bool saved = form->grab().save(file, "PNG");
        fprintf(saved ? stdout : stderr, saved ? "Screenshot written to %s\n" : "Cannot write %s\n",
                qPrintable(file));
        TApplication::instance()->Terminate();
    });
}

} // namespace

int main(int argc, char** argv)
{
    // Read before anything else, so a bad option needs neither a display nor a window.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const prober::Options options = prober::parseCommandLine(arguments);
    switch (options.mode) {
    case prober::Options::Mode::Help:
    case prober::Options::Mode::Version:
        std::fputs(qPrintable(options.text), stdout);
        return 0;
    case prober::Options::Mode::Error:
        std::fprintf(stderr, "quillnet: %s\n", qPrintable(options.text));
        return prober::kUsageExit;
    case prober::Options::Mode::Headless:
        return prober::runHeadless(options, argc, argv);
    case prober::Options::Mode::Window:
        break;
    }

    // Bound before the window exists: a port in use is refused without a display.
    std::unique_ptr<metrics::MetricsRegistry> registry;
    std::unique_ptr<metrics::Endpoint> endpoint;
    if (options.metricsListen) {
        registry = std::make_unique<metrics::MetricsRegistry>(prober::programVersion());
        try {
            endpoint = std::make_unique<metrics::Endpoint>(*options.metricsListen, *registry);
        } catch (const metrics::EndpointError& e) {
            std::fprintf(stderr, "quillnet: %s\n", qPrintable(e.text()));
            return prober::kUsageExit;
        }
    }

    TApplication app(argc, argv);
    app.setTitle(QStringLiteral("Tallowmere"));

    std::unique_ptr<TForm1> form1;
    std::unique_ptr<TForm2> form2;
    app.guarded([&] {
        form1 = std::make_unique<TForm1>(nullptr, registry.get());
        form1->show();
        // Read from the installed language module when there is one; hidden until called up.
        form2 = std::make_unique<TForm2>();
    });
    if (!form1 || !form2)
        return 1;
    if (const QString shot = qEnvironmentVariable("TALLOWMERE_SCREENSHOT"); !shot.isEmpty())
        scheduleScreenshot(form1.get(), shot);

    const int rc = app.exec();
    // Workers still waiting for a reply stop now; none completes into a destroyed window.
    stopAllWorkers();
    form2.reset();
    form1.reset();
    return rc;
}

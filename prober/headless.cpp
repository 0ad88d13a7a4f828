#include "prober/headless.h"

#include "metrics/endpoint.h"
#include "metrics/registry.h"
#include "prober/config.h"
#include "prober/prober.h"
#include "prober/stopsignals.h"

#include <QCoreApplication>

#include <cstring>

#include <memory>

namespace prober {

namespace {

QString describe(const Config& config, const Options& options, const metrics::Endpoint* endpoint)
{
    QStringList parts;
    if (!config.ping.hosts.isEmpty())
        parts << QStringLiteral("pinging %1 host(s) every %2 s")
                     .arg(config.ping.hosts.size())
                     .arg(config.ping.intervalS);
    if (!config.copy.destinations.isEmpty())
        parts << QStringLiteral("copying %1 to %2 destination(s) every %3 s")
                     .arg(metrics::copySizeLabel(config.copy.file().sizeBytes))
                     .arg(config.copy.destinations.size())
                     .arg(config.copy.intervalS);
    parts << (endpoint ? QStringLiteral("metrics on ") + endpoint->url()
                       : QStringLiteral("no metrics endpoint"));
    return options.configFile + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
}

} // namespace

int runHeadless(const Options& options, int& argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // First, before any other thread exists (see StopSignals).
    std::unique_ptr<StopSignals> stopSignals;
    std::unique_ptr<metrics::MetricsRegistry> metrics;
    std::unique_ptr<metrics::Endpoint> endpoint;
    std::unique_ptr<Prober> prober;
    Config config;
    try {
        stopSignals = std::make_unique<StopSignals>();
        config = readConfig(options.configFile);
        metrics = std::make_unique<metrics::MetricsRegistry>(programVersion());
        if (const auto listen = options.metricsListen ? options.metricsListen : config.listen)
            endpoint = std::make_unique<metrics::Endpoint>(*listen, *metrics);
        prober = std::make_unique<Prober>(config, metrics.get());
        prober->prepare();
    } catch (const TmError& e) {
        report(e.text());
        return kUsageExit;
    }
    report(describe(config, options, endpoint.get()));
    prober->start();
    const int rc = app.exec();
    prober->stop();
    const int signal = stopSignals->received();
    report(signal ? QStringLiteral("stopped on SIG%1").arg(QLatin1String(sigabbrev_np(signal)))
                  : QStringLiteral("stopped"));
    return rc;
}

} // namespace prober

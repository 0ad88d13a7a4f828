#pragma once
// The metrics endpoint: Prometheus' own pull exposer serving /metrics over HTTP.

#include "platform/errors.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace prometheus {
class Exposer;
}

namespace metrics {

class MetricsRegistry;

// Where the endpoint listens. IPv4 only: the embedded HTTP server of this platform's
// Prometheus library is built without IPv6.
struct ListenAddress
{
    QString address = QStringLiteral("127.0.0.1");
    uint16_t port = 0;
    QString text() const { return address + u':' + QString::number(port); }
};

// "[ADDRESS:]PORT": a dotted IPv4 address (127.0.0.1 when left out) and a port 1 to 65535.
// On failure returns nothing and sets why (without the text itself).
std::optional<ListenAddress> parseListenAddress(const QString& text, QString* why);

class EndpointError : public TmError
{
public:
    using TmError::TmError;
};

class Endpoint
{
public:
    // Listens at once; an address that cannot be bound (in use, not on this machine) raises
    // EndpointError naming it and the system's reason.
    Endpoint(const ListenAddress& where, const MetricsRegistry& metrics);
    ~Endpoint();
    Endpoint(const Endpoint&) = delete;
    Endpoint& operator=(const Endpoint&) = delete;

    uint16_t port() const;
    QString url() const;

private:
    ListenAddress m_where;
    std::unique_ptr<prometheus::Exposer> m_exposer;
};

} // namespace metrics

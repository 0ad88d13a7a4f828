#include "metrics/endpoint.h"

#include "metrics/registry.h"
#include "platform/posix.h"

#include <prometheus/exposer.h>
#include <prometheus/registry.h>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace metrics {

namespace {

bool isDottedQuad(const QString& text)
{
    in_addr a{};
    return inet_pton(AF_INET, text.toLatin1().constData(), &a) == 1 &&
           !text.contains(QLatin1String(".."));
}

// The exposer only says that it could not bind; a bind of our own tells why.
QString bindReason(const ListenAddress& where)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return posix::errorText(errno);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(where.port);
    inet_pton(AF_INET, where.address.toLatin1().constData(), &sa.sin_addr);
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    const int rc = ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    const int error = errno;
    ::close(fd);
    return rc == 0 ? QStringLiteral("the HTTP server could not start") : posix::errorText(error);
}

} // namespace

std::optional<ListenAddress> parseListenAddress(const QString& text, QString* why)
{
    ListenAddress result;
    QString portText = text;
    if (const qsizetype colon = text.lastIndexOf(u':'); colon >= 0) {
        result.address = text.left(colon);
        portText = text.mid(colon + 1);
        if (!isDottedQuad(result.address)) {
            if (why)
                *why = QStringLiteral("'%1' is no IPv4 address (IPv6 is not supported)")
                           .arg(result.address);
            return std::nullopt;
        }
    }
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (!ok || port < 1 || port > 65535 || portText.startsWith(u'+')) {
        if (why)
            *why = QStringLiteral("the port must be 1 to 65535");
        return std::nullopt;
    }
    result.port = uint16_t(port);
    return result;
}

Endpoint::Endpoint(const ListenAddress& where, const MetricsRegistry& metrics) : m_where(where)
{
    try {
        m_exposer = std::make_unique<prometheus::Exposer>(where.text().toStdString());
    } catch (const std::exception&) {
        throw EndpointError(
            QStringLiteral("cannot serve metrics on %1: %2").arg(where.text(), bindReason(where)));
    }
    m_exposer->RegisterCollectable(metrics.registry());
}

Endpoint::~Endpoint() = default;

uint16_t Endpoint::port() const
{
    const std::vector<int> ports = m_exposer->GetListeningPorts();
    return ports.empty() ? m_where.port : uint16_t(ports.front());
}

QString Endpoint::url() const
{
    return QStringLiteral("http://%1:%2/metrics").arg(m_where.address).arg(port());
}

} // namespace metrics

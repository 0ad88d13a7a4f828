#pragma once
// Test side of the metrics: a plain HTTP GET on loopback and a reader of the text format.

#include <QByteArray>
#include <QMap>
#include <QString>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdint>

namespace scrape {

struct Response
{
    int status = 0; // 0: no answer
    QByteArray body;
};

// GET path from 127.0.0.1:port, HTTP/1.0, each wait bounded by timeoutMs; extraHeaders end
// with CR LF each.
inline Response get(uint16_t port, const QByteArray& path, int timeoutMs = 5000,
                    const QByteArray& extraHeaders = {})
{
    Response r;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return r;
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QByteArray data;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) {
        const QByteArray request =
            "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n" + extraHeaders + "\r\n";
        if (::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) ==
            ssize_t(request.size())) {
            char buffer[65536];
            ssize_t n = 0;
            while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
                data.append(buffer, n);
        }
    }
    ::close(fd);
    const qsizetype end = data.indexOf("\r\n\r\n");
    if (!data.startsWith("HTTP/1.") || end < 0)
        return r;
    r.status = data.mid(9, 3).toInt();
    r.body = data.mid(end + 4);
    return r;
}

// Every sample of a text exposition: "name{labels}" exactly as written -> value.
inline QMap<QString, double> samples(const QByteArray& text)
{
    QMap<QString, double> result;
    for (const QByteArray& line : text.split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const qsizetype space = line.lastIndexOf(' ');
        if (space <= 0)
            continue;
        result.insert(QString::fromUtf8(line.left(space)), line.mid(space + 1).toDouble());
    }
    return result;
}

// A port on 127.0.0.1 that nothing listens on right now.
inline uint16_t freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    uint16_t port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) == 0)
        port = ntohs(sa.sin_port);
    ::close(fd);
    return port;
}

} // namespace scrape

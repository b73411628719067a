#pragma once
// A tile server on loopback for the map's tests and benchmarks: answers GET /z/x/y.png with
// a generated PNG of the tile's own colour, an ETag and a Cache-Control, 304 to a matching
// If-None-Match; counts requests, open connections and requests under way, and keeps every
// User-Agent. Runs on the thread that created it (the test's event loop drives it).

#include <QBuffer>
#include <QColor>
#include <QHostAddress>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "map/tiles.h"

namespace wing::test {

// The colour a tile is drawn in, so a test can tell which tile landed where.
inline QColor TileColour(const TileId& tile, int version = 0) {
    return QColor::fromHsv((tile.x * 37 + tile.y * 91 + tile.z * 53 + version * 120) % 360, 200, 220).toRgb();
}

inline QRgb TileRgb(const TileId& tile, int version = 0) { return TileColour(tile, version).rgb(); }

// A PNG of that colour; noisy ones (random pixels) are large, for the cache's cap.
inline QByteArray TilePng(const TileId& tile, int version = 0, bool noisy = false) {
    QImage image(kTilePixels, kTilePixels, QImage::Format_RGB32);
    image.fill(TileColour(tile, version));
    if (noisy) {
        QRandomGenerator random(static_cast<quint32>(TileKey(tile)));
        for (int y = 0; y < kTilePixels; ++y)
            for (int x = kTilePixels / 2; x < kTilePixels; ++x) image.setPixel(x, y, random.generate());
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class TileServer : public QObject {
public:
    enum class Mode { Serve, Hang };

    TileServer() {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] { Accept(); });
    }
    // A port where nothing listens: every connection is refused.
    static QString RefusingTemplate() {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 port = probe.serverPort();
        probe.close();
        return QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(port);
    }

    QString UrlTemplate() const { return QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(m_server.serverPort()); }

    Mode mode = Mode::Serve;
    QByteArray cacheControl = "max-age=86400";
    int version = 0;       // a new version changes every tile's ETag and colour
    bool noisy = false;
    int delayMs = 20;      // each answer waits this long, so downloads overlap if they may
    std::function<QByteArray(const TileId&)> render;  // the tile's PNG, when not TilePng's

    int requests = 0;      // every request that reached the server
    int notModified = 0;   // of them answered 304
    int maxOpen = 0;       // connections open at once, at most
    int maxUnderWay = 0;   // requests received and not yet answered, at most
    std::vector<std::string> userAgents;
    std::vector<TileId> asked;

private:
    void Accept() {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            ++m_open;
            maxOpen = std::max(maxOpen, m_open);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Read(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                --m_open;
                m_buffers.erase(socket);
                socket->deleteLater();
            });
        }
    }

    void Read(QTcpSocket* socket) {
        QByteArray& buffer = m_buffers[socket];
        buffer += socket->readAll();
        for (int end; (end = buffer.indexOf("\r\n\r\n")) >= 0;) {
            const QByteArray head = buffer.left(end);
            buffer.remove(0, end + 4);
            Request(socket, head);
        }
    }

    void Request(QTcpSocket* socket, const QByteArray& head) {
        ++requests;
        const QList<QByteArray> lines = head.split('\n');
        std::map<QByteArray, QByteArray> headers;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon > 0) headers[line.left(colon).toLower()] = line.mid(colon + 1).trimmed();
        }
        userAgents.push_back(headers["user-agent"].toStdString());
        const QList<QByteArray> parts = lines.value(0).split(' ').value(1).split('/');
        TileId tile;
        if (parts.size() == 4) tile = {parts[1].toInt(), parts[2].toInt(), parts[3].split('.').value(0).toInt()};
        asked.push_back(tile);
        if (mode == Mode::Hang) return;
        ++m_underWay;
        maxUnderWay = std::max(maxUnderWay, m_underWay);
        const QByteArray etag = QStringLiteral("\"%1-%2-%3-v%4\"").arg(tile.z).arg(tile.x).arg(tile.y).arg(version).toUtf8();
        QByteArray reply;
        if (headers["if-none-match"] == etag) {
            ++notModified;
            reply = "HTTP/1.1 304 Not Modified\r\nETag: " + etag + "\r\nCache-Control: " + cacheControl + "\r\n\r\n";
        } else {
            const QByteArray body = render ? render(tile) : TilePng(tile, version, noisy);
            reply = "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: " + QByteArray::number(body.size()) +
                    "\r\nETag: " + etag + "\r\nCache-Control: " + cacheControl + "\r\n\r\n" + body;
        }
        QTimer::singleShot(delayMs, socket, [this, socket, reply] {
            --m_underWay;
            socket->write(reply);
        });
    }

    std::map<QTcpSocket*, QByteArray> m_buffers;
    int m_open = 0;
    int m_underWay = 0;
    QTcpServer m_server;  // last: its sockets go first, while what their handlers touch is still there
};

}  // namespace wing::test

#include "framework/tile_source.h"

#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QUrl>

#include <cstdlib>
#include <deque>
#include <memory>
#include <set>

#include "map/mbtiles.h"
#include "map/tile_url.h"

namespace wing {

std::filesystem::path TileCacheFolder() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    std::filesystem::path base;
    if (cache != nullptr && cache[0] == '/')
        base = cache;
    else if (const char* home = std::getenv("HOME"); home != nullptr)
        base = std::filesystem::path(home) / ".cache";
    else
        base = "/tmp";
    return base / "wing-utility" / "tiles";
}

QString TileUserAgent() { return QStringLiteral("wing-utility/" WING_VERSION_TEXT); }

MapConfig NoNetworkMap() {
    MapConfig map;
    map.offline = 1;
    return map;
}

// Lives on the source's thread: every file read, download, cache lookup and decoding
// happens here, never on the thread that draws.
class TileLoader : public QObject {
public:
    TileLoader(const TileSourceOptions& options, TileSource* owner) : m_options(options), m_owner(owner) {}

    void Fetch(const std::vector<TileId>& wanted) {
        OpenFiles();
        m_queue.clear();
        for (const TileId& tile : wanted) {
            if (m_inFlight.contains(tile)) continue;
            if (auto image = FromFiles(tile)) {
                Deliver(tile, std::move(*image));
                continue;
            }
            if (m_options.map.offline != 0) {
                Deliver(tile, QImage());
                continue;
            }
            m_queue.push_back(tile);
        }
        Pump();
    }

private:
    // At most two downloads at a time, as the tile servers ask of every client.
    static constexpr std::size_t kMaxDownloads = 2;

    void OpenFiles() {
        if (m_filesOpened) return;
        m_filesOpened = true;
        for (const auto& path : m_options.map.mbtiles) {
            auto opened = MbTilesFile::Open(path);
            if (auto* problem = std::get_if<std::string>(&opened))
                Failure(QString::fromStdString(path.string() + ": " + *problem));
            else
                m_files.push_back(std::move(std::get<0>(opened)));
        }
    }

    std::optional<QImage> FromFiles(const TileId& tile) {
        for (auto& file : m_files) {
            if (!file->Covers(tile)) continue;
            if (auto bytes = file->Tile(tile)) {
                QImage image;
                if (image.loadFromData(reinterpret_cast<const uchar*>(bytes->data()), static_cast<int>(bytes->size())))
                    return image;
            }
        }
        return std::nullopt;
    }

    void StartNetwork() {
        if (m_network) return;
        m_network = new QNetworkAccessManager(this);
        auto* cache = new QNetworkDiskCache(m_network);
        const auto folder = m_options.cacheFolder.empty() ? TileCacheFolder() : m_options.cacheFolder;
        cache->setCacheDirectory(QString::fromStdString(folder.string()));
        cache->setMaximumCacheSize(static_cast<qint64>(m_options.map.cacheMiB) << 20);
        m_network->setCache(cache);
    }

    void Pump() {
        while (!m_queue.empty() && m_inFlight.size() < kMaxDownloads) {
            const TileId tile = m_queue.front();
            m_queue.pop_front();
            Download(tile);
        }
    }

    void Download(const TileId& tile) {
        // A template the settings window would refuse (typed into the file by hand) asks
        // nothing of any server: it is said once, as any failing source is.
        if (const std::string problem = TileUrlProblem(m_options.map.tileUrl); !problem.empty()) {
            Failure(QString::fromStdString(problem));
            Deliver(tile, QImage());
            return;
        }
        StartNetwork();
        const QUrl url(QString::fromStdString(ExpandTileUrl(m_options.map.tileUrl, tile)));
        if (!url.isValid() || (url.scheme() != "http" && url.scheme() != "https")) {
            Failure(QStringLiteral("not a tile address: ") + url.toString());
            Deliver(tile, QImage());
            return;
        }
        QNetworkRequest request(url);
        request.setHeader(QNetworkRequest::UserAgentHeader, TileUserAgent());
        // The HTTP cache decides: a fresh tile from disk with no request, a stale one
        // revalidated (If-None-Match / If-Modified-Since), a new one downloaded.
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferNetwork);
        request.setTransferTimeout(m_options.transferTimeoutMs);
        m_inFlight.insert(tile);
        QNetworkReply* reply = m_network->get(request);
        connect(reply, &QNetworkReply::finished, this, [this, reply, tile] {
            reply->deleteLater();
            m_inFlight.erase(tile);
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            QImage image;
            if (reply->error() == QNetworkReply::NoError) {
                image.loadFromData(reply->readAll());
            } else if (status != 404) {
                // A tile the server does not have is no failure; anything else is.
                Failure(reply->errorString());
            }
            Deliver(tile, std::move(image));
            Pump();
        });
    }

    void Deliver(const TileId& tile, QImage image) {
        // Drawn often: in the format the painter takes without converting it each time.
        if (!image.isNull() && image.format() != QImage::Format_ARGB32_Premultiplied &&
            image.format() != QImage::Format_RGB32)
            image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                                  : QImage::Format_RGB32);
        QMetaObject::invokeMethod(m_owner, [owner = m_owner, tile, image = std::move(image)]() mutable {
            owner->Arrived(tile, std::move(image));
        }, Qt::QueuedConnection);
    }

    void Failure(const QString& why) {
        QMetaObject::invokeMethod(m_owner, [owner = m_owner, why] { owner->Fail(why); }, Qt::QueuedConnection);
    }

    TileSourceOptions m_options;
    TileSource* m_owner;  // outlives this object: it stops the thread before it goes
    std::vector<std::unique_ptr<MbTilesFile>> m_files;
    bool m_filesOpened = false;
    QNetworkAccessManager* m_network = nullptr;
    std::deque<TileId> m_queue;
    std::set<TileId> m_inFlight;
};

TileSource::TileSource(TileSourceOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options)) {
    m_memory.setMaxCost(m_options.memoryBytes);
    m_loader = new TileLoader(m_options, this);
    m_loader->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_loader, &QObject::deleteLater);
    m_thread.setObjectName(QStringLiteral("map tiles"));
    m_thread.start();
}

TileSource::~TileSource() {
    // The loader goes with its thread; a download under way is dropped.
    m_thread.quit();
    m_thread.wait();
}

const QImage* TileSource::Tile(const TileId& tile) const { return m_memory.object(TileKey(tile)); }

bool TileSource::Settled(const TileId& tile) const {
    return m_memory.contains(TileKey(tile)) || m_missing.contains(TileKey(tile));
}

void TileSource::Want(const std::vector<TileId>& tiles) {
    std::vector<TileId> ask;
    for (const TileId& tile : tiles)
        if (!m_memory.contains(TileKey(tile)) && !m_missing.contains(TileKey(tile))) ask.push_back(tile);
    if (ask == m_lastAsked) return;
    m_lastAsked = ask;
    if (ask.empty()) return;
    QMetaObject::invokeMethod(m_loader, [loader = m_loader, ask] { loader->Fetch(ask); }, Qt::QueuedConnection);
}

void TileSource::Arrived(TileId tile, QImage image) {
    if (image.isNull()) {
        m_missing.insert(TileKey(tile));
        return;
    }
    const qsizetype cost = image.sizeInBytes();
    m_memory.insert(TileKey(tile), new QImage(std::move(image)), cost);
    Q_EMIT TileArrived();
}

void TileSource::Fail(const QString& why) {
    if (!m_failure.isEmpty()) return;
    m_failure = why;
    Q_EMIT SourceFailed();
}

}  // namespace wing

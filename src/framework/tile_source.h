#pragma once
// Map tiles for the map views, never waited for. A loader thread reads the MBTiles files
// (first, in the order given) and downloads the rest from the XYZ source through Qt Network
// with an HTTP disk cache; the view asks for what it shows and is told when a tile arrives.
// The tiles already decoded stay in a memory cache with a cap.

#include <QCache>
#include <QImage>
#include <QObject>
#include <QString>
#include <QThread>

#include <filesystem>
#include <unordered_set>
#include <vector>

#include "map/tiles.h"
#include "settings/config.h"

namespace wing {

class TileLoader;

// A map source that makes no request at all and has no files: what a view gets when it is
// given no settings (tests among them).
MapConfig NoNetworkMap();

struct TileSourceOptions {
    MapConfig map = NoNetworkMap();     // the settings' [Map]
    std::filesystem::path cacheFolder;  // empty: TileCacheFolder()
    qsizetype memoryBytes = 64 << 20;   // the decoded tiles kept in memory
    int transferTimeoutMs = 20000;      // a download that stalls this long has failed
};

// $XDG_CACHE_HOME/wing-utility/tiles (~/.cache when the variable is not set).
std::filesystem::path TileCacheFolder();

// "wing-utility/<version>": the User-Agent of every download.
QString TileUserAgent();

class TileSource : public QObject {
    Q_OBJECT
public:
    explicit TileSource(TileSourceOptions options, QObject* parent = nullptr);
    ~TileSource() override;

    // The tile when it is in memory; null otherwise.
    const QImage* Tile(const TileId& tile) const;
    // True when the tile is in memory or known not to be had (outside the files, offline,
    // refused): nothing more will come for it.
    bool Settled(const TileId& tile) const;
    // The tiles the view wants, most wanted first (the view and one ring around it). Tiles
    // not yet started that are no longer listed are dropped; nothing else is fetched.
    void Want(const std::vector<TileId>& tiles);

    int MaxZoom() const { return m_options.map.maxZoom; }
    QString Attribution() const { return QString::fromStdString(m_options.map.attribution); }
    // True once a file or the server has failed; the reason, for the view's tooltip.
    bool Failed() const { return !m_failure.isEmpty(); }
    const QString& Failure() const { return m_failure; }
    qsizetype MemoryBytes() const { return m_memory.totalCost(); }

Q_SIGNALS:
    void TileArrived();
    void SourceFailed();  // once

private:
    friend class TileLoader;
    void Arrived(TileId tile, QImage image);
    void Fail(const QString& why);

    TileSourceOptions m_options;
    QCache<std::uint64_t, QImage> m_memory;
    std::unordered_set<std::uint64_t> m_missing;  // asked for and not to be had
    std::vector<TileId> m_lastAsked;
    QString m_failure;
    QThread m_thread;
    TileLoader* m_loader = nullptr;
};

}  // namespace wing

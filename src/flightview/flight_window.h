#pragma once
// One flight as a race result: the map, speed and altitude over time, and the figures a
// fancier reads at a glance, from an archived download.

#include <QWidget>

#include <memory>
#include <optional>

#include "archive/download_archive.h"
#include "flight/flight_analysis.h"
#include "flightview/flight_map.h"

class QComboBox;
class QLabel;
class QPushButton;
class QLineEdit;
class QDateTimeEdit;
class QVBoxLayout;
class QGridLayout;

namespace wing {

class FlightMap;
class FlightChart;

// Where home is, as the settings give it.
struct LoftSetting {
    std::string name;
    std::optional<GeoPoint> position;
    double arrivalRadiusMetres = 100;
};

// The map's and the chart's view of a flight.
FlightMapData MapDataOf(const CLogRecordList& records, const FlightSummary& summary, const std::optional<GeoPoint>& loft);

class FlightWindow : public QWidget {
    Q_OBJECT
public:
    // With several lofts a chooser picks the one the figures are for; the first to begin with.
    // The map's tiles come from `tiles` (the settings' [Map]); by default none are fetched.
    FlightWindow(const ArchivedDownload& download, std::vector<LoftSetting> lofts, unsigned langId,
                 TileSourceOptions tiles = {}, QWidget* parent = nullptr);
    FlightWindow(const ArchivedDownload& download, const LoftSetting& loft, unsigned langId,
                 TileSourceOptions tiles = {}, QWidget* parent = nullptr);

    // The figures made again for the loft of that index (as the chooser does).
    void ChooseLoft(int index);
    const LoftSetting& Loft() const { return m_loft; }

    const FlightSummary& Summary() const { return m_summary; }
    // The summary's lines as shown, label and value, for tests and the record of flights.
    std::vector<std::pair<QString, QString>> SummaryLines() const { return m_lines; }

    // The map or the chart as a picture: SVG when the name ends in .svg, PNG otherwise,
    // written through a temporary name. The failure, if any.
    std::optional<ExportFailure> SaveMap(const std::filesystem::path& path) const;
    std::optional<ExportFailure> SaveChart(const std::filesystem::path& path) const;
    FlightMap& Map() const { return *m_map; }
    // Appends the flight's line to the loft's list of flights in the log folder
    // (flights-<loft name>.csv, with a header when it is new); the file, or the failure.
    std::variant<std::filesystem::path, ExportFailure> AddToFlightList() const;
    static QString FlightListHeader();
    // The race's release as the fancier knows it (a position as typed, UTC seconds; the
    // field beside it is read in the download's zone); the
    // figures are made again from it. An empty position goes back to the track's estimate.
    // False, with a note in the window, when the text is not a position.
    bool EnterRelease(const QString& point, std::int64_t utcTime);
    QString FlightListLine() const;

private:
    QString Text(unsigned id) const;
    void SaveWithDialog(QWidget* what, const QString& suffix);
    void Analyse();
    void BuildSummary(QGridLayout* grid);
    void AddLine(QGridLayout* grid, unsigned labelId, const QString& value);

    unsigned m_langId;
    std::wstring m_serial;
    CLogRecordList m_records;
    TimeZone m_zone;  // the download's: every local time shown or typed here is in it
    FlightInput m_input;
    FlightSummary m_summary;
    std::vector<LoftSetting> m_lofts;
    LoftSetting m_loft;
    std::vector<std::pair<QString, QString>> m_lines;
    FlightMap* m_map = nullptr;
    FlightChart* m_chart = nullptr;
    QWidget* m_summaryPanel = nullptr;
    QVBoxLayout* m_side = nullptr;
    QLineEdit* m_releasePoint = nullptr;
    QDateTimeEdit* m_releaseTime = nullptr;
    QLabel* m_releaseNote = nullptr;
    QComboBox* m_loftChooser = nullptr;
    QPushButton* m_addToList = nullptr;
};

}  // namespace wing

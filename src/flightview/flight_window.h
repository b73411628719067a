#pragma once
// One flight as a race result: the map, speed and altitude over time, and the figures a
// fancier reads at a glance, from an archived download.

#include <QWidget>

#include <memory>
#include <optional>

#include "archive/download_archive.h"
#include "flight/flight_analysis.h"
#include "flightview/flight_map.h"

class QLabel;
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
    FlightWindow(const ArchivedDownload& download, const LoftSetting& loft, unsigned langId, QWidget* parent = nullptr);

    const FlightSummary& Summary() const { return m_summary; }
    // The summary's lines as shown, label and value, for tests and the record of flights.
    std::vector<std::pair<QString, QString>> SummaryLines() const { return m_lines; }

private:
    QString Text(unsigned id) const;
    void BuildSummary(QGridLayout* grid);
    void AddLine(QGridLayout* grid, unsigned labelId, const QString& value);

    unsigned m_langId;
    CLogRecordList m_records;
    FlightSummary m_summary;
    LoftSetting m_loft;
    std::vector<std::pair<QString, QString>> m_lines;
    FlightMap* m_map = nullptr;
    FlightChart* m_chart = nullptr;
};

}  // namespace wing

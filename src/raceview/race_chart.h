#pragma once
// Each bird's distance still to fly over the race's time (Qt Charts), in the birds'
// colours, with a cursor at the replay time; a click moves the replay there.

#include <QWidget>

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "export/file_output.h"
#include "race/replay.h"

namespace wing {

class RaceDistanceChart : public QWidget {
    Q_OBJECT
public:
    RaceDistanceChart(unsigned langId, QWidget* parent = nullptr);
    ~RaceDistanceChart() override;
    // One line per bird of the replay (none for a bird that could not be judged), in
    // colours[i]; `names[i]` for the legend and accessible text.
    void SetReplay(const RaceReplay& replay, const std::vector<QColor>& colours, const std::vector<QString>& names);
    void SetCursor(double t);
    double Cursor() const;
    void Highlight(std::optional<std::size_t> bird);
    // SVG when the name ends in .svg, PNG otherwise, through a temporary name.
    std::optional<ExportFailure> Save(const std::filesystem::path& path) const;

Q_SIGNALS:
    void TimeChosen(double t);

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

}  // namespace wing

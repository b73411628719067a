#pragma once
// The race window: every bird replayed over the map, the distance each still had to fly
// over time, and the race's results beside them. Every figure comes from the race's
// judgement (race/).

#include <QWidget>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "export/file_output.h"
#include "race/judgement.h"
#include "race/replay.h"
#include "settings/config.h"

namespace wing {

class RaceMap;
class RaceDistanceChart;
class RaceResultsTable;

class RaceWindow : public QWidget {
    Q_OBJECT
public:
    // Judges the race (tracks from `raceFolder`, lofts from the settings) and shows it; a
    // bird that could not be judged is named in the table and the others are shown.
    RaceWindow(Race race, std::filesystem::path raceFolder, const Config& config, unsigned langId,
               QWidget* parent = nullptr);
    ~RaceWindow() override;  // out of line: Parts is complete only in race_window.cpp
    // A race file: the window, or the message saying why the file cannot be read.
    static std::variant<RaceWindow*, std::string> OpenFile(const std::filesystem::path& raceFile,
                                                            const Config& config, unsigned langId,
                                                            QWidget* parent = nullptr);

    const RaceJudgement& Judgement() const;
    const RaceReplay& Replay() const;

    // The replay: its time (UTC seconds), play and pause, speed (1 to 3600 times real time),
    // the next arrival, following the leading bird.
    double ReplayTime() const;
    void SetReplayTime(double t);
    void Play();
    void Pause();
    bool Playing() const;
    void SetSpeed(int timesRealTime);
    void StepToNextArrival();
    void SetFollowLeader(bool follow);
    // Highlights a bird (an index into Judgement().birds) on the map, in the chart and table.
    void SelectBird(std::optional<std::size_t> bird);

    // The map as a picture at the replay time (.png, .svg), or the result sheet (.pdf,
    // .html), by the name's ending; the failure, if any.
    std::optional<ExportFailure> Save(const std::filesystem::path& path) const;

    RaceMap& Map() const;
    RaceDistanceChart& Chart() const;
    RaceResultsTable& Table() const;

Q_SIGNALS:
    void ReplayTimeChanged(double t);
    // A double click on a bird's row: its flight window is wanted.
    void FlightWanted(std::size_t bird);

private:
    void Tick();
    void OpenFlight(std::size_t bird);
    void SaveWithDialog(QWidget* picture, const QString& suffix, const QString& filter);

    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

}  // namespace wing

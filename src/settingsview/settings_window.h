#pragma once
// The settings window: every value of the settings file in a form, checked before it is
// written, and written to the user's own file (the lines it does not own kept as they
// were). What it cannot apply at once (language, record configuration, mode and port,
// the clock setting at start) takes effect at the next start, as the window says.

#include <QDialog>

#include <filesystem>
#include <variant>

#include "settings/config.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QTableWidget;

namespace wing {

class SettingsWindow : public QDialog {
    Q_OBJECT
public:
    // `inForce`: the values the tool runs with, read from `source` (which may not exist);
    // OK writes the changes to `target`.
    SettingsWindow(const Config& inForce, std::filesystem::path source, std::filesystem::path target, unsigned langId,
                   QWidget* parent = nullptr);

    // The values as the window shows them, or the message that says which is not valid.
    // Values whose meaning the user did not change keep their numbers as the file had
    // them (Competition=2 stays 2 while the racing configuration stays chosen).
    std::variant<Config, QString> Collect() const;
    // The values written by the last OK.
    const Config& Saved() const { return m_saved; }
    // The message shown when OK was refused; empty otherwise.
    QString Problem() const;

    // OK: checks, writes, and closes only when the file is written; otherwise the window
    // stays open with the reason and nothing is written.
    void accept() override;

private:
    QString Text(unsigned id) const;
    QWidget* BuildGeneral();
    QWidget* BuildClock();
    QWidget* BuildConnection();
    QWidget* BuildFiles();
    QWidget* BuildFlight();
    QWidget* BuildMap();
    void AddMapFiles(QGridLayout* grid, QWidget* box);
    QLabel* Labelled(unsigned labelId, QWidget* field);
    QLabel* AddRow(QGridLayout* grid, unsigned labelId, QWidget* field, QWidget* extra = nullptr);
    void ChooseMapFiles();
    QString MapProblem(MapConfig& map) const;
    void FillPorts();
    void AddLoftRow(const LoftEntry& loft);
    void ShowProblem(const QString& text);

    unsigned m_langId;
    Config m_inForce;
    Config m_saved;
    std::filesystem::path m_source;
    std::filesystem::path m_target;
    double m_shownThreshold = 0;

    QComboBox* m_language = nullptr;
    QComboBox* m_recording = nullptr;
    QDoubleSpinBox* m_threshold = nullptr;
    QCheckBox* m_ntp = nullptr;
    QLineEdit* m_ntpServer = nullptr;
    QComboBox* m_mode = nullptr;
    QComboBox* m_port = nullptr;
    QLineEdit* m_logFolder = nullptr;
    QCheckBox* m_gpx = nullptr;
    QTableWidget* m_lofts = nullptr;
    QSpinBox* m_arrivalRadius = nullptr;
    QCheckBox* m_openAfterSave = nullptr;
    QLineEdit* m_tileUrl = nullptr;
    QLineEdit* m_attribution = nullptr;
    QSpinBox* m_maxZoom = nullptr;
    QSpinBox* m_cacheMiB = nullptr;
    QCheckBox* m_offline = nullptr;
    QListWidget* m_mapFiles = nullptr;
    QLabel* m_problem = nullptr;
};

}  // namespace wing

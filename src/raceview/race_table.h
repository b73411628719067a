#pragma once
// The race's results as a table (rank, bird, arrival, velocity, distance, flying time,
// dead time, path, maximum cross-track, rests, behind the winner), sortable by any column,
// the figures formatted as the result sheet formats them.

#include <QTableView>

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "export/file_output.h"
#include "race/judgement.h"

namespace wing {

class RaceResultsTable : public QTableView {
    Q_OBJECT
public:
    RaceResultsTable(unsigned langId, QWidget* parent = nullptr);
    ~RaceResultsTable() override;
    void SetJudgement(const RaceJudgement& judgement, const std::vector<QColor>& colours);
    void SelectBird(std::optional<std::size_t> bird);  // index into the judgement's birds
    std::optional<std::size_t> SelectedBird() const;
    // The text of a cell as shown, by the judgement's bird index and column.
    QString CellText(std::size_t bird, int column) const;

Q_SIGNALS:
    void BirdSelected(std::optional<std::size_t> bird);
    void BirdOpened(std::size_t bird);

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

// The result sheet as PDF (QPdfWriter, A4) from the judgement's HTML sheet, through a
// temporary name; the failure, if any.
std::optional<ExportFailure> SaveResultSheetPdf(const RaceJudgement& judgement, unsigned langId,
                                                const std::filesystem::path& path);
// The judgement's HTML sheet, through a temporary name and read back; the failure, if any.
std::optional<ExportFailure> SaveResultSheetHtml(const RaceJudgement& judgement, unsigned langId,
                                                 const std::filesystem::path& path);

}  // namespace wing

#pragma once
// The archived flights, newest first, by serial number and date; damaged files are
// named below the list and skipped.

#include <QDialog>

#include <filesystem>
#include <functional>

#include "archive/download_archive.h"

class QListWidget;

namespace wing {

class FlightList : public QDialog {
    Q_OBJECT
public:
    // `open` is called with the archive the user picks.
    FlightList(const ArchiveListing& listing, unsigned langId, std::function<void(const std::filesystem::path&)> open,
               QWidget* parent = nullptr);

    int Count() const;

private:
    QListWidget* m_list = nullptr;
};

}  // namespace wing

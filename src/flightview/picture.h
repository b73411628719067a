#pragma once
// A widget as it is drawn, saved as a picture: SVG when the name ends in .svg, PNG
// otherwise, written through a temporary name.

#include <filesystem>
#include <optional>

#include "export/file_output.h"

class QWidget;

namespace wing {

// The failure, if any (nothing drawn, or the file not in place).
std::optional<ExportFailure> SaveWidgetPicture(QWidget& widget, const std::filesystem::path& path);

}  // namespace wing

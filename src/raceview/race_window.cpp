#include "raceview/race_window.h"

#include "raceview/race_map.h"

namespace wing {

struct RaceWindow::Parts {};

RaceWindow::~RaceWindow() = default;

}  // namespace wing

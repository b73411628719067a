// The distance chart; filled in with its widget.
#include "raceview/race_chart.h"

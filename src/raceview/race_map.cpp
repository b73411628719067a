#include "raceview/race_map.h"

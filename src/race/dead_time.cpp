#include "race/dead_time.h"

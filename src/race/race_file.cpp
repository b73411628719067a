#include "race/race_file.h"

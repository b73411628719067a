// The results table and the PDF sheet; filled in with their widget.
#include "raceview/race_table.h"

#include "race/track_input.h"

#include "map/tile_url.h"

#include "race/result_sheet.h"

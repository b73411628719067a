#include "race/judgement.h"

// Placeholder INI object (being written).
#include "tessivar/lmini.h"
extern "C" const char *iniVersion(void) { return "lmini version 1.0.1.1 2025-07-15 12:59:40"; }

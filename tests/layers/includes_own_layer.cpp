// Compiled with the run folder's include path: its own and lower folders are there.
#include "engine/settings.h"
#include "run/run_driver.h"

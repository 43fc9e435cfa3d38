// Compiled with the run folder's include path: the status texts live above it.
#include "status/status_texts.h"

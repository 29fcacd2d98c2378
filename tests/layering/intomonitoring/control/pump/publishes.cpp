// A pump that publishes itself: the core would then depend on the layer built on top of it.
#include "monitoring/pumpmonitor.h"

// A line that knows what a pump is: the line must carry any pump's frames without that.
#include "control/pump/pump.h"

#pragma once
// The safety stop's band in the console's settings file (group [safety]), so that the limits
// the operator set come back at the next start. Empty values are off.

#include "control/pump/safety.h"

class QSettings;

namespace safetysettings {

// What the file holds; a value that would not pass the dialog turns the whole band off (a band
// read wrongly is worse than none the operator can see is off).
[[nodiscard]] safety::Limits load(QSettings &settings);
void save(QSettings &settings, const safety::Limits &limits);

} // namespace safetysettings

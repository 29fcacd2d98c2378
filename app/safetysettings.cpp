#include "app/safetysettings.h"

#include <QSettings>

using namespace Qt::StringLiterals;

namespace safetysettings {

namespace {
const QString upperKey = u"safety/upper_mpa"_s;
const QString lowerKey = u"safety/lower_mpa"_s;
const QString silenceKey = u"safety/silence_s"_s;
} // namespace

safety::Limits load(QSettings &settings)
{
    const safety::Checked checked =
        safety::check({settings.value(upperKey).toString(), settings.value(lowerKey).toString(),
                       settings.value(silenceKey).toString()});
    return checked.limits.value_or(safety::Limits{});
}

void save(QSettings &settings, const safety::Limits &limits)
{
    const safety::Typed typed = safety::typed(limits);
    settings.setValue(upperKey, typed.upper);
    settings.setValue(lowerKey, typed.lower);
    settings.setValue(silenceKey, typed.silence);
    settings.sync();
}

} // namespace safetysettings

#include "app/pumpsettings.h"

#include "app/safetysettings.h"
#include "control/rig/pumprig.h"
#include "control/rig/rigrouting.h"
#include "link/wire/numbertext.h"

#include <QSettings>

using namespace Qt::StringLiterals;

namespace pumpsettings {

namespace {
const QString arrayName = u"pumps"_s;
const QString portKey = u"port"_s;
const QString numberKey = u"number"_s;
} // namespace

QList<Saved> load(QSettings &settings)
{
    QList<Saved> pumps;
    const int count = settings.beginReadArray(arrayName);
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        const QString port = settings.value(portKey).toString();
        const auto number = numbertext::toInt16(settings.value(numberKey).toString());
        // An entry the console could not have written is left out, not guessed at.
        if (port.isEmpty() || !number || *number < rig::lowestNumber ||
            *number > rig::highestNumber) {
            continue;
        }
        pumps.append({port, *number, safetysettings::load(settings)});
    }
    settings.endArray();
    return pumps;
}

void save(QSettings &settings, const QList<Saved> &pumps)
{
    settings.remove(arrayName);
    settings.beginWriteArray(arrayName, int(pumps.size()));
    for (int i = 0; i < pumps.size(); ++i) {
        settings.setArrayIndex(i);
        settings.setValue(portKey, pumps[i].port);
        settings.setValue(numberKey, pumps[i].number);
        safetysettings::save(settings, pumps[i].limits);
    }
    settings.endArray();
    settings.sync();
}

QList<Saved> of(const PumpRig &rig)
{
    QList<Saved> pumps;
    for (const PumpRig::Added &added : rig.added()) {
        pumps.append({added.port, added.number, added.pump->safety().limits()});
    }
    return pumps;
}

void restoreAndKeep(PumpRig &rig)
{
    {
        QSettings settings;
        for (const Saved &saved : load(settings)) {
            if (rig.addPump(saved.port, saved.number)) {
                rig.added().back().pump->setSafetyLimits(saved.limits);
            }
        }
    }
    // From here on, only the operator's changes are written: a port missing at this start
    // does not cost its entry.
    const auto keep = [&rig, last = of(rig)]() mutable {
        if (const QList<Saved> now = of(rig); now != last) {
            last = now;
            QSettings settings;
            save(settings, now);
        }
    };
    QObject::connect(&rig, &PumpRig::pumpsChanged, &rig, keep);
    QObject::connect(&rig, &PumpRig::bandChanged, &rig, keep);
}

} // namespace pumpsettings

#pragma once
// The pumps added beside the panel's, kept in the console's settings file (array [pumps]: the
// port as the operator answered it, the pump number, and that pump's safety band), so that the
// same set comes back at the next start, each port opened as if chosen.

#include "control/pump/safety.h"

#include <QList>
#include <QString>

class PumpRig;
class QSettings;

namespace pumpsettings {

struct Saved
{
    QString port;
    qint16 number = 0;
    safety::Limits limits;
    friend bool operator==(const Saved &, const Saved &) = default;
};

[[nodiscard]] QList<Saved> load(QSettings &settings);
void save(QSettings &settings, const QList<Saved> &pumps);
// What the rig holds now, as the file keeps it.
[[nodiscard]] QList<Saved> of(const PumpRig &rig);
// Adds every saved pump to the rig, with the usual messages for a port that cannot be opened,
// then keeps the file in step with the rig whenever the operator changes the set or a band.
// A pump whose port is missing at start stays in the file until the operator changes the set.
void restoreAndKeep(PumpRig &rig);

} // namespace pumpsettings

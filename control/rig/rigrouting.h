#pragma once
// The decisions of a console that drives several pumps, as plain functions: which pump a reply
// belongs to, and what a pump's row says of it.

#include <optional>
#include <QList>
#include <QString>

namespace rig {

// Which of the pumps on one line (their numbers, in the order they were added) a reply goes to.
// The only pump on a line takes every reply, whatever number it carries, as a console with one
// pump always has; of several, the one whose number the reply carries; none when no pump on
// the line has that number, or the reply carries none.
std::optional<qsizetype> route(const QList<qint16> &numbersOnLine, std::optional<qint16> carried);

enum class RowState { Stopped, Running, Silent, Alarm };

// What a pump's row shows. A latched safety stop outweighs everything, and a pump that has
// stopped answering is shown so whether or not it was last told to run: its state is unknown.
RowState rowState(bool latched, bool stale, bool running);
QString rowStateText(RowState state);

// Pump numbers an operator can add: the two digits every frame carries.
inline constexpr qint16 lowestNumber = 0;
inline constexpr qint16 highestNumber = 99;

} // namespace rig

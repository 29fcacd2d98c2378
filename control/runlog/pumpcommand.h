#pragma once
// The commands the console sends to the pump, by what they are rather than by the words on
// the operator's box: the box names a command in Chinese, the run log in a stable English
// word a script can match.

#include <QLatin1StringView>
#include <QString>

enum class PumpCommand {
    Run,
    Stop,
    Flow,
    PressureLimit,
    TimedRunStart,
    TimedRunPause,
    TimedRunContinue,
    TimedRunEnd,
    TimedRunTimeUp, // the stop the timed run sends by itself when its time is up
};

namespace pumpcommand {

// As the operator's messages name it: "运行", "流量设定", "定时到，停止", …
QString operatorName(PumpCommand command);
// As the run log names it: "run", "flow", "timed run time up", …
QLatin1StringView logName(PumpCommand command);
// Whether the command sets the pump running (run, a timed run's start or continue), or stops
// it (stop, a timed run's pause, end or time up).
bool runs(PumpCommand command);
bool stops(PumpCommand command);

} // namespace pumpcommand

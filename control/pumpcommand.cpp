#include "control/pumpcommand.h"

using namespace Qt::StringLiterals;

namespace pumpcommand {

QString operatorName(PumpCommand command)
{
    switch (command) {
    case PumpCommand::Run:
        return u"运行"_s;
    case PumpCommand::Stop:
        return u"停止"_s;
    case PumpCommand::Flow:
        return u"流量设定"_s;
    case PumpCommand::PressureLimit:
        return u"压力设定"_s;
    case PumpCommand::TimedRunStart:
        return u"定时开始"_s;
    case PumpCommand::TimedRunPause:
        return u"定时暂停"_s;
    case PumpCommand::TimedRunContinue:
        return u"定时继续"_s;
    case PumpCommand::TimedRunEnd:
        return u"定时结束"_s;
    case PumpCommand::TimedRunTimeUp:
        return u"定时到，停止"_s;
    }
    return {};
}

QLatin1StringView logName(PumpCommand command)
{
    switch (command) {
    case PumpCommand::Run:
        return "run"_L1;
    case PumpCommand::Stop:
        return "stop"_L1;
    case PumpCommand::Flow:
        return "flow"_L1;
    case PumpCommand::PressureLimit:
        return "limit"_L1;
    case PumpCommand::TimedRunStart:
        return "timed run start"_L1;
    case PumpCommand::TimedRunPause:
        return "timed run pause"_L1;
    case PumpCommand::TimedRunContinue:
        return "timed run continue"_L1;
    case PumpCommand::TimedRunEnd:
        return "timed run end"_L1;
    case PumpCommand::TimedRunTimeUp:
        return "timed run time up"_L1;
    }
    return {};
}

} // namespace pumpcommand

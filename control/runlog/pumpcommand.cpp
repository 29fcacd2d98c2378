#include "control/runlog/pumpcommand.h"

#include <array>
#include <QStringView>

using namespace Qt::StringLiterals;

namespace pumpcommand {

namespace {

struct Names
{
    QStringView chinese;
    QLatin1StringView log;
};

// In the order of PumpCommand.
constexpr std::array<Names, 9> names{{
    {u"运行", "run"_L1},
    {u"停止", "stop"_L1},
    {u"流量设定", "flow"_L1},
    {u"压力设定", "limit"_L1},
    {u"定时开始", "timed run start"_L1},
    {u"定时暂停", "timed run pause"_L1},
    {u"定时继续", "timed run continue"_L1},
    {u"定时结束", "timed run end"_L1},
    {u"定时到，停止", "timed run time up"_L1},
}};
static_assert(names.size() == std::size_t(PumpCommand::TimedRunTimeUp) + 1);

} // namespace

QString operatorName(PumpCommand command)
{
    return names[std::size_t(command)].chinese.toString();
}

QLatin1StringView logName(PumpCommand command)
{
    return names[std::size_t(command)].log;
}

bool runs(PumpCommand command)
{
    return command == PumpCommand::Run || command == PumpCommand::TimedRunStart ||
           command == PumpCommand::TimedRunContinue;
}

bool stops(PumpCommand command)
{
    return command == PumpCommand::Stop || command == PumpCommand::TimedRunPause ||
           command == PumpCommand::TimedRunEnd || command == PumpCommand::TimedRunTimeUp;
}

} // namespace pumpcommand

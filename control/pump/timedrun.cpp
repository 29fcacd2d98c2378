#include "control/pump/timedrun.h"

#include "control/line/framesender.h"
#include "control/pump/readouts.h"
#include "control/pump/setpoints.h"
#include "control/seams/operatorboxes.h"
#include "control/seams/ticker.h"
#include "link/wire/commandframes.h"
#include "link/wire/numbertext.h"

using timedrun::maxElapsed;

TimedRun::TimedRun(Ticker &ticker, FrameSender &sender, Readouts &readouts, OperatorBoxes &boxes,
                   const Setpoints &setpoints)
    : m_ticker(ticker), m_sender(sender), m_readouts(readouts), m_boxes(boxes),
      m_setpoints(setpoints)
{
}

void TimedRun::askLength()
{
    const auto answer = m_boxes.ask(QStringLiteral("请输入设定时间 单位 分 "),
                                    QStringLiteral("时间设定"), QStringLiteral("0"));
    const auto minutes = numbertext::toDouble(answer.value_or(QString()));
    if (!minutes) {
        return;
    }
    switch (timedrun::lengthProblem(*minutes)) {
    case timedrun::LengthProblem::None:
        break;
    case timedrun::LengthProblem::TooFarBelowZero:
        m_boxes.tell(QStringLiteral("设定时间不能是负数。\r\n设定时间保持不变。"),
                     QStringLiteral("时间设定"));
        return;
    case timedrun::LengthProblem::TooLong:
        m_boxes.tell(QStringLiteral("设定时间过长：定时最长为 %1 分（%2 小时 %3 分 %4 秒）。\r\n"
                                    "设定时间保持不变。")
                         .arg(std::floor(maxElapsed / 60.0 * 100) / 100, 0, 'f', 2)
                         .arg(maxElapsed / 3600)
                         .arg(maxElapsed % 3600 / 60)
                         .arg(maxElapsed % 60),
                     QStringLiteral("时间设定"));
        return;
    }
    m_minutes = *minutes;
}

void TimedRun::start()
{
    m_inProgress = true;
    m_elapsed = 0;
    m_ticker.start();
    if (m_sender.send(commandframes::run(m_setpoints.pumpNumber()), PumpCommand::TimedRunStart)) {
        m_readouts.setTimeDisplayVisible(true);
    }
}

void TimedRun::pause()
{
    m_ticker.stop();
    m_sender.send(commandframes::stop(m_setpoints.pumpNumber()), PumpCommand::TimedRunPause);
}

void TimedRun::resume()
{
    m_inProgress = true;
    m_ticker.start();
    m_sender.send(commandframes::run(m_setpoints.pumpNumber()), PumpCommand::TimedRunContinue);
}

void TimedRun::end()
{
    m_inProgress = false;
    m_minutes = 0;
    m_ticker.stop();
    if (m_sender.send(commandframes::stop(m_setpoints.pumpNumber()), PumpCommand::TimedRunEnd)) {
        m_readouts.setTimeDisplayVisible(false);
    }
}

void TimedRun::abandon()
{
    m_inProgress = false;
    m_minutes = 0;
    m_ticker.stop();
    m_readouts.setTimeDisplayVisible(false);
}

void TimedRun::tick()
{
    // Only a stop frame that cannot be written keeps the count going past the set time; even
    // then it must not wrap to negative seconds.
    if (m_elapsed < maxElapsed) {
        ++m_elapsed;
    }
    m_readouts.setCaption(Readout::Hours, QString::number(m_elapsed / 3600));
    m_readouts.setCaption(Readout::Minutes, QString::number(m_elapsed % 3600 / 60));
    m_readouts.setCaption(Readout::Seconds, QString::number(m_elapsed % 60));

    if (!timedrun::isUp(m_minutes, m_elapsed)) {
        return;
    }
    // Tried again on every tick until it goes out, but told only once.
    if (m_sender.sendRepeated(commandframes::stop(m_setpoints.pumpNumber()),
                              PumpCommand::TimedRunTimeUp)) {
        m_elapsed = 0;
        m_inProgress = false;
        m_ticker.stop();
    }
}

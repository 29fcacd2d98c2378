#include "control/pumpconsole.h"

#include "control/record/recordfile.h"
#include "control/seams/operatorboxes.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace {

const QString saveTitle = QStringLiteral("存储数据");

// The read-out the keypad entry `field` is being typed into, if any.
std::optional<Readout> typedInto(EntryField field)
{
    switch (field) {
    case EntryField::Flow:
        return Readout::Flow;
    case EntryField::PressureLimit:
        return Readout::PressureLimit;
    case EntryField::None:
        break;
    }
    return std::nullopt;
}

} // namespace

PumpConsole::PumpConsole(const ConsoleSeams &seams, QObject *parent)
    : QObject(parent), m_boxes(seams.boxes),
      m_line(seams.port, seams.boxes, seams.ports, seams.clock, seams.pollTicker),
      m_pump(m_line.sender(), m_line.events(), seams.boxes,
             PumpTimers{seams.runTicker, seams.staleTicker, seams.safetyTicker, seams.clock}),
      m_keypad(m_pump.readouts(), m_line.sender(), seams.boxes, m_pump.setpoints()),
      m_rig(m_line, m_pump,
            RigSeams{seams.boxes, seams.ports, seams.clock, seams.rigParts,
                     [this](PumpLine &line, const PumpReply &reply) { handleReply(line, reply); }}),
      m_program(m_pump, m_line.sender(), m_line.events(), seams.boxes, seams.clock,
                seams.programTicker)
{
    connect(&m_line, &PumpLine::replyReceived, this,
            [this](const PumpReply &reply) { handleReply(m_line, reply); });
    connect(&m_line, &PumpLine::connectedChanged, this, &PumpConsole::onConnectedChanged);
    connect(&m_line, &PumpLine::lineRestored, this, &PumpConsole::lineRestored);
    connect(&m_line.events(), &RunEvents::runEvent, this, &PumpConsole::runEvent);
    connect(&m_pump, &Pump::changed, this, &PumpConsole::pumpChanged);
    connect(&m_pump, &Pump::safetyChanged, this, &PumpConsole::safetyChanged);
    connect(&m_program, &ProgramRun::changed, this, &PumpConsole::pumpChanged);
}

// Every reply of every line the console drives comes here, and nowhere else.
void PumpConsole::handleReply(PumpLine &line, const PumpReply &reply)
{
    // Which pump: on a line with one pump, that pump; on a shared line, the one whose number
    // the reply carries (the rig counts those it drops).
    Pump *pump = m_rig.pumpFor(line, reply);
    if (!pump) {
        return;
    }
    const bool panel = pump == &m_pump;
    // The pump's own handling, its safety band first.
    pump->handleReply(reply, panel ? typedInto(m_keypad.field()) : std::nullopt);
    // Last, whoever mirrors the panel, once the reply is in it.
    if (panel) {
        Q_EMIT pumpChanged();
    }
}

void PumpConsole::onConnectedChanged(bool connected)
{
    Q_EMIT connectedChanged(connected);
    if (connected) {
        m_pump.lineOpened();
    } else {
        m_pump.lineEnded();
        m_program.lineEnded();
    }
}

void PumpConsole::closeLine()
{
    // Nothing drives the pump once the console is gone: a program stops it rather than leave
    // it at a step's flow.
    m_program.abortFor(u"控制台关闭"_s);
    m_pump.lineEnded();
    m_line.close();
    m_rig.closeLines();
}

void PumpConsole::startRunLog(const RunLogOptions &options)
{
    m_line.startRunLog(options);
    m_rig.startRunLog(options);
}

PanelView viewOf(const Pump &pump, bool connected)
{
    const Readouts &readouts = pump.readouts();
    PanelView view;
    view.connected = connected;
    view.runState = readouts.caption(Readout::RunState);
    view.flow = readouts.caption(Readout::Flow);
    view.pressureLimit = readouts.caption(Readout::PressureLimit);
    view.pressure = readouts.caption(Readout::Pressure);
    view.stale = pump.pressureWatch().staleSeconds().has_value();
    view.recordLimit = pump.record().limit();
    view.safetyLimits = pump.safety().limits();
    view.safetyArmed = pump.safety().isArmed();
    view.safetyLatched = pump.safety().isLatched();
    return view;
}

PanelView PumpConsole::view() const
{
    PanelView view = viewOf(m_pump, isConnected());
    view.typing = m_keypad.field();
    view.programName = m_program.name();
    view.programState = m_program.state();
    view.programOutcome = m_program.outcome();
    view.programStep = m_program.step() + 1;
    view.programElapsedSeconds = m_program.elapsed().count() / 1000;
    return view;
}

bool PumpConsole::programRefuses(const QString &what, const QString &title)
{
    if (!m_program.isActive()) {
        return false;
    }
    m_boxes.tell(u"程序“%1”正在运行，不能%2。"_s.arg(m_program.name(), what), title);
    return true;
}

void PumpConsole::startTimedRun()
{
    if (!programRefuses(u"开始定时运行"_s, u"时间设定"_s)) {
        m_pump.startTimedRun();
    }
}

void PumpConsole::resumeTimedRun()
{
    if (!programRefuses(u"开始定时运行"_s, u"时间设定"_s)) {
        m_pump.resumeTimedRun();
    }
}

void PumpConsole::askPumpNumber()
{
    if (!programRefuses(u"更改泵编号"_s, u"编号设定"_s)) {
        m_pump.setpoints().askPumpNumber();
    }
}

void PumpConsole::runFromKeypad()
{
    // The read-out tells what the keypad last sent, so it changes only once the frame is out.
    if (m_pump.run()) {
        m_pump.readouts().setCaption(Readout::RunState, readoutText::running);
    }
}

void PumpConsole::stopFromKeypad()
{
    if (m_pump.stop()) {
        m_pump.readouts().setCaption(Readout::RunState, readoutText::stopped);
    }
}

QString PumpConsole::recordPath() const
{
    return m_recordPath ? *m_recordPath : recordfile::defaultRecordPath();
}

void PumpConsole::saveRecord()
{
    const QString path = recordPath();
    const recordfile::SaveResult saved = recordfile::saveRecord(path, m_pump.record().values());
    if (!saved.ok) {
        m_boxes.tell(QStringLiteral("压力记录未能保存到 %1：%2")
                         .arg(QDir::toNativeSeparators(path), saved.error),
                     saveTitle);
        return;
    }
    // Only now: the operator takes this box as the word that the record is safe on disk.
    m_boxes.tell(QStringLiteral("当前压力数值以存储"), saveTitle);
}

void PumpConsole::markMoment()
{
    // The run log and the monitor follow a connection: without one the mark would go nowhere.
    if (!isConnected()) {
        m_boxes.tell(QStringLiteral("尚未连接泵：标记记在连接的运行记录里，请先连接。"),
                     QStringLiteral("标记"));
        return;
    }
    const RunTime at = m_line.events().stamp();
    const std::optional<QString> note =
        m_boxes.ask(QStringLiteral("标记的说明（可留空）："), QStringLiteral("标记"), QString());
    if (!note) {
        return;
    }
    if (!isConnected()) {
        m_boxes.tell(QStringLiteral("连接在输入说明时断开了：标记没有写入运行记录。"),
                     QStringLiteral("标记"));
        return;
    }
    m_line.events().mark(at, note->simplified());
}

#include "control/pumpconsole.h"

#include "control/clock.h"
#include "control/operatorboxes.h"
#include "control/portmessages.h"
#include "control/recordfile.h"
#include "control/runlog.h"
#include "control/ticker.h"
#include "link/portinfo.h"
#include "link/wire/commandframes.h"
#include "link/wire/portaliases.h"

#include <QDir>

namespace {
const QString saveTitle = QStringLiteral("存储数据");

class NoSystemPorts final : public PortInfoSource
{
public:
    QList<SystemPort> availablePorts() const override { return {}; }
};

// The part given, or a real one made into `own`.
template<typename Part, typename Make>
Part &partOr(Part *given, std::unique_ptr<Part> &own, Make make)
{
    if (given) {
        return *given;
    }
    own = make();
    return *own;
}
} // namespace

PumpConsole::PumpConsole(PumpPort &port, OperatorBoxes &boxes, Ticker &ticker, QObject *parent)
    : PumpConsole(port, boxes, ticker, LineWatchParts{}, parent)
{
}

PumpConsole::PumpConsole(PumpPort &port, OperatorBoxes &boxes, Ticker &ticker,
                         const LineWatchParts &watch, QObject *parent)
    : QObject(parent), m_port(port), m_boxes(boxes),
      m_ports(partOr(watch.ports, m_ownPorts, [] { return std::make_unique<NoSystemPorts>(); })),
      m_link(port), m_sender(port, boxes, m_events), m_connection(port, m_link, m_sender, boxes),
      m_setpoints(boxes, m_sender, m_events), m_keypad(m_readouts, m_sender, boxes, m_setpoints),
      m_timedRun(ticker, m_sender, m_readouts, boxes, m_setpoints),
      m_pressureWatch(
          partOr(watch.clock, m_ownClock, [] { return std::make_unique<SteadyClock>(); }),
          partOr(watch.staleTicker, m_ownStaleTicker,
                 [] { return std::make_unique<QtTicker>(std::chrono::milliseconds(250)); })),
      m_reconnector(m_connection, port, m_ports,
                    partOr(watch.pollTicker, m_ownPollTicker,
                           [] { return std::make_unique<QtTicker>(std::chrono::seconds(1)); }),
                    boxes)
{
    ticker.stop();
    connect(&ticker, &Ticker::tick, this, [this] { m_timedRun.tick(); });
    connect(&m_connection, &PortConnection::connectedChanged, this, &PumpConsole::connectedChanged);
    connect(&m_connection, &PortConnection::connectedChanged, this, [this](bool connected) {
        if (connected) {
            m_pressureWatch.lineOpened();
        }
    });
    connect(&m_reconnector, &Reconnector::lineRestored, this, &PumpConsole::lineRestored);

    // Every reply is an event of the run, with its frame as it came. Connected first, so that a
    // reply's event comes before whatever the reply causes (the record filling up). A pressure
    // that is not a number has no value.
    connect(&m_link, &PumpLink::pressureReported, this,
            [this](const QString &text, std::optional<double> mpa, const QByteArray &frame) {
                m_events.reply(RunEventKind::Pressure, mpa ? text : QString(), frame);
            });
    connect(&m_link, &PumpLink::pressureLimitReported, this,
            [this](const QString &readout, const QByteArray &frame) {
                m_events.reply(RunEventKind::PressureLimit, readout, frame);
            });
    connect(&m_link, &PumpLink::flowSetpointReported, this,
            [this](const QString &readout, const QByteArray &frame) {
                m_events.reply(RunEventKind::FlowSetpoint, readout, frame);
            });

    connect(&m_link, &PumpLink::pressureReported, this, &PumpConsole::showPressure);
    // An entry typed on the keypad lives in its read-out; overwriting it half-way would leave
    // the entry at a length that never completes and lock the keypad.
    connect(&m_link, &PumpLink::pressureLimitReported, this, [this](const QString &readout) {
        if (m_keypad.field() != EntryField::PressureLimit) {
            m_readouts.setCaption(Readout::PressureLimit, readout);
        }
    });
    connect(&m_link, &PumpLink::flowSetpointReported, this, [this](const QString &readout) {
        if (m_keypad.field() != EntryField::Flow) {
            m_readouts.setCaption(Readout::Flow, readout);
        }
    });

    // The line's own events; an adapter reopened on its own is logged as the line coming back.
    connect(&m_connection, &PortConnection::lineStarted, this,
            [this](const QString &device, bool reopened) {
                if (reopened) {
                    m_events.lineBack(device);
                } else {
                    m_events.lineOpened(device);
                }
            });
    // After the connection's own handler: the line is Not connected by the time it is logged.
    connect(&m_link, &PumpLink::lineLost, this,
            [this](const LineLoss &loss) { m_events.lineLost(portmessages::lossCause(loss)); });
}

PumpConsole::~PumpConsole()
{
    // The line goes with the console; the log says so and closes its file.
    if (m_port.isOpen()) {
        m_events.lineClosed();
    }
}

void PumpConsole::startRunLog(const RunLogOptions &options)
{
    m_runLog = std::make_unique<RunLog>(m_events, m_boxes, options);
}

QString PumpConsole::runLogFolder() const
{
    return m_runLog ? m_runLog->options().folder : runlog::defaultFolder();
}

void PumpConsole::setRecordLimit(qsizetype limit)
{
    m_record = PressureRecord(limit);
    m_recordFullTold = false;
}

void PumpConsole::showPressure(const QString &text, std::optional<double> mpa)
{
    m_readouts.setCaption(Readout::Pressure, text);
    m_pressureWatch.pressureArrived();
    if (!mpa || m_record.add(*mpa) || m_recordFullTold) {
        return;
    }
    m_recordFullTold = true;
    m_events.recordFull(m_record.limit());
    m_boxes.notify(QStringLiteral("压力记录已满（%1 个数值），此后的压力数值不再记录。\r\n"
                                  "已记录的数值可以用“文件”菜单中的“保存”存储。")
                       .arg(m_record.limit()),
                   QStringLiteral("压力记录"));
}

void PumpConsole::choosePort()
{
    m_connection.choosePort(portchoices::build(portaliases::list(), m_ports.availablePorts()));
}

void PumpConsole::connectTo(const QString &answer)
{
    m_connection.connectTo(answer);
}

void PumpConsole::closeLine()
{
    if (m_port.isOpen()) {
        m_events.lineClosed();
    }
    m_connection.close();
}

void PumpConsole::runPump()
{
    m_sender.send(commandframes::run(m_setpoints.pumpNumber()), PumpCommand::Run);
}

void PumpConsole::stopPump()
{
    m_sender.send(commandframes::stop(m_setpoints.pumpNumber()), PumpCommand::Stop);
}

void PumpConsole::runFromKeypad()
{
    // The read-out tells what the keypad last sent, so it changes only once the frame is out.
    if (m_sender.send(commandframes::run(m_setpoints.pumpNumber()), PumpCommand::Run)) {
        m_readouts.setCaption(Readout::RunState, readoutText::running);
    }
}

void PumpConsole::stopFromKeypad()
{
    if (m_sender.send(commandframes::stop(m_setpoints.pumpNumber()), PumpCommand::Stop)) {
        m_readouts.setCaption(Readout::RunState, readoutText::stopped);
    }
}

void PumpConsole::askFlow()
{
    m_setpoints.askFlow();
}

void PumpConsole::askPressureLimit()
{
    m_setpoints.askPressureLimit();
}

void PumpConsole::askPumpNumber()
{
    m_setpoints.askPumpNumber();
}

void PumpConsole::beginFlowEntry()
{
    m_keypad.begin(EntryField::Flow);
}

void PumpConsole::beginPressureLimitEntry()
{
    m_keypad.begin(EntryField::PressureLimit);
}

void PumpConsole::pressDigit(int digit)
{
    m_keypad.pressDigit(digit);
}

void PumpConsole::askRunLength()
{
    m_timedRun.askLength();
}

void PumpConsole::startTimedRun()
{
    m_timedRun.start();
}

void PumpConsole::pauseTimedRun()
{
    m_timedRun.pause();
}

void PumpConsole::resumeTimedRun()
{
    m_timedRun.resume();
}

void PumpConsole::endTimedRun()
{
    m_timedRun.end();
}

QString PumpConsole::recordPath() const
{
    return m_recordPath ? *m_recordPath : recordfile::defaultRecordPath();
}

void PumpConsole::saveRecord()
{
    const QString path = recordPath();
    const recordfile::SaveResult saved = recordfile::saveRecord(path, m_record.values());
    if (!saved.ok) {
        m_boxes.tell(QStringLiteral("压力记录未能保存到 %1：%2")
                         .arg(QDir::toNativeSeparators(path), saved.error),
                     saveTitle);
        return;
    }
    // Only now: the operator takes this box as the word that the record is safe on disk.
    m_boxes.tell(QStringLiteral("当前压力数值以存储"), saveTitle);
}

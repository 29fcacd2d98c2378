#include "control/rig/pumprig.h"

#include "control/line/portlist.h"
#include "control/line/portmessages.h"
#include "control/line/pumpline.h"
#include "control/rig/rigparts.h"
#include "control/rig/rigrouting.h"
#include "control/runlog/runlog.h"
#include "control/seams/operatorboxes.h"
#include "control/seams/ticker.h"
#include "link/portinfo.h"
#include "link/pumpport.h"
#include "link/wire/numbertext.h"
#include "link/wire/portaliases.h"

#include <QDir>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

const QString addTitle = u"添加泵"_s;

} // namespace

// A line the rig opened for added pumps: its own port and its own watch for a lost adapter.
struct PumpRig::OwnedLine
{
    std::unique_ptr<PumpPort> port;
    std::unique_ptr<Ticker> poll;
    std::unique_ptr<PumpLine> line; // goes first, before the port it uses
};

// An added pump with its tickers; the pump goes before them.
struct PumpRig::OwnedPump
{
    PumpLine *line;
    QString port; // the operator's answer
    std::unique_ptr<Ticker> second, staleCheck, safetyCheck;
    std::unique_ptr<Pump> pump;
};

PumpRig::PumpRig(PumpLine &panelLine, Pump &panelPump, RigSeams seams, QObject *parent)
    : QObject(parent), m_panelLine(panelLine), m_panelPump(panelPump), m_seams(std::move(seams))
{
    connect(&m_panelLine, &PumpLine::connectedChanged, this,
            [this](bool connected) { lineChanged(m_panelLine, connected); });
    watch(m_panelPump);
    // The panel's chart is its own pump's, also when pumps added beside it share its line.
    m_panelLine.setChartFilter([this](std::optional<qint16> number) {
        const bool shared = std::any_of(m_pumps.begin(), m_pumps.end(),
                                        [this](const auto &p) { return p->line == &m_panelLine; });
        return !shared || number == m_panelPump.setpoints().pumpNumber();
    });
}

PumpRig::~PumpRig()
{
    // The pumps before the lines they write to.
    m_pumps.clear();
    m_lines.clear();
}

QList<PumpRig::Row> PumpRig::rows() const
{
    QList<Row> rows;
    if (m_panelLine.isConnected()) {
        rows.append({&m_panelLine, &m_panelPump, true});
    }
    for (const auto &owned : m_pumps) {
        rows.append({owned->line, owned->pump.get(), false});
    }
    return rows;
}

QList<Pump *> PumpRig::pumpsOn(const PumpLine &line) const
{
    QList<Pump *> pumps;
    if (&line == &m_panelLine) {
        pumps.append(&m_panelPump);
    }
    for (const auto &owned : m_pumps) {
        if (owned->line == &line) {
            pumps.append(owned->pump.get());
        }
    }
    return pumps;
}

Pump *PumpRig::pumpFor(const PumpLine &line, const PumpReply &reply)
{
    const QList<Pump *> pumps = pumpsOn(line);
    QList<qint16> numbers;
    for (const Pump *pump : pumps) {
        numbers.append(pump->setpoints().pumpNumber());
    }
    if (const auto at = rig::route(numbers, reply.pump)) {
        return pumps[*at];
    }
    Q_EMIT replyDropped(++m_dropped);
    return nullptr;
}

PumpLine *PumpRig::lineOn(const QString &device) const
{
    if (m_panelLine.isConnected() && m_panelLine.device() == device) {
        return &m_panelLine;
    }
    for (const auto &owned : m_lines) {
        if (owned->line->device() == device) {
            return owned->line.get();
        }
    }
    return nullptr;
}

void PumpRig::addPump()
{
    const QList<PortListEntry> choices =
        portlist::build(portaliases::list(), m_seams.ports.availablePorts());
    const auto answer = m_seams.boxes.choose(u"Input communication port"_s, u"Commport"_s,
                                             portlist::labels(choices), u"1"_s);
    if (!answer) {
        return;
    }
    const QString port = portlist::answerFor(choices, *answer);
    const auto typed = m_seams.boxes.ask(u"请输入要添加泵的编号（0–99）"_s, addTitle, u"1"_s);
    if (!typed) {
        return;
    }
    const auto number = numbertext::toInt16(*typed);
    if (!number || *number < rig::lowestNumber || *number > rig::highestNumber) {
        m_seams.boxes.tell(u"泵编号应为 0 到 99 的整数：%1"_s.arg(*typed), addTitle);
        return;
    }
    (void)addPump(port, *number);
}

bool PumpRig::addPump(const QString &port, qint16 number)
{
    if (!m_seams.parts) {
        m_seams.boxes.tell(u"此控制台不能添加泵"_s, addTitle);
        return false;
    }
    const PortChoice choice = m_resolver.choose(port);
    if (!choice.refusal.isEmpty()) {
        m_seams.boxes.tell(choice.refusal, portmessages::connectTitle);
        return false;
    }
    PumpLine *line = lineOn(choice.device);
    if (line) {
        for (const Pump *pump : pumpsOn(*line)) {
            if (pump->setpoints().pumpNumber() == number) {
                m_seams.boxes.tell(
                    u"端口 %1 上已有 %2 号泵"_s.arg(QDir::toNativeSeparators(choice.device))
                        .arg(number),
                    addTitle);
                return false;
            }
        }
    } else {
        auto owned = std::make_unique<OwnedLine>();
        owned->port = m_seams.parts->newPort();
        owned->poll = m_seams.parts->newTicker(1s);
        owned->line = std::make_unique<PumpLine>(*owned->port, m_seams.boxes, m_seams.ports,
                                                 m_seams.clock, *owned->poll);
        if (m_runLog) {
            owned->line->startRunLog(*m_runLog);
        }
        PumpLine &added = *owned->line;
        // The reply path and the line's state before it opens, so that nothing is missed.
        connect(&added, &PumpLine::replyReceived, this,
                [this, &added](const PumpReply &reply) { m_seams.handleReply(added, reply); });
        connect(&added, &PumpLine::connectedChanged, this,
                [this, &added](bool connected) { lineChanged(added, connected); });
        added.connectTo(port); // told as the panel's 通信 tells
        if (!added.isConnected()) {
            return false;
        }
        m_lines.push_back(std::move(owned));
        line = &added;
    }
    auto owned = std::make_unique<OwnedPump>();
    owned->line = line;
    owned->port = port;
    owned->second = m_seams.parts->newTicker(1s);
    owned->staleCheck = m_seams.parts->newTicker(250ms);
    owned->safetyCheck = m_seams.parts->newTicker(50ms);
    owned->pump = std::make_unique<Pump>(
        line->sender(), line->events(), m_seams.boxes,
        PumpTimers{*owned->second, *owned->staleCheck, *owned->safetyCheck, m_seams.clock},
        FrameForm::Numbered);
    Pump &pump = *owned->pump;
    pump.setpoints().setPumpNumber(number);
    watch(pump);
    connect(&pump, &Pump::safetyChanged, this, &PumpRig::bandChanged);
    m_pumps.push_back(std::move(owned));
    pump.lineOpened();
    Q_EMIT pumpsChanged();
    return true;
}

void PumpRig::removePump(const Pump *pump)
{
    const auto it = std::find_if(m_pumps.begin(), m_pumps.end(),
                                 [pump](const auto &owned) { return owned->pump.get() == pump; });
    if (it == m_pumps.end()) {
        return; // the panel's pump, or one already taken off
    }
    PumpLine *line = (*it)->line;
    const bool lastOnLine = pumpsOn(*line).size() == 1 && line != &m_panelLine;
    // A line that goes with its last pump is closed (and logged so) while whoever follows the
    // pump can still read it; the pump, then the line, then the word that the rows changed.
    if (lastOnLine) {
        line->close();
    }
    m_pumps.erase(it);
    if (lastOnLine) {
        std::erase_if(m_lines, [line](const auto &owned) { return owned->line.get() == line; });
    }
    Q_EMIT pumpsChanged();
}

void PumpRig::watch(Pump &pump)
{
    // With the interlock on, one pump's safety stop stops the others, its own stop already out.
    connect(&pump, &Pump::safetyTripped, this, [this, &pump] {
        if (m_interlock) {
            (void)stopEvery(&pump, u"联锁停泵"_s);
        }
    });
}

void PumpRig::lineChanged(PumpLine &line, bool connected)
{
    for (Pump *pump : pumpsOn(line)) {
        // The panel's own pump hears of its line from the panel.
        if (pump == &m_panelPump) {
            continue;
        }
        if (connected) {
            pump->lineOpened();
        } else {
            pump->lineEnded();
        }
    }
    Q_EMIT pumpsChanged();
}

int PumpRig::stopAll()
{
    return stopEvery(nullptr, u"全部停止"_s);
}

int PumpRig::stopEvery(const Pump *spared, const QString &title)
{
    int sent = 0;
    QStringList failures;
    const QList<Row> all = rows();
    for (qsizetype i = 0; i < all.size(); ++i) {
        Pump *pump = all[i].pump;
        if (pump == spared) {
            continue;
        }
        if (const PortStatus status = pump->stopQuietly(); status.ok()) {
            ++sent;
        } else {
            failures << u"泵 %1（%2，%3 号）：%4"_s.arg(i + 1)
                            .arg(portOf(pump))
                            .arg(pump->setpoints().pumpNumber())
                            .arg(portmessages::sendFailure(status));
        }
    }
    if (!failures.isEmpty()) {
        m_seams.boxes.tell(u"以下泵的停止指令未能发出，请立即手动停泵：\n"_s + failures.join(u'\n'),
                           title);
    }
    return sent;
}

QList<PumpRig::Added> PumpRig::added() const
{
    QList<Added> list;
    for (const auto &owned : m_pumps) {
        list.append({owned->port, owned->pump->setpoints().pumpNumber(), owned->pump.get()});
    }
    return list;
}

QString PumpRig::portOf(const Pump *pump) const
{
    for (const Row &row : rows()) {
        if (row.pump == pump) {
            return QDir::toNativeSeparators(row.line->device());
        }
    }
    return {};
}

void PumpRig::startRunLog(const RunLogOptions &options)
{
    m_runLog = std::make_unique<RunLogOptions>(options);
    for (const auto &owned : m_lines) {
        owned->line->startRunLog(options);
    }
}

void PumpRig::closeLines()
{
    for (const auto &owned : m_lines) {
        owned->line->close();
    }
}

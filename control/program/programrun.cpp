#include "control/program/programrun.h"

#include "control/line/framesender.h"
#include "control/program/programfile.h"
#include "control/pump/pump.h"
#include "control/runlog/runevents.h"
#include "control/seams/clock.h"
#include "control/seams/operatorboxes.h"
#include "control/seams/ticker.h"
#include "link/wire/commandframes.h"
#include "link/wire/numberpatterns.h"
#include "link/wire/numbertext.h"

using namespace Qt::StringLiterals;
using program::Ms;
using program::Write;

namespace {

const QString title = u"运行程序"_s;

const QString notSent = u"指令未能发出"_s;

QString seconds(Ms time)
{
    return QString::number(double(time.count()) / 1000.0, 'f', 1);
}

} // namespace

ProgramRun::ProgramRun(Pump &pump, FrameSender &sender, RunEvents &events, OperatorBoxes &boxes,
                       Clock &clock, Ticker &ticker, QObject *parent)
    : QObject(parent), m_pump(pump), m_sender(sender), m_events(events), m_boxes(boxes),
      m_clock(clock), m_ticker(ticker)
{
    m_ticker.stop();
    connect(&m_ticker, &Ticker::tick, this, &ProgramRun::tick);
    // A stop for this pump that the program did not write is a stop by hand: it pauses.
    m_watcherKey = sender.addSentWatcher([this](PumpCommand command, const QByteArray &sent) {
        if (m_writing || !pumpcommand::stops(command)) {
            return;
        }
        if (commandframes::pumpOf(sent) == m_pump.setpoints().pumpNumber()) {
            pauseFor(u"手动停泵"_s, elapsed());
        }
    });
    // The envelope has written its stop already; the program only ends.
    connect(&pump.safety(), &SafetyEnvelope::tripped, this, &ProgramRun::onSafetyStop);
}

ProgramRun::~ProgramRun()
{
    m_sender.removeSentWatcher(m_watcherKey);
}

Ms ProgramRun::length() const
{
    return m_bounds.empty() ? Ms(0) : m_bounds.back();
}

Ms ProgramRun::elapsed() const
{
    if (m_state != State::Running) {
        return m_banked;
    }
    return std::min(length(), m_banked + (m_clock.now() - m_resumedAt));
}

bool ProgramRun::start(const program::Steps &steps, const QString &name)
{
    if (isActive()) {
        tell(u"程序“%1”正在运行；请先中止它。"_s.arg(m_name));
        return false;
    }
    if (const auto problem = program::problem(steps)) {
        tell(u"程序不能开始：%1。"_s.arg(program::describe(*problem)));
        return false;
    }
    if (m_pump.timedRun().isInProgress()) {
        tell(u"定时运行尚未结束，不能开始程序。\r\n请先在“定时 → 操作”中选“结束”。"_s);
        return false;
    }
    if (m_pump.refusesRun()) {
        return false;
    }
    m_steps = steps;
    m_bounds = program::boundaries(steps);
    m_name = name;
    m_step = -1;
    m_outcome = Outcome::None;
    m_banked = Ms(0);
    m_resumedAt = m_clock.now();
    m_nextStopTry = Ms::min();
    m_state = State::Running;
    m_events.program(m_pump.setpoints().pumpNumber(), RunEventKind::ProgramStart,
                     programfile::shortHash(m_steps), m_name);
    enterStep(0);
    // The first step's frames, then the run frame: the pump starts at the program's flow.
    std::vector<Write> first;
    for (; m_next < m_writes.size() && m_writes[m_next].at <= Ms(0); ++m_next) {
        first.push_back(m_writes[m_next]);
    }
    first.push_back({Ms(0), Write::Kind::Run, 0, 0});
    for (const Write &w : first) {
        if (!write(w, true)) {
            pauseFor(notSent, Ms(0));
            return true;
        }
    }
    m_ticker.start();
    Q_EMIT changed();
    return true;
}

void ProgramRun::pause()
{
    if (m_state != State::Running) {
        return;
    }
    pauseFor(u"操作员暂停"_s, elapsed());
    (void)write({m_banked, Write::Kind::Stop, 0, m_step}, true);
}

void ProgramRun::pauseFor(const QString &note, Ms at)
{
    if (m_state != State::Running) {
        return;
    }
    m_banked = at;
    m_state = State::Paused;
    m_ticker.stop();
    m_events.program(m_pump.setpoints().pumpNumber(), RunEventKind::ProgramPause, seconds(m_banked),
                     note);
    Q_EMIT changed();
}

void ProgramRun::resume()
{
    if (m_state != State::Paused || m_pump.refusesRun()) {
        return;
    }
    const Ms at = m_banked;
    if (at >= length()) {
        // Paused on its last instant: only the stop is left, and it may not have gone out.
        if (write({at, Write::Kind::Stop, 0, m_step}, true)) {
            close(Outcome::Ended, {});
        }
        return;
    }
    m_state = State::Running;
    m_resumedAt = m_clock.now();
    m_events.program(m_pump.setpoints().pumpNumber(), RunEventKind::ProgramContinue, seconds(at),
                     {});
    const double flow = program::asSent(program::flowAt(m_steps, at));
    planRestOfStep(at);
    for (const Write &w :
         {Write{at, Write::Kind::Flow, flow, m_step}, Write{at, Write::Kind::Run, 0, m_step}}) {
        if (!write(w, true)) {
            pauseFor(notSent, at);
            return;
        }
    }
    m_ticker.start();
    Q_EMIT changed();
}

void ProgramRun::abort()
{
    abortFor(u"操作员中止"_s);
}

void ProgramRun::abortFor(const QString &note)
{
    if (!isActive()) {
        return;
    }
    close(Outcome::Aborted, note);
    (void)write({m_banked, Write::Kind::Stop, 0, m_step}, true);
}

void ProgramRun::lineEnded()
{
    // At its end the stop frame is owed, and goes out as soon as the line is back.
    if (m_state == State::Running && elapsed() >= length()) {
        return;
    }
    pauseFor(u"通信中断"_s, elapsed());
}

void ProgramRun::tick()
{
    if (m_state != State::Running || m_inTick) {
        return;
    }
    // A box about a frame that did not go out keeps the event loop turning, and ticks with it.
    m_inTick = true;
    const Ms now = elapsed();
    const qsizetype stepBefore = m_step;
    // Of the frames due, only the last limit and the last flow go out: after a late tick a ramp
    // must not write the values it missed one after the other.
    std::optional<Write> limit;
    std::optional<Write> flow;
    int flowsDue = 0;
    for (;;) {
        if (m_next < m_writes.size() && m_writes[m_next].at <= now) {
            const Write &w = m_writes[m_next++];
            if (w.kind == Write::Kind::PressureLimit) {
                limit = w;
            } else {
                flow = w;
                ++flowsDue;
            }
        } else if (std::size_t(m_step) + 1 < m_steps.size() &&
                   m_bounds[std::size_t(m_step) + 1] <= now) {
            enterStep(m_step + 1);
        } else {
            break;
        }
    }
    // A ramp that missed frames (the event loop was held up) writes the value it has now, and
    // its next frame a second after that, as after a continue.
    if (flow && flowsDue > 1 && flow->at != m_bounds[std::size_t(m_step)]) {
        *flow = {now, Write::Kind::Flow, program::asSent(program::flowAt(m_steps, now)), m_step};
        planRestOfStep(now);
    }
    for (const auto &w : {limit, flow}) {
        if (w && m_state == State::Running && !write(*w, false)) {
            pauseFor(notSent, now);
        }
    }
    if (m_state == State::Running && now >= length()) {
        finish();
    }
    m_inTick = false;
    // One changed() for a new step and a new second alike; a pause or the end told its own.
    const qint64 second = elapsed().count() / 1000;
    if (m_state == State::Running && (second != m_shownSecond || m_step != stepBefore)) {
        m_shownSecond = second;
        Q_EMIT changed();
    }
}

void ProgramRun::finish()
{
    // Tried again every second until it goes out, told once: the pump must not be left
    // running at the last step's flow unnoticed, nor the run log filled with a failure every
    // tick while the line is down.
    const Ms now = m_clock.now();
    if (now < m_nextStopTry) {
        return;
    }
    m_nextStopTry = now + std::chrono::seconds(1);
    if (write({length(), Write::Kind::Stop, 0, m_step}, false)) {
        close(Outcome::Ended, {});
    }
}

void ProgramRun::close(Outcome outcome, const QString &note)
{
    m_banked = elapsed();
    m_events.program(m_pump.setpoints().pumpNumber(),
                     outcome == Outcome::Ended ? RunEventKind::ProgramEnd
                                               : RunEventKind::ProgramAbort,
                     seconds(m_banked), note);
    m_state = State::Idle;
    m_outcome = outcome;
    m_ticker.stop();
    Q_EMIT changed();
}

void ProgramRun::planRestOfStep(Ms after)
{
    // A ramp goes on from the value it has at `after`, its next frame no sooner than a second
    // later; a held step has nothing more to write.
    m_writes.clear();
    m_next = 0;
    const std::size_t i = std::size_t(m_step);
    if (m_steps[i].mode == program::Mode::Ramp && i + 1 < m_steps.size()) {
        const Ms start = m_bounds[i];
        for (Write w : program::rampWrites(m_steps[i].flow, m_steps[i + 1].flow,
                                           m_bounds[i + 1] - start, after - start)) {
            w.at += start;
            w.step = m_step;
            m_writes.push_back(w);
        }
    }
}

void ProgramRun::enterStep(qsizetype step)
{
    m_step = step;
    m_writes = program::stepWrites(m_steps, step);
    m_next = 0;
    m_events.program(m_pump.setpoints().pumpNumber(), RunEventKind::ProgramStep,
                     numberpatterns::tenths(m_steps[std::size_t(step)].flow),
                     u"第 %1 步"_s.arg(step + 1));
}

bool ProgramRun::write(const Write &w, bool operatorCommand)
{
    const qint16 pump = m_pump.setpoints().pumpNumber();
    QByteArray frame;
    PumpCommand command = PumpCommand::Run;
    QString value;
    switch (w.kind) {
    case Write::Kind::PressureLimit:
        frame = commandframes::dialogPressureLimit(pump, w.value);
        command = PumpCommand::PressureLimit;
        value = numbertext::shortest(w.value);
        break;
    case Write::Kind::Flow:
        frame = commandframes::dialogFlow(pump, w.value);
        command = PumpCommand::Flow;
        value = numbertext::shortest(w.value);
        break;
    case Write::Kind::Run:
        frame = commandframes::run(pump);
        command = PumpCommand::Run;
        break;
    case Write::Kind::Stop:
        frame = commandframes::stop(pump);
        command = PumpCommand::Stop;
        break;
    }
    // What the operator pressed is told each time it fails; what the clock writes, once until
    // a frame goes out again.
    const bool was = std::exchange(m_writing, true);
    const bool sent = operatorCommand ? m_sender.send(frame, command, value)
                                      : m_sender.sendRepeated(frame, command, value);
    m_writing = was;
    return sent;
}

void ProgramRun::onSafetyStop()
{
    if (!isActive()) {
        return;
    }
    const qsizetype step = m_step;
    close(Outcome::SafetyStopped, u"安全停泵"_s);
    m_boxes.notify(u"安全停泵：程序“%1”已在第 %2 步中止。"_s.arg(m_name).arg(step + 1), title);
}

void ProgramRun::tell(const QString &text)
{
    m_boxes.tell(text, title);
}

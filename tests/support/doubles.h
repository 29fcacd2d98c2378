#pragma once
// Doubles for the console's outside world: a port that records what was written and can be fed
// received bytes, boxes that answer from a script and log what they were shown, a ticker that
// ticks only when told, a clock moved by hand and a list of the system's serial ports that a
// test edits (adapters plugged in and pulled out). Each behaves as the real one does in what the
// console relies on: the port raises readyRead for every arrival (whatever its size) and may raise
// it from inside a write; a lost line is closed before it is reported.

#include "control/pumpconsole.h"
#include "control/rig/rigparts.h"
#include "control/seams/clock.h"
#include "control/seams/operatorboxes.h"
#include "control/seams/ticker.h"
#include "link/portinfo.h"
#include "link/pumpport.h"

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <QCoreApplication>
#include <QDateTime>
#include <QStringList>
#include <vector>

class FakePort final : public PumpPort
{
public:
    // What the next operations answer; a test sets them before acting.
    PortStatus openResult = PortStatus::success();
    bool failWrites = false; // an open port whose device refuses writes
    // A device that takes frames although the port was never opened, for tests of what the
    // console sends rather than of the connection.
    bool writesWhileClosed = false;
    // Bytes that arrive while a frame is being written, as QSerialPort reads while it waits.
    QByteArray arrivesDuringWrite;

    std::vector<QByteArray> written;
    QStringList opened; // every device the console tried to open
    QByteArray received;

    PortStatus open(const QString &device) override
    {
        opened << device;
        if (m_open) {
            return PortStatus::failure(PortError::AlreadyOpen, m_device);
        }
        m_device = device;
        if (!openResult.ok()) {
            return openResult;
        }
        m_open = true;
        return PortStatus::success();
    }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    QString device() const override { return m_device; }
    PortStatus writeFrame(const QByteArray &frame) override
    {
        if (!m_open && !writesWhileClosed) {
            return PortStatus::failure(PortError::NotOpen);
        }
        if (failWrites) {
            // As a serial port reports it: Qt's words and the system's code.
            return PortStatus::failure(PortError::WriteFailed, QStringLiteral("I/O error"),
                                       std::make_error_code(std::errc::io_error));
        }
        written.push_back(frame);
        if (!arrivesDuringWrite.isEmpty()) {
            received += std::exchange(arrivesDuringWrite, {});
            Q_EMIT readyRead();
        }
        return PortStatus::success();
    }
    QByteArray readAll() override { return std::exchange(received, {}); }

    // Bytes arrive on the line; whatever reads them runs through the event loop, as with the
    // real port.
    void receive(const QByteArray &bytes)
    {
        received += bytes;
        Q_EMIT readyRead();
        QCoreApplication::processEvents();
    }
    // The device goes away on its own: closed at once, told through the event loop.
    void lose(LossCause cause = LossCause::ReadFailed, const QString &systemText = {},
              std::error_code code = {})
    {
        m_open = false;
        QMetaObject::invokeMethod(
            this,
            [this, loss = LineLoss{m_device, cause, systemText, 0, code}] {
                Q_EMIT connectionLost(loss);
            },
            Qt::QueuedConnection);
        QCoreApplication::processEvents();
    }

private:
    QString m_device;
    bool m_open = false;
};

class ScriptedBoxes final : public OperatorBoxes
{
public:
    struct Shown
    {
        QString kind; // "ask", "tell", "notify", "alarm"
        QString prompt;
        QString title;
        QString defaultText;
        QStringList choices; // what a question offered to pick from
    };

    // Answers for the coming questions, in order; nullopt is Cancel. An unscripted question
    // is a test error and answers Cancel.
    std::deque<std::optional<QString>> answers;
    std::vector<Shown> shown;

private:
    std::function<void()> m_acknowledge;

public:
    bool unscripted = false;
    // Runs while a modal box is "open", as the event loop would meanwhile.
    std::function<void()> whileOpen;

    std::optional<QString> ask(const QString &prompt, const QString &title,
                               const QString &defaultText) override
    {
        return choose(prompt, title, {}, defaultText);
    }
    // Logged as a question too; a scripted answer that is one of the choices chose it.
    std::optional<QString> choose(const QString &prompt, const QString &title,
                                  const QStringList &choices, const QString &defaultText) override
    {
        shown.push_back({QStringLiteral("ask"), prompt, title, defaultText, choices});
        runWhileOpen();
        if (answers.empty()) {
            unscripted = true;
            return std::nullopt;
        }
        // Copied out as a flag and a text: GCC 12 takes a copied optional<QString> for
        // uninitialised.
        const bool cancel = !answers.front().has_value();
        const QString text = cancel ? QString() : *answers.front();
        answers.pop_front();
        if (cancel) {
            return std::nullopt;
        }
        return text;
    }
    void tell(const QString &prompt, const QString &title) override
    {
        shown.push_back({QStringLiteral("tell"), prompt, title, {}, {}});
        runWhileOpen();
    }
    void notify(const QString &prompt, const QString &title) override
    {
        shown.push_back({QStringLiteral("notify"), prompt, title, {}, {}});
    }
    // Stays up, as the real one does, until the test acknowledges it.
    void alarm(const QString &prompt, const QString &title,
               std::function<void()> acknowledged) override
    {
        shown.push_back({QStringLiteral("alarm"), prompt, title, {}, {}});
        m_acknowledge = std::move(acknowledged);
    }
    // The operator presses 确认 in the alarm that is up; false when none is.
    bool acknowledgeAlarm()
    {
        if (!m_acknowledge) {
            return false;
        }
        std::exchange(m_acknowledge, {})();
        return true;
    }

    std::vector<Shown> messages(const QString &kind = QStringLiteral("tell")) const
    {
        std::vector<Shown> result;
        for (const auto &s : shown) {
            if (s.kind == kind) {
                result.push_back(s);
            }
        }
        return result;
    }
    // The boxes of one kind as "title|prompt": one comparison checks texts, count and order.
    QStringList texts(const QString &kind = QStringLiteral("tell")) const
    {
        QStringList result;
        for (const auto &s : messages(kind)) {
            result << s.title + u'|' + s.prompt;
        }
        return result;
    }

private:
    void runWhileOpen()
    {
        if (whileOpen) {
            auto once = std::exchange(whileOpen, nullptr);
            once();
        }
    }
};

class ManualTicker final : public Ticker
{
public:
    bool active = true; // running until the console stops it, so that a missed stop shows
    int starts = 0;     // starts of a stopped ticker (each begins a full second)

    void start() override
    {
        if (!active) {
            active = true;
            ++starts;
        }
    }
    void stop() override { active = false; }
    bool isActive() const override { return active; }

    // One second passes: a tick only while running.
    void ticks(int n = 1)
    {
        for (int i = 0; i < n; ++i) {
            if (active) {
                Q_EMIT tick();
            }
        }
    }
};

class ManualClock final : public Clock
{
public:
    // 2026-12-08 14:03:27 in China, a few seconds after the PC started; only differences count
    // for the monotonic time.
    RunTime time{QDateTime(QDate(2026, 12, 8), QTime(6, 3, 27), Qt::UTC).toMSecsSinceEpoch(),
                 8 * 3600, 5'000'000'000};

    std::chrono::milliseconds now() const override
    {
        return std::chrono::milliseconds(time.steadyNs / 1'000'000);
    }
    RunTime stamp() override { return time; }
    // Both clocks move together, as they do while nobody corrects the wall clock.
    void advance(std::chrono::milliseconds by)
    {
        time.utcMs += by.count();
        time.steadyNs += by.count() * 1'000'000;
    }
    void advance(qint64 ms) { advance(std::chrono::milliseconds(ms)); }
};

class FakePortInfoSource final : public PortInfoSource
{
public:
    QList<SystemPort> ports;
    mutable int asked = 0;

    QList<SystemPort> availablePorts() const override
    {
        ++asked;
        return ports;
    }
    void plugIn(const SystemPort &port) { ports.append(port); }
    void pullOut(const QString &device)
    {
        ports.removeIf([&](const SystemPort &port) { return port.device == device; });
    }
};

// Ports and tickers for added pumps, kept for the test to reach: ports in the order the lines
// were opened, each pump's three tickers in turn (second, stale check, safety check).
class FakeRigParts final : public RigParts
{
public:
    std::vector<FakePort *> ports;
    std::vector<ManualTicker *> tickers;

    std::unique_ptr<PumpPort> newPort() override
    {
        auto port = std::make_unique<FakePort>();
        ports.push_back(port.get());
        return port;
    }
    std::unique_ptr<Ticker> newTicker(std::chrono::milliseconds) override
    {
        auto ticker = std::make_unique<ManualTicker>();
        tickers.push_back(ticker.get());
        return ticker;
    }
};

// Every part the console is driven through, as doubles.
struct ConsoleDoubles
{
    FakePort port;
    ScriptedBoxes boxes;
    ManualTicker ticker; // the timed run's
    ManualTicker staleTicker;
    ManualTicker pollTicker;
    ManualTicker safetyTicker;
    ManualTicker programTicker;
    ManualClock clock;
    FakePortInfoSource system;
    FakeRigParts rigParts;

    ConsoleSeams seams()
    {
        return {port,        boxes,      system,       clock,         ticker,
                staleTicker, pollTicker, safetyTicker, programTicker, &rigParts};
    }
};

// A console wired to the doubles, as at start-up.
struct TestConsole : ConsoleDoubles
{
    PumpConsole console{seams()};

    // Opens the port as the operator does, answering the port box with "1".
    void connect()
    {
        boxes.answers.push_back(QStringLiteral("1"));
        console.choosePort();
        port.written.clear();
        boxes.shown.clear();
    }
    QString caption(Readout readout) const { return console.readouts().caption(readout); }
    QByteArray lastWritten() const
    {
        return port.written.empty() ? QByteArray() : port.written.back();
    }
};

#pragma once
// The reply path: reads the port, cuts the bytes into replies, advances the chart's sweep and
// reports what each reply says. It reads everything that has arrived each time, so a reply
// that completes a tail left by an earlier read is reported at once, never one reply late.

#include "link/chartsweep.h"
#include "link/pumpport.h"
#include "link/wire/framereader.h"

#include <functional>
#include <optional>
#include <QObject>
#include <QString>

// One reply of the pump, read once: what its letter says and the value as the read-outs show it.
struct PumpReply
{
    enum class Kind { Pressure, PressureLimit, FlowSetpoint };

    Kind kind = Kind::Pressure;
    // A pressure as the four characters the pump sent; a setpoint as its read-out ("ab.c").
    QString text;
    // A pressure's value; empty for a setpoint and for a pressure that does not read as one.
    std::optional<double> mpa;
    QByteArray frame; // the reply as it came
    // The pump number the reply carries, when it is two digits.
    std::optional<qint16> pump;
};

class PumpLink : public QObject
{
    Q_OBJECT
public:
    explicit PumpLink(PumpPort &port, QObject *parent = nullptr);

    const ChartDrawing &chart() const { return m_sweep.drawing(); }
    const ChartSweep &sweep() const { return m_sweep; }
    // Which replies the chart follows, when the line carries more than one pump's: those whose
    // pump number the filter passes. Every reply without one.
    void setChartFilter(std::function<bool(std::optional<qint16> pump)> filter)
    {
        m_chartFilter = std::move(filter);
    }

    // Forgets a partial reply, so that a new connection starts on a clean line.
    void reset()
    {
        m_reader.clear();
        m_replied = false;
    }
    // Whether the pump has answered since the last reset(): a pressure, pressure-limit or flow
    // reply has arrived. A line that never answered is most likely not the pump's.
    bool hasReplied() const { return m_replied; }

Q_SIGNALS:
    // Each reply, in the order the pump sent them. Every reply steps the chart, once its
    // handlers have returned.
    void replyReceived(const PumpReply &reply);
    // The line went away, as the port told it through the event loop: never inside a write.
    void lineLost(const LineLoss &loss);

private:
    void readPort();
    void handleReply(QByteArrayView frame);
    void onConnectionLost(const LineLoss &loss);

    PumpPort &m_port;
    FrameReader m_reader;
    ChartSweep m_sweep;
    std::function<bool(std::optional<qint16>)> m_chartFilter;
    // Every reply, whatever its letter, steps the chart at the pressure last reported.
    std::optional<double> m_lastPressure = 0.0;
    bool m_readQueued = false;
    bool m_replied = false;
    bool m_reading = false;   // a reply's handler may run a nested event loop (a modal box)
    bool m_readAgain = false; // bytes arrived meanwhile: read them once the outer read is done
};

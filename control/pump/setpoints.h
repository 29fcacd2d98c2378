#pragma once
// The flow and the pressure limit set through their boxes, and the pump number that every
// frame carries.

#include <QtGlobal>

class FrameSender;
class OperatorBoxes;
class RunEvents;

namespace limits {
// The highest values the pump takes; anything above is refused before it reaches the line.
inline constexpr double maxFlow = 50.0;         // ml/min
inline constexpr double maxPressureLimit = 5.0; // MPa
} // namespace limits

class Setpoints
{
public:
    Setpoints(OperatorBoxes &boxes, FrameSender &sender, RunEvents &events);

    void askFlow();
    void askPressureLimit();
    // Only stored: later frames carry it.
    void askPumpNumber();

    qint16 pumpNumber() const { return m_pumpNumber; }
    // A pump added by its number keeps it: only the panel's pump is renumbered from its box.
    void setPumpNumber(qint16 number) { m_pumpNumber = number; }
    // The last number typed in each box, kept even when it was refused.
    double lastFlowAnswer() const { return m_lastFlow; }
    double lastPressureLimitAnswer() const { return m_lastPressureLimit; }

private:
    enum class Kind { Flow, PressureLimit };
    void askAndSend(Kind kind);

    OperatorBoxes &m_boxes;
    FrameSender &m_sender;
    RunEvents &m_events;
    qint16 m_pumpNumber = 0;
    double m_lastFlow = 0;
    double m_lastPressureLimit = 0;
};

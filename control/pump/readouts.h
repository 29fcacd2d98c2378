#pragma once
// What the read-out panel and the time display show: each read-out's caption and whether it
// is visible. The window mirrors them from the signals.

#include <array>
#include <QObject>
#include <QString>

enum class Readout {
    Pressure,      // the pump's current pressure
    PressureLimit, // the pressure limit, or the keypad entry typed into it
    Flow,          // the flow setpoint, or the keypad entry typed into it
    RunState,      // what the keypad last sent: run or stop
    EntryMode,     // which keypad entry is open
    Hours,
    HoursUnit,
    Minutes,
    MinutesUnit,
    Seconds,
    SecondsUnit,
};
inline constexpr int readoutCount = 11;

namespace readoutText {
inline const QString noPressure = QStringLiteral("00.0");
inline const QString defaultLimit = QStringLiteral("05.0");
inline const QString noFlow = QStringLiteral("00.0");
inline const QString stopped = QStringLiteral("     STOP");
inline const QString running = QStringLiteral("     RUN ");
} // namespace readoutText

class Readouts : public QObject
{
    Q_OBJECT
public:
    // As the window first shows them: start values, the time display hidden.
    explicit Readouts(QObject *parent = nullptr);

    QString caption(Readout readout) const { return m_captions[std::size_t(readout)]; }
    bool isVisible(Readout readout) const { return m_visible[std::size_t(readout)]; }

    void setCaption(Readout readout, const QString &text);
    void setVisible(Readout readout, bool visible);
    // The six labels of the elapsed time, together.
    void setTimeDisplayVisible(bool visible);

Q_SIGNALS:
    void captionChanged(Readout readout, const QString &text);
    void visibilityChanged(Readout readout, bool visible);

private:
    std::array<QString, readoutCount> m_captions;
    std::array<bool, readoutCount> m_visible;
};

#pragma once
// The values the main window's handlers share. Names are kept as operators' engineers know
// them from the pump's documentation; widths are the original ones (Integer = 16 bit,
// Long = 32 bit) because the wire format and the timed-run bound depend on them.

#include <array>
#include <QString>
#include <QtGlobal>
#include <vector>

struct PanelState
{
    static constexpr qint32 recordCapacity = 1'000'000;

    qint16 Set_Pump_NO = 0; // pump number every outgoing frame carries
    qint16 lq = 0;          // 1 while a keypad flow entry is open
    qint16 pr = 0;          // 1 while a keypad pressure entry is open
    double setliq = 0;      // flow last typed in the flow dialog (ml/min), kept even if refused
    double setpresure = 0;  // pressure limit last typed in the pressure dialog (MPa)
    QString setliqstr;      // last keypad frame without its leading 'Q'
    double timeset = 0;     // timed-run length in minutes
    qint16 tset = 0;        // timed-run elapsed seconds (ticks)
    qint16 itime = 0;       // chart sweep position, 0..99 between events
    std::array<double, 103> prchart{}; // sample drawn at x = k is element k + 1
    qint32 saveprcout = 0;             // number of recorded pressures, elements 1..saveprcout
    std::vector<double> prrecord = std::vector<double>(recordCapacity + 1);
};

// The labels whose texts and visibility the handlers change.
enum class Label {
    LcurrP,
    LsetP,
    LsetF,
    Lstate,
    LSetState,
    lhour,
    Label1,
    lmin,
    Label2,
    lsed,
    Label3,
};
inline constexpr int labelCount = 11;

// Menus whose enabling follows the connection.
enum class Menu { file, settime, Pump, seting, rightkey };
inline constexpr int menuCount = 5;

// Texts the read-outs show when the window is created.
namespace startup {
inline const QString LcurrP = QStringLiteral("00.0");
inline const QString LsetP = QStringLiteral("05.0");
inline const QString LsetF = QStringLiteral("00.0");
inline const QString Lstate = QStringLiteral("     STOP");
inline const QString LstateRun = QStringLiteral("     RUN ");
} // namespace startup

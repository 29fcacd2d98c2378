#pragma once
// The console's behaviour: the panel state and every event handler of the main window,
// named after the control and event that raise them. It links QtCore only and reaches the
// outside through PumpPort (the serial line), Dialogs (modal boxes), TickTimer (Timer1) and
// ChartModel (Picture1); the window mirrors captions, visibility and menu enabling from the
// signals below. Every handler runs to completion on the event loop, one at a time.

#include "control/panelstate.h"
#include "link/chartmodel.h"
#include "link/framereader.h"
#include "link/pumpport.h"

#include <array>
#include <QObject>
#include <QString>

class Dialogs;
class TickTimer;

// The keypad's key groups. Each group has one click handler that is passed the key's index.
enum class KeyGroup {
    Cmd0,
    Cmd1,
    Cmd2,
    Cmd3,
    Cmd4,
    Cmd5,
    Cmd6,
    Cmd7,
    Cmd8,
    Cmd9,
    Cmdl,
    Cmdp,
    Cmdr,
    Cmds
};

// Mouse buttons as Form_MouseDown receives them.
enum MouseButtonCode : qint16 { vbLeftButton = 1, vbRightButton = 2, vbMiddleButton = 4 };

class ConsoleCore : public QObject
{
    Q_OBJECT
public:
    ConsoleCore(PumpPort &port, Dialogs &dialogs, TickTimer &timer, QObject *parent = nullptr);
    ~ConsoleCore() override;

    PanelState &state() { return m_state; }
    const PanelState &state() const { return m_state; }
    ChartModel &Picture1() { return m_chart; }
    const ChartModel &Picture1() const { return m_chart; }

    QString caption(Label label) const;
    bool isVisible(Label label) const;
    bool menuEnabled(Menu menu) const;

    // The number of pressures the record takes; the full 1,000,000 unless a test wants to
    // reach the bound quickly.
    void setRecordLimit(qint32 limit);
    qint32 recordLimit() const { return m_recordLimit; }

public Q_SLOTS:
    // Start-up and connection
    void Form_Load();
    void Communication_Click();
    void Form_Unload();
    void end_Click();

    // Replies from the pump
    void MSComm1_OnComm();

    // Run and stop
    void run_Click();
    void stop_Click();
    void rrun_Click();
    void rstop_Click();
    void Cmdr_Click(qint16 Index);
    void Cmds_Click(qint16 Index);
    void Form_MouseDown(qint16 Button, qint16 Shift, float X, float Y);

    // Setpoint dialogs
    void liquid_Click();
    void pressure_Click();
    void Pump_NO_Click();

    // Keypad
    void Cmdl_Click(qint16 Index);
    void Cmdp_Click(qint16 Index);
    void Cmd0_Click(qint16 Index);
    void Cmd1_Click(qint16 Index);
    void Cmd2_Click(qint16 Index);
    void Cmd3_Click(qint16 Index);
    void Cmd4_Click(qint16 Index);
    void Cmd5_Click(qint16 Index);
    void Cmd6_Click(qint16 Index);
    void Cmd7_Click(qint16 Index);
    void Cmd8_Click(qint16 Index);
    void Cmd9_Click(qint16 Index);
    // Runs the click handler of `group`, as the window does for any key of it.
    void keyClicked(KeyGroup group, qint16 Index);

    // Timed run
    void stset_Click();
    void ststart_Click();
    void stzanting_Click();
    void stcontiune_Click();
    void stend_Click();
    void Timer1_Timer();

Q_SIGNALS:
    void captionChanged(Label label, const QString &text);
    void visibilityChanged(Label label, bool visible);
    void menuEnabledChanged(Menu menu, bool enabled);
    // Form_MouseDown wants `menu` shown as a popup at the pointer.
    void popupRequested(Menu menu);
    // end_Click: the program ends at once, without Form_Unload.
    void endRequested();

private:
    void setCaption(Label label, const QString &text);
    void setVisible(Label label, bool visible);
    void setMenuEnabled(Menu menu, bool enabled);
    void setConnectedMenus(bool enabled);
    void setTimeDisplayVisible(bool visible);

    // Every frame leaves through here: one write, and a failure is told to the operator,
    // naming the command that did not reach the pump. Returns whether the frame went out.
    // A command the operator gave is reported each time; one the timer retries every second
    // is reported once until a frame goes out again, so that the box does not keep coming
    // back between the operator and the menus.
    enum class Report { EachTime, OncePerOutage };
    bool sendFrame(const QByteArray &frame, const QString &command,
                   Report report = Report::EachTime);
    // Returns whether the box was shown (not when another one is still open).
    bool reportPortFailure(const QString &prompt);
    void onConnectionLost(const QString &reason);

    void handleReply(const QByteArray &frame);
    void recordPressure(double value);

    // The four digit steps shared by Cmd0_Click .. Cmd9_Click.
    void digitKey(QChar digit);
    void completeEntry(qint16 &flag, Label label, QChar letter, double bound,
                       const QString &refusal);
    void openEntry(qint16 &flag, Label label, const QString &mode);

    void setpointDialog(const QString &prompt, const QString &title, const QString &defaultText,
                        double &stored, double bound, const QString &refusal, bool flow);

    PumpPort &m_port;
    Dialogs &m_dialogs;
    TickTimer &m_timer;
    ChartModel m_chart;
    FrameReader m_reader;
    PanelState m_state;

    std::array<QString, labelCount> m_captions;
    std::array<bool, labelCount> m_visible;
    std::array<bool, menuCount> m_menuEnabled;

    qint32 m_recordLimit = PanelState::recordCapacity;
    bool m_recordFullReported = false;
    bool m_failureBoxOpen = false;
    bool m_retryFailureTold = false; // a timer retry has been reported since the last write
};

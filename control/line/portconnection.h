#pragma once
// Choosing the serial port and opening it, and going back to Not connected when the line goes
// away on its own.

#include "control/line/portlist.h"
#include "control/line/portresolver.h"
#include "link/pumpport.h"

#include <QObject>

class FrameSender;
class OperatorBoxes;
class PumpLink;

class PortConnection : public QObject
{
    Q_OBJECT
public:
    PortConnection(PumpPort &port, PumpLink &link, FrameSender &sender, OperatorBoxes &boxes,
                   QObject *parent = nullptr);

    // Asks for the port (a number or a device name, or one of `choices`) and opens it. Every
    // refusal is told. A line that has never delivered a reply gives way to the new choice;
    // one that has stays.
    void choosePort(const QList<PortListEntry> &choices = {});
    // Opens the port `answer` names, as if the operator had given it in the port box.
    void connectTo(const QString &answer);
    // Opens `device` again after the line was lost, asking, telling and sending nothing.
    PortStatus reopen(const QString &device);
    // The window is closing: the line goes with it, no stop frame on the way out.
    void close();
    // The line went away on its own: the port is closed already.
    void lineLost(const LineLoss &loss);

    bool isConnected() const { return m_connected; }

Q_SIGNALS:
    void connectedChanged(bool connected);
    // A line has been opened: chosen by the operator, or `reopened` after it was lost.
    void lineStarted(const QString &device, bool reopened);
    // The operator named `device` in the port box (whether or not it then opens).
    void portChosen(const QString &device);

private:
    void startLine(bool reopened);
    void setConnected(bool connected);

    PumpPort &m_port;
    PumpLink &m_link;
    FrameSender &m_sender;
    OperatorBoxes &m_boxes;
    PortResolver m_choices;
    bool m_connected = false;
};

#pragma once
// Every message the operator gets about the serial line, in one place, so that the same fault
// always reads the same way wherever it is noticed.

#include "link/pumpport.h"
#include "link/wire/portnames.h"

#include <QString>

namespace portmessages {

// Titles of the boxes.
inline const QString connectTitle = QStringLiteral("通信");
inline const QString sendTitle = QStringLiteral("通信错误");

// A frame that did not reach the pump, naming the command.
QString commandNotSent(const QString &command, const PortStatus &status);

// The port box's answer was not a port.
QString invalidPortNumber(int number);
QString notAPort(const QString &answer);

// `port` as the operator will recognise it: "1（/dev/ttyS0）" or "/dev/ttyUSB0".
QString openFailed(const PortStatus &status, const QString &port);
QString alreadyConnected(const QString &device);

// Told before port `number` opens `device`: the alias that was there was not followed, and why.
QString aliasRefused(int number, const QString &alias, portnames::AliasTrust why,
                     const QString &device);
// Told before port `number` opens `device`, when it opened `previous` last time.
QString deviceChanged(int number, const QString &device, const QString &previous);

// The line went away on its own; the console is Not connected again.
QString lineLost(const LineLoss &loss);
// The adapter came back and was reopened on its own, as `device` (`previous` before the loss).
QString lineBack(const QString &device, const QString &previous);

// The same causes in a few words, for the run log: why a frame did not go out ("串口写入失败：…"),
// and which line went away and why ("串口 /dev/ttyUSB0 已断开：…").
QString sendFailure(const PortStatus &status);
QString lossCause(const LineLoss &loss);

} // namespace portmessages

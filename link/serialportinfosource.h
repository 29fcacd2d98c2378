#pragma once
// The system's serial ports through QSerialPortInfo.

#include "link/portinfo.h"

class QSerialPortInfo;

namespace serialline {

// How Qt's description of a port reads to the console. A port counts as a USB adapter (one
// that may be unplugged and come back) only when Qt knows both its vendor and its product.
[[nodiscard]] SystemPort systemPort(const QSerialPortInfo &info);

} // namespace serialline

class SerialPortInfoSource final : public PortInfoSource
{
public:
    QList<SystemPort> availablePorts() const override;
};

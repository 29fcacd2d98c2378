#include "link/serialportinfosource.h"

#include <QSerialPortInfo>

namespace serialline {

SystemPort systemPort(const QSerialPortInfo &info)
{
    SystemPort port;
#ifdef Q_OS_WIN
    // "COM7": what the operator knows it by and what the port box answers with.
    port.device = info.portName();
#else
    port.device = info.systemLocation();
#endif
    port.description = info.description();
    port.manufacturer = info.manufacturer();
    port.serialNumber = info.serialNumber();
    if (info.hasVendorIdentifier() && info.hasProductIdentifier()) {
        port.identity =
            PortIdentity{info.vendorIdentifier(), info.productIdentifier(), info.serialNumber()};
    }
    return port;
}

} // namespace serialline

QList<SystemPort> SerialPortInfoSource::availablePorts() const
{
    QList<SystemPort> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        ports.append(serialline::systemPort(info));
    }
    return ports;
}

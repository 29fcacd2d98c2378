#pragma once
// How the number the operator types in the port box becomes a device.

#include <optional>
#include <QString>

namespace portnames {

// Folder in which an alias "COMn" may stand for a device on Linux (a link that the simulated
// pump or an operator puts there). One folder per user, so two users' aliases never clash.
QString aliasDirectory();

// The device for port number n (n >= 1): COMn on Windows; on other systems the alias COMn in
// aliasDirectory() if it exists, else /dev/ttyS(n-1). No value for n < 1.
std::optional<QString> deviceForPortNumber(int n);

// A port box answer that names a device directly: "COM3", "/dev/ttyUSB0", "ttyUSB0".
// Operators with USB adapters need this because their devices have no number.
std::optional<QString> deviceFromName(const QString &answer);

} // namespace portnames

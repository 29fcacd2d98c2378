#pragma once
// The lab broker's address as the operator writes it: mqtt://host:1883, or mqtts://host:8883
// for TLS checked against the system's certificate store. The port defaults to the scheme's
// usual one, and a bare "host" or "host:port" means mqtt://.

#include <optional>
#include <QString>

struct BrokerAddress
{
    QString host;
    int port = 1883;
    bool tls = false;

    // "host:port", "[::1]:1883": for messages.
    QString name() const;
    bool operator==(const BrokerAddress &) const = default;
};

struct ParsedBrokerAddress
{
    std::optional<BrokerAddress> address;
    QString error; // why there is none, in the operator's words
};

namespace brokeraddress {

inline constexpr int plainPort = 1883;
inline constexpr int tlsPort = 8883;

[[nodiscard]] ParsedBrokerAddress parse(const QString &url);

} // namespace brokeraddress

#pragma once
// The console's options for publishing to the lab's broker, from the command line and from
// the settings file, so that a bench PC is set up once and a run can still override it:
//
//   --mqtt URL            mqtt://host:1883 or mqtts://host:8883 (settings: mqtt/url)
//   --mqtt-user NAME      (settings: mqtt/user); the password comes only from the
//                         environment variable PUMPCONSOLE_MQTT_PASSWORD
//   --mqtt-id NAME        the console's name in the topics (settings: mqtt/id; default: the
//                         host name)
//   --mqtt-keepalive S    seconds (settings: mqtt/keepalive; default 15)
//
// A value on the command line wins over the settings file, even an empty one: `--mqtt ""`
// turns publishing off for one run.

#include <optional>
#include <QString>

class QCommandLineParser;
class QSettings;

struct MonitorOptions
{
    QString url; // no publishing when empty
    QString user;
    QString id;
    QString keepAlive; // seconds, as written; checked when publishing starts
};

// What one source gives; each value unset when it says nothing.
struct MonitorOptionValues
{
    std::optional<QString> url;
    std::optional<QString> user;
    std::optional<QString> id;
    std::optional<QString> keepAlive;
};

namespace options {

inline constexpr int defaultKeepAliveSeconds = 15;
inline const QString passwordVariable = QStringLiteral("PUMPCONSOLE_MQTT_PASSWORD");

void addMonitorOptions(QCommandLineParser &parser);
MonitorOptionValues monitorValues(const QCommandLineParser &parser);
MonitorOptionValues monitorValues(const QSettings &settings);

// The command line over the settings file over the defaults.
[[nodiscard]] MonitorOptions resolve(const MonitorOptionValues &commandLine,
                                     const MonitorOptionValues &settings, const QString &hostName);

} // namespace options

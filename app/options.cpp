#include "app/options.h"

#include <QCommandLineParser>
#include <QSettings>

using namespace Qt::StringLiterals;

namespace options {

namespace {

const QString urlName = u"mqtt"_s;
const QString userName = u"mqtt-user"_s;
const QString idName = u"mqtt-id"_s;
const QString keepAliveName = u"mqtt-keepalive"_s;

std::optional<QString> given(const QCommandLineParser &parser, const QString &name)
{
    return parser.isSet(name) ? std::optional(parser.value(name)) : std::nullopt;
}

std::optional<QString> given(const QSettings &settings, const QString &key)
{
    return settings.contains(key) ? std::optional(settings.value(key).toString()) : std::nullopt;
}

QString first(const std::optional<QString> &preferred, const std::optional<QString> &fallback,
              const QString &otherwise)
{
    return preferred.value_or(fallback.value_or(otherwise)).trimmed();
}

} // namespace

void addMonitorOptions(QCommandLineParser &parser)
{
    parser.addOptions({
        {urlName, u"Publish the pump to this MQTT broker: mqtt://host:1883 or mqtts://host:8883."_s,
         u"URL"_s},
        {userName,
         u"User name at the broker; the password is taken from the environment variable "
         u"PUMPCONSOLE_MQTT_PASSWORD."_s,
         u"NAME"_s},
        {idName,
         u"This console's name in the topics pumpconsole/NAME/… (default: the host name)."_s,
         u"NAME"_s},
        {keepAliveName,
         u"Seconds between signs of life to the broker (default 15); the broker reports the "
         u"console offline about 1.5 times this after it vanishes."_s,
         u"SECONDS"_s},
    });
}

MonitorOptionValues monitorValues(const QCommandLineParser &parser)
{
    return {given(parser, urlName), given(parser, userName), given(parser, idName),
            given(parser, keepAliveName)};
}

MonitorOptionValues monitorValues(const QSettings &settings)
{
    return {given(settings, u"mqtt/url"_s), given(settings, u"mqtt/user"_s),
            given(settings, u"mqtt/id"_s), given(settings, u"mqtt/keepalive"_s)};
}

MonitorOptions resolve(const MonitorOptionValues &commandLine, const MonitorOptionValues &settings,
                       const QString &hostName)
{
    MonitorOptions options;
    options.url = first(commandLine.url, settings.url, {});
    options.user = first(commandLine.user, settings.user, {});
    options.id = first(commandLine.id, settings.id, {});
    if (options.id.isEmpty()) {
        options.id = hostName.trimmed();
    }
    options.keepAlive =
        first(commandLine.keepAlive, settings.keepAlive, QString::number(defaultKeepAliveSeconds));
    return options;
}

} // namespace options

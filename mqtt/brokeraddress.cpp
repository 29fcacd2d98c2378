#include "mqtt/brokeraddress.h"

#include <QUrl>

using namespace Qt::StringLiterals;

QString BrokerAddress::name() const
{
    return (host.contains(u':') ? u'[' + host + u']' : host) + u':' + QString::number(port);
}

namespace brokeraddress {

namespace {

ParsedBrokerAddress refused(const QString &url, const QString &why)
{
    return {std::nullopt, u"监控服务器地址“%1”无效：%2"_s.arg(url, why)};
}

} // namespace

ParsedBrokerAddress parse(const QString &url)
{
    const QString text = url.trimmed();
    if (text.isEmpty()) {
        return refused(text, u"没有地址"_s);
    }
    const QUrl parsed(text.contains(u"://"_s) ? text : u"mqtt://"_s + text, QUrl::StrictMode);
    if (!parsed.isValid()) {
        return refused(text, u"无法识别（应为 mqtt://主机:端口 或 mqtts://主机:端口）"_s);
    }
    BrokerAddress address;
    const QString scheme = parsed.scheme().toLower();
    if (scheme == u"mqtts"_s) {
        address.tls = true;
    } else if (scheme != u"mqtt"_s) {
        return refused(text, u"只支持 mqtt:// 和 mqtts://"_s);
    }
    // A password in the address would sit in the settings file and the process list.
    if (!parsed.userInfo().isEmpty()) {
        return refused(text, u"地址中不能写用户名或密码：用户名用 --mqtt-user 给出，"
                             u"密码用环境变量 PUMPCONSOLE_MQTT_PASSWORD 给出"_s);
    }
    if (parsed.host().isEmpty()) {
        return refused(text, u"没有主机名"_s);
    }
    if ((!parsed.path().isEmpty() && parsed.path() != u"/"_s) || parsed.hasQuery() ||
        parsed.hasFragment()) {
        return refused(text, u"主机名和端口之后不能再有别的内容"_s);
    }
    address.host = parsed.host();
    address.port = parsed.port(address.tls ? tlsPort : plainPort);
    if (address.port <= 0) {
        return refused(text, u"端口应在 1 到 65535 之间"_s);
    }
    return {address, {}};
}

} // namespace brokeraddress

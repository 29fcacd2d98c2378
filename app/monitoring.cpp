#include "app/monitoring.h"

#include "control/line/pumpline.h"
#include "control/pumpconsole.h"
#include "control/seams/operatorboxes.h"
#include "monitoring/monitorfeed.h"
#include "monitoring/monitormessages.h"
#include "monitoring/pumpmonitor.h"
#if PUMP_WITH_MQTT
#include "mqtt/mosquittopublisher.h"
#endif

#include <cstdio>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

#if PUMP_WITH_MQTT
std::optional<int> keepAliveSeconds(const QString &text)
{
    bool ok = false;
    const int seconds = text.toInt(&ok);
    // libmosquitto takes no less than 5; MQTT carries at most 65535.
    return ok && seconds >= 5 && seconds <= 65535 ? std::optional(seconds) : std::nullopt;
}
#endif

void tellBadSettings(OperatorBoxes &boxes, const QString &why)
{
    std::fprintf(stderr, "pumpconsole: %s\n", qPrintable(why));
    boxes.notify(monitormessages::badSettingsNotice(why), monitormessages::noticeTitle);
}

} // namespace

Monitoring::~Monitoring() = default;

std::unique_ptr<Monitoring> Monitoring::start(const MonitorOptions &options,
                                              const PumpConsole &console, OperatorBoxes &boxes)
{
    if (options.url.isEmpty()) {
        return nullptr;
    }
#if !PUMP_WITH_MQTT
    // Built without libmosquitto (the Windows build): a broker that was asked for is told to be
    // out of reach of this program, rather than silently never published to.
    Q_UNUSED(console)
    tellBadSettings(boxes, u"这一版控制台不带 MQTT 发布功能，不连接“%1”"_s.arg(options.url));
    return nullptr;
#else
    const ParsedBrokerAddress parsed = brokeraddress::parse(options.url);
    if (!parsed.address) {
        tellBadSettings(boxes, parsed.error);
        return nullptr;
    }
    const auto keepAlive = keepAliveSeconds(options.keepAlive);
    if (!keepAlive) {
        tellBadSettings(boxes, u"保活时间“%1”无效：应为 5 到 65535 秒"_s.arg(options.keepAlive));
        return nullptr;
    }

    BrokerConnection connection;
    connection.address = *parsed.address;
    connection.clientId = u"pumpconsole-"_s + monitormessages::topicLevel(options.id);
    connection.user = options.user;
    connection.password = qEnvironmentVariable(qPrintable(options::passwordVariable));
    connection.willTopic = monitormessages::topic(options.id, u"status"_s);
    connection.willPayload = monitormessages::offline;
    connection.keepAliveSeconds = *keepAlive;

    std::unique_ptr<Monitoring> monitoring(new Monitoring);
    monitoring->m_publisher = std::make_unique<MosquittoPublisher>(connection);
    monitoring->m_monitor =
        std::make_unique<PumpMonitor>(*monitoring->m_publisher, boxes, options.id);
    monitoring->m_feed = std::make_unique<MonitorFeed>(console, *monitoring->m_monitor);
    monitoring->followAddedPumps(console, boxes, options.id);
    return monitoring;
#endif
}

void Monitoring::followAddedPumps(const PumpConsole &console, OperatorBoxes &boxes,
                                  const QString &id)
{
    const auto sync = [this, &console, &boxes, id] {
        std::map<const Pump *, Added> kept;
        for (const PumpRig::Row &row : console.rig().rows()) {
            if (row.panel) {
                continue;
            }
            if (auto it = m_added.find(row.pump); it != m_added.end()) {
                kept.insert(m_added.extract(it));
                continue;
            }
            // "ttyUSB1-12": the port's own name and the pump's number, one topic level.
            const QString name = QFileInfo(row.line->device()).fileName() + u'-' +
                                 QString::number(row.pump->setpoints().pumpNumber());
            Added added;
            added.monitor = std::make_unique<PumpMonitor>(*m_publisher, boxes, id, name);
            added.feed = std::make_unique<MonitorFeed>(*row.line, *row.pump, *added.monitor);
            kept.emplace(row.pump, std::move(added));
        }
        m_added = std::move(kept); // those left behind were taken off
    };
    QObject::connect(&console.rig(), &PumpRig::pumpsChanged, m_publisher.get(), sync);
    sync();
}

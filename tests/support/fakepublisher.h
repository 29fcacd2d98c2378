#pragma once
// A publisher that keeps what it was handed, for tests of what the console publishes, and
// whose connection news a test raises by hand.

#include "monitoring/publisher.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <vector>

class FakePublisher final : public Publisher
{
public:
    struct Message
    {
        QString topic;
        QByteArray payload;
        Delivery delivery;
        bool retain;

        QJsonObject json() const { return QJsonDocument::fromJson(payload).object(); }
    };
    std::vector<Message> published;

    void publish(const QString &topic, const QByteArray &payload, Delivery delivery,
                 bool retain) override
    {
        published.push_back({topic, payload, delivery, retain});
    }
    QString brokerName() const override { return QStringLiteral("broker.lab:1883"); }

    std::vector<Message> on(const QString &topic) const
    {
        std::vector<Message> result;
        for (const Message &m : published) {
            if (m.topic == topic) {
                result.push_back(m);
            }
        }
        return result;
    }
    void connect() { Q_EMIT connected(); }
    void trouble(BrokerProblem problem) { Q_EMIT troubled({problem, {}}); }
};

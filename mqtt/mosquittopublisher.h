#pragma once
// The console's publisher over Eclipse Mosquitto's client library (libmosquitto). The
// connection lives on a thread of its own: connecting, TLS, keep-alive, retries with back-off
// and every socket wait happen there, so publish() returns at once whatever the network does.
// The connection's news comes back to the publisher's own thread as signals.

#include "monitoring/publisher.h"
#include "mqtt/brokeraddress.h"

#include <memory>
#include <thread>

struct BrokerConnection
{
    BrokerAddress address;
    QString clientId; // unique per broker: a second client with the same name pushes us off
    QString user;     // none when empty
    QString password;
    // Said retained by the broker when the console vanishes without a goodbye, and by the
    // console itself when it leaves cleanly (a clean goodbye keeps the broker from saying it).
    QString willTopic;
    QByteArray willPayload;
    int keepAliveSeconds = 30; // libmosquitto takes 5 or more
    int connectTimeoutSeconds = 10;
    // Messages sent at least once that wait while the broker is away; the oldest go first.
    int maxWaiting = 1000;
};

namespace mosquittopublisher {

// The wait before the next connection attempt after `failures` failed ones in a row: 1 s,
// doubling, at most 30 s.
[[nodiscard]] int retryDelayMs(int failures);

// What a failed attempt or a dropped connection means for the operator, from libmosquitto's
// result, the system's error number and the broker's answer to the connection (0 when it
// gave none).
[[nodiscard]] BrokerTrouble trouble(int result, int systemError, int brokerAnswer,
                                    bool wasConnected);

} // namespace mosquittopublisher

class MosquittoPublisher final : public Publisher
{
    Q_OBJECT
public:
    // Starts connecting at once.
    explicit MosquittoPublisher(const BrokerConnection &connection, QObject *parent = nullptr);
    // Says the last will itself and disconnects, waiting for that a moment at most.
    ~MosquittoPublisher() override;

    void publish(const QString &topic, const QByteArray &payload, Delivery delivery,
                 bool retain) override;
    QString brokerName() const override { return m_broker; }

private:
    struct Shared;
    static void runNetwork(std::shared_ptr<Shared> shared, BrokerConnection connection);

    QString m_broker;
    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};

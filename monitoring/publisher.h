#pragma once
// Where the console's monitoring messages go: a message broker that the lab watches. The
// console only hands messages over; the network, its outages and the retries are the
// publisher's business, and nothing here ever waits for them.

#include <QByteArray>
#include <QObject>
#include <QString>

// How hard the broker is asked to deliver a message.
enum class Delivery {
    AtMostOnce,  // dropped when the broker cannot take it now
    AtLeastOnce, // kept until the broker has it, within a bound
};

// Why the broker could not be reached or dropped the console. Each gets its own wording for
// the operator.
enum class BrokerProblem {
    Unreachable,   // nothing answers at the address, or nothing listens there
    NameNotFound,  // the host name does not resolve
    BadLogin,      // the broker refused the user name or the password
    NotAuthorised, // the broker does not let this console in
    IdRejected,    // the broker refused the console's name
    Tls,           // the secure connection failed: certificate, host name or protocol
    NoAnswer,      // the connection opened, but the broker did not answer in time
    Lost,          // a working connection dropped
    Other,
};

struct BrokerTrouble
{
    BrokerProblem problem = BrokerProblem::Other;
    QString detail; // the system's or the library's words, where they add something
};

class Publisher : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~Publisher() override = default;

    // Hands a message over and returns at once. A retained message is the topic's current
    // value: it is stated again on every new connection, since a restarted broker may have
    // forgotten it.
    virtual void publish(const QString &topic, const QByteArray &payload, Delivery delivery,
                         bool retain) = 0;
    // The broker as the operator will recognise it: "host:port".
    virtual QString brokerName() const = 0;

Q_SIGNALS:
    // Both are raised in the thread the publisher lives in.
    void connected();
    // A connection attempt failed or a working connection dropped; retries go on by themselves.
    void troubled(const BrokerTrouble &trouble);
};

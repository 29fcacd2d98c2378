#include "mqtt/mosquittopublisher.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mosquitto.h>
#include <mutex>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace mosquittopublisher {

int retryDelayMs(int failures)
{
    constexpr int first = 1000;
    constexpr int longest = 30000;
    return failures >= 5 ? longest : std::min(longest, first << std::max(failures, 0));
}

BrokerTrouble trouble(int result, int systemError, int brokerAnswer, bool wasConnected)
{
    // The broker's own answer says the most: it was reached and said no.
    switch (brokerAnswer) {
    case 0:
        break;
    case 2:
        return {BrokerProblem::IdRejected, {}};
    case 3:
        return {BrokerProblem::Unreachable, QString::fromUtf8(mosquitto_connack_string(3))};
    case 4:
        return {BrokerProblem::BadLogin, {}};
    case 5:
        return {BrokerProblem::NotAuthorised, {}};
    default:
        return {BrokerProblem::Other, QString::fromUtf8(mosquitto_connack_string(brokerAnswer))};
    }
    if (wasConnected) {
        return {result == MOSQ_ERR_KEEPALIVE ? BrokerProblem::NoAnswer : BrokerProblem::Lost, {}};
    }
    switch (result) {
    case MOSQ_ERR_EAI:
        return {BrokerProblem::NameNotFound, {}};
    case MOSQ_ERR_TLS:
    case MOSQ_ERR_TLS_HANDSHAKE:
        return {BrokerProblem::Tls, {}};
    case MOSQ_ERR_KEEPALIVE:
    case MOSQ_ERR_TIMEOUT:
        return {BrokerProblem::NoAnswer, {}};
    case MOSQ_ERR_ERRNO:
        return {BrokerProblem::Unreachable, systemError ? qt_error_string(systemError) : QString()};
    case MOSQ_ERR_CONN_LOST:
    case MOSQ_ERR_NO_CONN:
        return {BrokerProblem::Unreachable, {}};
    default:
        return {BrokerProblem::Other, QString::fromUtf8(mosquitto_strerror(result))};
    }
}

} // namespace mosquittopublisher

namespace {

struct Message
{
    QByteArray topic;
    QByteArray payload;
    int qos;
};

int qosOf(Delivery delivery)
{
    return delivery == Delivery::AtLeastOnce ? 1 : 0;
}

void send(mosquitto *client, const Message &message, bool retain)
{
    // A refusal here means the connection just went; the loop notices and reports that.
    mosquitto_publish(client, nullptr, message.topic.constData(), int(message.payload.size()),
                      message.payload.constData(), message.qos, retain);
}

} // namespace

// What the publisher's thread and the network thread share, guarded by `mutex`. The network
// thread holds it too, so it outlives a publisher that could not wait for the thread to end.
struct MosquittoPublisher::Shared
{
    std::mutex mutex;
    std::condition_variable changed;
    mosquitto *client = nullptr;
    bool connected = false;
    bool stopping = false;
    bool finished = false;
    int brokerAnswer = 0;
    std::vector<Message> retained; // each topic's current value, in the order first stated
    std::deque<Message> waiting;   // at-least-once messages for the next connection
    std::size_t maxWaiting = 0;
    MosquittoPublisher *owner = nullptr; // cleared under the lock before the owner goes

    // Runs `emit` in the owner's thread, unless the owner is gone. Called with the lock held.
    template<typename F> void tellOwner(F emit)
    {
        if (owner) {
            QMetaObject::invokeMethod(
                owner, [o = owner, emit] { emit(o); }, Qt::QueuedConnection);
        }
    }

    static void onConnect(mosquitto *client, void *data, int answer)
    {
        auto *shared = static_cast<Shared *>(data);
        std::lock_guard lock(shared->mutex);
        shared->brokerAnswer = answer;
        if (answer != 0) {
            return; // the loop reports the refusal as it ends the attempt
        }
        shared->connected = true;
        // Status first: a dashboard reads "online" before the state under it.
        for (const Message &message : shared->retained) {
            send(client, message, true);
        }
        for (const Message &message : shared->waiting) {
            send(client, message, false);
        }
        shared->waiting.clear();
        shared->tellOwner([](MosquittoPublisher *o) { Q_EMIT o->connected(); });
    }
};

MosquittoPublisher::MosquittoPublisher(const BrokerConnection &connection, QObject *parent)
    : Publisher(parent), m_broker(connection.address.name()), m_shared(std::make_shared<Shared>())
{
    static std::once_flag libraryReady;
    std::call_once(libraryReady, [] { mosquitto_lib_init(); });

    m_shared->owner = this;
    m_shared->maxWaiting = std::size_t(std::max(connection.maxWaiting, 0));
    mosquitto *client =
        mosquitto_new(connection.clientId.toUtf8().constData(), true, m_shared.get());
    if (!client) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                Q_EMIT troubled({BrokerProblem::Other, QString::fromUtf8(strerror(errno))});
            },
            Qt::QueuedConnection);
        return;
    }
    mosquitto_threaded_set(client, true);
    mosquitto_connect_callback_set(client, &Shared::onConnect);
    const QByteArray willTopic = connection.willTopic.toUtf8();
    if (!willTopic.isEmpty()) {
        mosquitto_will_set(client, willTopic.constData(), int(connection.willPayload.size()),
                           connection.willPayload.constData(), 1, true);
    }
    if (!connection.user.isEmpty()) {
        mosquitto_username_pw_set(
            client, connection.user.toUtf8().constData(),
            connection.password.isEmpty() ? nullptr : connection.password.toUtf8().constData());
    }
    if (connection.address.tls) {
        // The system's certificate store (/etc/ssl/certs on Debian), host name checked.
        mosquitto_int_option(client, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
    }
    m_shared->client = client;
    m_thread = std::thread(runNetwork, m_shared, connection);
}

MosquittoPublisher::~MosquittoPublisher()
{
    if (!m_thread.joinable()) {
        return;
    }
    std::unique_lock lock(m_shared->mutex);
    m_shared->owner = nullptr;
    m_shared->stopping = true;
    m_shared->changed.notify_all();
    // The goodbye takes a moment; a thread stuck in a name lookup is left to end on its own.
    if (m_shared->changed.wait_for(lock, 2s, [this] { return m_shared->finished; })) {
        lock.unlock();
        m_thread.join();
    } else {
        lock.unlock();
        m_thread.detach();
    }
}

void MosquittoPublisher::publish(const QString &topic, const QByteArray &payload, Delivery delivery,
                                 bool retain)
{
    Message message{topic.toUtf8(), payload, qosOf(delivery)};
    std::lock_guard lock(m_shared->mutex);
    if (retain) {
        auto same = std::find_if(m_shared->retained.begin(), m_shared->retained.end(),
                                 [&](const Message &m) { return m.topic == message.topic; });
        if (same == m_shared->retained.end()) {
            m_shared->retained.push_back(message);
        } else {
            *same = message;
        }
    }
    if (m_shared->connected) {
        send(m_shared->client, message, retain);
    } else if (!retain && delivery == Delivery::AtLeastOnce && m_shared->maxWaiting > 0) {
        if (m_shared->waiting.size() >= m_shared->maxWaiting) {
            m_shared->waiting.pop_front();
        }
        m_shared->waiting.push_back(std::move(message));
    }
}

// The connection's life, on its own thread: attempt, run the socket, and after a failure wait
// (interruptibly) before the next attempt.
void MosquittoPublisher::runNetwork(std::shared_ptr<Shared> shared, BrokerConnection connection)
{
    mosquitto *client = shared->client;
    const QByteArray host = connection.address.host.toUtf8();
    bool everAttempted = false;
    bool attempting = false;
    int failures = 0;
    Clock::time_point attemptStarted;

    auto failed = [&](int result, int systemError) {
        std::unique_lock lock(shared->mutex);
        const bool wasConnected = std::exchange(shared->connected, false);
        const BrokerTrouble trouble =
            mosquittopublisher::trouble(result, systemError, shared->brokerAnswer, wasConnected);
        shared->brokerAnswer = 0;
        shared->tellOwner([trouble](MosquittoPublisher *o) { Q_EMIT o->troubled(trouble); });
        attempting = false;
        if (wasConnected) {
            failures = 0;
        }
        const auto delay = std::chrono::milliseconds(mosquittopublisher::retryDelayMs(failures++));
        shared->changed.wait_for(lock, delay, [&] { return shared->stopping; });
    };

    while (true) {
        {
            std::lock_guard lock(shared->mutex);
            if (shared->stopping) {
                break;
            }
        }
        if (!attempting) {
            errno = 0;
            const int result = everAttempted ? mosquitto_reconnect_async(client)
                                             : mosquitto_connect_async(client, host.constData(),
                                                                       connection.address.port,
                                                                       connection.keepAliveSeconds);
            everAttempted = true;
            if (result != MOSQ_ERR_SUCCESS) {
                failed(result, errno);
                continue;
            }
            attempting = true;
            attemptStarted = Clock::now();
        }
        errno = 0;
        const int result = mosquitto_loop(client, 100, 1);
        if (result != MOSQ_ERR_SUCCESS) {
            failed(result, errno);
            continue;
        }
        std::unique_lock lock(shared->mutex);
        if (shared->connected) {
            failures = 0;
        } else if (Clock::now() - attemptStarted >
                   std::chrono::seconds(connection.connectTimeoutSeconds)) {
            lock.unlock();
            failed(MOSQ_ERR_TIMEOUT, 0); // the next attempt drops this socket
        }
    }

    // A clean goodbye: the broker would not say the will for us, so we say it, then leave.
    {
        std::lock_guard lock(shared->mutex);
        if (shared->connected && !connection.willTopic.isEmpty()) {
            send(client, {connection.willTopic.toUtf8(), connection.willPayload, 1}, true);
            mosquitto_disconnect(client);
        }
        shared->connected = false;
    }
    for (const auto until = Clock::now() + 1s; Clock::now() < until;) {
        if (mosquitto_loop(client, 50, 1) != MOSQ_ERR_SUCCESS) {
            break; // the goodbye went out and the socket closed
        }
    }
    std::lock_guard lock(shared->mutex);
    mosquitto_destroy(client);
    shared->client = nullptr;
    shared->finished = true;
    shared->changed.notify_all();
}

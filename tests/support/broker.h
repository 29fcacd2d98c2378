#pragma once
// A real Mosquitto broker for a test, on a free port of 127.0.0.1 and nowhere else, and a
// separate client that watches everything under pumpconsole/ as a dashboard would.

#include <arpa/inet.h>
#include <mosquitto.h>
#include <mutex>
#include <netinet/in.h>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

class Broker
{
public:
    // `moreConfig` is added to the configuration, e.g. a second listener with TLS.
    explicit Broker(const QByteArray &moreConfig = {})
    {
        m_program = QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
        if (m_program.isEmpty()) {
            m_program = QStandardPaths::findExecutable(QStringLiteral("mosquitto"),
                                                       {QStringLiteral("/usr/sbin")});
        }
        m_port = freePort();
        QFile config(m_dir.filePath(QStringLiteral("mosquitto.conf")));
        if (m_port > 0 && config.open(QIODevice::WriteOnly)) {
            config.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n"
                                        "persistence false\nlog_type error\nlog_type warning\n")
                             .arg(m_port)
                             .toUtf8() +
                         moreConfig);
        }
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~Broker() { stop(); }

    bool available() const { return !m_program.isEmpty() && m_port > 0 && m_dir.isValid(); }
    int port() const { return m_port; }
    qint64 pid() const { return m_process.processId(); }
    QString url() const { return QStringLiteral("mqtt://127.0.0.1:%1").arg(m_port); }

    // Starts on the same port each time; true once it accepts connections.
    bool start()
    {
        m_process.start(m_program,
                        {QStringLiteral("-c"), m_dir.filePath(QStringLiteral("mosquitto.conf"))});
        if (!m_process.waitForStarted(3000)) {
            return false;
        }
        for (QDeadlineTimer deadline(5000); !deadline.hasExpired(); QThread::msleep(20)) {
            if (accepts()) {
                return true;
            }
        }
        return false;
    }
    void stop()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(3000)) {
                m_process.kill();
                m_process.waitForFinished(1000);
            }
        }
    }

    // A port of 127.0.0.1 that nothing listens on now.
    static int freePort()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        int port = 0;
        if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0) {
            port = ntohs(address.sin_port);
        }
        if (fd >= 0) {
            ::close(fd);
        }
        return port;
    }

private:
    bool accepts() const
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(quint16(m_port));
        const bool ok =
            fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        if (fd >= 0) {
            ::close(fd);
        }
        return ok;
    }

    QString m_program;
    QTemporaryDir m_dir;
    int m_port = 0;
    QProcess m_process;
};

// Subscribes to pumpconsole/# and keeps every message with the time it came; reconnects by
// itself when the broker restarts.
class Subscriber
{
public:
    struct Message
    {
        QString topic;
        QByteArray payload;
        bool retained;
        qint64 receivedMs; // on the monotonic clock of QDeadlineTimer

        QJsonObject json() const { return QJsonDocument::fromJson(payload).object(); }
    };

    explicit Subscriber(int port, const char *name = "pumpconsole-test-watch")
    {
        mosquitto_lib_init();
        m_client = mosquitto_new(name, true, this);
        mosquitto_connect_callback_set(m_client, [](mosquitto *client, void *, int answer) {
            if (answer == 0) {
                mosquitto_subscribe(client, nullptr, "pumpconsole/#", 1);
            }
        });
        mosquitto_message_callback_set(
            m_client, [](mosquitto *, void *self, const mosquitto_message *m) {
                auto *s = static_cast<Subscriber *>(self);
                std::lock_guard lock(s->m_mutex);
                s->m_messages.push_back(
                    {QString::fromUtf8(m->topic),
                     QByteArray(static_cast<const char *>(m->payload), m->payloadlen), m->retain,
                     QDeadlineTimer::current().deadline()});
            });
        mosquitto_reconnect_delay_set(m_client, 1, 1, false);
        mosquitto_connect(m_client, "127.0.0.1", port, 10);
        mosquitto_loop_start(m_client);
    }
    ~Subscriber()
    {
        mosquitto_disconnect(m_client);
        mosquitto_loop_stop(m_client, false);
        mosquitto_destroy(m_client);
    }

    std::vector<Message> messages(const QString &topic = {}) const
    {
        std::lock_guard lock(m_mutex);
        std::vector<Message> result;
        for (const Message &m : m_messages) {
            if (topic.isEmpty() || m.topic == topic) {
                result.push_back(m);
            }
        }
        return result;
    }
    std::size_t count(const QString &topic) const { return messages(topic).size(); }

private:
    mosquitto *m_client = nullptr;
    mutable std::mutex m_mutex;
    std::vector<Message> m_messages;
};

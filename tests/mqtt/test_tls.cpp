// The publisher over TLS against a real broker. The console trusts the system's certificate
// store; OpenSSL's default store honours SSL_CERT_FILE and SSL_CERT_DIR, so a test authority
// made here stands in for the lab's. A broker the store does not vouch for, or whose
// certificate names another host, is refused and told as a TLS problem, and nothing goes out.

#include "mqtt/mosquittopublisher.h"
#include "support/broker.h"
#include "support/printto.h"
#include "support/wait.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QSignalSpy>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

// Certificates made with the openssl tool into a folder of their own.
class TestAuthority
{
public:
    TestAuthority() { m_openssl = QStandardPaths::findExecutable(u"openssl"_s); }
    bool available() const { return !m_openssl.isEmpty() && m_dir.isValid(); }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    // A self-signed authority `name`.pem with its key.
    bool makeAuthority(const QString &name)
    {
        return run({u"req"_s, u"-x509"_s, u"-newkey"_s, u"ec"_s, u"-pkeyopt"_s,
                    u"ec_paramgen_curve:prime256v1"_s, u"-nodes"_s, u"-days"_s, u"2"_s, u"-subj"_s,
                    u"/CN="_s + name, u"-keyout"_s, path(name + u".key"_s), u"-out"_s,
                    path(name + u".pem"_s)});
    }
    // A server certificate `name`.pem for `altName` ("IP:127.0.0.1", "DNS:…"), signed by
    // `authority`.
    bool makeServer(const QString &name, const QString &altName, const QString &authority)
    {
        QFile extensions(path(name + u".ext"_s));
        if (!extensions.open(QIODevice::WriteOnly) ||
            extensions.write("subjectAltName=" + altName.toLatin1() + '\n') < 0) {
            return false;
        }
        extensions.close();
        return run({u"req"_s, u"-newkey"_s, u"ec"_s, u"-pkeyopt"_s,
                    u"ec_paramgen_curve:prime256v1"_s, u"-nodes"_s, u"-subj"_s,
                    u"/CN=pump broker"_s, u"-keyout"_s, path(name + u".key"_s), u"-out"_s,
                    path(name + u".csr"_s)}) &&
               run({u"x509"_s, u"-req"_s, u"-days"_s, u"2"_s, u"-in"_s, path(name + u".csr"_s),
                    u"-CA"_s, path(authority + u".pem"_s), u"-CAkey"_s, path(authority + u".key"_s),
                    u"-CAcreateserial"_s, u"-extfile"_s, extensions.fileName(), u"-out"_s,
                    path(name + u".pem"_s)});
    }
    // The broker's configuration for a TLS listener on `port` with the certificate `name`.
    // Started as root, Mosquitto reads its certificates as the user it drops to.
    QByteArray listener(int port, const QString &name) const
    {
        const auto letRead = [](const QString &file, QFile::Permissions more) {
            QFile::setPermissions(file, QFile::permissions(file) | more);
        };
        letRead(m_dir.path(), QFile::ReadOther | QFile::ExeOther);
        letRead(path(name + u".pem"_s), QFile::ReadOther);
        letRead(path(name + u".key"_s), QFile::ReadOther);
        return u"listener %1 127.0.0.1\ncertfile %2\nkeyfile %3\n"_s.arg(port)
            .arg(path(name + u".pem"_s), path(name + u".key"_s))
            .toUtf8();
    }

private:
    bool run(const QStringList &arguments)
    {
        QProcess openssl;
        openssl.setProcessChannelMode(QProcess::ForwardedChannels);
        openssl.start(m_openssl, arguments);
        return openssl.waitForFinished(20000) && openssl.exitStatus() == QProcess::NormalExit &&
               openssl.exitCode() == 0;
    }

    QString m_openssl;
    QTemporaryDir m_dir;
};

// OpenSSL reads these when the publisher's connection makes its store; put back afterwards.
class TrustedStore
{
public:
    explicit TrustedStore(const QString &file)
        : m_file(qgetenv("SSL_CERT_FILE")), m_dir(qgetenv("SSL_CERT_DIR"))
    {
        qputenv("SSL_CERT_FILE", file.toLocal8Bit());
        qputenv("SSL_CERT_DIR", m_empty.path().toLocal8Bit()); // not the machine's store
    }
    ~TrustedStore()
    {
        restore("SSL_CERT_FILE", m_file);
        restore("SSL_CERT_DIR", m_dir);
    }

private:
    static void restore(const char *name, const QByteArray &value)
    {
        if (value.isNull()) {
            qunsetenv(name);
        } else {
            qputenv(name, value);
        }
    }
    QByteArray m_file;
    QByteArray m_dir;
    QTemporaryDir m_empty;
};

struct TlsCase
{
    const char *name;
    const char *serverAltName; // what the broker's certificate names
    const char *trusted;       // the authority the store holds
    bool connects;
};

void PrintTo(const TlsCase &c, std::ostream *os)
{
    *os << c.name;
}

class OverTls : public ::testing::TestWithParam<TlsCase>
{
};

TEST_P(OverTls, TrustsOnlyWhatTheStoreVouchesForOnTheHostItNamed)
{
    const TlsCase &c = GetParam();
    TestAuthority ca;
    if (!ca.available()) {
        GTEST_SKIP() << "no openssl tool (scripts/setup.sh installs it)";
    }
    ASSERT_TRUE(ca.makeAuthority(u"lab-ca"_s));
    ASSERT_TRUE(ca.makeAuthority(u"other-ca"_s));
    ASSERT_TRUE(ca.makeServer(u"broker"_s, QString::fromLatin1(c.serverAltName), u"lab-ca"_s));

    const int tlsPort = Broker::freePort();
    Broker broker(ca.listener(tlsPort, u"broker"_s));
    if (!broker.available()) {
        GTEST_SKIP() << "no mosquitto broker (scripts/setup.sh installs it)";
    }
    ASSERT_TRUE(broker.start());
    Subscriber dashboard(broker.port()); // on the broker's plain listener

    TrustedStore store(ca.path(QString::fromLatin1(c.trusted) + u".pem"_s));
    BrokerConnection connection;
    connection.address = {u"127.0.0.1"_s, tlsPort, true};
    connection.clientId = u"pumpconsole-tls"_s;
    connection.willTopic = u"pumpconsole/tls/status"_s;
    connection.willPayload = "offline";
    MosquittoPublisher publisher(connection);
    QSignalSpy connected(&publisher, &Publisher::connected);
    QSignalSpy troubled(&publisher, &Publisher::troubled);
    publisher.publish(u"pumpconsole/tls/status"_s, "online", Delivery::AtLeastOnce, true);

    if (c.connects) {
        ASSERT_TRUE(connected.wait(5000)) << "no connection over TLS";
        ASSERT_TRUE(waitUntil([&] { return dashboard.count(u"pumpconsole/tls/status"_s) > 0; }));
        EXPECT_EQ(dashboard.messages(u"pumpconsole/tls/status"_s).back().payload, "online");
        EXPECT_EQ(troubled.count(), 0);
    } else {
        ASSERT_TRUE(troubled.wait(5000)) << "a refused certificate must be told";
        EXPECT_EQ(troubled.front().front().value<BrokerTrouble>().problem, BrokerProblem::Tls);
        QCoreApplication::processEvents();
        EXPECT_EQ(connected.count(), 0);
        EXPECT_EQ(dashboard.count(u"pumpconsole/tls/status"_s), 0u) << "nothing went out";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Brokers, OverTls,
    ::testing::Values(TlsCase{"TrustedAuthorityRightHost", "IP:127.0.0.1", "lab-ca", true},
                      TlsCase{"UnknownAuthority", "IP:127.0.0.1", "other-ca", false},
                      TlsCase{"CertificateForAnotherHost", "DNS:broker.elsewhere.lab", "lab-ca",
                              false}),
    [](const auto &test) { return std::string(test.param.name); });

} // namespace

// The publishing options: the command line over the settings file over the defaults.

#include "app/options.h"
#include "support/printto.h"

#include <gtest/gtest.h>
#include <QCommandLineParser>
#include <QSettings>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

TEST(MonitorOptions, CommandLineOverSettingsOverDefaults)
{
    using S = std::optional<QString>;
    auto V = [](S url = {}, S user = {}, S id = {}, S keepAlive = {}) {
        return MonitorOptionValues{url, user, id, keepAlive};
    };
    struct Case
    {
        const char *what;
        MonitorOptionValues commandLine, settings;
        MonitorOptions expected;
    };
    const QString host = u"bench-pc"_s;
    const Case cases[] = {
        {"nothing set: no broker, the host's name, 15 s", V(), V(), {{}, {}, host, u"15"_s}},
        {"settings only",
         V(),
         V(u"mqtt://lab"_s, u"op"_s, u"b3"_s, u"10"_s),
         {u"mqtt://lab"_s, u"op"_s, u"b3"_s, u"10"_s}},
        {"command line only",
         V(u"mqtt://cli"_s, u"me"_s, u"b4"_s, u"6"_s),
         V(),
         {u"mqtt://cli"_s, u"me"_s, u"b4"_s, u"6"_s}},
        {"command line wins value by value",
         V(u"mqtt://cli"_s, {}, u"b4"_s),
         V(u"mqtt://lab"_s, u"op"_s, u"b3"_s, u"10"_s),
         {u"mqtt://cli"_s, u"op"_s, u"b4"_s, u"10"_s}},
        {"an empty --mqtt turns the settings' broker off for this run",
         V(u""_s),
         V(u"mqtt://lab"_s),
         {{}, {}, host, u"15"_s}},
        {"an empty name falls back to the host's", V(), V({}, {}, u" "_s), {{}, {}, host, u"15"_s}},
        {"blanks around values go",
         V(u" mqtt://cli "_s),
         V(),
         {u"mqtt://cli"_s, {}, host, u"15"_s}},
    };
    for (const Case &k : cases) {
        const MonitorOptions got = options::resolve(k.commandLine, k.settings, host);
        EXPECT_EQ(got.url, k.expected.url) << k.what;
        EXPECT_EQ(got.user, k.expected.user) << k.what;
        EXPECT_EQ(got.id, k.expected.id) << k.what;
        EXPECT_EQ(got.keepAlive, k.expected.keepAlive) << k.what;
    }
}

TEST(MonitorOptions, ReadFromTheCommandLineAndTheSettingsFile)
{
    QCommandLineParser parser;
    options::addMonitorOptions(parser);
    ASSERT_TRUE(parser.parse(
        {u"pumpconsole"_s, u"--mqtt"_s, u"mqtts://lab:8883"_s, u"--mqtt-id"_s, u"b7"_s}));
    const MonitorOptionValues cli = options::monitorValues(parser);
    EXPECT_EQ(cli.url, u"mqtts://lab:8883"_s);
    EXPECT_EQ(cli.id, u"b7"_s);
    EXPECT_FALSE(cli.user.has_value());
    EXPECT_FALSE(cli.keepAlive.has_value());
    EXPECT_FALSE(parser.parse({u"pumpconsole"_s, u"--mqtt-password"_s, u"x"_s}))
        << "no password option: it would show in the process list";

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QSettings settings(dir.filePath(u"pumpconsole.conf"_s), QSettings::IniFormat);
    settings.setValue(u"mqtt/url"_s, u"mqtt://lab"_s);
    settings.setValue(u"mqtt/user"_s, u"bench"_s);
    const MonitorOptionValues stored = options::monitorValues(settings);
    EXPECT_EQ(stored.url, u"mqtt://lab"_s);
    EXPECT_EQ(stored.user, u"bench"_s);
    EXPECT_FALSE(stored.id.has_value());
}

} // namespace

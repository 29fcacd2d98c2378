// The port box's list: what it offers, and that choosing an entry does exactly what typing its
// answer does, while typing works as it always has. Also the command line's way in, which
// answers the port box without showing it.

#include "link/wire/portnames.h"
#include "support/linedoubles.h"
#include "support/printto.h"
#include "support/pty.h"
#include "support/runtimedir.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

namespace {

TEST(PortResolver, WhatTheListShowsAndWhatEachEntryAnswers)
{
    const QList<portaliases::PortAlias> aliases{
        {1, u"/run/user/1000/pumpconsole/COM1"_s, u"/dev/pts/3"_s},
        {4, u"/run/user/1000/pumpconsole/COM4"_s, QString()}, // leads to something unresolvable
    };
    const QList<SystemPort> ports{
        builtInPort(u"/dev/ttyS0"_s),
        usbPort(u"/dev/ttyUSB0"_s),
        {u"/dev/ttyUSB1"_s, u"USB-Serial Controller"_s, u"Prolific"_s, QString(),
         PortIdentity{0x067b, 0x2303, QString()}},
        {u"/dev/ttyACM0"_s, u"Arduino"_s, u"Arduino"_s, u"95\n  0"_s, std::nullopt},
        {u"COM7"_s, u"USB Serial Port"_s, u"FTDI"_s, QString(), std::nullopt},
    };
    const QList<PortListEntry> expected{
        {u"1（别名 COM1 → /dev/pts/3）"_s, u"1"_s},
        {u"4（别名 COM4）"_s, u"4"_s},
        {u"/dev/ttyS0"_s, u"/dev/ttyS0"_s},
        {u"/dev/ttyUSB0（FT232R USB UART，FTDI，序列号 A50285BI）"_s, u"/dev/ttyUSB0"_s},
        {u"/dev/ttyUSB1（USB-Serial Controller，Prolific）"_s, u"/dev/ttyUSB1"_s},
        {u"/dev/ttyACM0（Arduino，序列号 95 0）"_s, u"/dev/ttyACM0"_s},
        {u"COM7（USB Serial Port，FTDI）"_s, u"COM7"_s},
    };
    const QList<PortListEntry> choices = portlist::build(aliases, ports);
    ASSERT_EQ(choices.size(), expected.size());
    for (qsizetype i = 0; i < choices.size(); ++i) {
        EXPECT_EQ(choices[i].label, expected[i].label);
        EXPECT_EQ(choices[i].answer, expected[i].answer) << expected[i].label.toStdString();
        EXPECT_EQ(portlist::answerFor(choices, choices[i].label), expected[i].answer);
    }
}

TEST(PortResolver, TypedTextIsTheAnswerAsTyped)
{
    const QList<PortListEntry> choices =
        portlist::build({{1, u"/alias/COM1"_s, u"/dev/pts/3"_s}}, {usbPort(u"/dev/ttyUSB0"_s)});
    for (const QString &typed : {u"1"_s, u" 1 "_s, u"2.5"_s, u"COM1"_s, u"/dev/ttyUSB0"_s,
                                 u"ttyUSB0"_s, u"abc"_s, QString(), u"1（别名 COM1"_s}) {
        EXPECT_EQ(portlist::answerFor(choices, typed), typed) << typed.toStdString();
    }
    // A chosen entry with a stray space around it is still that entry.
    EXPECT_EQ(portlist::answerFor(choices, u" "_s + choices.back().label), u"/dev/ttyUSB0"_s);
}

// A console whose port box lists a live alias COM1 (to a pseudo-terminal, which nothing here
// opens) and the system's ports from a double.
class PortBoxList : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_runtime.isValid());
        ASSERT_TRUE(QDir().mkpath(portnames::aliasDirectory()));
        ASSERT_TRUE(m_pty.isValid());
        ASSERT_TRUE(QFile::link(m_pty.slaveName(), portnames::aliasDirectory() + u"/COM1"_s));
    }
    static void plugIn(WatchedConsole &c)
    {
        c.system.plugIn(builtInPort(u"/dev/ttyS0"_s));
        c.system.plugIn(usbPort(u"/dev/ttyUSB0"_s));
    }

    PrivateRuntimeDir m_runtime;
    PtyPair m_pty;
};

TEST_F(PortBoxList, OffersTheAliasesAndTheSystemsPortsWithOneAsTheDefaultAnswer)
{
    WatchedConsole c;
    plugIn(c);
    c.boxes.answers.push_back(std::nullopt);
    c.console.choosePort();
    ASSERT_EQ(c.boxes.shown.size(), 1u);
    const auto &box = c.boxes.shown.front();
    EXPECT_EQ(box.prompt, u"Input communication port"_s);
    EXPECT_EQ(box.title, u"Commport"_s);
    EXPECT_EQ(box.defaultText, u"1"_s);
    EXPECT_EQ(box.choices, (QStringList{
                               u"1（别名 COM1 → %1）"_s.arg(m_pty.slaveName()),
                               u"/dev/ttyS0"_s,
                               u"/dev/ttyUSB0（FT232R USB UART，FTDI，序列号 A50285BI）"_s,
                           }));
}

TEST_F(PortBoxList, ChoosingAnEntryDoesWhatTypingItsAnswerDoes)
{
    const std::pair<int, QString> entries[] = {{0, u"1"_s}, {2, u"/dev/ttyUSB0"_s}};
    for (const bool opens : {true, false}) {
        for (const auto &[index, answer] : entries) {
            SCOPED_TRACE(answer.toStdString() + (opens ? " opens" : " refused"));
            WatchedConsole chose;
            WatchedConsole typed;
            for (WatchedConsole *c : {&chose, &typed}) {
                plugIn(*c);
                if (!opens) {
                    c->port.openResult = PortStatus::failure(PortError::Busy);
                }
            }
            chose.boxes.whileOpen = [&chose, index = index] {
                chose.boxes.answers.push_back(chose.boxes.shown.back().choices.at(index));
            };
            chose.console.choosePort();
            typed.boxes.answers.push_back(answer);
            typed.console.choosePort();

            EXPECT_EQ(chose.port.opened, typed.port.opened);
            EXPECT_EQ(chose.port.opened.size(), 1);
            EXPECT_EQ(chose.console.isConnected(), opens);
            ASSERT_EQ(chose.boxes.shown.size(), typed.boxes.shown.size());
            for (std::size_t i = 0; i < chose.boxes.shown.size(); ++i) {
                EXPECT_EQ(chose.boxes.shown[i].prompt, typed.boxes.shown[i].prompt);
            }
        }
    }
}

TEST_F(PortBoxList, CommandLineAnswerActsAsTheSameAnswerInTheBox)
{
    for (const QString &answer : {u"1"_s, u"/dev/ttyUSB0"_s, u"abc"_s, u"0"_s, QString()}) {
        for (const bool opens : {true, false}) {
            SCOPED_TRACE(answer.toStdString() + (opens ? " opens" : " refused"));
            WatchedConsole given;
            WatchedConsole typed;
            for (WatchedConsole *c : {&given, &typed}) {
                c->port.openResult =
                    opens ? PortStatus::success() : PortStatus::failure(PortError::NoSuchPort);
            }
            given.console.connectTo(answer);
            typed.boxes.answers.push_back(answer);
            typed.console.choosePort();
            typed.boxes.shown.erase(typed.boxes.shown.begin()); // the box itself

            EXPECT_EQ(given.port.opened, typed.port.opened);
            EXPECT_EQ(given.console.isConnected(), typed.console.isConnected());
            ASSERT_EQ(given.boxes.shown.size(), typed.boxes.shown.size());
            for (std::size_t i = 0; i < given.boxes.shown.size(); ++i) {
                EXPECT_EQ(given.boxes.shown[i].kind, typed.boxes.shown[i].kind);
                EXPECT_EQ(given.boxes.shown[i].prompt, typed.boxes.shown[i].prompt);
            }
        }
    }
}

} // namespace

// Start-up, choosing and opening the port, losing it, and leaving. The five menus are the
// operator's only sign of the connection, and a frame that silently fails to reach the pump
// (a stop above all) is the worst thing the console can do, so both are checked closely.

#include "doubles.h"
#include "link/portnames.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << '"' << bytes.toStdString() << '"';
}

namespace {

const Menu connectedMenus[] = {Menu::file, Menu::settime, Menu::Pump, Menu::seting, Menu::rightkey};

const QString lineSettings = u"Settings=9600,n,8,1"_s;

QString device(int portNumber)
{
    return portnames::deviceForPortNumber(portNumber).value();
}

QStringList openingCalls(const QString &dev)
{
    return {u"CommPort="_s + dev, u"PortOpen=1"_s, lineSettings, u"InputLen=0"_s,
            u"RThreshold=9"_s};
}

bool hasChinese(const QString &text)
{
    for (QChar ch : text) {
        if (ch.unicode() >= 0x4e00 && ch.unicode() <= 0x9fff) {
            return true;
        }
    }
    return false;
}

void expectMenus(const ConsoleCore &core, bool enabled)
{
    for (Menu menu : connectedMenus) {
        EXPECT_EQ(core.menuEnabled(menu), enabled) << "menu " << int(menu);
    }
}

// Exactly one modal box and no other message; returns its prompt.
QString onlyMsgBox(const ScriptedDialogs &dialogs)
{
    const auto boxes = dialogs.messages();
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(dialogs.messages(u"notify"_s).empty());
    if (boxes.empty()) {
        return {};
    }
    EXPECT_EQ(boxes.front().style, 0);
    EXPECT_TRUE(hasChinese(boxes.front().prompt)) << boxes.front().prompt.toStdString();
    return boxes.front().prompt;
}

int count(const QStringList &calls, const QString &call)
{
    return int(calls.count(call));
}

// The operator chooses Communication again and gives "1"; afterwards the console is connected.
void expectCanConnectAgain(Console &c)
{
    c.port.calls.clear();
    c.dialogs.shown.clear();
    c.dialogs.answers.push_back(u"1"_s);
    c.core.Communication_Click();
    EXPECT_EQ(c.port.calls, openingCalls(device(1)));
    EXPECT_TRUE(c.port.open);
    EXPECT_TRUE(c.dialogs.messages().empty());
    expectMenus(c.core, true);
}

TEST(FormLoad, StartUpState)
{
    RecordingPort port;
    ScriptedDialogs dialogs;
    ManualTimer timer;
    ConsoleCore core{port, dialogs, timer};
    // Values an earlier owner of these fields might have left; Form_Load must set them again.
    core.state().lq = 1;
    core.state().pr = 1;
    core.state().Set_Pump_NO = 7;
    core.state().prchart[1] = 3.5;

    // The window mirrors the core through its signals, so each change must be announced.
    std::vector<std::pair<Menu, bool>> menuSignals;
    std::vector<std::pair<Label, bool>> visibilitySignals;
    QObject::connect(&core, &ConsoleCore::menuEnabledChanged,
                     [&](Menu menu, bool enabled) { menuSignals.emplace_back(menu, enabled); });
    QObject::connect(&core, &ConsoleCore::visibilityChanged, [&](Label label, bool visible) {
        visibilitySignals.emplace_back(label, visible);
    });

    core.Form_Load();

    expectMenus(core, false);
    ASSERT_EQ(menuSignals.size(), 5u);
    for (Menu menu : connectedMenus) {
        EXPECT_NE(std::find(menuSignals.begin(), menuSignals.end(), std::pair{menu, false}),
                  menuSignals.end())
            << "menu " << int(menu);
    }

    EXPECT_EQ(core.state().lq, 0);
    EXPECT_EQ(core.state().pr, 0);
    EXPECT_EQ(core.state().Set_Pump_NO, 0);
    EXPECT_EQ(core.state().prchart[1], 0.0);

    EXPECT_EQ(timer.interval(), 1000);
    EXPECT_FALSE(timer.isActive());

    const ChartScale &scale = core.Picture1().scale();
    EXPECT_EQ(scale.left, 0.0);
    EXPECT_EQ(scale.top, 2.0);
    EXPECT_EQ(scale.right, 100.0);
    EXPECT_EQ(scale.bottom, -0.8);

    struct LabelCase
    {
        Label label;
        QString caption;
        bool visible;
    };
    const LabelCase labels[] = {
        {Label::LcurrP, u"00.0"_s, true},    {Label::LsetP, u"05.0"_s, true},
        {Label::LsetF, u"00.0"_s, true},     {Label::Lstate, u"     STOP"_s, true},
        {Label::LSetState, QString(), true}, {Label::lhour, u"00"_s, false},
        {Label::Label1, u"时"_s, false},     {Label::lmin, u"00"_s, false},
        {Label::Label2, u"分"_s, false},     {Label::lsed, u"00"_s, false},
        {Label::Label3, u"秒"_s, false},
    };
    for (const LabelCase &l : labels) {
        SCOPED_TRACE(testing::Message() << "label " << int(l.label));
        EXPECT_EQ(core.caption(l.label), l.caption);
        EXPECT_EQ(core.isVisible(l.label), l.visible);
        const bool hiddenSignal = std::find(visibilitySignals.begin(), visibilitySignals.end(),
                                            std::pair{l.label, false}) != visibilitySignals.end();
        EXPECT_EQ(hiddenSignal, !l.visible);
    }

    // The port stays closed until the operator chooses it; nothing is asked or shown.
    EXPECT_TRUE(port.calls.isEmpty());
    EXPECT_FALSE(port.open);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST(Communication, DefaultAnswerOpensTheFirstPortInOrder)
{
    Console c;
    c.dialogs.answers.push_back(u"1"_s);
    c.core.Communication_Click();

    ASSERT_EQ(c.dialogs.shown.size(), 1u);
    const auto &box = c.dialogs.shown.front();
    EXPECT_EQ(box.kind, u"InputBox"_s);
    EXPECT_EQ(box.prompt, u"Input communication port"_s);
    EXPECT_EQ(box.title, u"Commport"_s);
    EXPECT_EQ(box.defaultText, u"1"_s);

    // Line settings only take effect on an open port, so the order matters.
    EXPECT_EQ(c.port.calls, openingCalls(device(1)));
    EXPECT_TRUE(c.port.open);
    EXPECT_EQ(c.port.inputLen, 0);
    EXPECT_EQ(c.port.rThreshold, 9);
    expectMenus(c.core, true);
    EXPECT_FALSE(c.dialogs.unscripted);
}

TEST(Communication, AnswerChoosesTheDevice)
{
    struct Case
    {
        QString answer;
        QString device;
    };
    const Case cases[] = {
        {u"1"_s, device(1)},    {u" 3 "_s, device(3)},
        {u"2.5"_s, device(2)}, // halves go to the even neighbour
        {u"3.5"_s, device(4)},  {u"/dev/ttyUSB0"_s, u"/dev/ttyUSB0"_s},
        {u"COM3"_s, device(3)},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.answer.toStdString());
        Console c;
        c.dialogs.answers.push_back(k.answer);
        c.core.Communication_Click();
        EXPECT_EQ(c.port.calls, openingCalls(k.device));
        EXPECT_TRUE(c.port.open);
        EXPECT_TRUE(c.dialogs.messages().empty());
        expectMenus(c.core, true);
    }
}

TEST(Communication, CancelChangesNothing)
{
    Console c;
    int menuSignals = 0;
    QObject::connect(&c.core, &ConsoleCore::menuEnabledChanged, [&] { ++menuSignals; });
    c.dialogs.answers.push_back(std::nullopt);
    c.core.Communication_Click();

    EXPECT_TRUE(c.port.calls.isEmpty());
    ASSERT_EQ(c.dialogs.shown.size(), 1u); // the port box itself, and no message after it
    EXPECT_EQ(c.dialogs.shown.front().kind, u"InputBox"_s);
    expectMenus(c.core, false);
    EXPECT_EQ(menuSignals, 0);
    expectCanConnectAgain(c);
}

TEST(Communication, AnswerThatIsNotAPortIsToldOnce)
{
    struct Case
    {
        QString answer;
        QString named; // the part of the answer the message must repeat
    };
    const Case cases[] = {
        {u"abc"_s, u"abc"_s},     {u""_s, QString()},     {u"   "_s, QString()},
        {u"0"_s, u"0"_s},         {u"-1"_s, u"-1"_s},     {u"5,5"_s, u"5,5"_s},
        {u"70000"_s, u"70000"_s}, {u"COM0"_s, u"COM0"_s},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.answer.toStdString());
        Console c;
        c.dialogs.answers.push_back(k.answer);
        c.core.Communication_Click();

        const QString prompt = onlyMsgBox(c.dialogs);
        EXPECT_TRUE(prompt.contains(k.named)) << prompt.toStdString();
        EXPECT_TRUE(c.port.calls.isEmpty());
        EXPECT_FALSE(c.port.open);
        expectMenus(c.core, false);
        expectCanConnectAgain(c);
    }
}

TEST(Communication, PortThatCannotBeOpenedIsToldOnceNamingIt)
{
    struct Case
    {
        const char *what;
        PortStatus status;
        QString mustContain;
    };
    const Case cases[] = {
        {"no such port", PortStatus::failure(PortError::NoSuchPort), QString()},
        {"busy", PortStatus::failure(PortError::Busy), QString()},
        {"permission denied", PortStatus::failure(PortError::PermissionDenied), u"dialout"_s},
        {"other", PortStatus::failure(PortError::Other, u"Input/output error"_s),
         u"Input/output error"_s},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        Console c;
        c.port.openResult = k.status;
        c.dialogs.answers.push_back(u"1"_s);
        c.core.Communication_Click();

        const QString prompt = onlyMsgBox(c.dialogs);
        EXPECT_TRUE(prompt.contains(device(1))) << prompt.toStdString();
        EXPECT_TRUE(prompt.contains(k.mustContain)) << prompt.toStdString();
        EXPECT_EQ(c.port.calls, openingCalls(device(1)).mid(0, 2));
        EXPECT_FALSE(c.port.open);
        expectMenus(c.core, false);

        c.port.openResult = PortStatus::success();
        expectCanConnectAgain(c);
    }
}

TEST(Communication, SettingsRefusedGivesThePortBack)
{
    Console c;
    c.port.settingsResult = PortStatus::failure(PortError::BadSettings, u"unsupported"_s);
    c.dialogs.answers.push_back(u"1"_s);
    c.core.Communication_Click();

    const QString prompt = onlyMsgBox(c.dialogs);
    EXPECT_TRUE(prompt.contains(device(1))) << prompt.toStdString();
    EXPECT_EQ(c.port.calls, (QStringList{u"CommPort="_s + device(1), u"PortOpen=1"_s, lineSettings,
                                         u"PortOpen=0"_s}));
    EXPECT_FALSE(c.port.open);
    expectMenus(c.core, false);

    c.port.settingsResult = PortStatus::success();
    expectCanConnectAgain(c);
}

TEST(Communication, ChosenAgainWhileOpenKeepsTheConnection)
{
    for (const QString &answer : {u"2"_s, u"1"_s, u"/dev/ttyUSB0"_s}) {
        SCOPED_TRACE(answer.toStdString());
        Console c;
        c.connect();
        c.port.calls.clear();
        c.dialogs.answers.push_back(answer);
        c.core.Communication_Click();

        const QString prompt = onlyMsgBox(c.dialogs);
        EXPECT_TRUE(prompt.contains(device(1))) << prompt.toStdString();
        EXPECT_TRUE(c.port.open);
        EXPECT_EQ(c.port.device, device(1));
        EXPECT_EQ(count(c.port.calls, u"PortOpen=1"_s), 0);
        EXPECT_EQ(count(c.port.calls, u"PortOpen=0"_s), 0);
        EXPECT_EQ(count(c.port.calls, lineSettings), 0);
        expectMenus(c.core, true);

        c.core.run_Click();
        EXPECT_EQ(c.port.written, std::vector<QByteArray>{"Q00R0000Y"_ba});
    }
}

TEST(FrameSending, UnwrittenFrameIsToldOncePerCommandNamingIt)
{
    const QString run = u"运行"_s;
    const QString stop = u"停止"_s;
    struct Handler
    {
        const char *name;
        std::function<void(ConsoleCore &)> click;
        QString command;
        QString other;
        QByteArray frame;
    };
    const Handler handlers[] = {
        {"run_Click", [](ConsoleCore &core) { core.run_Click(); }, run, stop, "Q00R0000Y"_ba},
        {"stop_Click", [](ConsoleCore &core) { core.stop_Click(); }, stop, run, "Q00S0000Y"_ba},
        {"rrun_Click", [](ConsoleCore &core) { core.rrun_Click(); }, run, stop, "Q00R0000Y"_ba},
        {"rstop_Click", [](ConsoleCore &core) { core.rstop_Click(); }, stop, run, "Q00S0000Y"_ba},
        {"Cmdr_Click", [](ConsoleCore &core) { core.Cmdr_Click(0); }, run, stop, "Q00R0000Y"_ba},
        {"Cmds_Click", [](ConsoleCore &core) { core.Cmds_Click(0); }, stop, run, "Q00S0000Y"_ba},
    };
    struct Outage
    {
        const char *what;
        bool connect;
        bool failWrites;
    };
    const Outage outages[] = {{"port not open", false, false}, {"write refused", true, true}};

    for (const Handler &h : handlers) {
        for (const Outage &o : outages) {
            SCOPED_TRACE(testing::Message() << h.name << ", " << o.what);
            Console c;
            if (o.connect) {
                c.connect();
            }
            c.port.failWrites = o.failWrites;

            h.click(c.core);
            const QString prompt = onlyMsgBox(c.dialogs);
            EXPECT_TRUE(prompt.contains(h.command)) << prompt.toStdString();
            EXPECT_FALSE(prompt.contains(h.other)) << prompt.toStdString();
            EXPECT_TRUE(c.port.written.empty());

            // The operator asking again is told again: each command that did not go out.
            h.click(c.core);
            EXPECT_EQ(c.dialogs.messages().size(), 2u);
            EXPECT_TRUE(c.port.written.empty());

            if (o.failWrites) {
                c.port.failWrites = false;
                h.click(c.core);
                EXPECT_EQ(c.port.written, std::vector<QByteArray>{h.frame});
                EXPECT_EQ(c.dialogs.messages().size(), 2u);
            }
        }
    }
}

TEST(FrameSending, TimeUpStopIsToldEvenAfterAnotherCommandFailed)
{
    struct Case
    {
        const char *what;
        bool whileFirstBoxOpen; // the box keeps the event loop, and so the timer, running
    };
    const Case cases[] = {{"after the first box", false}, {"while the first box is open", true}};
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        Console c;
        c.connect();
        c.s().timeset = 1;
        c.core.ststart_Click();
        ASSERT_EQ(c.port.written, std::vector<QByteArray>{"Q00R0000Y"_ba});

        // The line fails while the pump runs, and the operator's own command is told first.
        c.port.failWrites = true;
        if (k.whileFirstBoxOpen) {
            c.dialogs.whileOpen = [&c] { c.timer.ticks(60); };
        }
        c.core.run_Click();
        c.timer.ticks(60 - c.s().tset);
        // The time-up stop is a different command, and the one that matters most: the pump
        // is still running.
        c.timer.tick();
        const auto boxes = c.dialogs.messages();
        EXPECT_EQ(boxes.size(), 2u);
        EXPECT_TRUE(boxes.front().prompt.contains(u"运行"_s));
        EXPECT_TRUE(std::any_of(boxes.begin(), boxes.end(), [](const auto &box) {
            return box.prompt.contains(u"定时到"_s);
        })) << "the time-up stop was not sent and nobody was told";

        // Retried every tick, but not told again.
        c.timer.ticks(5);
        EXPECT_EQ(c.dialogs.messages().size(), 2u);
        EXPECT_EQ(c.port.written.size(), 1u);
    }
}

TEST(ConnectionLost, BackToNotConnectedToldOnceThenConnectsAgain)
{
    Console c;
    c.connect();
    c.port.lose(u"设备已断开"_s);

    expectMenus(c.core, false);
    EXPECT_TRUE(c.dialogs.messages().empty()) << "a modal box would block the event loop";
    ASSERT_EQ(c.dialogs.messages(u"notify"_s).size(), 1u);
    EXPECT_TRUE(c.dialogs.messages(u"notify"_s).front().prompt.contains(u"设备已断开"_s));

    expectCanConnectAgain(c);
    c.core.run_Click();
    EXPECT_EQ(c.port.written, std::vector<QByteArray>{"Q00R0000Y"_ba});
    EXPECT_TRUE(c.dialogs.messages().empty());
}

TEST(ConnectionLost, WhileThePortBoxIsOpenTheAnswerConnects)
{
    Console c;
    c.connect();
    c.port.calls.clear();
    c.dialogs.whileOpen = [&c] { c.port.lose(u"设备已断开"_s); };
    c.dialogs.answers.push_back(u"2"_s);
    c.core.Communication_Click();

    EXPECT_EQ(c.port.calls, openingCalls(device(2)));
    EXPECT_TRUE(c.port.open);
    expectMenus(c.core, true);
    EXPECT_TRUE(c.dialogs.messages().empty());
    EXPECT_EQ(c.dialogs.messages(u"notify"_s).size(), 1u);
}

TEST(ConnectionLost, BytesOfTheOldConnectionDoNotJoinTheNewOne)
{
    Console c;
    c.connect();
    c.port.receive("Q01N09.9"_ba); // a reply cut off by the unplugged adapter
    c.port.lose(u"设备已断开"_s);
    expectCanConnectAgain(c);

    c.port.receive("Yxxxxxxxx"_ba);
    EXPECT_EQ(c.caption(Label::LcurrP), u"00.0"_s);
    EXPECT_EQ(c.s().itime, 0);

    c.port.receive("Q01N01.2Y"_ba);
    EXPECT_EQ(c.caption(Label::LcurrP), u"01.2"_s);
}

TEST(Leaving, FormUnloadClosesThePort)
{
    Console c;
    c.connect();
    c.core.Form_Unload();
    EXPECT_FALSE(c.port.open);
    ASSERT_FALSE(c.port.calls.isEmpty());
    EXPECT_EQ(c.port.calls.back(), u"PortOpen=0"_s);
    EXPECT_TRUE(c.dialogs.shown.empty());
}

TEST(Leaving, EndRequestsTheEndWithoutClosingThePort)
{
    Console c;
    c.connect();
    c.port.calls.clear();
    QSignalSpy ended(&c.core, &ConsoleCore::endRequested);
    c.core.end_Click();
    EXPECT_EQ(ended.count(), 1);
    EXPECT_TRUE(c.port.open);
    EXPECT_TRUE(c.port.calls.isEmpty());
    EXPECT_TRUE(c.dialogs.shown.empty());
}

} // namespace

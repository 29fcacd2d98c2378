// Choosing and opening the port, losing it, and closing it with the window. The connection is
// the operator's only way to reach the pump and each refusal must say what to do about it, so
// the messages are checked word for word.

#include "link/wire/portnames.h"
#include "support/doubles.h"
#include "support/printto.h"
#include "support/runtimedir.h"

#include <array>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <utility>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

const QString lostHint = u"\r\n泵已失去连接。请检查连接线，然后在“通信”菜单中重新连接。"_s;

QString device(int portNumber)
{
    return portnames::deviceForPortNumber(portNumber).value();
}

// The last choice opened `dev` and nothing else, the console is connected, nothing was told.
void expectConnectedTo(const TestConsole &c, const QString &dev)
{
    EXPECT_EQ(c.port.opened, QStringList{dev});
    EXPECT_TRUE(c.port.isOpen());
    EXPECT_EQ(c.port.device(), dev);
    EXPECT_TRUE(c.console.isConnected());
    EXPECT_TRUE(c.boxes.messages().empty());
}

// The operator chooses the port again and gives "1"; afterwards the console is connected.
void expectCanConnectAgain(TestConsole &c)
{
    c.port.opened.clear();
    c.boxes.shown.clear();
    c.boxes.answers.push_back(u"1"_s);
    c.console.choosePort();
    expectConnectedTo(c, device(1));
}

TEST(StartUp, NotConnectedNothingAskedAndEveryReadoutAtItsStartValue)
{
    TestConsole c;
    EXPECT_FALSE(c.console.isConnected());
    EXPECT_TRUE(c.port.opened.isEmpty());
    EXPECT_TRUE(c.boxes.shown.empty());
    EXPECT_FALSE(c.ticker.isActive());
    EXPECT_EQ(c.console.pump().setpoints().pumpNumber(), 0);
    EXPECT_EQ(c.console.keypad().field(), EntryField::None);
    EXPECT_EQ(c.console.pump().record().size(), 0);
    const ChartScale &scale = c.console.chart().scale();
    EXPECT_EQ((std::array{scale.left, scale.top, scale.right, scale.bottom}),
              (std::array{0.0, 2.0, 100.0, -0.8}));

    const std::pair<QString, bool> start[readoutCount] = {
        {u"00.0"_s, true}, {u"05.0"_s, true}, {u"00.0"_s, true}, {u"     STOP"_s, true},
        {QString(), true}, {u"00"_s, false},  {u"时"_s, false},  {u"00"_s, false},
        {u"分"_s, false},  {u"00"_s, false},  {u"秒"_s, false}};
    for (int i = 0; i < readoutCount; ++i) {
        SCOPED_TRACE(testing::Message() << "read-out " << i);
        EXPECT_EQ(c.caption(Readout(i)), start[i].first);
        EXPECT_EQ(c.console.readouts().isVisible(Readout(i)), start[i].second);
    }
}

TEST(PortBox, DefaultAnswerOpensTheFirstPort)
{
    TestConsole c;
    QSignalSpy connected(&c.console, &PumpConsole::connectedChanged);
    c.boxes.answers.push_back(u"1"_s);
    c.console.choosePort();

    ASSERT_EQ(c.boxes.shown.size(), 1u);
    const auto &box = c.boxes.shown.front();
    EXPECT_EQ(box.kind, u"ask"_s);
    EXPECT_EQ(box.prompt, u"Input communication port"_s);
    EXPECT_EQ(box.title, u"Commport"_s);
    EXPECT_EQ(box.defaultText, u"1"_s);

    expectConnectedTo(c, device(1));
    ASSERT_EQ(connected.count(), 1);
    EXPECT_TRUE(connected.front().front().toBool());
    EXPECT_FALSE(c.boxes.unscripted);
}

TEST(PortBox, AnswerChoosesTheDevice)
{
    const std::pair<QString, QString> cases[] = {
        {u"1"_s, device(1)},   {u" 3 "_s, device(3)},  {u"2.5"_s, device(2)}, // halves to even
        {u"3.5"_s, device(4)}, {u"COM3"_s, device(3)}, {u"/dev/ttyUSB0"_s, u"/dev/ttyUSB0"_s},
    };
    for (const auto &[answer, dev] : cases) {
        SCOPED_TRACE(answer.toStdString());
        TestConsole c;
        c.boxes.answers.push_back(answer);
        c.console.choosePort();
        expectConnectedTo(c, dev);
    }
}

TEST(PortBox, CancelChangesNothing)
{
    TestConsole c;
    QSignalSpy connected(&c.console, &PumpConsole::connectedChanged);
    c.boxes.answers.push_back(std::nullopt);
    c.console.choosePort();

    EXPECT_TRUE(c.port.opened.isEmpty());
    ASSERT_EQ(c.boxes.shown.size(), 1u); // the port box itself, and no message after it
    EXPECT_EQ(c.boxes.shown.front().kind, u"ask"_s);
    EXPECT_FALSE(c.console.isConnected());
    EXPECT_EQ(connected.count(), 0);
    expectCanConnectAgain(c);
}

TEST(PortBox, AnswerThatIsNotAPortIsToldWordForWord)
{
    const auto notAPort = [](const QString &named) {
        return u"通信|“"_s + named +
               u"”不是串口号。\r\n请输入串口号（例如 1），或设备名（例如 COM3、/dev/ttyUSB0）。"_s;
    };
    const auto badNumber = [](const QString &number) {
        return u"通信|串口号 "_s + number + u" 无效：串口号从 1 开始。"_s;
    };
    const std::pair<QString, QString> cases[] = {
        {u"abc"_s, notAPort(u"abc"_s)},     {u""_s, notAPort({})},
        {u"   "_s, notAPort({})},           {u"5,5"_s, notAPort(u"5,5"_s)},
        {u"70000"_s, notAPort(u"70000"_s)}, {u"COM0"_s, notAPort(u"COM0"_s)},
        {u"0"_s, badNumber(u"0"_s)},        {u"-1"_s, badNumber(u"-1"_s)},
    };
    for (const auto &[answer, message] : cases) {
        SCOPED_TRACE(answer.toStdString());
        TestConsole c;
        c.boxes.answers.push_back(answer);
        c.console.choosePort();

        EXPECT_EQ(c.boxes.texts(), QStringList{message});
        EXPECT_TRUE(c.boxes.messages(u"notify"_s).empty());
        EXPECT_TRUE(c.port.opened.isEmpty());
        EXPECT_FALSE(c.console.isConnected());
        expectCanConnectAgain(c);
    }
}

TEST(PortBox, PortThatCannotBeOpenedIsToldWordForWord)
{
    const QString first = u"1（"_s + device(1) + u"）"_s;
    struct Case
    {
        QString answer;
        PortStatus status;
        QString message;
    };
    const Case cases[] = {
        {u"1"_s, PortStatus::failure(PortError::NoSuchPort),
         u"串口 "_s + first + u" 不存在。\r\n请检查串口号和连接线。"_s},
        {u"1"_s, PortStatus::failure(PortError::Busy),
         u"串口 "_s + first + u" 正被其他程序占用。\r\n请关闭占用该串口的程序后再连接。"_s},
        {u"/dev/ttyUSB0"_s, PortStatus::failure(PortError::Busy),
         u"串口 /dev/ttyUSB0 正被其他程序占用。\r\n请关闭占用该串口的程序后再连接。"_s},
        {u"1"_s, PortStatus::failure(PortError::PermissionDenied),
         u"没有权限打开串口 "_s + first +
             u"。\r\n请把当前用户加入 dialout 组（sudo usermod -aG dialout 用户名），"
             u"重新登录后再连接。"_s},
        {u"/etc/passwd"_s, PortStatus::failure(PortError::NotASerialLine),
         u"/etc/passwd 不是串口设备，没有打开。\r\n请输入串口号（例如 1），"
         u"或串口设备名（例如 COM3、/dev/ttyUSB0）。"_s},
        // The system's reason in the operator's words; its own text only where there are none.
        {u"1"_s,
         PortStatus::failure(PortError::BadSettings, u"Inappropriate ioctl for device"_s,
                             std::make_error_code(std::errc::inappropriate_io_control_operation)),
         u"串口 "_s + first + u" 无法设置为 9600,n,8,1：不是串口设备"_s},
        {u"1"_s, PortStatus::failure(PortError::BadSettings, u"unsupported"_s),
         u"串口 "_s + first + u" 无法设置为 9600,n,8,1：系统错误（unsupported）"_s},
        {u"1"_s,
         PortStatus::failure(PortError::Other, u"Input/output error"_s,
                             std::make_error_code(std::errc::io_error)),
         u"无法打开串口 "_s + first + u"：设备读写出错，可能已被拔出或已损坏"_s},
        {u"1"_s,
         PortStatus::failure(PortError::Other, u"Resource temporarily unavailable"_s,
                             std::make_error_code(std::errc::resource_unavailable_try_again)),
         u"无法打开串口 "_s + first + u"：设备忙，暂时无法使用"_s},
        {u"1"_s,
         PortStatus::failure(PortError::Other, u"Too many open files"_s,
                             std::make_error_code(std::errc::too_many_files_open)),
         u"无法打开串口 "_s + first + u"：系统错误（Too many open files）"_s},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.message.toStdString());
        TestConsole c;
        c.port.openResult = k.status;
        c.boxes.answers.push_back(k.answer);
        c.console.choosePort();

        EXPECT_EQ(c.boxes.texts(), QStringList{u"通信|"_s + k.message});
        EXPECT_TRUE(c.boxes.messages(u"notify"_s).empty());
        EXPECT_EQ(c.port.opened.size(), 1);
        EXPECT_FALSE(c.port.isOpen());
        EXPECT_FALSE(c.console.isConnected());

        c.port.openResult = PortStatus::success();
        expectCanConnectAgain(c);
    }
}

TEST(PortBox, ChosenAgainAfterThePumpAnsweredKeepsTheLine)
{
    for (const QString &answer : {u"2"_s, u"1"_s, u"/dev/ttyUSB0"_s}) {
        SCOPED_TRACE(answer.toStdString());
        TestConsole c;
        c.connect();
        c.port.receive("Q01N01.2Y"_ba);
        c.port.opened.clear();
        c.boxes.answers.push_back(answer);
        c.console.choosePort();

        EXPECT_EQ(c.boxes.texts(), QStringList{u"通信|已经连接在串口 "_s + device(1) +
                                               u" 上，连接保持不变。\r\n连接时不能更换串口；"
                                               u"如需更换，请退出程序后重新启动。"_s});
        EXPECT_TRUE(c.port.opened.isEmpty());
        EXPECT_TRUE(c.port.isOpen());
        EXPECT_EQ(c.port.device(), device(1));
        EXPECT_TRUE(c.console.isConnected());

        c.console.runPump();
        EXPECT_EQ(c.port.written, std::vector<QByteArray>{"Q00R0000Y"_ba});
    }
}

// A port that never answered was most likely the wrong one: choosing again closes it and opens
// the new choice, so that a wrong guess never needs a restart.
TEST(PortBox, ChosenAgainBeforeThePumpAnsweredMovesToTheNewPort)
{
    struct Case
    {
        const char *what;
        QByteArray arrived;
        QString answer;
        QString device;
    };
    const Case cases[] = {
        {"silence", {}, u"2"_s, device(2)},
        {"noise", "\0\xff\xfe~~"_ba, u"2"_s, device(2)},
        {"half a reply", "Q01N0"_ba, u"/dev/ttyUSB0"_s, u"/dev/ttyUSB0"_s},
        {"its own frames echoed", "Q00R0000Y"_ba, u"2"_s, device(2)},
        {"the same port again", {}, u"1"_s, device(1)},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        TestConsole c;
        c.connect();
        c.console.runPump();
        c.port.receive(k.arrived);
        c.port.opened.clear();
        c.port.written.clear();
        QSignalSpy connected(&c.console, &PumpConsole::connectedChanged);
        c.boxes.answers.push_back(k.answer);
        c.console.choosePort();

        expectConnectedTo(c, k.device);
        // The menus went away with the old line and came back with the new one.
        ASSERT_EQ(connected.count(), 2);
        EXPECT_FALSE(connected[0].front().toBool());
        EXPECT_TRUE(connected[1].front().toBool());

        // The old line's half reply is gone; the new line answers from a clean start.
        c.port.receive("1.2Y"_ba);
        EXPECT_EQ(c.caption(Readout::Pressure), u"00.0"_s);
        c.console.runPump();
        EXPECT_EQ(c.port.written, std::vector<QByteArray>{"Q00R0000Y"_ba});
    }
}

TEST(PortBox, MovingToAPortThatCannotBeOpenedLeavesTheConsoleNotConnected)
{
    TestConsole c;
    c.connect();
    c.port.openResult = PortStatus::failure(PortError::NoSuchPort);
    c.boxes.answers.push_back(u"2"_s);
    c.console.choosePort();

    EXPECT_FALSE(c.port.isOpen());
    EXPECT_FALSE(c.console.isConnected());
    EXPECT_EQ(c.boxes.texts(), QStringList{u"通信|串口 2（"_s + device(2) +
                                           u"） 不存在。\r\n请检查串口号和连接线。"_s});
    c.port.openResult = PortStatus::success();
    expectCanConnectAgain(c);
}

#ifndef Q_OS_WIN // aliases are a Linux matter: on Windows a number is COMn
// Port numbers that stand for aliases: the alias folder is a private one for each test.
class PortAliases : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_runtime.isValid());
        m_folder = m_runtime.path() + u"/pumpconsole"_s;
        ASSERT_TRUE(QDir().mkpath(m_folder));
        ASSERT_TRUE(QFile::setPermissions(
            m_folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    }

    // A simulated pump appears as port 1: COM1 -> a new device file.
    QString pumpAppears(const QString &name)
    {
        const QString device = m_runtime.path() + u'/' + name;
        QFile(device).open(QIODevice::WriteOnly);
        QFile::remove(alias());
        EXPECT_TRUE(QFile::link(device, alias()));
        return alias();
    }
    void pumpGoes() { QFile::remove(alias()); }
    QString alias() const { return m_folder + u"/COM1"_s; }

    // The operator answers "1"; returns what was told before the port was opened.
    QStringList chooseOne(TestConsole &c)
    {
        c.port.opened.clear();
        c.boxes.shown.clear();
        QStringList toldBeforeOpening;
        // Past the port box itself, to the box after it.
        c.boxes.whileOpen = [&] {
            c.boxes.whileOpen = [&] {
                if (c.port.opened.isEmpty()) {
                    toldBeforeOpening = c.boxes.texts();
                }
            };
        };
        c.boxes.answers.push_back(u"1"_s);
        c.console.choosePort();
        c.boxes.whileOpen = nullptr;
        return toldBeforeOpening;
    }

    PrivateRuntimeDir m_runtime;
    QString m_folder;
};

TEST_F(PortAliases, ANumberThatNowNamesAnotherDeviceIsToldBeforeItOpens)
{
    TestConsole c;
    const QString firstPump = pumpAppears(u"pump-a"_s);
    EXPECT_TRUE(chooseOne(c).isEmpty());
    EXPECT_TRUE(c.boxes.texts().isEmpty()) << "the first time, nothing to compare with";
    EXPECT_EQ(c.port.opened, QStringList{firstPump});

    // The simulated pump exits: its alias goes, and "1" means the built-in port now.
    c.port.receive("Q01N01.2Y"_ba);
    pumpGoes();
    c.port.lose();
    const QString builtIn = u"/dev/ttyS0"_s;
    const QString toBuiltIn = u"通信|串口 1 现在是 "_s + builtIn + u"，不再是上次打开的 "_s +
                              firstPump +
                              u"。\r\n如果泵不在这个设备上，可以再次选择“通信”更换串口。"_s;
    EXPECT_EQ(chooseOne(c), QStringList{toBuiltIn});
    EXPECT_EQ(c.port.opened, QStringList{builtIn});
    EXPECT_TRUE(c.console.isConnected());

    // A new pump starts. Nothing came back on the built-in port, so "1" moves to the pump.
    const QString secondPump = pumpAppears(u"pump-b"_s);
    const QString toPump = u"通信|串口 1 现在是 "_s + secondPump + u"，不再是上次打开的 "_s +
                           builtIn + u"。\r\n如果泵不在这个设备上，可以再次选择“通信”更换串口。"_s;
    EXPECT_EQ(chooseOne(c), QStringList{toPump});
    EXPECT_EQ(c.port.opened, QStringList{secondPump});
    EXPECT_EQ(c.port.device(), secondPump);
    EXPECT_TRUE(c.console.isConnected());

    // The same device as last time: nothing to say.
    c.port.lose();
    EXPECT_TRUE(chooseOne(c).isEmpty());
    EXPECT_TRUE(c.boxes.texts().isEmpty());
    EXPECT_EQ(c.port.opened, QStringList{secondPump});
}

TEST_F(PortAliases, AnAliasThatIsNotTrustedIsPassedOverAndWhyIsTold)
{
    struct Case
    {
        const char *what;
        QFileDevice::Permissions extra; // on top of the owner's rwx
        QString why;
    };
    const Case cases[] = {
        {"group may write", QFileDevice::WriteGroup | QFileDevice::ExeGroup,
         u"其他用户也能在它所在的文件夹中放入文件"_s},
        {"anybody may write", QFileDevice::WriteOther | QFileDevice::ExeOther,
         u"其他用户也能在它所在的文件夹中放入文件"_s},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        TestConsole c;
        pumpAppears(u"planted"_s);
        ASSERT_TRUE(QFile::setPermissions(m_folder, QFileDevice::ReadOwner |
                                                        QFileDevice::WriteOwner |
                                                        QFileDevice::ExeOwner | k.extra));
        const QString told = u"通信|没有使用串口 1 的别名 "_s + alias() + u"："_s + k.why +
                             u"，可能是别人放置的。\r\n串口 1 将打开 /dev/ttyS0。"_s;
        EXPECT_EQ(chooseOne(c), QStringList{told});
        EXPECT_EQ(c.port.opened, QStringList{u"/dev/ttyS0"_s});
    }
}

TEST_F(PortAliases, AnotherUsersAliasIsPassedOverAndWhyIsTold)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give the alias to another user";
    }
    TestConsole c;
    pumpAppears(u"planted"_s);
    ASSERT_EQ(::lchown(QFile::encodeName(alias()).constData(), 65534, 65534), 0);
    EXPECT_EQ(chooseOne(c), QStringList{u"通信|没有使用串口 1 的别名 "_s + alias() +
                                        u"：它属于其他用户，可能是别人放置的。\r\n"
                                        u"串口 1 将打开 /dev/ttyS0。"_s});
    EXPECT_EQ(c.port.opened, QStringList{u"/dev/ttyS0"_s});
}
#endif

TEST(LineLost, NotConnectedAndOneNoticeNamingTheCauseThenConnectsAgain)
{
    struct Case
    {
        LossCause cause;
        QString systemText;
        std::errc code; // std::errc{}: the system gave none
        QString reason;
    };
    const Case cases[] = {
        {LossCause::ReadFailed, {}, {}, u"读取失败（对方已关闭或设备已拔出）"_s},
        {LossCause::WriteFailed, {}, {}, u"写入失败"_s},
        {LossCause::WriteFailed, u"Input/output error"_s, std::errc::io_error,
         u"写入失败（设备读写出错，可能已被拔出或已损坏）"_s},
        {LossCause::DeviceGone, u"No such device"_s, std::errc::no_such_device,
         u"设备已不可用（可能已被拔出）"_s}, // the system only says the same again
        {LossCause::DeviceGone,
         u"Something unheard of"_s,
         {},
         u"设备已不可用（可能已被拔出）（Something unheard of）"_s},
        {LossCause::DeviceNotFound, {}, {}, u"设备已不存在"_s},
        {LossCause::AccessDenied, u"Permission denied"_s, std::errc::permission_denied,
         u"设备拒绝访问"_s},
        {LossCause::Other, u"Resource temporarily unavailable"_s,
         std::errc::resource_unavailable_try_again,
         u"通信错误（代码 0）（设备忙，暂时无法使用）"_s},
        {LossCause::Other, {}, {}, u"通信错误（代码 0）"_s},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.reason.toStdString());
        TestConsole c;
        c.connect();
        QSignalSpy connected(&c.console, &PumpConsole::connectedChanged);
        c.port.lose(k.cause, k.systemText,
                    k.code == std::errc{} ? std::error_code() : std::make_error_code(k.code));

        EXPECT_FALSE(c.console.isConnected());
        ASSERT_EQ(connected.count(), 1);
        EXPECT_FALSE(connected.front().front().toBool());
        EXPECT_TRUE(c.boxes.messages().empty()) << "a modal box would block the event loop";
        EXPECT_EQ(c.boxes.texts(u"notify"_s),
                  QStringList{u"通信|串口 "_s + device(1) + u" 已断开："_s + k.reason + lostHint});

        expectCanConnectAgain(c);
        c.console.runPump();
        EXPECT_EQ(c.port.written, std::vector<QByteArray>{"Q00R0000Y"_ba});
        EXPECT_TRUE(c.boxes.messages().empty());
    }
}

TEST(LineLost, WhileThePortBoxIsOpenTheAnswerConnects)
{
    TestConsole c;
    c.connect();
    c.port.opened.clear();
    c.boxes.whileOpen = [&c] { c.port.lose(); };
    c.boxes.answers.push_back(u"2"_s);
    c.console.choosePort();

    expectConnectedTo(c, device(2));
    EXPECT_EQ(c.boxes.messages(u"notify"_s).size(), 1u);
}

TEST(LineLost, BytesOfTheOldLineDoNotJoinTheNewOne)
{
    TestConsole c;
    c.connect();
    c.port.receive("Q01N09.9"_ba); // a reply cut off by the unplugged adapter
    c.port.lose();
    expectCanConnectAgain(c);

    c.port.receive("Yxxxxxxxx"_ba);
    EXPECT_EQ(c.caption(Readout::Pressure), u"00.0"_s);
    EXPECT_EQ(c.console.line().link().sweep().position(), 0);

    c.port.receive("Q01N01.2Y"_ba);
    EXPECT_EQ(c.caption(Readout::Pressure), u"01.2"_s);
}

TEST(LineLost, RepeatedStopTheOldLineFailedIsToldAgainOnTheNewLine)
{
    TestConsole c;
    c.connect();
    c.boxes.answers.push_back(u"1"_s);
    c.console.askRunLength();
    c.console.startTimedRun();
    c.port.failWrites = true;
    c.ticker.ticks(63); // the stop is due after 60 s, retried every second, told once
    const QString timeUp =
        u"通信错误|"
        u"“定时到，停止”命令没有发送到泵（串口写入失败：设备读写出错，可能已被拔出或已损坏）。"
        u"\r\n请检查连接后重新操作。"_s;
    EXPECT_EQ(c.boxes.texts(), QStringList{timeUp});

    c.port.lose();
    c.ticker.ticks(2);
    EXPECT_EQ(c.boxes.texts(), QStringList{timeUp});
    expectCanConnectAgain(c);
    c.ticker.ticks(2);
    EXPECT_EQ(c.boxes.texts(), QStringList{timeUp}) << "the old line's outage kept it quiet";

    c.port.failWrites = false;
    c.ticker.ticks(1);
    EXPECT_EQ(c.port.written.back(), "Q00S0000Y"_ba);
    EXPECT_FALSE(c.ticker.isActive());
}

TEST(WindowClose, ClosesTheLineWithoutAFrameOrABox)
{
    TestConsole c;
    c.connect();
    c.console.closeLine();
    EXPECT_FALSE(c.port.isOpen());
    EXPECT_TRUE(c.port.written.empty());
    EXPECT_TRUE(c.boxes.shown.empty());
}

} // namespace

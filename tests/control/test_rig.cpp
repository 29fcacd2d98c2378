// Several pumps in one console: which pump each reply goes to, the frames an added pump writes,
// stopping them all, the interlock, and pumps added or taken off while replies come.

#include "control/rig/rigrouting.h"
#include "link/wire/replyframes.h"
#include "support/doubles.h"
#include "support/printto.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(RigRouting, AReplyGoesToTheOnlyPumpOrToTheNumberItCarries)
{
    using Numbers = QList<qint16>;
    struct Case
    {
        Numbers onLine;
        QByteArray frame;
        std::optional<qsizetype> to;
    };
    const Case cases[] = {
        {{0}, "Q00N01.0Y", 0},
        {{0}, "Q07N01.0Y", 0}, // the only pump takes every reply, as it always has
        {{0}, "QxxN01.0Y", 0},
        {{0, 12}, "Q12N01.0Y", 1},
        {{0, 12}, "Q00N01.0Y", 0},
        {{0, 12}, "Q05N01.0Y", std::nullopt},
        {{0, 12}, "Q1xN01.0Y", std::nullopt},
        {{3, 4, 5}, "Q05L02.0Y", 2},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.frame.toStdString());
        const auto reply = replyframes::parseView(k.frame);
        ASSERT_TRUE(reply);
        EXPECT_EQ(rig::route(k.onLine, reply->pump), k.to);
    }
}

TEST(RigRouting, ARowShowsTheWorstOfItsStates)
{
    struct Case
    {
        bool latched, stale, running;
        QString text;
    };
    const Case cases[] = {
        {false, false, false, u"停止"_s},  {false, false, true, u"运行"_s},
        {false, true, true, u"无应答"_s},  {false, true, false, u"无应答"_s},
        {true, true, true, u"停泵报警"_s}, {true, false, false, u"停泵报警"_s},
    };
    for (const Case &k : cases) {
        EXPECT_EQ(rig::rowStateText(rig::rowState(k.latched, k.stale, k.running)), k.text);
    }
}

// The panel connected on port 1; pumps added beside it.
struct Rig : TestConsole
{
    Rig() { connect(); }
    PumpRig &rig() { return console.rig(); }
    Pump &added(int i) { return *rig().added()[i].pump; }
    bool add(const QString &answer, qint16 number) { return rig().addPump(answer, number); }
};

TEST(Rig, APumpOnItsOwnPortWritesItsTwoDigitNumberInEveryFrame)
{
    Rig r;
    ASSERT_TRUE(r.add(u"2"_s, 12));
    ASSERT_EQ(r.rigParts.ports.size(), 1u);
    FakePort &own = *r.rigParts.ports[0];
    ASSERT_TRUE(own.isOpen());
    (void)r.added(0).run();
    (void)r.added(0).stop();
    EXPECT_EQ(own.written, (std::vector<QByteArray>{"Q12R0000Y", "Q12S0000Y"}));
    EXPECT_TRUE(r.port.written.empty()) << "nothing on the panel's line";
    // Its replies are its own, whatever the panel shows.
    own.receive("Q07N02.5Y");
    EXPECT_EQ(r.added(0).readouts().caption(Readout::Pressure), u"02.5"_s);
    EXPECT_EQ(r.caption(Readout::Pressure), u"00.0"_s);
    EXPECT_EQ(r.rig().rows().size(), 2);
}

TEST(Rig, PumpsSharingAPortGetTheirOwnRepliesAndOthersAreDroppedAndCounted)
{
    Rig r;
    ASSERT_TRUE(r.add(u"1"_s, 12));
    EXPECT_TRUE(r.rigParts.ports.empty()) << "the panel's port is shared, not opened again";
    // One read holding two pumps' replies back to back, the second split across reads.
    r.port.receive("Q12N03.0YQ00N0");
    r.port.receive("1.5YQ05N09.9Y");
    EXPECT_EQ(r.added(0).readouts().caption(Readout::Pressure), u"03.0"_s);
    EXPECT_EQ(r.caption(Readout::Pressure), u"01.5"_s);
    EXPECT_EQ(r.rig().droppedReplies(), 1);
    // The panel's chart follows the panel's pump only.
    EXPECT_EQ(r.console.line().link().sweep().position(), 1);
    EXPECT_EQ(r.console.pump().record().size(), 1);
    // The same number twice on one port cannot be told apart.
    EXPECT_FALSE(r.add(u"1"_s, 12));
    EXPECT_EQ(r.boxes.texts().back(), u"添加泵|端口 "_s + r.port.device() + u" 上已有 12 号泵"_s);
}

TEST(Rig, APumpTakenOffWhileItsReplyIsOnTheWayLosesIt)
{
    Rig r;
    ASSERT_TRUE(r.add(u"1"_s, 12));
    ASSERT_TRUE(r.add(u"1"_s, 13));
    r.port.received += "Q13N04.0Y"; // arrived, not yet read
    r.rig().removePump(&r.added(1));
    Q_EMIT r.port.readyRead();
    EXPECT_EQ(r.rig().droppedReplies(), 1);
    EXPECT_EQ(r.added(0).readouts().caption(Readout::Pressure), u"00.0"_s);
    EXPECT_TRUE(r.port.isOpen()) << "the panel's line stays";
}

TEST(Rig, StopAllWritesEveryStopInRowOrderAndNamesThoseThatFailed)
{
    Rig r;
    ASSERT_TRUE(r.add(u"2"_s, 3));
    ASSERT_TRUE(r.add(u"1"_s, 12));
    r.rigParts.ports[0]->failWrites = true; // port 2's adapter refuses
    EXPECT_EQ(r.rig().stopAll(), 2);
    EXPECT_EQ(r.port.written, (std::vector<QByteArray>{"Q00S0000Y", "Q12S0000Y"}));
    ASSERT_EQ(r.boxes.messages().size(), 1u) << "one box for all";
    EXPECT_EQ(r.boxes.messages()[0].title, u"全部停止"_s);
    EXPECT_TRUE(r.boxes.messages()[0].prompt.contains(u"泵 2（"_s));
    EXPECT_FALSE(r.boxes.messages()[0].prompt.contains(u"泵 3（"_s));
}

TEST(Rig, WithTheInterlockOnOnePumpsSafetyStopStopsThemAll)
{
    for (const bool interlock : {false, true}) {
        SCOPED_TRACE(interlock);
        Rig r;
        ASSERT_TRUE(r.add(u"2"_s, 3));
        r.rig().setInterlock(interlock);
        r.added(0).setSafetyLimits({2.0, {}, {}});
        (void)r.added(0).run();
        r.console.runPump();
        r.port.written.clear();
        r.rigParts.ports[0]->receive("Q03N02.1Y");
        EXPECT_EQ(r.rigParts.ports[0]->written.back(), "Q03S0000Y"_ba);
        EXPECT_EQ(r.port.written,
                  interlock ? std::vector<QByteArray>{"Q00S0000Y"} : std::vector<QByteArray>{});
    }
}

TEST(Rig, APortThatCannotBeOpenedAddsNoRowAndIsToldAsTheConnectBoxTellsIt)
{
    // Every port made for an added pump refuses to open.
    struct Refusing : RigParts
    {
        FakeRigParts &inner;
        explicit Refusing(FakeRigParts &p) : inner(p) {}
        std::unique_ptr<PumpPort> newPort() override
        {
            auto port = inner.newPort();
            static_cast<FakePort &>(*port).openResult =
                PortStatus::failure(PortError::NoSuchPort, u"No such file or directory"_s);
            return port;
        }
        std::unique_ptr<Ticker> newTicker(std::chrono::milliseconds i) override
        {
            return inner.newTicker(i);
        }
    };
    ConsoleDoubles d;
    Refusing refusing(d.rigParts);
    ConsoleSeams seams = d.seams();
    seams.rigParts = &refusing;
    PumpConsole console(seams);
    d.boxes.answers.push_back(u"1"_s);
    console.choosePort();
    EXPECT_FALSE(console.rig().addPump(u"2"_s, 4));
    EXPECT_TRUE(console.rig().added().isEmpty());
    ASSERT_FALSE(d.boxes.messages().empty());
    EXPECT_EQ(d.boxes.messages().back().title, u"通信"_s);
}

TEST(Rig, TheRunLogNamesThePumpOfEachRow)
{
    std::vector<std::optional<qint16>> pumps; // outlives the console, whose end is logged too
    Rig r;
    ASSERT_TRUE(r.add(u"1"_s, 12));
    QObject::connect(&r.console.line().events(), &RunEvents::runEvent, &r.console,
                     [&pumps](const RunEvent &e) { pumps.push_back(e.pump); });
    r.port.receive("Q12N01.0Y");
    r.port.receive("Q00N01.0Y");
    (void)r.added(0).run();
    r.console.runPump();
    EXPECT_EQ(pumps, (std::vector<std::optional<qint16>>{12, 0, 12, 0}));
}

} // namespace

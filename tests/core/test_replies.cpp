// The pump's replies: read-outs, the sweeping pressure chart, the pressure record and the
// protection of an open keypad entry.

#include "doubles.h"

#include <gtest/gtest.h>
#include <ostream>

using namespace Qt::StringLiterals;

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << '"' << bytes.toStdString() << '"';
}
inline void PrintTo(const ChartLine &l, std::ostream *os)
{
    *os << '(' << l.x1 << ',' << l.y1 << ")-(" << l.x2 << ',' << l.y2 << ')'
        << (l.colour ? " colour " + std::to_string(*l.colour) : std::string(" plain"));
}

namespace {

constexpr ChartColour red = chartRgb(255, 0, 0);

std::vector<ChartLine> steps(const Console &c)
{
    std::vector<ChartLine> result;
    for (const ChartLine &l : c.core.Picture1().lines()) {
        if (l.colour == red) {
            result.push_back(l);
        }
    }
    return result;
}

std::vector<ChartLine> others(const Console &c)
{
    std::vector<ChartLine> result;
    for (const ChartLine &l : c.core.Picture1().lines()) {
        if (l.colour != red) {
            result.push_back(l);
        }
    }
    return result;
}

void expectGrid(const Console &c)
{
    const std::vector<ChartLine> grid = {{0, 0, 100, 0, {}},
                                         {0, 0.5f, 1.5f, 0.5f, {}},
                                         {0, 1, 1.5f, 1, {}},
                                         {0, 1.5f, 1.5f, 1.5f, {}}};
    const auto drawn = others(c);
    for (const ChartLine &g : grid) {
        EXPECT_NE(std::find(drawn.begin(), drawn.end(), g), drawn.end())
            << "grid line missing: " << ::testing::PrintToString(g);
    }
    EXPECT_EQ(drawn.size(), grid.size()) << "only the grid is drawn without the step colour";
}

void expectStep(const ChartLine &l, float x1, float y1, float x2, float y2)
{
    EXPECT_FLOAT_EQ(l.x1, x1);
    EXPECT_FLOAT_EQ(l.y1, y1);
    EXPECT_FLOAT_EQ(l.x2, x2);
    EXPECT_FLOAT_EQ(l.y2, y2);
}

QByteArray pressureReply(int tenths)
{
    return QStringLiteral("Q01N%1.%2Y")
        .arg(tenths / 10, 2, 10, QLatin1Char('0'))
        .arg(tenths % 10)
        .toLatin1();
}

struct ReadOuts
{
    QString LcurrP, LsetP, LsetF;
};

ReadOuts readOuts(const Console &c)
{
    return {c.caption(Label::LcurrP), c.caption(Label::LsetP), c.caption(Label::LsetF)};
}

TEST(Replies, EachLetterUpdatesItsReadOutAndAdvancesTheChart)
{
    struct Case
    {
        QByteArray text;
        ReadOuts expected; // start-up texts are 00.0, 05.0, 00.0
        float pressure;    // the end of the step drawn
    };
    const Case cases[] = {
        {"Q01N01.2Y"_ba, {u"01.2"_s, u"05.0"_s, u"00.0"_s}, 1.2f},
        {"Q01N1234Y"_ba, {u"1234"_s, u"05.0"_s, u"00.0"_s}, 1234.f},
        {"Q07N01.2Y"_ba, {u"01.2"_s, u"05.0"_s, u"00.0"_s}, 1.2f},
        {"Q01P01.5Y"_ba, {u"00.0"_s, u"01.5"_s, u"00.0"_s}, 0.f},
        {"Q01P0150Y"_ba, {u"00.0"_s, u"01.0"_s, u"00.0"_s}, 0.f},
        {"Q01L12.5Y"_ba, {u"00.0"_s, u"05.0"_s, u"12.5"_s}, 0.f},
        {"Q01L1234Y"_ba, {u"00.0"_s, u"05.0"_s, u"12.4"_s}, 0.f},
        {"Q01R0000Y"_ba, {u"00.0"_s, u"05.0"_s, u"00.0"_s}, 0.f},
        {"Q01N01.2YQ0"_ba, {u"01.2"_s, u"05.0"_s, u"00.0"_s}, 1.2f},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.text.toStdString());
        Console c;
        c.connect();
        c.port.receive(k.text);

        const ReadOuts r = readOuts(c);
        EXPECT_EQ(r.LcurrP, k.expected.LcurrP);
        EXPECT_EQ(r.LsetP, k.expected.LsetP);
        EXPECT_EQ(r.LsetF, k.expected.LsetF);
        EXPECT_EQ(c.s().itime, 1);
        const auto drawn = steps(c);
        ASSERT_EQ(drawn.size(), 1u);
        // The first step of a sweep starts outside the area, from element 0.
        expectStep(drawn[0], -1, 0, 0, k.pressure);
        expectGrid(c);
        EXPECT_TRUE(c.port.written.empty());
        EXPECT_TRUE(c.dialogs.shown.empty());
    }
}

TEST(Replies, EachStepJoinsThePreviousSampleToTheCurrentPressure)
{
    Console c;
    c.connect();
    struct Step
    {
        QByteArray text;
        float x1, y1, x2, y2;
    };
    const Step sequence[] = {
        {"Q01N01.2Y"_ba, -1, 0, 0, 1.2f},
        {"Q01P01.5Y"_ba, 0, 1.2f, 1, 1.2f}, // a setpoint reply repeats the pressure shown
        {"Q01N00.5Y"_ba, 1, 1.2f, 2, 0.5f},
        {"Q01L10.0Y"_ba, 2, 0.5f, 3, 0.5f},
        {"Q01N-0.7Y"_ba, 3, 0.5f, 4, -0.7f},
    };
    for (std::size_t i = 0; i < std::size(sequence); ++i) {
        const Step &st = sequence[i];
        SCOPED_TRACE(st.text.toStdString());
        c.port.receive(st.text);
        const auto drawn = steps(c);
        ASSERT_EQ(drawn.size(), i + 1);
        expectStep(drawn.back(), st.x1, st.y1, st.x2, st.y2);
        EXPECT_EQ(c.s().itime, qint16(i + 1));
    }
    EXPECT_DOUBLE_EQ(c.s().prchart[1], 1.2);
    EXPECT_DOUBLE_EQ(c.s().prchart[2], 1.2);
    EXPECT_DOUBLE_EQ(c.s().prchart[3], 0.5);
    EXPECT_DOUBLE_EQ(c.s().prchart[5], -0.7);
    EXPECT_DOUBLE_EQ(c.s().prchart[0], 0);
    expectGrid(c);
}

TEST(Replies, HundredthReplyWrapsToAnEmptyChartAndKeepsTheSamples)
{
    Console c;
    c.connect();
    for (int i = 0; i < 99; ++i) {
        c.port.receive(pressureReply(i % 20));
    }
    EXPECT_EQ(c.s().itime, 99);
    EXPECT_EQ(steps(c).size(), 99u);

    c.port.receive(pressureReply(99 % 20));
    EXPECT_EQ(c.s().itime, 0);
    EXPECT_TRUE(c.core.Picture1().lines().empty());
    for (int i = 0; i < 100; ++i) {
        EXPECT_DOUBLE_EQ(c.s().prchart[i + 1], (i % 20) / 10.0) << "element " << i + 1;
    }

    // The next sweep starts at the left edge with a fresh grid and replaces samples one by one.
    c.port.receive("Q01N01.7Y"_ba);
    EXPECT_EQ(c.s().itime, 1);
    const auto drawn = steps(c);
    ASSERT_EQ(drawn.size(), 1u);
    expectStep(drawn[0], -1, 0, 0, 1.7f);
    expectGrid(c);
    EXPECT_DOUBLE_EQ(c.s().prchart[1], 1.7);
    EXPECT_DOUBLE_EQ(c.s().prchart[2], 0.1);
}

TEST(Replies, PressureThatIsNotANumberIsShownAndTheStepGoesToTheOldSample)
{
    Console c;
    c.connect();
    for (int i = 0; i < 100; ++i) {
        c.port.receive("Q01N01.5Y"_ba);
    }
    c.port.receive("Q01N00.5Y"_ba);
    c.port.receive("Q01Nab.cY"_ba);

    EXPECT_EQ(c.caption(Label::LcurrP), u"ab.c"_s);
    EXPECT_EQ(c.s().itime, 2);
    EXPECT_DOUBLE_EQ(c.s().prchart[2], 1.5);
    auto drawn = steps(c);
    ASSERT_EQ(drawn.size(), 2u);
    expectStep(drawn[1], 0, 0.5f, 1, 1.5f);

    // A setpoint reply repeats whatever LcurrP shows, which still does not read as a number.
    c.port.receive("Q01P01.0Y"_ba);
    drawn = steps(c);
    ASSERT_EQ(drawn.size(), 3u);
    expectStep(drawn[2], 1, 1.5f, 2, 1.5f);
}

TEST(Replies, TextThatIsNotAReplyChangesNothing)
{
    const QByteArray texts[] = {"X01N01.2Y"_ba, "q01N01.2Y"_ba, "Q01N01.2X"_ba, "Q01N01.2y"_ba,
                                "Q01N01.2"_ba,  "01N01.2YQ"_ba, "Q01N01.2 Y"_ba};
    for (const QByteArray &text : texts) {
        SCOPED_TRACE(text.toStdString());
        Console c;
        c.connect();
        c.port.receive(text);
        EXPECT_EQ(c.caption(Label::LcurrP), u"00.0"_s);
        EXPECT_EQ(c.caption(Label::LsetP), u"05.0"_s);
        EXPECT_EQ(c.caption(Label::LsetF), u"00.0"_s);
        EXPECT_EQ(c.s().itime, 0);
        EXPECT_TRUE(c.core.Picture1().lines().empty());
        EXPECT_EQ(c.s().saveprcout, 0);
        EXPECT_TRUE(c.dialogs.shown.empty());
    }
}

TEST(Replies, EveryCompleteReplyOfAReadIsHandledOnce)
{
    struct Case
    {
        const char *name;
        std::vector<QByteArray> reads;
        ReadOuts expected;
        qint16 itime;
    };
    const Case cases[] = {
        {"two in one read", {"Q01N01.2YQ01P01.5Y"_ba}, {u"01.2"_s, u"01.5"_s, u"00.0"_s}, 2},
        {"split across reads", {"Q01N0"_ba, "1.2Y"_ba}, {u"01.2"_s, u"05.0"_s, u"00.0"_s}, 1},
        {"one and a half, then the rest",
         {"Q01N01.2YQ01L"_ba, "12.5Y"_ba},
         {u"01.2"_s, u"05.0"_s, u"12.5"_s},
         2},
        {"noise before a reply", {"xxQ01N01.2Y"_ba}, {u"01.2"_s, u"05.0"_s, u"00.0"_s}, 1},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        Console c;
        c.connect();
        for (const QByteArray &read : k.reads) {
            c.port.receive(read);
        }
        const ReadOuts r = readOuts(c);
        EXPECT_EQ(r.LcurrP, k.expected.LcurrP);
        EXPECT_EQ(r.LsetP, k.expected.LsetP);
        EXPECT_EQ(r.LsetF, k.expected.LsetF);
        EXPECT_EQ(c.s().itime, k.itime);
        EXPECT_EQ(steps(c).size(), std::size_t(k.itime));
    }
}

TEST(Replies, HalfAReplyWaitsForItsRest)
{
    Console c;
    c.connect();
    c.port.receive("Q01N0"_ba);
    EXPECT_EQ(c.caption(Label::LcurrP), u"00.0"_s);
    EXPECT_EQ(c.s().itime, 0);
    c.port.receive("1.2Y"_ba);
    EXPECT_EQ(c.caption(Label::LcurrP), u"01.2"_s);
    EXPECT_EQ(c.s().itime, 1);
    EXPECT_EQ(c.s().saveprcout, 1);
}

TEST(Replies, PortEventsOtherThanReceiveAreIgnored)
{
    // Send, CTS, DSR, CD, ring, EOF, and the error codes break and overrun.
    const int events[] = {1, 3, 4, 5, 6, 7, 1001, 1006};
    for (int event : events) {
        SCOPED_TRACE(event);
        Console c;
        c.connect();
        c.port.receive("Q01N01.2Y"_ba, event);
        EXPECT_EQ(c.caption(Label::LcurrP), u"00.0"_s);
        EXPECT_EQ(c.s().itime, 0);
        EXPECT_TRUE(c.core.Picture1().lines().empty());
    }
}

TEST(Replies, PressureRecordFillsToItsLimitAndTellsTheOperatorOnce)
{
    Console c;
    c.connect();
    c.core.setRecordLimit(3);

    // Only numeric pressure replies are recorded.
    for (const QByteArray &text : {"Q01N01.0Y"_ba, "Q01P02.0Y"_ba, "Q01Nab.cY"_ba, "Q01L03.0Y"_ba,
                                   "Q01R0000Y"_ba, "Q01N02.0Y"_ba}) {
        c.port.receive(text);
    }
    EXPECT_EQ(c.s().saveprcout, 2);
    EXPECT_TRUE(c.dialogs.messages(u"notify"_s).empty());

    for (const QByteArray &text :
         {"Q01N03.0Y"_ba, "Q01N04.0Y"_ba, "Q01N05.0Y"_ba, "Q01N06.0Y"_ba, "Q01N07.0Y"_ba}) {
        c.port.receive(text);
    }
    EXPECT_EQ(c.s().saveprcout, 3);
    EXPECT_DOUBLE_EQ(c.s().prrecord[1], 1.0);
    EXPECT_DOUBLE_EQ(c.s().prrecord[2], 2.0);
    EXPECT_DOUBLE_EQ(c.s().prrecord[3], 3.0);
    EXPECT_DOUBLE_EQ(c.s().prrecord[4], 0.0);
    EXPECT_DOUBLE_EQ(c.s().prrecord[0], 0.0);
    // A receive must not wait for the operator: a notice, never a modal box.
    EXPECT_EQ(c.dialogs.messages(u"notify"_s).size(), 1u);
    EXPECT_TRUE(c.dialogs.messages().empty());
    // The read-out and chart keep going after the record stops.
    EXPECT_EQ(c.caption(Label::LcurrP), u"07.0"_s);
    EXPECT_EQ(c.s().itime, 11);
}

TEST(Replies, OpenKeypadEntryIsNotOverwrittenBySameKindReply)
{
    struct Case
    {
        const char *name;
        KeyGroup mode;
        KeyGroup digits[3];
        Label typed;
        QByteArray reply;
        QByteArray frame;
        QString completed;
        QString afterNextReply;
    };
    const Case cases[] = {
        {"flow",
         KeyGroup::Cmdl,
         {KeyGroup::Cmd1, KeyGroup::Cmd2, KeyGroup::Cmd3},
         Label::LsetF,
         "Q01L45.6Y"_ba,
         "Q00L12.3Y"_ba,
         u"12.3"_s,
         u"45.6"_s},
        {"pressure",
         KeyGroup::Cmdp,
         {KeyGroup::Cmd0, KeyGroup::Cmd1, KeyGroup::Cmd3},
         Label::LsetP,
         "Q01P04.4Y"_ba,
         "Q00P01.3Y"_ba,
         u"01.3"_s,
         u"04.4"_s},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        Console c;
        c.connect();
        c.core.keyClicked(k.mode, 0);
        c.port.receive(k.reply);
        EXPECT_EQ(c.caption(k.typed), QString()) << "the emptied label stays empty";

        c.core.keyClicked(k.digits[0], 0);
        c.port.receive(k.reply);
        EXPECT_EQ(c.caption(k.typed), k.completed.left(1));
        c.core.keyClicked(k.digits[1], 0);
        c.port.receive(k.reply);
        EXPECT_EQ(c.caption(k.typed), k.completed.left(3));
        EXPECT_EQ(c.s().itime, 3) << "the chart steps for every reply all the same";

        c.core.keyClicked(k.digits[2], 0);
        EXPECT_EQ(c.port.written, std::vector<QByteArray>{k.frame});
        EXPECT_EQ(c.caption(k.typed), k.completed);
        EXPECT_EQ(c.caption(Label::LSetState), QString());
        EXPECT_EQ(c.s().lq, 0);
        EXPECT_EQ(c.s().pr, 0);

        c.port.receive(k.reply);
        EXPECT_EQ(c.caption(k.typed), k.afterNextReply);
    }
}

TEST(Replies, OtherKindReplyUpdatesItsLabelDuringAnEntry)
{
    struct Case
    {
        const char *name;
        void (*open)(ConsoleCore &);
        Label typed;
        QByteArray reply;
        Label other;
        QString otherText;
    };
    const Case cases[] = {
        {"P during flow entry", [](ConsoleCore &k) { k.Cmdl_Click(3); }, Label::LsetF,
         "Q01P01.5Y"_ba, Label::LsetP, u"01.5"_s},
        {"L during pressure entry", [](ConsoleCore &k) { k.Cmdp_Click(7); }, Label::LsetP,
         "Q01L12.5Y"_ba, Label::LsetF, u"12.5"_s},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        Console c;
        c.connect();
        k.open(c.core);
        c.core.Cmd4_Click(4);
        c.port.receive(k.reply);
        EXPECT_EQ(c.caption(k.other), k.otherText);
        EXPECT_EQ(c.caption(k.typed), u"4"_s);
    }
}

} // namespace

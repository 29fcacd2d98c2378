// Flow and pressure limit typed on the on-screen keypad: a mode key, then three digits.

#include "support/doubles.h"
#include "support/printto.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Each as "title|prompt".
const QString flowRefusal = u"设定错误|流量设定错误"_s;
const QString pressureRefusal = u"设定错误|压力设定错误"_s;

// 'L' and 'P' the mode keys, '0'..'9' the digit keys.
void press(PumpConsole &console, const char *keys)
{
    for (const char *k = keys; *k; ++k) {
        if (*k == 'L') {
            console.beginFlowEntry();
        } else if (*k == 'P') {
            console.beginPressureLimitEntry();
        } else {
            console.pressDigit(*k - '0');
        }
    }
}

void setPump(TestConsole &c, const QString &number)
{
    c.boxes.answers.push_back(number);
    c.console.askPumpNumber();
    c.boxes.shown.clear();
}

TEST(KeypadEntry, StateTableAndItsEdgesForEachPumpNumber)
{
    struct Case
    {
        const char *keys;
        EntryField open;
        QString flow, limit, mode;
        std::vector<QString> sent; // letter and value of each frame, in order
        QStringList refusals;
    };
    using F = EntryField;
    // Start-up: flow "00.0", limit "05.0", no entry mode.
    const Case cases[] = {
        // No entry open
        {"L", F::Flow, u""_s, u"05.0"_s, u"Lset"_s, {}, {}},
        {"P", F::PressureLimit, u"00.0"_s, u""_s, u"Pset"_s, {}, {}},
        {"7", F::None, u"00.0"_s, u"05.0"_s, u""_s, {}, {}},
        {"0123456789", F::None, u"00.0"_s, u"05.0"_s, u""_s, {}, {}},
        // Flow
        {"L1", F::Flow, u"1"_s, u"05.0"_s, u"Lset"_s, {}, {}},
        {"L12", F::Flow, u"12."_s, u"05.0"_s, u"Lset"_s, {}, {}},
        {"L123", F::None, u"12.3"_s, u"05.0"_s, u""_s, {u"L12.3"_s}, {}},
        {"L050", F::None, u"05.0"_s, u"05.0"_s, u""_s, {u"L05.0"_s}, {}},
        {"L055", F::None, u"05.5"_s, u"05.0"_s, u""_s, {u"L05.5"_s}, {}},
        {"L500", F::None, u"50.0"_s, u"05.0"_s, u""_s, {u"L50.0"_s}, {}},
        {"L000", F::None, u"00.0"_s, u"05.0"_s, u""_s, {u"L00.0"_s}, {}},
        {"L005", F::None, u"00.5"_s, u"05.0"_s, u""_s, {u"L00.5"_s}, {}},
        {"L501", F::None, u"50.1"_s, u"05.0"_s, u"Lset"_s, {}, {flowRefusal}},
        {"L999", F::None, u"99.9"_s, u"05.0"_s, u"Lset"_s, {}, {flowRefusal}},
        {"L50129", F::None, u"50.1"_s, u"05.0"_s, u"Lset"_s, {}, {flowRefusal}},
        {"L501P", F::PressureLimit, u"50.1"_s, u""_s, u"Pset"_s, {}, {flowRefusal}},
        {"L501L", F::Flow, u""_s, u"05.0"_s, u"Lset"_s, {}, {flowRefusal}},
        {"LL", F::Flow, u""_s, u"05.0"_s, u"Lset"_s, {}, {}},
        {"LP", F::Flow, u""_s, u"05.0"_s, u"Lset"_s, {}, {}},
        {"L1L", F::Flow, u"1"_s, u"05.0"_s, u"Lset"_s, {}, {}},
        {"L1P", F::Flow, u"1"_s, u"05.0"_s, u"Lset"_s, {}, {}},
        {"L12L", F::Flow, u"12."_s, u"05.0"_s, u"Lset"_s, {}, {}},
        {"L12P", F::Flow, u"12."_s, u"05.0"_s, u"Lset"_s, {}, {}},
        {"LP5", F::Flow, u"5"_s, u"05.0"_s, u"Lset"_s, {}, {}},
        {"L1L23", F::None, u"12.3"_s, u"05.0"_s, u""_s, {u"L12.3"_s}, {}},
        // Pressure limit
        {"P0", F::PressureLimit, u"00.0"_s, u"0"_s, u"Pset"_s, {}, {}},
        {"P01", F::PressureLimit, u"00.0"_s, u"01."_s, u"Pset"_s, {}, {}},
        {"P050", F::None, u"00.0"_s, u"05.0"_s, u""_s, {u"P05.0"_s}, {}},
        {"P015", F::None, u"00.0"_s, u"01.5"_s, u""_s, {u"P01.5"_s}, {}},
        {"P000", F::None, u"00.0"_s, u"00.0"_s, u""_s, {u"P00.0"_s}, {}},
        {"P010", F::None, u"00.0"_s, u"01.0"_s, u""_s, {u"P01.0"_s}, {}},
        {"P051", F::None, u"00.0"_s, u"05.1"_s, u"Pset"_s, {}, {pressureRefusal}},
        {"P200", F::None, u"00.0"_s, u"20.0"_s, u"Pset"_s, {}, {pressureRefusal}},
        {"P0517", F::None, u"00.0"_s, u"05.1"_s, u"Pset"_s, {}, {pressureRefusal}},
        {"P051L", F::Flow, u""_s, u"05.1"_s, u"Lset"_s, {}, {pressureRefusal}},
        {"PP", F::PressureLimit, u"00.0"_s, u""_s, u"Pset"_s, {}, {}},
        {"PL", F::PressureLimit, u"00.0"_s, u""_s, u"Pset"_s, {}, {}},
        {"P1P", F::PressureLimit, u"00.0"_s, u"1"_s, u"Pset"_s, {}, {}},
        {"P1L", F::PressureLimit, u"00.0"_s, u"1"_s, u"Pset"_s, {}, {}},
        {"P01P", F::PressureLimit, u"00.0"_s, u"01."_s, u"Pset"_s, {}, {}},
        {"P01L", F::PressureLimit, u"00.0"_s, u"01."_s, u"Pset"_s, {}, {}},
        // Both kinds: the last frame's body is kept, whichever kind it was.
        {"L123P050", F::None, u"12.3"_s, u"05.0"_s, u""_s, {u"L12.3"_s, u"P05.0"_s}, {}},
        {"P050L123", F::None, u"12.3"_s, u"05.0"_s, u""_s, {u"P05.0"_s, u"L12.3"_s}, {}},
    };
    // A negative number is padded after its sign.
    struct Pump
    {
        QString number, address;
    };
    const Pump pumps[] = {
        {u"0"_s, u"00"_s}, {u"1"_s, u"01"_s}, {u"12"_s, u"12"_s}, {u"-1"_s, u"-01"_s}};

    for (const Pump &p : pumps) {
        for (const Case &k : cases) {
            SCOPED_TRACE("pump " + p.number.toStdString() + " keys " + k.keys);
            TestConsole c;
            c.connect();
            setPump(c, p.number);

            press(c.console, k.keys);

            EXPECT_EQ(c.console.keypad().field(), k.open);
            EXPECT_EQ(c.caption(Readout::Flow), k.flow);
            EXPECT_EQ(c.caption(Readout::PressureLimit), k.limit);
            EXPECT_EQ(c.caption(Readout::EntryMode), k.mode);
            std::vector<QByteArray> frames;
            for (const QString &sent : k.sent) {
                frames.push_back((u'Q' + p.address + sent + u'Y').toLatin1());
            }
            EXPECT_EQ(c.port.written, frames);
            EXPECT_EQ(c.console.keypad().lastFrameBody(),
                      k.sent.empty() ? QString() : p.address + k.sent.back() + u'Y');

            EXPECT_EQ(c.boxes.texts(), k.refusals);
            EXPECT_EQ(c.boxes.shown.size(), std::size_t(k.refusals.size())) << "no other box";
            EXPECT_EQ(c.caption(Readout::RunState), u"     STOP"_s);
        }
    }
}

TEST(KeypadEntry, FlowEntryShowsEachStepOfTheTypedText)
{
    TestConsole c;
    c.connect();
    std::vector<QString> seen;
    QObject::connect(&c.console.readouts(), &Readouts::captionChanged,
                     [&seen](Readout readout, const QString &text) {
                         if (readout == Readout::Flow) {
                             seen.push_back(text);
                         }
                     });
    press(c.console, "L123");
    EXPECT_EQ(seen, (std::vector<QString>{u""_s, u"1"_s, u"12"_s, u"12."_s, u"12.3"_s}));
}

TEST(KeypadEntry, KeypadRunAndStopLeaveAnOpenEntryAlone)
{
    TestConsole c;
    c.connect();
    press(c.console, "L1");
    c.console.runFromKeypad();
    EXPECT_EQ(c.caption(Readout::RunState), u"     RUN "_s);
    press(c.console, "2");
    c.console.stopFromKeypad();
    EXPECT_EQ(c.console.keypad().field(), EntryField::Flow);
    EXPECT_EQ(c.caption(Readout::Flow), u"12."_s);
    EXPECT_EQ(c.caption(Readout::EntryMode), u"Lset"_s);
    press(c.console, "3");
    EXPECT_EQ(c.port.written,
              (std::vector<QByteArray>{"Q00R0000Y"_ba, "Q00S0000Y"_ba, "Q00L12.3Y"_ba}));
    EXPECT_EQ(c.caption(Readout::RunState), u"     STOP"_s);
}

TEST(KeypadEntry, CompletedEntryThatCannotBeWrittenIsToldOnce)
{
    struct Case
    {
        const char *name;
        bool connect;
        const char *keys;
        QString typed, body, mode, named;
        Readout readout;
    };
    const Case cases[] = {
        {"flow before connect", false, "L123", u"12.3"_s, u"00L12.3Y"_s, u"Lset"_s, u"流量"_s,
         Readout::Flow},
        {"pressure before connect", false, "P015", u"01.5"_s, u"00P01.5Y"_s, u"Pset"_s, u"压力"_s,
         Readout::PressureLimit},
        {"flow, device refuses", true, "L050", u"05.0"_s, u"00L05.0Y"_s, u"Lset"_s, u"流量"_s,
         Readout::Flow},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        TestConsole c;
        if (k.connect) {
            c.connect();
            c.port.failWrites = true;
        }
        press(c.console, k.keys);

        EXPECT_TRUE(c.port.written.empty());
        EXPECT_EQ(c.console.keypad().field(), EntryField::None);
        EXPECT_EQ(c.console.keypad().lastFrameBody(), k.body);
        EXPECT_EQ(c.caption(k.readout), k.typed);
        EXPECT_EQ(c.caption(Readout::EntryMode), k.mode) << "cleared only once the frame is out";
        const auto boxes = c.boxes.messages();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_TRUE(boxes[0].prompt.contains(k.named)) << boxes[0].prompt.toStdString();

        // The keypad is not stuck: once the line works the same entry goes out.
        if (!k.connect) {
            c.connect();
        }
        c.port.failWrites = false;
        press(c.console, k.keys);
        EXPECT_EQ(c.port.written, std::vector<QByteArray>{(u'Q' + k.body).toLatin1()});
        EXPECT_EQ(c.caption(Readout::EntryMode), QString());
    }
}

} // namespace

// Run and stop from the Pump menu, the popup and the keypad, and the right-click popup.

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

namespace {

const QString runLabel = u"     RUN "_s;
const QString stopLabel = u"     STOP"_s;

struct Handler
{
    const char *name;
    void (*press)(ConsoleCore &);
    bool run;         // run frame, else stop frame
    bool keypad;      // only the keypad keys show what they sent in Lstate
    QString menuText; // the caption the failure message names
};

const Handler handlers[] = {
    {"run_Click", [](ConsoleCore &c) { c.run_Click(); }, true, false, u"运行"_s},
    {"stop_Click", [](ConsoleCore &c) { c.stop_Click(); }, false, false, u"停止"_s},
    {"rrun_Click", [](ConsoleCore &c) { c.rrun_Click(); }, true, false, u"运行"_s},
    {"rstop_Click", [](ConsoleCore &c) { c.rstop_Click(); }, false, false, u"停止"_s},
    {"Cmdr_Click", [](ConsoleCore &c) { c.Cmdr_Click(0); }, true, true, u"运行"_s},
    {"Cmds_Click", [](ConsoleCore &c) { c.Cmds_Click(0); }, false, true, u"停止"_s},
};

// Puts Lstate at the text the handler must not produce, so that a handler which writes the
// label is seen even when it writes the text the label had.
void setOppositeLabel(Console &c, const Handler &h)
{
    if (h.run) {
        c.core.Cmds_Click(0);
    } else {
        c.core.Cmdr_Click(0);
    }
    c.port.written.clear();
}

TEST(RunStop, EveryHandlerWritesItsFrameForEachPumpNumberOncePerPress)
{
    struct Pump
    {
        const char *answer; // typed in the pump-number box
        QByteArray address; // what follows "Q" in the frame
    };
    const Pump pumps[] = {{"0", "00"_ba}, {"1", "01"_ba}, {"12", "012"_ba}, {"-1", "0-1"_ba}};

    for (const Handler &h : handlers) {
        for (const Pump &p : pumps) {
            SCOPED_TRACE(std::string(h.name) + " pump " + p.answer);
            Console c;
            c.connect();
            c.dialogs.answers.push_back(QString::fromLatin1(p.answer));
            c.core.Pump_NO_Click();
            setOppositeLabel(c, h);
            const QString before = c.caption(Label::Lstate);

            const QByteArray frame = 'Q' + p.address + (h.run ? "R0000Y" : "S0000Y");
            h.press(c.core);
            ASSERT_EQ(c.port.written, std::vector<QByteArray>{frame});
            const QString expectedLabel = !h.keypad ? before : h.run ? runLabel : stopLabel;
            EXPECT_EQ(c.caption(Label::Lstate), expectedLabel);
            EXPECT_EQ(c.caption(Label::Lstate).size(), 9);

            // No state is checked: the same command again goes out again.
            h.press(c.core);
            EXPECT_EQ(c.port.written, (std::vector<QByteArray>{frame, frame}));
            EXPECT_EQ(c.caption(Label::Lstate), expectedLabel);
            EXPECT_TRUE(c.dialogs.messages().empty());
        }
    }
}

TEST(RunStop, MenuRunThenKeypadStopKeepsStopLabel)
{
    Console c;
    c.connect();
    c.core.run_Click();
    EXPECT_EQ(c.caption(Label::Lstate), stopLabel);
    c.core.Cmds_Click(0);
    EXPECT_EQ(c.port.written, (std::vector<QByteArray>{"Q00R0000Y"_ba, "Q00S0000Y"_ba}));
    EXPECT_EQ(c.caption(Label::Lstate), stopLabel);
}

TEST(RunStop, FrameThatCannotBeWrittenIsToldOnceAndLeavesTheLabel)
{
    enum class Outage { NeverConnected, DeviceRefuses, LineLost };
    struct Case
    {
        const char *name;
        Outage outage;
    };
    const Case cases[] = {{"before connect", Outage::NeverConnected},
                          {"device refuses writes", Outage::DeviceRefuses},
                          {"line lost", Outage::LineLost}};

    for (const Case &k : cases) {
        for (const Handler &h : handlers) {
            // The menus cannot be reached before the line is open.
            if (k.outage == Outage::NeverConnected && !h.keypad) {
                continue;
            }
            SCOPED_TRACE(std::string(k.name) + " " + h.name);
            Console c;
            if (k.outage != Outage::NeverConnected) {
                c.connect();
                setOppositeLabel(c, h);
            }
            if (k.outage == Outage::DeviceRefuses) {
                c.port.failWrites = true;
            } else if (k.outage == Outage::LineLost) {
                c.port.lose(u"USB adapter unplugged"_s);
            }
            c.dialogs.shown.clear();
            const QString before = c.caption(Label::Lstate);

            h.press(c.core);

            EXPECT_TRUE(c.port.written.empty());
            EXPECT_EQ(c.caption(Label::Lstate), before);
            const auto boxes = c.dialogs.messages();
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].style, 0);
            EXPECT_TRUE(boxes[0].prompt.contains(h.menuText)) << boxes[0].prompt.toStdString();
        }
    }
}

TEST(RunStop, KeypadRunWorksOnceTheLineOpensAfterAFailedPress)
{
    Console c;
    c.core.Cmdr_Click(0);
    c.connect();
    c.core.Cmdr_Click(0);
    EXPECT_EQ(c.port.written, std::vector<QByteArray>{"Q00R0000Y"_ba});
    EXPECT_EQ(c.caption(Label::Lstate), runLabel);
    EXPECT_TRUE(c.dialogs.shown.empty());
}

TEST(RunStop, RightPressShowsThePopupOnlyWhileConnected)
{
    enum class Line { NotYet, Open, Lost };
    const Line lines[] = {Line::NotYet, Line::Open, Line::Lost};
    const qint16 buttons[] = {vbLeftButton, vbRightButton, vbMiddleButton};

    for (Line line : lines) {
        for (qint16 button : buttons) {
            // Shift 1, Ctrl 2, Alt 4 in any combination.
            for (qint16 shift = 0; shift < 8; ++shift) {
                SCOPED_TRACE(::testing::Message()
                             << "line " << int(line) << " button " << button << " shift " << shift);
                Console c;
                if (line != Line::NotYet) {
                    c.connect();
                }
                if (line == Line::Lost) {
                    c.port.lose(u"gone"_s);
                }
                std::vector<Menu> popups;
                QObject::connect(&c.core, &ConsoleCore::popupRequested,
                                 [&popups](Menu m) { popups.push_back(m); });

                c.core.Form_MouseDown(button, shift, 1234.f, 567.f);

                const bool wanted = button == vbRightButton && line == Line::Open;
                EXPECT_EQ(popups, wanted ? std::vector<Menu>{Menu::rightkey} : std::vector<Menu>{});
                EXPECT_TRUE(c.port.written.empty());
            }
        }
    }
}

} // namespace

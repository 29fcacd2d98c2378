// The pump side's cutting of the console's byte stream into commands. Commands vary in length
// (pump 12 gives ten characters), so a splitter that counts to nine loses pump 12's frames.

#include "link/wire/commandframes.h"
#include "link/wire/commandsplitter.h"
#include "support/printto.h"

#include <gtest/gtest.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

TEST(CommandSplitter, FindsEveryCommandInTheStream)
{
    struct Case
    {
        const char *what;
        std::vector<QByteArray> reads;
        std::vector<QByteArray> frames;
        QByteArray pending;
    };
    const Case cases[] = {
        {"nine and ten characters back to back",
         {"Q01R0000YQ012R0000YQ12L05.5Y"_ba},
         {"Q01R0000Y"_ba, "Q012R0000Y"_ba, "Q12L05.5Y"_ba},
         {}},
        {"split across reads",
         {"Q0"_ba, "12R00"_ba, "00YQ01"_ba, "L12.5Y"_ba},
         {"Q012R0000Y"_ba, "Q01L12.5Y"_ba},
         {}},
        {"unfinished command is kept", {"Q01R0000YQ01S00"_ba}, {"Q01R0000Y"_ba}, "Q01S00"_ba},
        {"noise around commands",
         {"\x01\xff"
          "abcQ01R0000Y\r\nzzQ01S0000Y!!"_ba},
         {"Q01R0000Y"_ba, "Q01S0000Y"_ba},
         {}},
        {"a stray Q before a command", {"QQ01R0000Y"_ba}, {"Q01R0000Y"_ba}, {}},
        {"a command cut short by the next one", {"Q01R00Q01S0000Y"_ba}, {"Q01S0000Y"_ba}, {}},
        {"a bad command does not cost the next", {"Q01x0000YQ01R0000Y"_ba}, {"Q01R0000Y"_ba}, {}},
        {"endless digits are dropped",
         {"Q0123456789012345678901234567"_ba, "89Q01R0000Y"_ba},
         {"Q01R0000Y"_ba},
         {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        CommandSplitter splitter;
        std::vector<QByteArray> frames;
        for (const QByteArray &read : c.reads) {
            for (QByteArray &frame : splitter.feed(read)) {
                frames.push_back(std::move(frame));
            }
            EXPECT_LE(splitter.pending().size(), commandframes::maxLength);
        }
        EXPECT_EQ(frames, c.frames);
        EXPECT_EQ(splitter.pending(), c.pending);
    }
}

} // namespace

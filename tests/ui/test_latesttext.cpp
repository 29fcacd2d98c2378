// The pressure read-out under a burst of replies: it takes the latest text once per pass.

#include "ui/latesttext.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QLabel>

using namespace Qt::StringLiterals;

namespace {

TEST(LatestText, TheFirstTextOfAPassAtOnceTheLastAtItsEnd)
{
    QLabel label(u"00.0"_s);
    LatestText shown(&label);
    shown.show(u"01.1"_s);
    EXPECT_EQ(label.text(), u"01.1"_s) << "one reply is shown at once, with its chart step";
    shown.show(u"01.2"_s);
    shown.show(u"01.3"_s);
    EXPECT_EQ(label.text(), u"01.1"_s) << "the rest of a burst waits for the pass to end";
    QCoreApplication::processEvents();
    EXPECT_EQ(label.text(), u"01.3"_s);

    // The next pass starts over.
    shown.show(u"02.0"_s);
    EXPECT_EQ(label.text(), u"02.0"_s);
    QCoreApplication::processEvents();
    EXPECT_EQ(label.text(), u"02.0"_s);
}

} // namespace

// What one pressure reply costs the window beyond its paint: no layout request (the read-outs
// keep their designed size) and no posted call to read the port (a notification from the event
// loop is read at once). Each of those is a posted event and a wake-up of the process.

#include "windowondoubles.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QLabel>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

class EventCount : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::LayoutRequest) {
            ++layoutRequests;
        } else if (event->type() == QEvent::MetaCall) {
            ++postedCalls;
        }
        return false;
    }
    int layoutRequests = 0;
    int postedCalls = 0;
};

TEST(ReplyCost, AReplyShownOnTheReadOutPostsNoLayoutRequestAndNoReadCall)
{
    WindowOnDoubles w;
    ASSERT_NO_FATAL_FAILURE(w.show());
    ASSERT_NO_FATAL_FAILURE(w.connectPump());
    FakePort &port = w.port;
    port.receive("Q01N00.5Y"_ba); // the first reply's one-off work
    QCoreApplication::processEvents();

    const QStringList values{u"01.1"_s, u"01.2"_s, u"01.3"_s};
    for (const QString &value : values) {
        SCOPED_TRACE(value.toStdString());
        EventCount count;
        qApp->installEventFilter(&count);
        port.receive("Q01N"_ba + value.toLatin1() + "Y"_ba);
        QCoreApplication::processEvents();
        qApp->removeEventFilter(&count);
        EXPECT_EQ(w.window.label(Readout::Pressure)->text(), value);
        EXPECT_EQ(count.layoutRequests, 0);
        // At most the read-out's own end-of-pass call; never one to read the port.
        EXPECT_LE(count.postedCalls, 1);
    }
}

} // namespace

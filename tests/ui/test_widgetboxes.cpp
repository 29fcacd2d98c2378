// The Qt boxes behind the console's OperatorBoxes: what they show and what they answer, and
// that a box is really modal: the event loop runs on while it is open, so a timed run goes on
// counting (and may finish) behind the set-time box.

#include "support/doubles.h"
#include "support/printto.h"
#include "support/wait.h"
#include "ui/widgetboxes.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Offers the modal box of type T to `act` every 2 ms from a timer, which keeps firing in the
// box's own event loop, until `act` says it is done with it. Whatever is modal after three
// seconds is closed, so that a failing test ends. The flag tells whether a T was seen.
template<typename T> std::shared_ptr<bool> whenModalOpens(std::function<bool(T *)> act)
{
    auto seen = std::make_shared<bool>(false);
    auto *timer = new QTimer;
    auto polls = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, act, polls, seen] {
        QWidget *modal = QApplication::activeModalWidget();
        auto *box = qobject_cast<T *>(modal);
        *seen = *seen || box;
        const bool done = box && act(box);
        if (!done && ++*polls <= 1500) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        if (!done && modal) {
            modal->close();
        }
    });
    timer->start(2);
    return seen;
}

// Answers the next question with `text` once `ready` holds (asked while the box is open).
std::shared_ptr<bool> answerWhen(
    const QString &text, std::function<bool()> ready = [] { return true; })
{
    return whenModalOpens<QInputDialog>([text, ready](QInputDialog *box) {
        if (!ready()) {
            return false;
        }
        box->setTextValue(text);
        box->accept();
        return true;
    });
}

// A message box as the console's: the text with label breaks, the title, OK only, no icon.
void expectPlainBox(QMessageBox *box, const QString &text, const QString &title)
{
    EXPECT_EQ(box->text(), text);
    EXPECT_EQ(box->windowTitle(), title);
    EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    EXPECT_TRUE(box->isModal());
}

TEST(WidgetBoxesText, TheConsolesLineBreaksBecomeLabelBreaks)
{
    const std::pair<QString, QString> cases[] = {
        {u"plain"_s, u"plain"_s},
        {u"one\r\ntwo"_s, u"one\ntwo"_s},
        {u"one\r\n\r\nthree"_s, u"one\n\nthree"_s},
        {u"lone\rreturn"_s, u"lone\nreturn"_s},
        {u"unix\nbreak"_s, u"unix\nbreak"_s},
        {QString(), QString()},
    };
    for (const auto &[prompt, shown] : cases) {
        EXPECT_EQ(WidgetBoxes::displayText(prompt), shown) << prompt.toStdString();
    }
}

class WidgetBoxesTest : public ::testing::Test
{
protected:
    QWidget owner;
    WidgetBoxes boxes{&owner};
};

TEST_F(WidgetBoxesTest, AskShowsPromptTitleAndDefaultAndReturnsTheTypedText)
{
    const auto seen = whenModalOpens<QInputDialog>([](QInputDialog *box) {
        EXPECT_EQ(box->labelText(), u"Input communication\nport"_s);
        EXPECT_EQ(box->windowTitle(), u"Commport"_s);
        EXPECT_EQ(box->textValue(), u"1"_s);
        auto *edit = box->findChild<QLineEdit *>();
        edit->clear();
        QTest::keyClicks(edit, u"2.5"_s);
        QTest::keyClick(edit, Qt::Key_Return);
        return true;
    });
    EXPECT_EQ(boxes.ask(u"Input communication\r\nport"_s, u"Commport"_s, u"1"_s), u"2.5"_s);
    EXPECT_TRUE(*seen);
}

TEST_F(WidgetBoxesTest, CancelledQuestionGivesNoValue)
{
    whenModalOpens<QInputDialog>([](QInputDialog *box) {
        QTest::keyClick(box->findChild<QLineEdit *>(), Qt::Key_Escape);
        return true;
    });
    EXPECT_EQ(boxes.ask(u"p"_s, u"t"_s, u"5"_s), std::nullopt);
}

const QStringList portChoices{u"1（别名 COM1 → /dev/pts/3）"_s, u"/dev/ttyS0"_s,
                              u"/dev/ttyUSB0（FT232R USB UART，FTDI，序列号 A50285BI）"_s};

// The editable list of the port box.
QComboBox *listOf(QInputDialog *box)
{
    auto *list = box->findChild<QComboBox *>();
    EXPECT_NE(list, nullptr);
    EXPECT_TRUE(list && list->isVisible() && list->isEditable());
    return list;
}

TEST_F(WidgetBoxesTest, ChooseOffersTheChoicesWithTheDefaultTextInTheField)
{
    const auto seen = whenModalOpens<QInputDialog>([](QInputDialog *box) {
        EXPECT_EQ(box->labelText(), u"Input communication port"_s);
        EXPECT_EQ(box->windowTitle(), u"Commport"_s);
        QComboBox *list = listOf(box);
        QStringList items;
        for (int i = 0; i < list->count(); ++i) {
            items << list->itemText(i);
        }
        EXPECT_EQ(items, portChoices);
        EXPECT_EQ(list->currentText(), u"1"_s) << "the default, not the first entry";
        EXPECT_GE(list->width(), list->fontMetrics().horizontalAdvance(portChoices[2]))
            << "the longest entry is read whole";
        EXPECT_EQ(box->textValue(), u"1"_s);
        box->accept();
        return true;
    });
    EXPECT_EQ(boxes.choose(u"Input communication port"_s, u"Commport"_s, portChoices, u"1"_s),
              u"1"_s);
    EXPECT_TRUE(*seen);
}

TEST_F(WidgetBoxesTest, ChooseGivesWhatWasTypedExactlyOrTheEntryChosen)
{
    const std::pair<QString, QString> typed[] = {
        {u"1"_s, u"1"_s}, // an entry starts with 1: no completion may turn it into that entry
        {u"/dev/ttyUSB"_s, u"/dev/ttyUSB"_s},
        {u"/dev/ttyUSB1"_s, u"/dev/ttyUSB1"_s},
        {u"COM3"_s, u"COM3"_s},
    };
    for (const auto &[keys, answer] : typed) {
        SCOPED_TRACE(keys.toStdString());
        whenModalOpens<QInputDialog>([keys = keys](QInputDialog *box) {
            QLineEdit *field = listOf(box)->lineEdit();
            field->clear();
            QTest::keyClicks(field, keys);
            QTest::keyClick(field, Qt::Key_Return);
            if (box->isVisible()) {
                ADD_FAILURE() << "Return did not answer the box";
                box->reject();
            }
            return true;
        });
        EXPECT_EQ(boxes.choose(u"p"_s, u"t"_s, portChoices, u"1"_s), answer);
    }

    whenModalOpens<QInputDialog>([](QInputDialog *box) {
        QComboBox *list = listOf(box);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        EXPECT_EQ(list->currentText(), portChoices[0]) << "down starts at the first entry";
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list->lineEdit(), Qt::Key_Return);
        return true;
    });
    EXPECT_EQ(boxes.choose(u"p"_s, u"t"_s, portChoices, u"1"_s), portChoices[1]);
}

TEST_F(WidgetBoxesTest, ScreenReadersFindTheTextFieldByTheQuestion)
{
    const auto seen = whenModalOpens<QInputDialog>([](QInputDialog *box) {
        QComboBox *list = listOf(box);
        if (QApplication::focusWidget() != list) {
            return false; // not yet shown and focused
        }
        // What has the focus for assistive technology: the field inside the list.
        QAccessibleInterface *focused = QAccessible::queryAccessibleInterface(list);
        if (QAccessibleInterface *inner = focused->focusChild()) {
            focused = inner;
        }
        EXPECT_EQ(focused->role(), QAccessible::EditableText);
        EXPECT_TRUE(focused->state().editable);
        EXPECT_EQ(focused->text(QAccessible::Name), u"Input communication\nport"_s);
        EXPECT_EQ(focused->text(QAccessible::Value), u"1"_s);
        // Those that read the list itself find it labelled by the question.
        QStringList labels;
        for (const auto &[label, relation] :
             QAccessible::queryAccessibleInterface(list)->relations(QAccessible::Label)) {
            labels << label->text(QAccessible::Name);
        }
        EXPECT_EQ(labels, QStringList{u"Input communication\nport"_s});
        box->reject();
        return true;
    });
    EXPECT_EQ(boxes.choose(u"Input communication\r\nport"_s, u"Commport"_s, portChoices, u"1"_s),
              std::nullopt);
    EXPECT_TRUE(*seen);
}

TEST_F(WidgetBoxesTest, ChooseWithNothingToChooseIsThePlainQuestion)
{
    const auto seen = whenModalOpens<QInputDialog>([](QInputDialog *box) {
        auto *list = box->findChild<QComboBox *>();
        EXPECT_TRUE(!list || !list->isVisible());
        auto *field = box->findChild<QLineEdit *>();
        EXPECT_TRUE(field->isVisible());
        EXPECT_EQ(field->text(), u"1"_s);
        box->accept();
        return true;
    });
    EXPECT_EQ(boxes.choose(u"p"_s, u"t"_s, {}, u"1"_s), u"1"_s);
    EXPECT_TRUE(*seen);
}

TEST_F(WidgetBoxesTest, TellIsModalWithOnlyOkAndNoIcon)
{
    const auto seen = whenModalOpens<QMessageBox>([](QMessageBox *box) {
        expectPlainBox(box, u"流量设定错误\n请重新输入"_s, u"设定错误"_s);
        box->button(QMessageBox::Ok)->click();
        return true;
    });
    boxes.tell(u"流量设定错误\r\n请重新输入"_s, u"设定错误"_s);
    EXPECT_TRUE(*seen);
}

TEST_F(WidgetBoxesTest, NotifyReturnsAtOnceAndTheBoxGoesAwayWhenAnswered)
{
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    boxes.notify(u"泵已失去连接\r\n请检查"_s, u"通信"_s);
    // Returned without anyone answering: the box is up, owned by the window.
    QList<QMessageBox *> shown = owner.findChildren<QMessageBox *>();
    ASSERT_EQ(shown.size(), 1);
    QPointer<QMessageBox> box = shown.front();
    EXPECT_TRUE(box->isVisible());
    expectPlainBox(box, u"泵已失去连接\n请检查"_s, u"通信"_s);
    EXPECT_TRUE(box->testAttribute(Qt::WA_DeleteOnClose));

    box->button(QMessageBox::Ok)->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(box.isNull());
}

// The console with the real boxes and the real ticker, its second shortened to 10 ms.
class TimedRunBehindTheBox : public ::testing::Test
{
protected:
    FakePort port;
    WidgetBoxes boxes;
    QtTicker ticker;
    FakePortInfoSource system;
    ManualClock clock;
    ManualTicker staleTicker;
    ManualTicker pollTicker;
    ManualTicker safetyTicker;
    ManualTicker programTicker;
    PumpConsole console{
        {port, boxes, system, clock, ticker, staleTicker, pollTicker, safetyTicker, programTicker}};

    void SetUp() override
    {
        port.writesWhileClosed = true;
        auto *timer = ticker.findChild<QTimer *>();
        ASSERT_NE(timer, nullptr);
        timer->setInterval(10);
    }
    void startRunOf(const QString &minutes)
    {
        answerWhen(minutes);
        console.askRunLength();
        console.startTimedRun();
        ASSERT_EQ(port.written.back(), "Q00R0000Y"_ba);
    }
    int stopFrames() const
    {
        return int(std::count(port.written.begin(), port.written.end(), "Q00S0000Y"_ba));
    }
};

TEST_F(TimedRunBehindTheBox, RunFinishesWhileTheBoxIsOpenAndTheNewTimeWaitsForTheNextRun)
{
    startRunOf(u"0.05"_s); // 3 ticks
    // Keep the box open until the run has finished behind it.
    const auto sawBox = answerWhen(u"1"_s, [this] { return stopFrames() == 1; });
    console.askRunLength();

    EXPECT_TRUE(*sawBox);
    EXPECT_EQ(stopFrames(), 1) << "the run ended behind the open box";
    EXPECT_FALSE(ticker.isActive());
    EXPECT_EQ(console.pump().timedRun().elapsedSeconds(), 0);
    EXPECT_DOUBLE_EQ(console.pump().timedRun().minutes(), 1.0);
}

TEST_F(TimedRunBehindTheBox, ShorterTimeEndsTheRunOnTheFirstTickAfterTheBoxCloses)
{
    startRunOf(u"10"_s); // far longer than the test
    qint16 countWhenAnswered = -1;
    // Let the count pass 5 ticks behind the box before shortening the time to 3 s.
    const auto sawBox = answerWhen(u"0.05"_s, [&] {
        countWhenAnswered = console.pump().timedRun().elapsedSeconds();
        return countWhenAnswered >= 5;
    });
    console.askRunLength();
    const qint16 countAtClose = console.pump().timedRun().elapsedSeconds();
    ASSERT_TRUE(*sawBox);
    EXPECT_GE(countWhenAnswered, 5) << "ticks kept arriving while the box was open";
    EXPECT_EQ(stopFrames(), 0) << "the new time applies only from the next tick";

    ASSERT_TRUE(waitUntil([&] { return stopFrames() == 1; }));
    EXPECT_FALSE(ticker.isActive());
    EXPECT_EQ(console.readouts().caption(Readout::Seconds).toInt(), countAtClose + 1)
        << "ended on the first tick after the box closed";
}

} // namespace

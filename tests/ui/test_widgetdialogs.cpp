// The Qt boxes behind the console's Dialogs: what they show and what they answer.

#include "ui/widgetdialogs.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <QApplication>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Runs `act` on the first modal widget of type T that opens, from a polling timer: the call
// that opens the box blocks in its own event loop, where the timer keeps firing. A box of
// another type, or none, is closed after three seconds so that a failing test ends.
template<typename T> void whenModalOpens(std::function<void(T *)> act)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    auto polls = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, act, polls] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<T *>(modal)) {
            timer->stop();
            timer->deleteLater();
            act(box);
        } else if (++*polls > 300) {
            timer->stop();
            timer->deleteLater();
            if (modal) {
                modal->close();
            }
        }
    });
    timer->start();
}

TEST(WidgetDialogsText, HandlersLineBreaksBecomeLabelBreaks)
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
        EXPECT_EQ(WidgetDialogs::displayText(prompt), shown) << prompt.toStdString();
    }
}

class WidgetDialogsTest : public ::testing::Test
{
protected:
    QWidget owner;
    WidgetDialogs dialogs{&owner};
};

TEST_F(WidgetDialogsTest, InputBoxShowsPromptTitleAndDefaultAndReturnsTheTypedText)
{
    QString label, title, initial;
    whenModalOpens<QInputDialog>([&](QInputDialog *box) {
        label = box->labelText();
        title = box->windowTitle();
        initial = box->textValue();
        auto *edit = box->findChild<QLineEdit *>();
        edit->clear();
        QTest::keyClicks(edit, u"2.5"_s);
        QTest::keyClick(edit, Qt::Key_Return);
    });
    const auto answer = dialogs.InputBox(u"Input communication\r\nport"_s, u"Commport"_s, u"1"_s);
    EXPECT_EQ(label, u"Input communication\nport"_s);
    EXPECT_EQ(title, u"Commport"_s);
    EXPECT_EQ(initial, u"1"_s);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, u"2.5"_s);
}

TEST_F(WidgetDialogsTest, CancelledInputBoxGivesNoValue)
{
    whenModalOpens<QInputDialog>(
        [](QInputDialog *box) { QTest::keyClick(box->findChild<QLineEdit *>(), Qt::Key_Escape); });
    EXPECT_EQ(dialogs.InputBox(u"p"_s, u"t"_s, u"5"_s), std::nullopt);
}

TEST_F(WidgetDialogsTest, MessageBoxStyleZeroHasOnlyOkAndNoIcon)
{
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::Critical;
    QMessageBox::StandardButtons buttons;
    bool modal = false;
    whenModalOpens<QMessageBox>([&](QMessageBox *box) {
        text = box->text();
        title = box->windowTitle();
        icon = box->icon();
        buttons = box->standardButtons();
        modal = box->isModal();
        box->button(QMessageBox::Ok)->click();
    });
    dialogs.MsgBox(u"流量设定错误\r\n请重新输入"_s, 0, u"设定错误"_s);
    EXPECT_EQ(text, u"流量设定错误\n请重新输入"_s);
    EXPECT_EQ(title, u"设定错误"_s);
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_EQ(buttons, QMessageBox::Ok);
    EXPECT_TRUE(modal);
}

TEST_F(WidgetDialogsTest, NotifyReturnsAtOnceAndTheBoxGoesAwayWhenAnswered)
{
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    dialogs.notify(u"泵已失去连接\r\n请检查"_s, u"通信"_s);
    // Returned without anyone answering: the box is up, owned by the window.
    QList<QMessageBox *> boxes = owner.findChildren<QMessageBox *>();
    ASSERT_EQ(boxes.size(), 1);
    QPointer<QMessageBox> box = boxes.front();
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->text(), u"泵已失去连接\n请检查"_s);
    EXPECT_EQ(box->windowTitle(), u"通信"_s);
    EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    EXPECT_TRUE(box->testAttribute(Qt::WA_DeleteOnClose));

    box->button(QMessageBox::Ok)->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(box.isNull());
}

} // namespace

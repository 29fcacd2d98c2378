// The safety stop as the operator meets it: the dialog behind 设定 → 安全保护, found by its
// fields' accessible names, and the indicator on the panel, read by its description.

#include "ui/safetydialog.h"
#include "windowondoubles.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

QLineEdit *field(QWidget *dialog, const QString &accessibleName)
{
    for (auto *edit : dialog->findChildren<QLineEdit *>()) {
        if (edit->accessibleName() == accessibleName) {
            return edit;
        }
    }
    return nullptr;
}

void press(QWidget *dialog, const QString &button)
{
    for (auto *b : dialog->findChildren<QPushButton *>()) {
        if (b->text() == button) {
            b->click();
            return;
        }
    }
    ADD_FAILURE() << "no button " << button.toStdString();
}

// Runs `steps` one after another on the dialog once it is up, from the dialog's own loop.
void whileDialogOpen(std::vector<std::function<void(QWidget *)>> steps)
{
    auto *timer = new QTimer;
    auto index = std::make_shared<std::size_t>(0);
    auto polls = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, steps = std::move(steps), index, polls] {
        QWidget *dialog = qobject_cast<SafetyDialog *>(QApplication::activeModalWidget());
        if (dialog && *index < steps.size()) {
            steps[(*index)++](dialog);
            return;
        }
        // Done, or given up: a dialog still open then is closed, so that a failing test ends.
        if (*index >= steps.size() || ++*polls > 600) {
            if (dialog) {
                dialog->close();
            }
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(5);
}

} // namespace

TEST(SafetyDialog, RefusesWhatWillNotDoStaysOpenAndKeepsWhatWasAccepted)
{
    WindowOnDoubles w;
    ASSERT_NO_FATAL_FAILURE(w.connectPump());
    bool stayedOpen = false;
    whileDialogOpen({
        [](QWidget *d) {
            ASSERT_NE(field(d, u"压力上限"_s), nullptr);
            ASSERT_NE(field(d, u"压力下限"_s), nullptr);
            ASSERT_NE(field(d, u"无应答停泵"_s), nullptr);
            field(d, u"压力上限"_s)->setText(u"abc"_s);
            field(d, u"无应答停泵"_s)->setText(u"5"_s);
            press(d, u"确定"_s);
        },
        [&](QWidget *d) {
            stayedOpen = d->isVisible();
            EXPECT_EQ(field(d, u"无应答停泵"_s)->text(), u"5"_s) << "the operator's text stays";
            field(d, u"压力上限"_s)->setText(u"12.0"_s);
            field(d, u"压力下限"_s)->setText(u"2"_s);
            press(d, u"确定"_s);
        },
    });
    w.window.menuAction(u"safety"_s)->trigger();
    EXPECT_TRUE(stayedOpen);
    ASSERT_EQ(w.boxes.messages(u"tell"_s).size(), 1u);
    EXPECT_TRUE(
        w.boxes.messages(u"tell"_s)[0].prompt.startsWith(u"压力上限应为 0.1 到 99.9 MPa"_s));
    EXPECT_EQ(w.console.safetyLimits(), (safety::Limits{12.0, 2.0, 5}));

    // 取消 changes nothing, whatever was typed.
    whileDialogOpen({[](QWidget *d) {
        field(d, u"压力上限"_s)->setText(u"50"_s);
        press(d, u"取消"_s);
    }});
    w.window.menuAction(u"safety"_s)->trigger();
    EXPECT_EQ(w.console.safetyLimits(), (safety::Limits{12.0, 2.0, 5}));
}

TEST(SafetyIndicator, ShowsAndDescribesTheStateRedWhileLatched)
{
    WindowOnDoubles w;
    ASSERT_NO_FATAL_FAILURE(w.connectPump());
    auto *indicator = w.window.findChild<QLabel *>(u"safetyState"_s);
    ASSERT_NE(indicator, nullptr);
    EXPECT_EQ(indicator->accessibleName(), u"安全保护状态"_s);
    const auto shows = [indicator](const QString &text) {
        EXPECT_EQ(indicator->text(), text);
        EXPECT_EQ(indicator->accessibleDescription(), text);
    };
    shows({});
    w.console.setSafetyLimits({12.0, {}, {}});
    shows({}); // set, but nothing runs
    w.console.runPump();
    shows(u"保护"_s);
    w.port.receive("Q01N12.1Y"_ba);
    shows(u"停泵报警"_s);
    EXPECT_EQ(indicator->palette().color(QPalette::WindowText), QColor(Qt::red));
    ASSERT_TRUE(w.boxes.acknowledgeAlarm());
    shows({});
}

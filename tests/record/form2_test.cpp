// The record window: its layout as operators know it, reading the record's last line, and
// handing back to the main window.
#include "core/doubles.h"
#include "ui/filecommands.h"
#include "ui/form2.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>

using namespace Qt::StringLiterals;

namespace {

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

struct RecordWindow : ::testing::Test
{
    QTemporaryDir dir;
    QString path = dir.filePath(u"mytext.txt"_s);
    ScriptedDialogs dialogs;
    QWidget mainWindow;
    Form2 form{dialogs, &mainWindow, [this] { return path; }};
};

struct ControlCase
{
    const char *name;
    const char *text;
    QRect geometry;
};

void PrintTo(const ControlCase &c, std::ostream *os)
{
    *os << c.name;
}

class RecordWindowControls : public ::testing::TestWithParam<ControlCase>
{
};

TEST_P(RecordWindowControls, PlacedAndCaptioned)
{
    ScriptedDialogs dialogs;
    Form2 form(dialogs, nullptr, [] { return QString(); });
    auto *control = form.findChild<QWidget *>(QString::fromLatin1(GetParam().name));
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->geometry(), GetParam().geometry);
    const QString text = QString::fromUtf8(GetParam().text);
    if (auto *button = qobject_cast<QPushButton *>(control)) {
        EXPECT_EQ(button->text(), text);
    } else {
        auto *edit = qobject_cast<QLineEdit *>(control);
        ASSERT_NE(edit, nullptr) << "Text1 is a single-line edit";
        EXPECT_EQ(edit->text(), text);
    }
    EXPECT_TRUE(control->styleSheet().isEmpty());
}

// Twips / 15.
INSTANTIATE_TEST_SUITE_P(Layout, RecordWindowControls,
                         ::testing::Values(ControlCase{"Command1", "退出", {504, 304, 49, 25}},
                                           ControlCase{"Command2", "Command2", {408, 304, 57, 25}},
                                           ControlCase{"Text1", "Text1", {72, 64, 393, 137}}));

TEST_F(RecordWindow, WindowFrame)
{
    EXPECT_EQ(form.windowTitle(), u"泵启动和停止时间记录"_s);
    EXPECT_TRUE(form.isWindow());
    EXPECT_EQ(form.parentWidget(), nullptr);
    form.show();
    EXPECT_EQ(form.size(), QSize(578, 338));
    EXPECT_NE(form.minimumSize(), form.maximumSize()) << "the frame is resizable";
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::MSWindowsFixedSizeDialogHint));
    EXPECT_TRUE(form.styleSheet().isEmpty());
    EXPECT_EQ(form.font(), QApplication::font());
}

TEST(RecordWindowIcon, TakesTheApplicationsIcon)
{
    QPixmap red(16, 16);
    red.fill(Qt::red);
    const QIcon before = QApplication::windowIcon();
    QApplication::setWindowIcon(QIcon(red));
    ScriptedDialogs dialogs;
    Form2 form(dialogs, nullptr, [] { return QString(); });
    QApplication::setWindowIcon(before);
    // Set on the window itself, so it stays even if the application's icon changes later.
    EXPECT_EQ(form.windowIcon().pixmap(16).toImage(), red.toImage());
}

TEST_F(RecordWindow, FocusOrderIsExitThenCommand2ThenText)
{
    EXPECT_EQ(form.Command1()->nextInFocusChain(), form.Command2());
    EXPECT_EQ(form.Command2()->nextInFocusChain(), form.Text1());
    EXPECT_TRUE(form.Command1()->focusPolicy() & Qt::TabFocus);
    EXPECT_TRUE(form.Text1()->focusPolicy() & Qt::TabFocus);
}

struct ReadCase
{
    const char *name;
    QByteArray content;
    const char *shown;
};

void PrintTo(const ReadCase &c, std::ostream *os)
{
    *os << c.name;
}

class RecordWindowReads : public RecordWindow, public ::testing::WithParamInterface<ReadCase>
{
};

TEST_P(RecordWindowReads, LastLineIntoText1)
{
    ASSERT_TRUE(writeBytes(path, GetParam().content));
    QTest::mouseClick(form.Command2(), Qt::LeftButton);
    EXPECT_EQ(form.Text1()->text(), QString::fromUtf8(GetParam().shown));
    EXPECT_TRUE(dialogs.messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, RecordWindowReads,
    ::testing::Values(ReadCase{"shortLastLine", "-2 -1  0  1  2 \r\n 3 ", " 3 "},
                      ReadCase{"fullLastLine", " 1  2  3  4  5 \r\n 6  7  8  9  10 \r\n",
                               " 6  7  8  9  10 "},
                      ReadCase{"emptyFile", "", ""}, ReadCase{"lfOnly", "a\nb", "b"}));

TEST_F(RecordWindow, MissingFileIsToldAndText1Stays)
{
    form.Text1()->setText(u"earlier line"_s);
    QTest::mouseClick(form.Command2(), Qt::LeftButton);
    const auto boxes = dialogs.messages();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].prompt.contains(QDir::toNativeSeparators(path)))
        << boxes[0].prompt.toStdString();
    EXPECT_FALSE(boxes[0].title.isEmpty());
    EXPECT_EQ(form.Text1()->text(), u"earlier line"_s);
}

TEST_F(RecordWindow, ExitHidesItAndBringsBackTheMainWindow)
{
    mainWindow.hide();
    form.show();
    form.Text1()->setText(u"kept"_s);
    QTest::mouseClick(form.Command1(), Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(mainWindow.isVisible());
    EXPECT_EQ(form.Text1()->text(), u"kept"_s);
}

TEST(RecordWindowCommand, ShownFromTheFileMenuOnceAndKept)
{
    QTemporaryDir dir;
    Console f;
    QWidget mainWindow;
    QPointer<Form2> window;
    {
        FileCommands commands(f.core, f.dialogs, &mainWindow);
        commands.setRecordPath(dir.filePath(u"mytext.txt"_s));
        commands.showRecordWindow();
        window = commands.recordWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(window->parentWidget(), nullptr);

        // It reads where the commands save, including a path set after it was made.
        const QString moved = dir.filePath(u"moved.txt"_s);
        ASSERT_TRUE(writeBytes(moved, "x\r\n 42 "));
        commands.setRecordPath(moved);
        QTest::mouseClick(window->Command2(), Qt::LeftButton);
        EXPECT_EQ(window->Text1()->text(), u" 42 "_s);

        QTest::mouseClick(window->Command1(), Qt::LeftButton);
        EXPECT_FALSE(window->isVisible());
        commands.showRecordWindow();
        EXPECT_EQ(commands.recordWindow(), window.data());
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(window->Text1()->text(), u" 42 "_s);
    }
    EXPECT_TRUE(window.isNull()) << "the commands own the window";
}

} // namespace

// An open record window must not keep the console running once its main window is closed.
TEST_F(RecordWindow, ClosingTheMainWindowEndsTheProgramWhileItIsOpen)
{
    mainWindow.show();
    form.show();
    bool stillRunning = false;
    QTimer::singleShot(0, &mainWindow, [&] { mainWindow.close(); });
    // Only reached if closing the main window did not end the event loop.
    QTimer::singleShot(2000, qApp, [&] {
        stillRunning = true;
        QCoreApplication::exit(1);
    });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(stillRunning);
    form.hide();
}

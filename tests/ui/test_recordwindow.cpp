// The record window: its layout as operators know it, reading the record's last line, and
// handing back to the main window.

#include "support/doubles.h"
#include "support/files.h"
#include "support/printto.h"
#include "ui/filecommands.h"
#include "ui/recordwindow.h"

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

struct RecordWindowTest : ::testing::Test
{
    QTemporaryDir dir;
    QString path = dir.filePath(u"mytext.txt"_s);
    ScriptedBoxes boxes;
    QWidget mainWindow;
    RecordWindow window{boxes, &mainWindow, [this] { return path; }};
};

TEST_F(RecordWindowTest, ControlsPlacedAndCaptioned)
{
    struct Case
    {
        const char *name;
        QString text;
        QRect geometry; // twips / 15
    };
    const Case cases[] = {{"Command1", u"退出"_s, {504, 304, 49, 25}},
                          {"Command2", u"Command2"_s, {408, 304, 57, 25}},
                          {"Text1", u"Text1"_s, {72, 64, 393, 137}}};
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        auto *control = window.findChild<QWidget *>(QString::fromLatin1(k.name));
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->geometry(), k.geometry);
        if (auto *button = qobject_cast<QPushButton *>(control)) {
            EXPECT_EQ(button->text(), k.text);
        } else {
            auto *edit = qobject_cast<QLineEdit *>(control);
            ASSERT_NE(edit, nullptr) << "Text1 is a single-line edit";
            EXPECT_EQ(edit->text(), k.text);
        }
        EXPECT_TRUE(control->styleSheet().isEmpty());
    }
    EXPECT_EQ(window.exitButton()->objectName(), u"Command1"_s);
    EXPECT_EQ(window.readButton()->objectName(), u"Command2"_s);
    EXPECT_EQ(window.lastLine()->objectName(), u"Text1"_s);
}

TEST_F(RecordWindowTest, WindowFrame)
{
    EXPECT_EQ(window.windowTitle(), u"泵启动和停止时间记录"_s);
    EXPECT_TRUE(window.isWindow());
    EXPECT_EQ(window.parentWidget(), nullptr);
    window.show();
    EXPECT_EQ(window.size(), QSize(578, 338));
    EXPECT_NE(window.minimumSize(), window.maximumSize()) << "the frame is resizable";
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::MSWindowsFixedSizeDialogHint));
    EXPECT_TRUE(window.styleSheet().isEmpty());
    EXPECT_EQ(window.font(), QApplication::font());
}

TEST(RecordWindowIcon, TakesTheApplicationsIcon)
{
    QPixmap red(16, 16);
    red.fill(Qt::red);
    const QIcon before = QApplication::windowIcon();
    QApplication::setWindowIcon(QIcon(red));
    ScriptedBoxes boxes;
    RecordWindow window(boxes, nullptr, [] { return QString(); });
    QApplication::setWindowIcon(before);
    // Set on the window itself, so it stays even if the application's icon changes later.
    EXPECT_EQ(window.windowIcon().pixmap(16).toImage(), red.toImage());
}

TEST_F(RecordWindowTest, FocusOrderIsExitThenReadThenText)
{
    EXPECT_EQ(window.exitButton()->nextInFocusChain(), window.readButton());
    EXPECT_EQ(window.readButton()->nextInFocusChain(), window.lastLine());
    EXPECT_TRUE(window.exitButton()->focusPolicy() & Qt::TabFocus);
    EXPECT_TRUE(window.lastLine()->focusPolicy() & Qt::TabFocus);
}

TEST_F(RecordWindowTest, ReadShowsTheFilesLastLine)
{
    const std::pair<QByteArray, QString> cases[] = {
        {"-2 -1  0  1  2 \r\n 3 ", u" 3 "_s},
        {" 1  2  3  4  5 \r\n 6  7  8  9  10 \r\n", u" 6  7  8  9  10 "_s},
        {"", u""_s},
        {"a\nb", u"b"_s},
    };
    for (const auto &[content, shown] : cases) {
        SCOPED_TRACE(content.toStdString());
        ASSERT_TRUE(writeBytes(path, content));
        QTest::mouseClick(window.readButton(), Qt::LeftButton);
        EXPECT_EQ(window.lastLine()->text(), shown);
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(RecordWindowTest, MissingFileIsToldAndTheTextStays)
{
    window.lastLine()->setText(u"earlier line"_s);
    QTest::mouseClick(window.readButton(), Qt::LeftButton);
    const auto told = boxes.messages();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].prompt,
              u"压力记录无法读取 "_s + QDir::toNativeSeparators(path) + u"：文件或文件夹不存在"_s);
    EXPECT_FALSE(told[0].title.isEmpty());
    EXPECT_EQ(window.lastLine()->text(), u"earlier line"_s);
}

TEST_F(RecordWindowTest, ExitHidesItAndBringsBackTheMainWindow)
{
    mainWindow.hide();
    window.show();
    window.lastLine()->setText(u"kept"_s);
    QTest::mouseClick(window.exitButton(), Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(mainWindow.isVisible());
    EXPECT_EQ(window.lastLine()->text(), u"kept"_s);
}

TEST(RecordWindowCommand, ShownFromTheFileMenuOnceAndKept)
{
    QTemporaryDir dir;
    TestConsole c;
    QWidget mainWindow;
    QPointer<RecordWindow> window;
    {
        FileCommands commands(c.console, c.boxes, &mainWindow);
        c.console.setRecordPath(dir.filePath(u"mytext.txt"_s));
        commands.showRecordWindow();
        window = commands.recordWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(window->parentWidget(), nullptr);

        // It reads where the console saves, including a path set after it was made.
        const QString moved = dir.filePath(u"moved.txt"_s);
        ASSERT_TRUE(writeBytes(moved, "x\r\n 42 "));
        c.console.setRecordPath(moved);
        QTest::mouseClick(window->readButton(), Qt::LeftButton);
        EXPECT_EQ(window->lastLine()->text(), u" 42 "_s);

        QTest::mouseClick(window->exitButton(), Qt::LeftButton);
        EXPECT_FALSE(window->isVisible());
        commands.showRecordWindow();
        EXPECT_EQ(commands.recordWindow(), window.data());
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(window->lastLine()->text(), u" 42 "_s);
    }
    EXPECT_TRUE(window.isNull()) << "the commands own the window";
}

// An open record window must not keep the console running once its main window is closed.
TEST_F(RecordWindowTest, ClosingTheMainWindowEndsTheProgramWhileItIsOpen)
{
    mainWindow.show();
    window.show();
    bool stillRunning = false;
    QTimer::singleShot(0, &mainWindow, [&] { mainWindow.close(); });
    // Only reached if closing the main window did not end the event loop.
    QTimer::singleShot(2000, qApp, [&] {
        stillRunning = true;
        QCoreApplication::exit(1);
    });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(stillRunning);
    window.hide();
}

} // namespace

// The main window: where every control sits, how the labels look, the menu tree and its
// enabling, the focus order, and that clicks, menu choices and presses reach the console's
// actions (or, for presses on controls, do not).

#include "control/runlog/runlog.h"
#include "support/doubles.h"
#include "support/files.h"
#include "support/printto.h"
#include "ui/chartwidget.h"
#include "ui/filecommands.h"
#include "ui/folderopener.h"
#include "ui/mainwindow.h"
#include "windowondoubles.h"

#include <cmath>
#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

const QColor blue(0, 0, 255);

int px(int twips)
{
    return int(std::lround(twips / 15.0));
}

// A window with the doubles behind it. The port takes frames before any connection, so that
// keys and menus can be checked for what they send.
struct ConsoleWindow : WindowOnDoubles
{
    ConsoleWindow() { port.writesWhileClosed = true; }

    QWidget *child(const QString &name) const { return window.findChild<QWidget *>(name); }
    // Through the window, so the event lands on whatever lies on top at that point.
    QPoint at(QWidget *widget, QPoint local) const { return widget->mapTo(&window, local); }
    // All that an observer could tell apart: boxes, the port, frames, read-outs, the ticker.
    QStringList trace() const
    {
        QStringList t;
        for (const ScriptedBoxes::Shown &box : boxes.shown) {
            t << QStringList{box.kind, box.prompt, box.title, box.defaultText}.join(u'|');
        }
        t << port.opened << QString::number(port.isOpen());
        for (const QByteArray &frame : port.written) {
            t << QString::fromLatin1(frame);
        }
        for (auto *label : window.surface()->findChildren<QLabel *>()) {
            t << label->objectName() + u'=' + label->text() + (label->isHidden() ? u"-"_s : u"+"_s);
        }
        return t << QString::number(ticker.isActive());
    }
};

struct Placement
{
    QString name;
    int left, top, width, height; // twips
};

const Placement placements[] = {
    {u"lhour"_s, 0, 0, 615, 375},
    {u"Label1"_s, 600, 0, 495, 375},
    {u"lmin"_s, 1080, 0, 495, 375},
    {u"Label2"_s, 1560, 0, 495, 375},
    {u"lsed"_s, 2040, 0, 615, 375},
    {u"Label3"_s, 2640, 0, 495, 375},
    {u"Label4_0"_s, 6720, 600, 1215, 375},
    {u"LcurrP"_s, 7920, 600, 615, 375},
    {u"Label5_0"_s, 8520, 600, 705, 375},
    {u"Label4_1"_s, 6720, 960, 1215, 375},
    {u"LsetP"_s, 7920, 960, 615, 375},
    {u"Label5_1"_s, 8520, 960, 705, 375},
    {u"Label4_2"_s, 6720, 1320, 1215, 375},
    {u"LsetF"_s, 7920, 1320, 615, 375},
    {u"Label5_2"_s, 8520, 1320, 705, 375},
    {u"LSetState"_s, 6720, 1680, 1215, 375},
    {u"Lstate"_s, 7920, 1680, 1320, 375},
    {u"Cmd0_13"_s, 6720, 2160, 615, 375},
    {u"Cmd1_0"_s, 7360, 2160, 615, 375},
    {u"Cmd2_1"_s, 8020, 2160, 615, 375},
    {u"Cmd3_2"_s, 8680, 2160, 615, 375},
    {u"Cmd4_4"_s, 6720, 2640, 615, 375},
    {u"Cmd5_5"_s, 7360, 2640, 615, 375},
    {u"Cmd6_6"_s, 8020, 2640, 615, 375},
    {u"Cmd7_8"_s, 8680, 2640, 615, 375},
    {u"Cmd8_9"_s, 6720, 3120, 615, 375},
    {u"Cmd9_10"_s, 7360, 3120, 615, 375},
    {u"Cmd0_0"_s, 8020, 3120, 615, 375},
    {u"Cmd0_1"_s, 8680, 3120, 615, 375},
    {u"Cmdl_3"_s, 6720, 3600, 615, 375},
    {u"Cmdp_7"_s, 7360, 3600, 615, 375},
    {u"Cmdr_11"_s, 8020, 3600, 615, 375},
    {u"Cmds_15"_s, 8680, 3600, 615, 375},
    {u"Picture1"_s, 600, 4680, 9975, 2175},
    {u"safetyState"_s, 6600, 150, 2850, 375},
};

TEST(MainWindowLayout, EveryControlSitsAtItsDesignedPlaceAndEnlargingMovesNothing)
{
    ConsoleWindow c;
    c.show();
    const auto expectDesignedPlaces = [&c] {
        for (const Placement &p : placements) {
            SCOPED_TRACE(p.name.toStdString());
            QWidget *w = c.child(p.name);
            ASSERT_NE(w, nullptr);
            EXPECT_EQ(w->parentWidget(), c.window.surface());
            EXPECT_EQ(w->geometry(), QRect(px(p.left), px(p.top), px(p.width), px(p.height)));
        }
    };
    ASSERT_NO_FATAL_FAILURE(expectDesignedPlaces());
    // Nothing on the surface that the table does not place.
    EXPECT_EQ(c.window.surface()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly).size(),
              qsizetype(std::size(placements)));
    // Off-grid columns round to the nearest pixel; the chart fills its frame's interior.
    EXPECT_EQ(c.child(u"Cmd1_0"_s)->x(), 491);
    EXPECT_EQ(c.child(u"Cmds_15"_s)->geometry().right(), 619);
    EXPECT_EQ(c.window.chartWidget()->geometry(), QRect(40, 312, 665, 145));

    const QImage chart = c.window.chartWidget()->grab().toImage();
    c.window.resize(1100, 900);
    QCoreApplication::processEvents();
    ASSERT_GT(c.window.surface()->width(), 820);
    ASSERT_GT(c.window.surface()->height(), 616);
    expectDesignedPlaces();
    EXPECT_EQ(c.window.chartWidget()->grab().toImage(), chart);
    // Blue beyond the picture, which stays unscaled at the top-left: the chart's black frame
    // beside Picture1.
    const QImage surface = c.window.surface()->grab().toImage();
    for (QPoint p : {QPoint(830, 100), QPoint(100, 630), QPoint(1050, 850), QPoint(820, 616)}) {
        EXPECT_EQ(surface.pixelColor(p), blue) << p.x() << "," << p.y();
    }
    EXPECT_EQ(surface.pixelColor(39, 380), QColor(Qt::black));
    EXPECT_EQ(surface.pixelColor(706, 380), QColor(Qt::black));
}

TEST(MainWindowLayout, WindowHasCaptionIconFixedClientAreaAndPicturesFromResources)
{
    ConsoleWindow c;
    c.show();
    EXPECT_EQ(c.window.windowTitle(), u"恒流恒压泵控制系统(TALVEN)V2.0"_s);
    EXPECT_EQ(c.window.windowIcon().pixmap(QSize(32, 32)).size(), QSize(32, 32));
    EXPECT_EQ(c.window.surface()->size(), QSize(727, 502));
    EXPECT_EQ(c.window.surface()->mapToGlobal(QPoint(0, 0)), QPoint(135, 141));
    EXPECT_EQ(c.window.surface()->y(), c.window.menuBar()->geometry().bottom() + 1);

    QList<std::pair<QString, QSize>> pictures{{u"background"_s, {820, 616}}, {u"icon"_s, {32, 32}}};
    for (const QString &face :
         {u"0"_s, u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s, u"7"_s, u"8"_s, u"9"_s, u"up"_s,
          u"down"_s, u"L"_s, u"P"_s, u"RUN"_s, u"STOP"_s}) {
        pictures.append({u"key_"_s + face, {39, 21}});
    }
    for (const auto &[name, size] : pictures) {
        const QPixmap pixmap(u":/images/"_s + name + u".png"_s);
        EXPECT_EQ(pixmap.size(), size) << name.toStdString();
    }
}

struct LabelLook
{
    QString name;
    QString text;
    double points;
    bool blackText;
    bool shownAtStart;
};

const LabelLook labelLooks[] = {
    {u"lhour"_s, u"00"_s, 15.75, false, false},
    {u"Label1"_s, u"时"_s, 15.75, false, false},
    {u"lmin"_s, u"00"_s, 15.75, false, false},
    {u"Label2"_s, u"分"_s, 15.75, false, false},
    {u"lsed"_s, u"00"_s, 15.75, false, false},
    {u"Label3"_s, u"秒"_s, 15.75, false, false},
    {u"Label4_0"_s, u"当前压力"_s, 14.25, true, true},
    {u"Label4_1"_s, u"设定压力"_s, 14.25, true, true},
    {u"Label4_2"_s, u"设定流量"_s, 14.25, true, true},
    {u"LcurrP"_s, u"00.0"_s, 12, false, true},
    {u"LsetP"_s, u"05.0"_s, 12, false, true},
    {u"LsetF"_s, u"00.0"_s, 12, false, true},
    {u"Label5_0"_s, u" MPa"_s, 12, false, true},
    {u"Label5_1"_s, u" MPa"_s, 12, false, true},
    {u"Label5_2"_s, u" ml/m"_s, 12, false, true},
    {u"LSetState"_s, QString(), 12, false, true},
    {u"Lstate"_s, u"     STOP"_s, 12, false, true},
};

TEST(MainWindowLabels, TextFontColoursVisibilityAndWhatAScreenReaderSays)
{
    ConsoleWindow c;
    const QColor defaultText = QApplication::palette().color(QPalette::WindowText);
    for (const LabelLook &look : labelLooks) {
        SCOPED_TRACE(look.name.toStdString());
        auto *label = c.window.findChild<QLabel *>(look.name);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), look.text);
        EXPECT_EQ(label->font().family(), u"宋体"_s);
        EXPECT_TRUE(label->font().bold());
        EXPECT_DOUBLE_EQ(label->font().pointSizeF(), look.points);
        EXPECT_TRUE(label->autoFillBackground());
        EXPECT_EQ(label->palette().color(QPalette::Window), blue);
        EXPECT_EQ(label->palette().color(QPalette::WindowText),
                  look.blackText ? QColor(Qt::black) : defaultText);
        EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
        EXPECT_EQ(label->isHidden(), !look.shownAtStart);
        EXPECT_TRUE(label->accessibleName().isEmpty());
        EXPECT_EQ(QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name), look.text);
    }
    c.window.console().beginFlowEntry();
    QLabel *mode = c.window.label(Readout::EntryMode);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(mode)->text(QAccessible::Name), u"Lset"_s);

    if (QFontDatabase::families().contains(u"Noto Serif CJK SC"_s)) {
        const QFontInfo info(c.window.label(Readout::Pressure)->font());
        EXPECT_EQ(info.family(), u"Noto Serif CJK SC"_s);
        EXPECT_TRUE(info.bold());
    }
}

struct KeyCase
{
    QString name;
    QString face;
    Readout shows; // digits are pressed into an open flow entry
    QString expected;
    QByteArray frame; // written by the key, if any
};

const KeyCase keyCases[] = {
    {u"Cmd0_13"_s, u"0"_s, Readout::Flow, u"0"_s, {}},
    {u"Cmd1_0"_s, u"1"_s, Readout::Flow, u"1"_s, {}},
    {u"Cmd2_1"_s, u"2"_s, Readout::Flow, u"2"_s, {}},
    {u"Cmd3_2"_s, u"3"_s, Readout::Flow, u"3"_s, {}},
    {u"Cmd4_4"_s, u"4"_s, Readout::Flow, u"4"_s, {}},
    {u"Cmd5_5"_s, u"5"_s, Readout::Flow, u"5"_s, {}},
    {u"Cmd6_6"_s, u"6"_s, Readout::Flow, u"6"_s, {}},
    {u"Cmd7_8"_s, u"7"_s, Readout::Flow, u"7"_s, {}},
    {u"Cmd8_9"_s, u"8"_s, Readout::Flow, u"8"_s, {}},
    {u"Cmd9_10"_s, u"9"_s, Readout::Flow, u"9"_s, {}},
    {u"Cmd0_0"_s, u"▲"_s, Readout::Flow, u"0"_s, {}},
    {u"Cmd0_1"_s, u"▼"_s, Readout::Flow, u"0"_s, {}},
    {u"Cmdl_3"_s, u"L"_s, Readout::EntryMode, u"Lset"_s, {}},
    {u"Cmdp_7"_s, u"P"_s, Readout::EntryMode, u"Pset"_s, {}},
    {u"Cmdr_11"_s, u"RUN"_s, Readout::RunState, u"     RUN "_s, "Q00R0000Y"},
    {u"Cmds_15"_s, u"STOP"_s, Readout::RunState, u"     STOP"_s, "Q00S0000Y"},
};

TEST(MainWindowKeys, EachKeyIsNamedByItsFaceAndReachesItsActionBeforeAnyConnection)
{
    for (const KeyCase &k : keyCases) {
        SCOPED_TRACE(k.name.toStdString());
        ConsoleWindow c; // the port double takes writes although no connection was made
        c.show();
        auto *key = c.window.findChild<QAbstractButton *>(k.name);
        ASSERT_NE(key, nullptr);
        EXPECT_TRUE(key->text().isEmpty());
        EXPECT_EQ(QAccessible::queryAccessibleInterface(key)->text(QAccessible::Name), k.face);
        EXPECT_TRUE(key->isEnabled());
        EXPECT_EQ(key->icon().pixmap(QSize(39, 21)).size(), QSize(39, 21));

        if (k.shows == Readout::Flow) {
            c.window.console().beginFlowEntry();
        }
        QTest::mouseClick(c.window.windowHandle(), Qt::LeftButton, {},
                          c.at(key, key->rect().center()));
        EXPECT_EQ(c.window.label(k.shows)->text(), k.expected);
        EXPECT_EQ(c.port.written,
                  k.frame.isEmpty() ? std::vector<QByteArray>{} : std::vector<QByteArray>{k.frame});
        EXPECT_TRUE(c.boxes.shown.empty());
    }
}

TEST(MainWindowKeys, TabWalksTheKeysInKeypadOrderThenTheChartStartingAtOne)
{
    ConsoleWindow c;
    c.show();
    c.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&c.window));
    EXPECT_EQ(QApplication::focusWidget(), c.child(u"Cmd1_0"_s));

    const QStringList expected{u"Cmd2_1"_s,   u"Cmd3_2"_s,  u"Cmdl_3"_s,  u"Cmd4_4"_s, u"Cmd5_5"_s,
                               u"Cmd6_6"_s,   u"Cmdp_7"_s,  u"Cmd7_8"_s,  u"Cmd8_9"_s, u"Cmd9_10"_s,
                               u"Cmdr_11"_s,  u"Cmd0_13"_s, u"Cmds_15"_s, u"Cmd0_0"_s, u"Cmd0_1"_s,
                               u"Picture1"_s, u"Cmd1_0"_s};
    QStringList visited;
    for (qsizetype i = 0; i < expected.size() && QApplication::focusWidget(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(visited, expected);
}

struct MenuEntry
{
    QString name;
    QString caption;
    QString parent; // empty: the menu bar; "-": shown only as a popup
};

const MenuEntry menuEntries[] = {
    {u"file"_s, u"文件(F)"_s, {}},
    {u"save"_s, u"保存"_s, u"file"_s},
    {u"print"_s, u"打印"_s, u"file"_s},
    {u"record"_s, u"压力记录"_s, u"file"_s},
    {u"openLogFolder"_s, u"打开记录文件夹"_s, u"file"_s},
    {u"trend"_s, u"趋势"_s, u"file"_s},
    {u"end"_s, u"退出"_s, u"file"_s},
    {u"settime"_s, u"定时(T)"_s, {}},
    {u"stset"_s, u"设定"_s, u"settime"_s},
    {u"operation"_s, u"操作"_s, u"settime"_s},
    {u"ststart"_s, u"开始"_s, u"operation"_s},
    {u"stzanting"_s, u"暂停"_s, u"operation"_s},
    {u"stcontiune"_s, u"继续"_s, u"operation"_s},
    {u"stend"_s, u"结束"_s, u"operation"_s},
    {u"program"_s, u"程序"_s, u"settime"_s},
    {u"Pump"_s, u"泵(O)"_s, {}},
    {u"run"_s, u"运行"_s, u"Pump"_s},
    {u"stop"_s, u"停止"_s, u"Pump"_s},
    {u"pumps"_s, u"多泵"_s, u"Pump"_s},
    {u"seting"_s, u"设定(S)"_s, {}},
    {u"liquid"_s, u"流量"_s, u"seting"_s},
    {u"pressure"_s, u"压力"_s, u"seting"_s},
    {u"Pump_NO"_s, u"泵编号"_s, u"seting"_s},
    {u"safety"_s, u"安全保护"_s, u"seting"_s},
    {u"Communication"_s, u"通信"_s, {}},
    {u"rightkey"_s, u"右键"_s, u"-"_s},
    {u"rrun"_s, u"运行"_s, u"rightkey"_s},
    {u"rstop"_s, u"停止"_s, u"rightkey"_s},
    {u"help"_s, u"帮助(H)"_s, {}},
};

QStringList names(const QList<QAction *> &actions)
{
    QStringList out;
    for (QAction *a : actions) {
        out << a->objectName();
    }
    return out;
}

TEST(MainWindowMenus, TreeHasItsCaptionsInOrderWithoutAccessKeysOrShortcuts)
{
    ConsoleWindow c;
    QMap<QString, QStringList> children;
    for (const MenuEntry &e : menuEntries) {
        SCOPED_TRACE(e.name.toStdString());
        QAction *action = c.window.menuAction(e.name);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->objectName(), e.name);
        EXPECT_EQ(action->text(), e.caption);
        children[e.parent] << e.name;
    }
    EXPECT_EQ(names(c.window.menuBar()->actions()), children.value(QString()));
    for (const QString &menu :
         {u"file"_s, u"settime"_s, u"operation"_s, u"Pump"_s, u"seting"_s, u"rightkey"_s}) {
        ASSERT_NE(c.window.menuAction(menu)->menu(), nullptr) << menu.toStdString();
        EXPECT_EQ(names(c.window.menuAction(menu)->menu()->actions()), children[menu]);
    }
    EXPECT_EQ(c.window.menuAction(u"Communication"_s)->menu(), nullptr);
    EXPECT_EQ(c.window.menuAction(u"help"_s)->menu(), nullptr);
    EXPECT_EQ(c.window.rightKeyMenu(), c.window.menuAction(u"rightkey"_s)->menu());
    for (QAction *a : c.window.findChildren<QAction *>()) {
        EXPECT_FALSE(a->text().contains(u'&')) << a->text().toStdString();
        // The one key: 标记 marks the moment in the run log without a menu.
        EXPECT_EQ(a->shortcuts(), a->objectName() == u"mark"_s ? QList{QKeySequence(Qt::Key_F2)}
                                                               : QList<QKeySequence>())
            << a->text().toStdString();
    }
}

TEST(MainWindowMenus, PumpMenusAreDisabledUntilTheLineIsOpenAndAgainOnceItIsLost)
{
    ConsoleWindow c;
    const std::pair<QString, bool> unconnected[] = {
        {u"file"_s, false},   {u"settime"_s, false},  {u"Pump"_s, false},
        {u"seting"_s, false}, {u"rightkey"_s, false}, {u"Communication"_s, true},
        {u"help"_s, true},    {u"save"_s, true},      {u"operation"_s, true},
        {u"rrun"_s, true},
    };
    const auto expectMenus = [&c, &unconnected](bool connected) {
        for (const auto &[name, enabled] : unconnected) {
            EXPECT_EQ(c.window.menuAction(name)->isEnabled(), enabled || connected)
                << name.toStdString() << (connected ? " connected" : " unconnected");
        }
        EXPECT_EQ(c.window.rightKeyMenu()->isEnabled(), connected);
    };
    expectMenus(false);
    c.window.menuAction(u"Communication"_s)->trigger(); // cancelled: nothing changes
    expectMenus(false);
    c.connectPump();
    expectMenus(true);
    c.port.lose();
    expectMenus(false);
}

TEST(MainWindowMenus, EachItemRunsItsOwnActionAndHelpNone)
{
    using Action = void (PumpConsole::*)();
    const std::tuple<QString, Action, std::optional<QString>> wirings[] = {
        {u"run"_s, &PumpConsole::runPump, {}},
        {u"stop"_s, &PumpConsole::stopPump, {}},
        {u"rrun"_s, &PumpConsole::runPump, {}},
        {u"rstop"_s, &PumpConsole::stopPump, {}},
        {u"liquid"_s, &PumpConsole::askFlow, u"7.5"_s},
        {u"pressure"_s, &PumpConsole::askPressureLimit, u"1.5"_s},
        {u"Pump_NO"_s, &PumpConsole::askPumpNumber, u"3"_s},
        {u"stset"_s, &PumpConsole::askRunLength, u"2"_s},
        {u"ststart"_s, &PumpConsole::startTimedRun, {}},
        {u"stzanting"_s, &PumpConsole::pauseTimedRun, {}},
        {u"stcontiune"_s, &PumpConsole::resumeTimedRun, {}},
        {u"stend"_s, &PumpConsole::endTimedRun, {}},
        {u"Communication"_s, &PumpConsole::choosePort, u"2"_s},
        {u"save"_s, &PumpConsole::saveRecord, {}},
        {u"help"_s, nullptr, {}},
    };
    const QTemporaryDir dir;
    // Through the menu and by a direct call the console must end up the same, and (but for
    // help) differently from doing nothing.
    for (const auto &[item, action, answer] : wirings) {
        SCOPED_TRACE(item.toStdString());
        ConsoleWindow viaMenu, direct;
        for (ConsoleWindow *c : {&viaMenu, &direct}) {
            c->connectPump();
            c->window.console().setRecordPath(dir.filePath(u"record.txt"_s));
            if (answer) {
                c->boxes.answers.push_back(*answer);
            }
        }
        const QStringList idle = viaMenu.trace();
        viaMenu.window.menuAction(item)->trigger();
        if (action) {
            (direct.window.console().*action)();
            EXPECT_NE(viaMenu.trace(), idle);
        }
        EXPECT_EQ(viaMenu.trace(), direct.trace());
    }
}

TEST(MainWindowMenus, EndLeavesTheEventLoopWithoutClosingTheLineButClosingTheWindowCloses)
{
    ConsoleWindow c;
    c.connectPump();
    QEventLoop loop;
    QTimer::singleShot(0, &c.window, [&c] { c.window.menuAction(u"end"_s)->trigger(); });
    QTimer::singleShot(3000, &loop, [&loop] { loop.exit(99); });
    EXPECT_EQ(loop.exec(), 0);
    EXPECT_TRUE(c.port.isOpen());

    c.show();
    EXPECT_TRUE(c.window.close());
    EXPECT_FALSE(c.port.isOpen());
}

// Shows folders nowhere; says what it was asked to show.
struct RecordingOpener final : FolderOpener
{
    QStringList opened;
    bool works = true;
    bool open(const QString &folder) override
    {
        opened << folder;
        return works;
    }
};

TEST(MainWindowMenus, OpenLogFolderShowsTheFolderTheLogsGoToMakingItWhenMissing)
{
    const QTemporaryDir dir;
    const QString folder = dir.filePath(u"docs/pumplogs"_s);
    ConsoleWindow c;
    RecordingOpener opener;
    c.window.fileCommands().setFolderOpener(&opener);
    // Before the log is started the item still shows where it would write.
    EXPECT_EQ(c.window.console().runLogFolder(), runlog::defaultFolder());
    c.window.console().startRunLog({folder});
    c.connectPump();

    c.window.menuAction(u"openLogFolder"_s)->trigger();
    EXPECT_EQ(opener.opened, QStringList{folder});
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_TRUE(c.boxes.shown.empty());

    // A desktop that cannot show it, or a folder that cannot be made: the operator hears why.
    opener.works = false;
    c.window.menuAction(u"openLogFolder"_s)->trigger();
    const QString blockedFolder = dir.filePath(u"file"_s) + u"/pumplogs"_s;
    ASSERT_TRUE(writeBytes(dir.filePath(u"file"_s), {}));
    ConsoleWindow blocked;
    blocked.window.fileCommands().setFolderOpener(&opener);
    blocked.window.console().startRunLog({blockedFolder});
    blocked.window.fileCommands().openLogFolder();
    EXPECT_EQ(opener.opened.size(), 2) << "nothing to show when the folder could not be made";

    EXPECT_EQ(
        c.boxes.texts(),
        QStringList{u"打开记录文件夹|无法打开记录文件夹 %1：桌面没有能显示文件夹的程序。"_s.arg(
            QDir::toNativeSeparators(folder))});
    EXPECT_EQ(blocked.boxes.texts(),
              QStringList{u"打开记录文件夹|无法打开记录文件夹 %1：无法创建该文件夹。"_s.arg(
                  QDir::toNativeSeparators(blockedFolder))});
}

struct PressCase
{
    QString target; // "surface": a bare spot of it
    Qt::MouseButton button;
    Qt::KeyboardModifiers modifiers;
    bool connected;
    bool popup;
};

const PressCase pressCases[] = {
    {u"surface"_s, Qt::RightButton, {}, true, true},
    {u"surface"_s, Qt::RightButton, Qt::ShiftModifier | Qt::ControlModifier, true, true},
    {u"surface"_s, Qt::RightButton, {}, false, false},
    {u"surface"_s, Qt::LeftButton, {}, true, false},
    {u"surface"_s, Qt::MiddleButton, {}, true, false},
    {u"lhour"_s, Qt::RightButton, {}, true, true}, // hidden: the surface is what is there
    {u"LcurrP"_s, Qt::RightButton, {}, true, false},
    {u"Label4_1"_s, Qt::RightButton, {}, true, false},
    {u"LSetState"_s, Qt::RightButton, {}, true, false},
    {u"Cmdr_11"_s, Qt::RightButton, {}, true, false},
    {u"Picture1"_s, Qt::RightButton, {}, true, false},
};

TEST(MainWindowMouse, OnlyPressesOnTheBareSurfaceReachTheRightClickMenu)
{
    for (const PressCase &p : pressCases) {
        SCOPED_TRACE((p.target + u' ' + QString::number(int(p.button))).toStdString());
        ConsoleWindow c;
        if (p.connected) {
            c.connectPump();
        }
        c.show();
        const bool bare = p.target == u"surface"_s;
        QWidget *target = bare ? c.window.surface() : c.child(p.target);
        ASSERT_NE(target, nullptr);
        const QPoint pos = c.at(target, bare ? QPoint(300, 480) : target->rect().center());
        QTest::mousePress(c.window.windowHandle(), p.button, p.modifiers, pos);
        EXPECT_EQ(c.window.rightKeyMenu()->isVisible(), p.popup);
        c.window.rightKeyMenu()->hide();
        QTest::mouseRelease(c.window.windowHandle(), p.button, p.modifiers, pos);
        EXPECT_TRUE(c.port.written.empty());
    }
}

} // namespace

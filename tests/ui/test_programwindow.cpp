// The program window on the doubles: its file, its table, its buttons as a program runs, and
// the preview's marker and the times beside it.

#include "control/program/programfile.h"
#include "support/printto.h"
#include "ui/program/flowpreview.h"
#include "ui/program/programwindow.h"
#include "windowondoubles.h"

#include <gtest/gtest.h>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using namespace program;

namespace {

struct ProgramOnDoubles : WindowOnDoubles
{
    ProgramWindow programs{console, boxes, &window};
    QTemporaryDir dir;

    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    // Each row as "minutes|flow|mode|limit", as the operator sees it.
    QStringList rows() const
    {
        QStringList out;
        QTableWidget *t = programs.table();
        for (int r = 0; r < t->rowCount(); ++r) {
            out << t->item(r, 0)->text() + u'|' + t->item(r, 1)->text() + u'|' +
                       qobject_cast<QComboBox *>(t->cellWidget(r, 2))->currentText() + u'|' +
                       t->item(r, 3)->text();
        }
        return out;
    }
    void click(const QString &button) { programs.button(button)->click(); }
    bool enabled(const QString &button) { return programs.button(button)->isEnabled(); }
    QString text(const QString &label) { return programs.findChild<QLabel *>(label)->text(); }
};

const QByteArray good = "minutes,flow_ml_min,mode,pressure_limit_mpa\r\n"
                        "0.05,1,hold,2\r\n0.05,1,ramp,\r\n0.05,1.3,hold,\r\n"_ba;

} // namespace

TEST(ProgramWindow, OpensFromTheTimedMenuWithItsNames)
{
    ProgramOnDoubles c;
    QObject::connect(c.window.menuAction(u"program"_s), &QAction::triggered, &c.programs,
                     &ProgramWindow::showAndRaise);
    c.window.menuAction(u"program"_s)->trigger();
    EXPECT_TRUE(c.programs.isVisible());
    EXPECT_EQ(c.window.findChild<ProgramWindow *>(u"programWindow"_s), &c.programs);
    EXPECT_EQ(c.programs.windowTitle(), u"运行程序"_s);
    QStringList headers;
    for (int i = 0; i < c.programs.table()->columnCount(); ++i) {
        headers << c.programs.table()->horizontalHeaderItem(i)->text();
    }
    EXPECT_EQ(headers, (QStringList{u"分钟"_s, u"流量"_s, u"方式"_s, u"压力上限"_s}));
    QStringList buttons;
    for (auto *b : c.programs.findChildren<QPushButton *>()) {
        buttons << b->text();
    }
    EXPECT_EQ(buttons, (QStringList{u"添加"_s, u"删除"_s, u"上移"_s, u"下移"_s, u"打开"_s,
                                    u"保存"_s, u"开始"_s, u"暂停"_s, u"继续"_s, u"中止"_s}));
}

TEST(ProgramWindow, OpensAGoodFileRefusesABadOneAndSavesWhatItShows)
{
    ProgramOnDoubles c;
    ASSERT_TRUE(c.programs.openFile(c.file(u"方法.csv"_s, good)));
    EXPECT_EQ(c.rows(), (QStringList{u"0.05|1|保持|2"_s, u"0.05|1|渐变|"_s, u"0.05|1.3|保持|"_s}));
    EXPECT_EQ(c.programs.programName(), u"方法.csv"_s);
    EXPECT_EQ(c.programs.preview()->accessibleDescription(), u"总长 9 秒"_s);

    const QString bad = c.file(u"坏.csv"_s, good + "1,70,hold,\r\n");
    EXPECT_FALSE(c.programs.openFile(bad));
    EXPECT_EQ(c.boxes.texts(),
              QStringList{u"运行程序|程序文件 %1 未能打开：第 5 行：流量 70 超出范围 "
                          u"0～50.0 ml/min。\r\n程序保持不变。"_s.arg(bad)});
    EXPECT_EQ(c.rows().size(), 3) << "nothing of a refused file is loaded";

    // Edited: a row added after the first, the ramp moved up, the first removed.
    c.programs.table()->setCurrentCell(0, 0);
    c.click(u"programAdd"_s);
    c.programs.table()->item(1, 1)->setText(u"2.5"_s);
    c.programs.table()->setCurrentCell(2, 0);
    c.click(u"programUp"_s);
    c.programs.table()->setCurrentCell(0, 0);
    c.click(u"programRemove"_s);
    EXPECT_EQ(c.rows(), (QStringList{u"0.05|1|渐变|"_s, u"1|2.5|保持|"_s, u"0.05|1.3|保持|"_s}));
    EXPECT_EQ(c.programs.preview()->accessibleDescription(), u"总长 1 分 6 秒"_s);

    const QString saved = c.dir.filePath(u"改.csv"_s);
    ASSERT_TRUE(c.programs.saveFile(saved));
    QFile f(saved);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "minutes,flow_ml_min,mode,pressure_limit_mpa\r\n0.05,1,ramp,\r\n"
                           "1,2.5,hold,\r\n0.05,1.3,hold,\r\n"_ba);

    // What could not be opened again is not saved.
    c.boxes.shown.clear();
    c.programs.table()->setCurrentCell(0, 0);
    c.click(u"programDown"_s);
    c.click(u"programDown"_s);
    EXPECT_EQ(c.programs.preview()->accessibleDescription(), QString()) << "no curve to draw";
    EXPECT_FALSE(c.programs.saveFile(saved));
    c.programs.table()->item(0, 0)->setText(u"1,5"_s);
    EXPECT_FALSE(c.programs.saveFile(saved));
    EXPECT_EQ(c.boxes.texts(),
              (QStringList{
                  u"运行程序|程序未保存：第 3 步：最后一步不能渐变：没有下一步的流量可以渐变到。"_s,
                  u"运行程序|第 1 步的分钟“1,5”不是数字（小数点用“.”）。"_s}));
}

TEST(ProgramWindow, ButtonsFollowTheRunAndTheTimesAndMarkerMove)
{
    ProgramOnDoubles c;
    ASSERT_TRUE(c.programs.openFile(c.file(u"方法.csv"_s, good)));
    EXPECT_FALSE(c.enabled(u"programStart"_s)) << "no line, no start";
    ASSERT_NO_FATAL_FAILURE(c.connectPump());
    const auto states = [&] {
        QString s;
        for (const QString &b : {u"programStart"_s, u"programPause"_s, u"programContinue"_s,
                                 u"programAbort"_s, u"programOpen"_s}) {
            s += c.enabled(b) ? u'1' : u'0';
        }
        return s;
    };
    EXPECT_EQ(states(), u"10001"_s);

    c.click(u"programStart"_s);
    EXPECT_EQ(c.port.written.front(), "Q00P02.0Y"_ba);
    EXPECT_EQ(states(), u"01010"_s);
    EXPECT_FALSE(c.programs.table()->isEnabled());
    c.clock.advance(4500);
    c.programTicker.ticks();
    EXPECT_EQ(c.text(u"programElapsed"_s), u"已运行 00:00:04"_s);
    EXPECT_EQ(c.text(u"programRemaining"_s), u"剩余 00:00:05"_s);
    EXPECT_EQ(c.programs.preview()->marker(), Ms(4500));
    EXPECT_EQ(c.text(u"programStatus"_s), u"“方法.csv”运行中：第 2 步，共 3 步"_s);

    c.click(u"programPause"_s);
    EXPECT_EQ(states(), u"00110"_s);
    c.click(u"programContinue"_s);
    EXPECT_EQ(states(), u"01010"_s);
    c.click(u"programAbort"_s);
    EXPECT_EQ(states(), u"10001"_s);
    EXPECT_EQ(c.text(u"programStatus"_s), u"“方法.csv”已中止，泵已停止"_s);
    EXPECT_EQ(c.programs.preview()->marker(), std::nullopt);
    EXPECT_EQ(c.port.written.back(), "Q00S0000Y"_ba);
}

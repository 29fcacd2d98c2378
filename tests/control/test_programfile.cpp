// A program's file: what is taken as spreadsheets write it, what is refused and on which line,
// and that a saved program reads back as it was.

#include "control/program/programfile.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using namespace program;

namespace {

const QByteArray head = "minutes,flow_ml_min,mode,pressure_limit_mpa\r\n"_ba;

} // namespace

TEST(ProgramFile, GoodFiles)
{
    struct Row
    {
        const char *what;
        QByteArray bytes;
        Steps steps;
    };
    const Row rows[] = {
        {"as written here",
         head + "10,0.5,hold,2\r\n5,0.5,ramp,\r\n60,2,hold,\r\n",
         {{10, 0.5, Mode::Hold, 2.0}, {5, 0.5, Mode::Ramp, {}}, {60, 2, Mode::Hold, {}}}},
        {"byte order mark, LF, blanks, quotes, capitals, three columns, blank and empty rows",
         "\xEF\xBB\xBF minutes , flow_ml_min,MODE,pressure_limit_mpa\n\n"
         "\"0.5\", 1.25 ,\"Ramp\"\n,,,\n1e1,2,HOLD,\" 4.5 \"\n"_ba,
         {{0.5, 1.25, Mode::Ramp, {}}, {10, 2, Mode::Hold, 4.5}}},
        {"no line end after the last row", head + "1,0,hold,0"_ba, {{1, 0, Mode::Hold, 0.0}}},
    };
    for (const Row &row : rows) {
        const programfile::Read read = programfile::parse(row.bytes);
        ASSERT_TRUE(read.steps) << row.what << ": " << programfile::refusal(read).toStdString();
        EXPECT_EQ(*read.steps, row.steps) << row.what;
    }
}

TEST(ProgramFile, BadFilesAreRefusedWithTheirLine)
{
    struct Row
    {
        QByteArray bytes;
        QString refusal;
    };
    const Row rows[] = {
        {""_ba, u"文件是空的"_s},
        {"minutes,flow,mode\r\n1,1,hold\r\n"_ba,
         u"第 1 行：第一行应为表头 minutes,flow_ml_min,mode,pressure_limit_mpa"_s},
        {head + "1,1,hold,\r\n1,1\r\n",
         u"第 3 行：应为 3 或 4 列（分钟、流量、方式、压力上限），实为 2 列"_s},
        {head + "1,1,hold,2,x\r\n",
         u"第 2 行：应为 3 或 4 列（分钟、流量、方式、压力上限），实为 5 列"_s},
        {head + "\r\n1,1,hold\r\n,1,hold\r\n", u"第 4 行：缺少时长"_s},
        {head + "1,1,5,hold\r\n", u"第 2 行：方式“5”应为 hold（保持）或 ramp（渐变）"_s},
        {head + "1,\"1,5\",hold\r\n", u"第 2 行：流量“1,5”不是数字（小数点用“.”）"_s},
        {head + "1,1.5.0,hold\r\n", u"第 2 行：流量“1.5.0”不是数字（小数点用“.”）"_s},
        {head + "1,nan,hold\r\n", u"第 2 行：流量“nan”不是数字（小数点用“.”）"_s},
        {head + "1,2,hold,abc\r\n", u"第 2 行：压力上限“abc”不是数字（小数点用“.”）"_s},
        {head + "1,2,hold\r\n1,55,hold\r\n", u"第 3 行：流量 55 超出范围 0～50.0 ml/min"_s},
        {head + "1,2,hold,6\r\n", u"第 2 行：压力上限 6 超出范围 0～5.0 MPa"_s},
        {head + "0,2,hold\r\n", u"第 2 行：时长 0 分：必须大于 0"_s},
        {head + "1,2,hold\r\n\r\n1,3,ramp\r\n",
         u"第 4 行：最后一步不能渐变：没有下一步的流量可以渐变到"_s},
        {head + "1000,2,hold\r\n441,3,hold\r\n", u"第 3 行：程序总长超过 24 小时（1440 分）"_s},
        {head, u"程序中没有步骤"_s},
        {head + "1,2,hold\r\n1,\xff\xfe,hold\r\n", u"第 3 行：不是 UTF-8 文本"_s},
    };
    for (const Row &row : rows) {
        const programfile::Read read = programfile::parse(row.bytes);
        EXPECT_FALSE(read.steps) << row.bytes.toStdString();
        EXPECT_EQ(programfile::refusal(read), row.refusal) << row.bytes.toStdString();
    }
}

TEST(ProgramFile, SavedProgramReadsBackAndNamesTheSameSteps)
{
    const Steps steps{
        {0.1, 0.25, Mode::Hold, 1.5}, {1.0 / 3, 49.96, Mode::Ramp, {}}, {1439, 0, Mode::Hold, 5.0}};
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(u"方法.csv"_s);
    ASSERT_TRUE(programfile::save(path, steps).ok);
    const programfile::Read read = programfile::load(path);
    ASSERT_TRUE(read.steps) << programfile::refusal(read).toStdString();
    EXPECT_EQ(*read.steps, steps) << "every double exactly as it was";

    // The hash follows the steps, not the file's spelling of them.
    const programfile::Read respelled = programfile::parse(
        "\xEF\xBB\xBFminutes,flow_ml_min,mode,pressure_limit_mpa\n"
        "0.1,0.25,HOLD,1.50\n0.333333333333333333,49.96,ramp\n1439,0.0,hold,5\n");
    ASSERT_TRUE(respelled.steps);
    EXPECT_EQ(programfile::shortHash(*respelled.steps), programfile::shortHash(steps));
    EXPECT_EQ(programfile::shortHash(steps).size(), 8);
    Steps other = steps;
    other[2].flow = 0.1;
    EXPECT_NE(programfile::shortHash(other), programfile::shortHash(steps));

    EXPECT_FALSE(programfile::load(dir.filePath(u"missing.csv"_s)).steps);
    EXPECT_FALSE(programfile::save(dir.path(), steps).ok) << "a folder is no file";
}

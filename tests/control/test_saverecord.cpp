// Saving the pressure record: the confirmation is the operator's word that the record is on
// disk, and a failure must leave the old file and the record in memory alone.
#include "control/recordfile.h"
#include "support/doubles.h"
#include "support/printto.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <vector>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

using namespace Qt::StringLiterals;

namespace {

const QString confirmation = u"当前压力数值以存储"_s;
const QString saveTitle = u"存储数据"_s;

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The pump reports `count` pressures, all in one read; returns what the record must hold.
std::vector<double> reportPressures(TestConsole &c, int count)
{
    const char *const texts[] = {"-2.0", "-.75", "0.50", "1.75", "3.00", "4.25", "5.50"};
    std::vector<double> values;
    QByteArray replies;
    for (int i = 0; i < count; ++i) {
        replies += "Q01N"_ba + texts[i % 7] + 'Y';
        values.push_back((i % 7) * 1.25 - 2);
    }
    c.port.receive(replies);
    EXPECT_TRUE(std::ranges::equal(c.console.record().values(), values));
    return values;
}

TEST(SaveRecord, WritesToTheDefaultPathUnlessTold)
{
    TestConsole c;
    EXPECT_EQ(c.console.recordPath(), recordfile::defaultRecordPath());
}

TEST(SaveRecord, ConfirmsOnlyOnceTheWholeFileIsOnDisk)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(u"mytext.txt"_s);
    ASSERT_TRUE(writeBytes(path, "an older record\r\n"));

    TestConsole c;
    const std::vector<double> values = reportPressures(c, 12'345);
    const QByteArray expected = recordfile::formatRecord(values);
    QByteArray onDiskWhenShown;
    c.boxes.whileOpen = [&] { onDiskWhenShown = fileBytes(path); };

    c.console.setRecordPath(path);
    c.console.saveRecord();

    const auto boxes = c.boxes.messages();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].prompt, confirmation);
    EXPECT_EQ(boxes[0].title, saveTitle);
    EXPECT_EQ(onDiskWhenShown.size(), expected.size());
    EXPECT_TRUE(onDiskWhenShown == expected);
    EXPECT_TRUE(onDiskWhenShown.startsWith("-2 -.75  .5  1.75  3 \r\n 4.25  5.5 -2 "));
    EXPECT_EQ(c.console.record().size(), 12'345);
}

TEST(SaveRecord, EmptyRecordGivesAnEmptyFileInANewFolder)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"new/folder/mytext.txt"_s);
    TestConsole c;
    c.console.setRecordPath(path);
    c.console.saveRecord();
    const auto boxes = c.boxes.messages();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].prompt, confirmation);
    EXPECT_EQ(boxes[0].title, saveTitle);
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_EQ(QFileInfo(path).size(), 0);
}

#ifdef Q_OS_UNIX
// Makes writes beyond `bytes` fail as a full disk would, for as long as it lives.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};
#endif

struct FailureCase
{
    const char *name;
    // Prepares the folder and returns the record path; `guarded` is the file that must survive.
    std::function<QString(const QString &folder, QString &guarded)> setup;
    bool diskFull = false;
};

void PrintTo(const FailureCase &c, std::ostream *os)
{
    *os << c.name;
}

class SaveFailure : public ::testing::TestWithParam<FailureCase>
{
};

TEST_P(SaveFailure, NamesThePathAndChangesNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString guarded;
    const QString path = GetParam().setup(dir.path(), guarded);
    ASSERT_FALSE(guarded.isEmpty());
    const QByteArray guardedBefore = fileBytes(guarded);
    ASSERT_NE(guardedBefore, "<unreadable>");

    TestConsole c;
    const std::vector<double> recordBefore = reportPressures(c, 300'000);
    c.console.setRecordPath(path);
    {
#ifdef Q_OS_UNIX
        std::optional<FileSizeLimit> limit;
        if (GetParam().diskFull) {
            limit.emplace(64 * 1024);
        }
#else
        if (GetParam().diskFull) {
            GTEST_SKIP() << "no way to fill the disk here";
        }
#endif
        c.console.saveRecord();
    }

    const auto boxes = c.boxes.messages();
    ASSERT_EQ(boxes.size(), 1u);
    // The system's own words for the cause follow; they differ from one system to the next.
    const QString named = u"压力记录未能保存到 "_s + QDir::toNativeSeparators(path) + u"："_s;
    EXPECT_TRUE(boxes[0].prompt.startsWith(named)) << boxes[0].prompt.toStdString();
    EXPECT_GT(boxes[0].prompt.size(), named.size()) << "the cause is missing";
    EXPECT_EQ(boxes[0].title, saveTitle);
    EXPECT_TRUE(fileBytes(guarded) == guardedBefore);
    EXPECT_TRUE(std::ranges::equal(c.console.record().values(), recordBefore));
    EXPECT_EQ(c.console.recordPath(), path);
    // No half-written temporary is left lying about.
    const QString topEntry = QDir(dir.path()).relativeFilePath(guarded).section(u'/', 0, 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{topEntry});
}

INSTANTIATE_TEST_SUITE_P(Paths, SaveFailure,
                         ::testing::Values(FailureCase{"pathIsAFolder",
                                                       [](const QString &folder, QString &guarded) {
                                                           const QString path =
                                                               folder + u"/mytext.txt"_s;
                                                           QDir().mkdir(path);
                                                           guarded = path + u"/inside.txt"_s;
                                                           writeBytes(guarded, "inside");
                                                           return path;
                                                       }},
                                           FailureCase{"folderBlockedByAFile",
                                                       [](const QString &folder, QString &guarded) {
                                                           guarded = folder + u"/notafolder"_s;
                                                           writeBytes(guarded, "plain file");
                                                           return guarded + u"/mytext.txt"_s;
                                                       }},
                                           FailureCase{"diskFullHalfWay",
                                                       [](const QString &folder, QString &guarded) {
                                                           guarded = folder + u"/mytext.txt"_s;
                                                           writeBytes(guarded,
                                                                      " 1  2  3  4  5 \r\n 6 ");
                                                           return guarded;
                                                       },
                                                       true}));

} // namespace

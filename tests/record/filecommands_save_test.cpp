// Saving the pressure record from the file menu: the confirmation is the operator's word that
// the record is on disk, and a failure must leave the old file and the record in memory alone.
#include "core/doubles.h"
#include "ui/filecommands.h"
#include "ui/recordfile.h"

#include <functional>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

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

void fillRecord(PanelState &state, qint32 count)
{
    for (qint32 i = 1; i <= count; ++i) {
        state.prrecord[std::size_t(i)] = (i % 7) * 1.25 - 2;
    }
    state.saveprcout = count;
}

TEST(SaveCommand, WritesToTheDefaultPathUnlessTold)
{
    Console f;
    FileCommands commands(f.core, f.dialogs, nullptr);
    EXPECT_EQ(commands.recordPath(), recordfile::defaultRecordPath());
}

TEST(SaveCommand, ConfirmsOnlyOnceTheWholeFileIsOnDisk)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(u"mytext.txt"_s);
    ASSERT_TRUE(writeBytes(path, "an older record\r\n"));

    Console f;
    fillRecord(f.core.state(), 12'345);
    const QByteArray expected = recordfile::formatRecord(f.core.state().prrecord, 12'345);
    QByteArray onDiskWhenShown;
    f.dialogs.whileOpen = [&] { onDiskWhenShown = fileBytes(path); };

    FileCommands commands(f.core, f.dialogs, nullptr);
    commands.setRecordPath(path);
    commands.save_Click();

    const auto boxes = f.dialogs.messages();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].prompt, confirmation);
    EXPECT_EQ(boxes[0].style, 0);
    EXPECT_EQ(boxes[0].title, saveTitle);
    EXPECT_EQ(onDiskWhenShown.size(), expected.size());
    EXPECT_TRUE(onDiskWhenShown == expected);
    EXPECT_EQ(f.core.state().saveprcout, 12'345);
}

TEST(SaveCommand, EmptyRecordGivesAnEmptyFileInANewFolder)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"new/folder/mytext.txt"_s);
    Console f;
    FileCommands commands(f.core, f.dialogs, nullptr);
    commands.setRecordPath(path);
    commands.save_Click();
    const auto boxes = f.dialogs.messages();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].prompt, confirmation);
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

    Console f;
    fillRecord(f.core.state(), 300'000);
    const std::vector<double> recordBefore = f.core.state().prrecord;
    FileCommands commands(f.core, f.dialogs, nullptr);
    commands.setRecordPath(path);
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
        commands.save_Click();
    }

    const auto boxes = f.dialogs.messages();
    ASSERT_EQ(boxes.size(), 1u);
    const ScriptedDialogs::Shown &box = boxes[0];
    EXPECT_NE(box.prompt, confirmation);
    EXPECT_TRUE(box.prompt.contains(QDir::toNativeSeparators(path))) << box.prompt.toStdString();
    EXPECT_EQ(box.title, saveTitle);
    EXPECT_EQ(box.style, 0);
    EXPECT_TRUE(fileBytes(guarded) == guardedBefore);
    EXPECT_EQ(f.core.state().saveprcout, 300'000);
    EXPECT_TRUE(f.core.state().prrecord == recordBefore);
    EXPECT_EQ(commands.recordPath(), path);
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

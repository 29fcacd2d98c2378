// Saving the pressure record: the confirmation is the operator's word that the record is on
// disk, and a failure must leave the old file and the record in memory alone.
#include "control/record/recordfile.h"
#include "support/doubles.h"
#include "support/files.h"
#include "support/printto.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <vector>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

#ifndef RECORDHELPER_PATH
#define RECORDHELPER_PATH ""
#endif

using namespace Qt::StringLiterals;

namespace {

const QString confirmed = u"存储数据|当前压力数值以存储"_s;

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
    EXPECT_TRUE(std::ranges::equal(c.console.pump().record().values(), values));
    return values;
}

TEST(SaveRecord, WritesToTheDefaultPathUnlessTold)
{
    TestConsole c;
    EXPECT_EQ(c.console.recordPath(), recordfile::defaultRecordPath());
}

TEST(SaveRecord, ConfirmsOnlyOnceTheWholeFileIsOnDisk)
{
    struct Case
    {
        const char *what;
        QString file;
        QByteArray older; // empty: no file there before, nor its folder
        int count;
        QByteArray begins;
    };
    const Case cases[] = {
        {"over an older record", u"mytext.txt"_s, "an older record\r\n", 12'345,
         "-2 -.75  .5  1.75  3 \r\n 4.25  5.5 -2 "},
        {"empty, in a new folder", u"new/folder/mytext.txt"_s, {}, 0, {}},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(k.file);
        if (!k.older.isEmpty()) {
            ASSERT_TRUE(writeBytes(path, k.older));
        }

        TestConsole c;
        const std::vector<double> values = reportPressures(c, k.count);
        const QByteArray expected = recordfile::formatRecord(values);
        EXPECT_EQ(expected.isEmpty(), k.count == 0);
        QByteArray onDiskWhenShown;
        c.boxes.whileOpen = [&] { onDiskWhenShown = fileBytes(path); };

        c.console.setRecordPath(path);
        c.console.saveRecord();

        EXPECT_EQ(c.boxes.texts(), QStringList{confirmed});
        EXPECT_EQ(onDiskWhenShown.size(), expected.size());
        EXPECT_TRUE(onDiskWhenShown == expected);
        EXPECT_TRUE(onDiskWhenShown.startsWith(k.begins));
        EXPECT_EQ(c.console.pump().record().size(), k.count);
    }
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
    const char *guarded; // a file that must survive, made with its folders before the save
    QByteArray guardedBytes;
    const char *record; // the record path; both relative to a new folder
    bool diskFull;
    // The reason told after the path; "%1" stands for the record's folder.
    const char *reason;
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
    const FailureCase &k = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString guarded = dir.filePath(QString::fromUtf8(k.guarded));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(guarded).path()));
    ASSERT_TRUE(writeBytes(guarded, k.guardedBytes));
    const QString path = dir.filePath(QString::fromUtf8(k.record));

    TestConsole c;
    const std::vector<double> recordBefore = reportPressures(c, 300'000);
    c.console.setRecordPath(path);
    {
#ifdef Q_OS_UNIX
        std::optional<FileSizeLimit> limit;
        if (k.diskFull) {
            limit.emplace(64 * 1024);
        }
#else
        if (k.diskFull) {
            GTEST_SKIP() << "no way to fill the disk here";
        }
#endif
        c.console.saveRecord();
    }

    // The cause in the operator's words, whatever words the system has for it.
    const QString reason =
        QString::fromUtf8(k.reason).arg(QDir::toNativeSeparators(QFileInfo(path).absolutePath()));
    EXPECT_EQ(c.boxes.texts(), QStringList{u"存储数据|压力记录未能保存到 "_s +
                                           QDir::toNativeSeparators(path) + u"："_s + reason});
    EXPECT_TRUE(fileBytes(guarded) == k.guardedBytes);
    EXPECT_TRUE(std::ranges::equal(c.console.pump().record().values(), recordBefore));
    EXPECT_EQ(c.console.recordPath(), path);
    // No half-written temporary is left lying about.
    const QString topEntry = QString::fromUtf8(k.guarded).section(u'/', 0, 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{topEntry});
}

const char *const blockedFolder = "无法创建文件夹 %1：路径中有一级不是文件夹，而是文件";

INSTANTIATE_TEST_SUITE_P(
    Paths, SaveFailure,
    ::testing::Values(FailureCase{"pathIsAFolder", "mytext.txt/inside.txt", "inside", "mytext.txt",
                                  false, "这是一个文件夹，不是文件"},
                      FailureCase{"folderBlockedByAFile", "notafolder", "plain file",
                                  "notafolder/mytext.txt", false, blockedFolder},
                      FailureCase{"folderBelowAFile", "notafolder", "plain file",
                                  "notafolder/sub/mytext.txt", false, blockedFolder},
                      FailureCase{"diskFullHalfWay", "mytext.txt", " 1  2  3  4  5 \r\n 6 ",
                                  "mytext.txt", true, "文件超过了允许的大小"}));

#ifdef Q_OS_LINUX
// The record commands run by recordhelper under `wrapper` (a command line that ends by running
// the program given after it). Returns the helper's lines, or nothing when the wrapper could
// not set the scene up (no privileges for it here).
std::optional<QStringList> runHelper(const QStringList &wrapper, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(wrapper.front(),
            wrapper.mid(1) + QStringList{QStringLiteral(RECORDHELPER_PATH)} + args);
    if (!p.waitForFinished(60'000) || p.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "the record helper crashed or hung";
        return std::nullopt;
    }
    if (p.exitCode() != 0) {
        return std::nullopt; // the wrapper could not set the scene up
    }
    return QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

// A shell that mounts a small tmpfs on the folder in a private mount namespace, puts the old
// record there, applies `afterwards` (a remount, say) and runs the helper.
QStringList inSmallDisk(const QString &folder, const QString &afterwards)
{
    const QString script =
        u"mount -t tmpfs -o size=128k tmpfs \"$0\" && printf 'old record\\r\\n' > \"$0/mytext.txt\" "_s +
        afterwards + u" && exec \"$@\""_s;
    return {u"unshare"_s, u"-m"_s, u"sh"_s, u"-c"_s, script, folder};
}

const QStringList asNobody{u"setpriv"_s, u"--reuid"_s, u"65534"_s,
                           u"--regid"_s, u"65534"_s,   u"--clear-groups"_s};

// The system's refusals, each met for real, read in the operator's words.
TEST(SaveRecordOnTheSystem, EachRefusalIsToldInTheOperatorsWords)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root: to mount a small disk and to act as another user";
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Another user must be able to reach the folder, but not write in it.
    ASSERT_TRUE(QFile::setPermissions(
        dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                        QFileDevice::ReadOther | QFileDevice::ExeOther));
    const QString path = dir.filePath(u"mytext.txt"_s);
    const QString named = u"told:压力记录未能保存到 "_s + path + u"："_s;

    struct Case
    {
        const char *what;
        QStringList wrapper;
        QString told;
    };
    const Case cases[] = {
        {"disk full", inSmallDisk(dir.path(), {}), named + u"磁盘已满"_s},
        {"read-only disk", inSmallDisk(dir.path(), u"&& mount -o remount,ro \"$0\""_s),
         named + u"磁盘或文件夹是只读的"_s},
        {"another user's folder", asNobody, named + u"没有权限"_s},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        ASSERT_TRUE(writeBytes(path, "old record\r\n"));
        const auto lines = runHelper(k.wrapper, {u"save"_s, path, u"50000"_s});
        if (!lines) {
            std::printf("[  SKIPPED ] %s: this machine does not allow it\n", k.what);
            continue;
        }
        EXPECT_EQ(*lines, (QStringList{u"saving"_s, k.told}));
        // The tmpfs and what was in it went with the namespace; this file was never touched.
        EXPECT_EQ(fileBytes(path), "old record\r\n");
    }

    // Reading the record back as the record window does.
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    const struct
    {
        QStringList wrapper;
        QString path;
        QString told;
    } reads[] = {
        {asNobody, path, u"error:没有权限"_s},
        {{u"env"_s}, dir.filePath(u"none.txt"_s), u"error:文件或文件夹不存在"_s},
        {{u"env"_s}, dir.path(), u"error:这是一个文件夹，不是文件"_s},
    };
    for (const auto &r : reads) {
        SCOPED_TRACE(r.path.toStdString());
        const auto lines = runHelper(r.wrapper, {u"read"_s, r.path});
        if (!lines && r.wrapper == asNobody) {
            std::printf("[  SKIPPED ] reading as another user: this machine does not allow it\n");
            continue;
        }
        ASSERT_TRUE(lines.has_value());
        EXPECT_EQ(*lines, QStringList{r.told});
    }
}

// The atomic save at work: killed while the new record is half written, the program leaves
// the old file exactly as it was and no stray file beside it.
TEST(SaveRecordOnTheSystem, KilledHalfWayTheOldFileIsIntact)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(u"mytext.txt"_s);
    const QByteArray old = " 1  2  3  4  5 \r\n 6 "_ba;
    // What the helper's save writes when it is not stopped: -0.5 and 1.5 by turns.
    std::vector<double> values(1'000'000);
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = i % 2 ? 1.5 : -0.5;
    }
    const QByteArray complete = recordfile::formatRecord(values);

    int caught = 0;
    for (int attempt = 0; attempt < 10 && caught == 0; ++attempt) {
        ASSERT_TRUE(writeBytes(path, old));
        QProcess p;
        p.start(QStringLiteral(RECORDHELPER_PATH),
                {u"save"_s, path, QString::number(values.size())});
        ASSERT_TRUE(p.waitForStarted());
        while (p.state() == QProcess::Running && !p.canReadLine()) {
            p.waitForReadyRead(50);
        }
        // Kill the program as soon as a file it writes in that folder holds some of the new
        // record (the save writes a file of its own there, unnamed where the system allows).
        const QString fds = u"/proc/%1/fd"_s.arg(p.processId());
        const auto entries = QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot;
        bool killed = false;
        QDeadlineTimer deadline(10'000);
        while (!killed && !p.waitForFinished(0) && !deadline.hasExpired()) {
            for (const QFileInfo &fd : QDir(fds).entryInfoList(entries)) {
                const QString target = fd.symLinkTarget();
                if (!target.startsWith(dir.path() + u'/')) {
                    continue;
                }
                QFile info(u"/proc/%1/fdinfo/%2"_s.arg(p.processId()).arg(fd.fileName()));
                if (info.open(QIODevice::ReadOnly) && !info.readLine().endsWith("\t0\n")) {
                    p.kill();
                    killed = true;
                    break;
                }
            }
        }
        p.waitForFinished(5000);
        const QByteArray after = fileBytes(path);
        if (killed && after != complete) {
            // Not the case where the save finished between the look and the kill.
            EXPECT_EQ(p.exitStatus(), QProcess::CrashExit);
            EXPECT_TRUE(after == old) << "the old record was damaged: " << after.size() << " bytes";
            ++caught;
        } else {
            EXPECT_TRUE(after == complete)
                << "a save that ran to its end left " << after.size() << " bytes";
        }
    }
    ASSERT_EQ(caught, 1) << "the save was never caught half-way";
    EXPECT_EQ(QDir(dir.path())
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System),
              QStringList{u"mytext.txt"_s});
}
#endif

} // namespace

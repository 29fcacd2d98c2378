// The test page: a cancelled dialog prints nothing, n copies are n one-page jobs carrying the
// one line, and a job that cannot start ends the command and is told, with the file and why.

#include "support/doubles.h"
#include "support/printto.h"
#include "ui/filecommands.h"
#include "ui/testpageprinter.h"

#include <gtest/gtest.h>
#include <optional>
#include <QApplication>
#include <QDir>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// The dialog answers from the script; each job goes to its own numbered PDF.
class ScriptedPrinter final : public TestPagePrinter
{
public:
    explicit ScriptedPrinter(QString folder)
        : failingFile(folder + u"/missing/job.pdf"_s), m_folder(std::move(folder))
    {
    }

    std::optional<int> answer; // copies chosen; no value = Cancel
    int failingJob = 0;        // this job goes to `failingFile`, which cannot be written
    QString failingFile;
    int dialogsShown = 0;
    std::vector<int> copyCountAtJob;
    std::vector<int> jobsAnnounced;

    QString jobFile(int job) const { return m_folder + u"/job-%1.pdf"_s.arg(job); }

    QPrinter &printer() override { return m_printer; }
    bool choose(QWidget *) override
    {
        ++dialogsShown;
        if (!answer) {
            return false;
        }
        m_printer.setCopyCount(*answer);
        return true;
    }
    void prepareJob(int job, int jobs) override
    {
        copyCountAtJob.push_back(m_printer.copyCount());
        jobsAnnounced.push_back(jobs);
        m_printer.setOutputFormat(QPrinter::PdfFormat);
        m_printer.setOutputFileName(job == failingJob ? failingFile : jobFile(job));
    }

private:
    QString m_folder;
    QPrinter m_printer{QPrinter::HighResolution};
};

// The file menu's command on a console wired to the doubles.
struct PrintCommand
{
    QTemporaryDir dir;
    ScriptedPrinter printer{dir.path()};
    TestConsole c;
    FileCommands commands{c.console, c.boxes, nullptr, &printer};

    // Nothing told, nothing notified: a page that comes out is its own message.
    void expectSilent() const { EXPECT_TRUE(c.boxes.shown.empty()); }
};

QStringList pdfFiles(const QString &folder)
{
    return QDir(folder).entryList({u"*.pdf"_s}, QDir::Files, QDir::Name);
}

// Runs a poppler tool; no value when the tool is not installed.
std::optional<QString> poppler(const QString &tool, const QStringList &args)
{
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty()) {
        return std::nullopt;
    }
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30'000) || p.exitCode() != 0) {
        return u"<%1 failed>"_s.arg(tool);
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

TEST(TestPage, OneSinglePageJobPerCopy)
{
    for (const int copies : {1, 3, 0}) {
        SCOPED_TRACE(::testing::Message() << copies << " copies");
        PrintCommand f;
        f.printer.answer = copies;
        f.commands.printTestPage();

        EXPECT_EQ(f.printer.dialogsShown, 1);
        f.expectSilent();
        ASSERT_EQ(pdfFiles(f.dir.path()).size(), copies);
        // The dialog's copy count must not make every job print n pages.
        EXPECT_EQ(f.printer.copyCountAtJob, std::vector<int>(std::size_t(copies), 1));
        EXPECT_EQ(f.printer.jobsAnnounced, std::vector<int>(std::size_t(copies), copies));

        for (int job = 1; job <= copies; ++job) {
            const QString file = f.printer.jobFile(job);
            ASSERT_TRUE(QFileInfo::exists(file)) << file.toStdString();
            const auto info = poppler(u"pdfinfo"_s, {file});
            const auto text = poppler(u"pdftotext"_s, {u"-enc"_s, u"UTF-8"_s, file, u"-"_s});
            if (!info || !text) {
                GTEST_SKIP() << "poppler-utils not installed";
            }
            EXPECT_TRUE(info->contains(QRegularExpression(u"Pages:\\s+1\\n"_s)))
                << info->toStdString();
            EXPECT_EQ(text->trimmed(), u"打印测试"_s) << text->toStdString();
        }
    }
}

TEST(TestPage, CancelPrintsNothingAndSaysNothing)
{
    PrintCommand f;
    f.commands.printTestPage();
    EXPECT_EQ(f.printer.dialogsShown, 1);
    EXPECT_TRUE(f.printer.jobsAnnounced.empty());
    EXPECT_TRUE(pdfFiles(f.dir.path()).isEmpty());
    f.expectSilent();
}

TEST(TestPage, FailedJobEndsTheCommandKeepsEarlierCopiesAndIsTold)
{
    PrintCommand f;
    f.printer.answer = 3;
    f.printer.failingJob = 2;
    f.commands.printTestPage();
    EXPECT_EQ(pdfFiles(f.dir.path()), QStringList{u"job-1.pdf"_s});
    EXPECT_EQ(f.printer.jobsAnnounced.size(), 2u); // the third copy is not attempted
    const auto told = f.c.boxes.messages(u"notify"_s);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(f.c.boxes.shown.size(), 1u) << "nothing else shown";
    EXPECT_EQ(told[0].title, u"打印"_s);
    EXPECT_EQ(told[0].prompt,
              u"测试页未能打印到文件 %1：文件或文件夹不存在。已打印 1 份，其余 2 份未打印。"_s.arg(
                  QDir::toNativeSeparators(f.printer.failingFile)));

    const testpage::PrintResult again = testpage::printCopies(f.printer, nullptr);
    EXPECT_EQ(again.copies, 3);
    EXPECT_EQ(again.sent, 1) << "the jobs that went out";
}

// Where a PDF cannot go, and why the operator is told it did not: the system's reason, also as
// root (who may write anywhere the path leads).
TEST(TestPage, UnwritablePdfIsToldWithTheSystemsReason)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile plain(dir.filePath(u"notes.txt"_s));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"folder"_s));

    const struct
    {
        QString file;
        QString reason;
    } cases[] = {
        {dir.filePath(u"missing/page.pdf"_s), u"文件或文件夹不存在"_s},
        {dir.filePath(u"notes.txt/page.pdf"_s), u"路径中有一级不是文件夹，而是文件"_s},
        {dir.filePath(u"folder"_s), u"这是一个文件夹，不是文件"_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        PrintCommand f;
        f.printer.answer = 1;
        f.printer.failingJob = 1;
        f.printer.failingFile = c.file;
        f.commands.printTestPage();
        const auto told = f.c.boxes.messages(u"notify"_s);
        ASSERT_EQ(told.size(), 1u) << "a page that did not come out passed for printed";
        EXPECT_EQ(told[0].prompt, u"测试页未能打印到文件 %1：%2。"_s.arg(
                                      QDir::toNativeSeparators(c.file), c.reason));
    }
}

// Asking the system why leaves the file system as it was.
TEST(TestPage, AskingWhyChangesNoFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);

    const QString fresh = dir.filePath(u"fresh.pdf"_s);
    printer.setOutputFileName(fresh);
    EXPECT_TRUE(testpage::failure(printer).endsWith(u"：原因不明。"_s));
    EXPECT_FALSE(QFileInfo::exists(fresh)) << "the question left a file behind";

    const QString kept = dir.filePath(u"kept.pdf"_s);
    QFile file(kept);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("earlier page");
    file.close();
    printer.setOutputFileName(kept);
    testpage::failure(printer);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "earlier page");
}

TEST(TestPage, LineStartsAtTheTopLeftOfThePrintableArea)
{
    QTemporaryDir dir;
    ScriptedPrinter printer(dir.path());
    printer.answer = 1;
    EXPECT_EQ(testpage::printCopies(printer, nullptr).sent, 1);
    const auto words = poppler(u"pdftotext"_s, {u"-bbox"_s, printer.jobFile(1), u"-"_s});
    if (!words) {
        GTEST_SKIP() << "poppler-utils not installed";
    }
    const QRegularExpression word(
        u"<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"[0-9.]+\" yMax=\"([0-9.]+)\">"_s);
    double xMin = 1e9;
    double yMin = 1e9;
    double yMax = 0;
    int count = 0;
    for (auto it = word.globalMatch(*words); it.hasNext(); ++count) {
        const auto m = it.next();
        xMin = std::min(xMin, m.captured(1).toDouble());
        yMin = std::min(yMin, m.captured(2).toDouble());
        yMax = std::max(yMax, m.captured(3).toDouble());
    }
    ASSERT_GT(count, 0) << words->toStdString();
    const QRectF area = printer.printer().pageLayout().paintRectPoints();
    const double lineHeight = yMax - yMin;
    EXPECT_NEAR(xMin, area.left(), 3.0);
    EXPECT_NEAR(yMin, area.top(), lineHeight * 0.5 + 1);
    EXPECT_LT(lineHeight, 40.0); // one line, not several
}

// The real dialog, answered the way an operator would: two copies to a file.
TEST(PlatformPrinter, DialogCopiesBecomeNumberedFiles)
{
    if (!QPrinterInfo::availablePrinters().isEmpty()) {
        GTEST_SKIP() << "a real printer is installed; the test would print on it";
    }
    QTemporaryDir dir;
    const QString chosen = dir.filePath(u"page.pdf"_s);
    PlatformTestPagePrinter printer;
    printer.printer().setOutputFileName(chosen);

    bool answered = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget());
        if (!dialog || answered) {
            return;
        }
        answered = true;
        if (auto *copies = dialog->findChild<QSpinBox *>(u"copies"_s)) {
            copies->setValue(2);
        }
        dialog->accept();
    });
    poll.start();
    const int sent = testpage::printCopies(printer, nullptr).sent;
    poll.stop();

    ASSERT_TRUE(answered);
    EXPECT_EQ(sent, 2);
    EXPECT_EQ(pdfFiles(dir.path()), (QStringList{u"page-2.pdf"_s, u"page.pdf"_s}));
    EXPECT_EQ(printer.printer().copyCount(), 1);
}

// A new operator's account has no documents folder yet; the page still goes to the file the
// dialog suggests there.
TEST(PlatformPrinter, FreshAccountPrintsToTheSuggestedFile)
{
    if (!QPrinterInfo::availablePrinters().isEmpty()) {
        GTEST_SKIP() << "a real printer is installed; the test would print on it";
    }
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QByteArray savedHome = qgetenv("HOME");
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    qunsetenv("XDG_CONFIG_HOME"); // no user-dirs.dirs: the documents folder is ~/Documents
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    ASSERT_FALSE(QFileInfo::exists(documents));

    PlatformTestPagePrinter printer;
    QTimer poll;
    poll.setInterval(20);
    QString suggested;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto *dialog = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget())) {
            suggested = printer.printer().outputFileName();
            dialog->accept();
        }
    });
    poll.start();
    const int sent = testpage::printCopies(printer, nullptr).sent;
    poll.stop();
    qputenv("HOME", savedHome);
    savedConfig.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", savedConfig);

    EXPECT_EQ(suggested, documents + u"/打印测试.pdf"_s);
    EXPECT_EQ(sent, 1);
    EXPECT_EQ(pdfFiles(documents), QStringList{u"打印测试.pdf"_s});
}

} // namespace

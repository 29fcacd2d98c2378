#pragma once
// The test page of the file menu: one line of text, one page, one print job per copy. The
// operator uses it to check that the lab printer is reachable before a long run, so every copy
// goes out as its own job and shows up on its own in the printer's queue.

#include <QPrinter>
#include <QString>

class QWidget;

class TestPagePrinter
{
public:
    virtual ~TestPagePrinter() = default;

    // The printer the dialog configures and the jobs go to.
    virtual QPrinter &printer() = 0;

    // Lets the operator choose the printer and the number of copies (QPrinter::copyCount).
    // False when the operator cancelled.
    virtual bool choose(QWidget *parent) = 0;

    // Called before job `job` (1-based) of `jobs` begins, with the copy count already back at 1.
    virtual void prepareJob(int job, int jobs) = 0;
};

// The platform's printer dialog and the printer chosen there.
class PlatformTestPagePrinter final : public TestPagePrinter
{
public:
    PlatformTestPagePrinter();

    QPrinter &printer() override { return m_printer; }
    bool choose(QWidget *parent) override;
    // Printing to a file: each copy after the first goes to its own numbered file beside the
    // chosen one ("name-2.pdf"), otherwise every job would overwrite the previous one.
    void prepareJob(int job, int jobs) override;

private:
    QPrinter m_printer;
    QString m_chosenFile;
};

namespace testpage {

// The line the page carries.
QString text();

// Where the page goes when there is no printer to choose: 打印测试.pdf in the documents folder,
// which is made if it is missing (the home folder when it cannot be).
QString suggestedPdfPath();

// Draws the page as one job on `printer`. False when the job could not be started or finished.
bool printOne(QPrinter &printer);

// Why a job on `printer` did not go out, for the operator: the file and the system's reason
// when printing to a PDF (asked of the system again by opening the file for writing, so any
// time after the failure), the printer's name otherwise.
QString failure(const QPrinter &printer);

struct PrintResult
{
    int copies = 0;  // what the operator asked for; 0 when the dialog was cancelled
    int sent = 0;    // jobs that went out
    QString failure; // what to tell the operator when a job did not go out; empty otherwise
};

// The whole command: dialog, then one job per copy. Stops at the first job that fails (copies
// already sent stay sent).
PrintResult printCopies(TestPagePrinter &printer, QWidget *parent);

} // namespace testpage

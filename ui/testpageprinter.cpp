#include "ui/testpageprinter.h"

#include "control/seams/systemerrors.h"
#include "link/wire/systemfacts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

PlatformTestPagePrinter::PlatformTestPagePrinter() = default;

bool PlatformTestPagePrinter::choose(QWidget *parent)
{
    // The dialog offers the file the operator chose last time, not the last numbered copy.
    if (!m_chosenFile.isEmpty()) {
        m_printer.setOutputFileName(m_chosenFile);
    }
    // Without any installed printer the dialog can only print to a file, and its suggested name
    // is a folder, which no job can be written to. Offer a real file instead.
    if (QPrinterInfo::availablePrinters().isEmpty() && m_printer.outputFileName().isEmpty()) {
        m_printer.setOutputFileName(testpage::suggestedPdfPath());
    }
    QPrintDialog dialog(&m_printer, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    m_chosenFile =
        m_printer.outputFormat() == QPrinter::PdfFormat ? m_printer.outputFileName() : QString();
    return true;
}

void PlatformTestPagePrinter::prepareJob(int job, int jobs)
{
    Q_UNUSED(jobs);
    if (m_chosenFile.isEmpty()) {
        return;
    }
    if (job <= 1) {
        m_printer.setOutputFileName(m_chosenFile);
        return;
    }
    const QFileInfo info(m_chosenFile);
    const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    m_printer.setOutputFileName(
        info.dir().filePath(info.completeBaseName() + u'-' + QString::number(job) + suffix));
}

namespace testpage {

QString text()
{
    return QStringLiteral("打印测试");
}

QString suggestedPdfPath()
{
    // A fresh account has no documents folder yet; the save makes it too.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || (!QFileInfo(folder).isDir() && !QDir().mkpath(folder))) {
        folder = QDir::homePath();
    }
    return folder + u"/打印测试.pdf"_s;
}

bool printOne(QPrinter &printer)
{
    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }
    // The painter's own font is the printer's default; its ascent puts the first line's top at
    // the top edge of the printable area.
    painter.drawText(QPointF(0, painter.fontMetrics().ascent()), text());
    return painter.end();
}

namespace {

// Why `path` cannot be written, asked of the system the way the PDF writer asks it: by opening
// the file for writing. Appending leaves a file that is there as it was; one the question made
// is removed again.
QString pdfReason(const QString &path)
{
    const bool existed = QFileInfo::exists(path);
    QFile probe(path);
    systemfacts::clearLastError();
    if (!probe.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return systemerrors::failure(probe);
    }
    // It opens now: the trouble came later (a full disk) or has passed.
    probe.close();
    if (!existed) {
        probe.remove();
    }
    return systemerrors::words(systemerrors::Cause::Unknown);
}

} // namespace

QString failure(const QPrinter &printer)
{
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        const QString path = printer.outputFileName();
        return u"测试页未能打印到文件 %1：%2。"_s.arg(QDir::toNativeSeparators(path),
                                                      pdfReason(path));
    }
    // A printer says no more than that it refused; the system's reason stays with it.
    return u"测试页未能送到打印机 %1：打印机没有接受打印任务。"_s.arg(printer.printerName());
}

PrintResult printCopies(TestPagePrinter &printer, QWidget *parent)
{
    PrintResult result;
    if (!printer.choose(parent)) {
        return result;
    }
    QPrinter &device = printer.printer();
    result.copies = device.copyCount();
    // The copies are separate jobs; left at n, a driver that makes copies itself would print
    // n pages for every one of them.
    device.setCopyCount(1);
    for (int job = 1; job <= result.copies; ++job) {
        printer.prepareJob(job, result.copies);
        if (!printOne(device)) {
            result.failure = failure(device);
            if (result.copies > 1) {
                result.failure += u"已打印 %1 份，其余 %2 份未打印。"_s.arg(result.sent)
                                      .arg(result.copies - result.sent);
            }
            break;
        }
        ++result.sent;
    }
    return result;
}

} // namespace testpage

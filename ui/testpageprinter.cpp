#include "ui/testpageprinter.h"

#include <QDir>
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

int printCopies(TestPagePrinter &printer, QWidget *parent)
{
    if (!printer.choose(parent)) {
        return 0;
    }
    QPrinter &device = printer.printer();
    const int copies = device.copyCount();
    // The copies are separate jobs; left at n, a driver that makes copies itself would print
    // n pages for every one of them.
    device.setCopyCount(1);
    int sent = 0;
    for (int job = 1; job <= copies; ++job) {
        printer.prepareJob(job, copies);
        if (!printOne(device)) {
            break;
        }
        ++sent;
    }
    return sent;
}

} // namespace testpage

#include "ui/recordwindow.h"

#include "control/record/recordfile.h"
#include "control/seams/operatorboxes.h"
#include "ui/twips.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>

RecordWindow::RecordWindow(OperatorBoxes &boxes, QWidget *mainWindow,
                           std::function<QString()> recordPath, QWidget *parent)
    : QWidget(parent), m_boxes(boxes), m_mainWindow(mainWindow), m_recordPath(std::move(recordPath))
{
    setWindowTitle(QStringLiteral("泵启动和停止时间记录"));
    setWindowIcon(QApplication::windowIcon());
    // Closing the main window ends the console even while this one is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(twips::toPixels(8670), twips::toPixels(5070));

    // Created in tab order: 退出 first, so it holds the focus when the window opens.
    m_exitButton = new QPushButton(QStringLiteral("退出"), this);
    m_exitButton->setObjectName(QStringLiteral("Command1"));
    m_exitButton->setGeometry(twips::rect(7560, 4560, 735, 375));

    m_readButton = new QPushButton(QStringLiteral("Command2"), this);
    m_readButton->setObjectName(QStringLiteral("Command2"));
    m_readButton->setGeometry(twips::rect(6120, 4560, 855, 375));

    m_lastLine = new QLineEdit(QStringLiteral("Text1"), this);
    m_lastLine->setObjectName(QStringLiteral("Text1"));
    m_lastLine->setGeometry(twips::rect(1080, 960, 5895, 2055));

    setTabOrder(m_exitButton, m_readButton);
    setTabOrder(m_readButton, m_lastLine);

    connect(m_exitButton, &QPushButton::clicked, this, &RecordWindow::returnToMainWindow);
    connect(m_readButton, &QPushButton::clicked, this, &RecordWindow::readLastLine);
}

RecordWindow::~RecordWindow() = default;

void RecordWindow::returnToMainWindow()
{
    if (m_mainWindow) {
        m_mainWindow->show();
        m_mainWindow->raise();
        m_mainWindow->activateWindow();
    }
    hide();
}

void RecordWindow::readLastLine()
{
    const QString path = m_recordPath ? m_recordPath() : recordfile::defaultRecordPath();
    const recordfile::LastLineResult read = recordfile::readLastLine(path);
    if (!read.ok) {
        // The field keeps what it showed: an old line is more use to the operator than a blank.
        m_boxes.tell(QStringLiteral("压力记录无法读取 %1：%2")
                         .arg(QDir::toNativeSeparators(path), read.error),
                     QStringLiteral("读取数据"));
        return;
    }
    m_lastLine->setText(read.line);
}

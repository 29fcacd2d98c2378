#include "ui/form2.h"

#include "control/dialogs.h"
#include "ui/recordfile.h"
#include "ui/twips.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>

Form2::Form2(Dialogs &dialogs, QWidget *mainWindow, std::function<QString()> recordPath,
             QWidget *parent)
    : QWidget(parent), m_dialogs(dialogs), m_mainWindow(mainWindow),
      m_recordPath(std::move(recordPath))
{
    setWindowTitle(QStringLiteral("泵启动和停止时间记录"));
    setWindowIcon(QApplication::windowIcon());
    // Closing the main window ends the console even while this one is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(twips::toPixels(8670), twips::toPixels(5070));

    // Created in tab order: 退出 first, so it holds the focus when the window opens.
    m_command1 = new QPushButton(QStringLiteral("退出"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setGeometry(twips::rect(7560, 4560, 735, 375));

    m_command2 = new QPushButton(QStringLiteral("Command2"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    m_command2->setGeometry(twips::rect(6120, 4560, 855, 375));

    m_text1 = new QLineEdit(QStringLiteral("Text1"), this);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setGeometry(twips::rect(1080, 960, 5895, 2055));

    setTabOrder(m_command1, m_command2);
    setTabOrder(m_command2, m_text1);

    connect(m_command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &Form2::Command2_Click);
}

Form2::~Form2() = default;

void Form2::Command1_Click()
{
    if (m_mainWindow) {
        m_mainWindow->show();
        m_mainWindow->raise();
        m_mainWindow->activateWindow();
    }
    hide();
}

void Form2::Command2_Click()
{
    const QString path = m_recordPath ? m_recordPath() : recordfile::defaultRecordPath();
    const recordfile::LastLineResult read = recordfile::readLastLine(path);
    if (!read.ok) {
        // Text1 keeps what it showed: an old line is more use to the operator than a blank.
        m_dialogs.MsgBox(QStringLiteral("压力记录无法读取 %1：%2")
                             .arg(QDir::toNativeSeparators(path), read.error),
                         0, QStringLiteral("读取数据"));
        return;
    }
    m_text1->setText(read.line);
}

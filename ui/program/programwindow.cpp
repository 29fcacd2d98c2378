#include "ui/program/programwindow.h"

#include "control/program/programfile.h"
#include "control/pumpconsole.h"
#include "control/seams/operatorboxes.h"
#include "link/wire/numbertext.h"
#include "ui/bringforward.h"
#include "ui/program/flowpreview.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using program::Mode;
using program::Ms;
using program::Step;
using program::Steps;

namespace {

const QString title = u"运行程序"_s;
const QString unnamed = u"未命名"_s;
enum Column { Minutes, Flow, How, Limit };
const QStringList headers{u"分钟"_s, u"流量"_s, u"方式"_s, u"压力上限"_s};

// "01:02:03"; `up`: a part second counts as a whole one (the time still to go).
QString clockText(Ms time, bool up = false)
{
    const qint64 s = (time.count() + (up ? 999 : 0)) / 1000;
    return u"%1:%2:%3"_s.arg(s / 3600, 2, 10, QChar(u'0'))
        .arg(s % 3600 / 60, 2, 10, QChar(u'0'))
        .arg(s % 60, 2, 10, QChar(u'0'));
}

} // namespace

ProgramWindow::ProgramWindow(PumpConsole &console, OperatorBoxes &boxes, QWidget *parent)
    : QWidget(parent, Qt::Window), m_console(console), m_boxes(boxes), m_name(unnamed)
{
    setObjectName(u"programWindow"_s);
    setWindowTitle(title);

    buildTable();
    m_preview = new FlowPreview(this);
    m_status = new QLabel(this);
    m_status->setObjectName(u"programStatus"_s);
    m_elapsed = new QLabel(this);
    m_elapsed->setObjectName(u"programElapsed"_s);
    m_remaining = new QLabel(this);
    m_remaining->setObjectName(u"programRemaining"_s);

    auto *edit = new QHBoxLayout;
    for (const auto &[name, text] : {std::pair{u"programAdd"_s, u"添加"_s},
                                     {u"programRemove"_s, u"删除"_s},
                                     {u"programUp"_s, u"上移"_s},
                                     {u"programDown"_s, u"下移"_s},
                                     {u"programOpen"_s, u"打开"_s},
                                     {u"programSave"_s, u"保存"_s}}) {
        edit->addWidget(addButton(name, text));
    }
    edit->addStretch();
    auto *run = new QHBoxLayout;
    for (const auto &[name, text] : {std::pair{u"programStart"_s, u"开始"_s},
                                     {u"programPause"_s, u"暂停"_s},
                                     {u"programContinue"_s, u"继续"_s},
                                     {u"programAbort"_s, u"中止"_s}}) {
        run->addWidget(addButton(name, text));
    }
    run->addStretch();
    auto *times = new QHBoxLayout;
    times->addWidget(m_status, 1);
    times->addWidget(m_elapsed);
    times->addWidget(m_remaining);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(edit);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_preview, 1);
    layout->addLayout(times);
    layout->addLayout(run);

    connect(button(u"programAdd"_s), &QPushButton::clicked, this, [this] {
        const int at = m_table->currentRow() < 0 ? m_table->rowCount() : m_table->currentRow() + 1;
        addRow(at, Step{});
        tableEdited();
    });
    connect(button(u"programRemove"_s), &QPushButton::clicked, this, [this] {
        if (m_table->currentRow() >= 0) {
            m_table->removeRow(m_table->currentRow());
            tableEdited();
        }
    });
    connect(button(u"programUp"_s), &QPushButton::clicked, this, [this] { moveRow(-1); });
    connect(button(u"programDown"_s), &QPushButton::clicked, this, [this] { moveRow(1); });
    connect(button(u"programOpen"_s), &QPushButton::clicked, this, &ProgramWindow::chooseOpen);
    connect(button(u"programSave"_s), &QPushButton::clicked, this, &ProgramWindow::chooseSave);
    ProgramRun &program = m_console.program();
    connect(button(u"programStart"_s), &QPushButton::clicked, this, &ProgramWindow::start);
    connect(button(u"programPause"_s), &QPushButton::clicked, &program, &ProgramRun::pause);
    connect(button(u"programContinue"_s), &QPushButton::clicked, &program, &ProgramRun::resume);
    connect(button(u"programAbort"_s), &QPushButton::clicked, &program, &ProgramRun::abort);
    connect(&program, &ProgramRun::changed, this, &ProgramWindow::showRun);
    connect(&m_console, &PumpConsole::connectedChanged, this, &ProgramWindow::showRun);

    resize(640, 560);
    showRun();
}

QPushButton *ProgramWindow::addButton(const QString &name, const QString &text)
{
    auto *button = new QPushButton(text, this);
    button->setObjectName(name);
    return button;
}

QPushButton *ProgramWindow::button(const QString &name) const
{
    return findChild<QPushButton *>(name);
}

void ProgramWindow::buildTable()
{
    m_table = new QTableWidget(0, int(headers.size()), this);
    m_table->setObjectName(u"programSteps"_s);
    m_table->setAccessibleName(u"程序步骤"_s);
    m_table->setHorizontalHeaderLabels(headers);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(m_table, &QTableWidget::itemChanged, this, [this] {
        if (!m_filling) {
            tableEdited();
        }
    });
}

void ProgramWindow::addRow(int at, const Step &step)
{
    const bool filling = std::exchange(m_filling, true);
    m_table->insertRow(at);
    m_table->setItem(at, Minutes, new QTableWidgetItem(numbertext::shortest(step.minutes)));
    m_table->setItem(at, Flow, new QTableWidgetItem(numbertext::shortest(step.flow)));
    m_table->setItem(at, Limit,
                     new QTableWidgetItem(step.pressureLimit
                                              ? numbertext::shortest(*step.pressureLimit)
                                              : QString()));
    auto *mode = new QComboBox(m_table);
    mode->addItems({u"保持"_s, u"渐变"_s});
    mode->setCurrentIndex(step.mode == Mode::Ramp ? 1 : 0);
    connect(mode, &QComboBox::currentIndexChanged, this, &ProgramWindow::tableEdited);
    m_table->setCellWidget(at, How, mode);
    m_filling = filling;
}

void ProgramWindow::moveRow(int by)
{
    const int row = m_table->currentRow();
    if (row < 0 || row + by < 0 || row + by >= m_table->rowCount()) {
        return;
    }
    // Rows are moved as the texts the operator typed, whatever they read as.
    const auto *mode = qobject_cast<QComboBox *>(m_table->cellWidget(row, How));
    const int modeIndex = mode ? mode->currentIndex() : 0;
    QStringList texts;
    for (int column : {Minutes, Flow, Limit}) {
        texts << (m_table->item(row, column) ? m_table->item(row, column)->text() : QString());
    }
    const bool filling = std::exchange(m_filling, true);
    m_table->removeRow(row);
    addRow(row + by, Step{});
    m_table->item(row + by, Minutes)->setText(texts[0]);
    m_table->item(row + by, Flow)->setText(texts[1]);
    m_table->item(row + by, Limit)->setText(texts[2]);
    qobject_cast<QComboBox *>(m_table->cellWidget(row + by, How))->setCurrentIndex(modeIndex);
    m_filling = filling;
    m_table->setCurrentCell(row + by, Minutes);
    tableEdited();
}

std::optional<Steps> ProgramWindow::tableSteps(bool tell)
{
    Steps steps;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const auto text = [&](int column) {
            const QTableWidgetItem *item = m_table->item(row, column);
            return item ? item->text().trimmed() : QString();
        };
        Step step;
        for (int column : {Minutes, Flow, Limit}) {
            if (column == Limit && text(column).isEmpty()) {
                continue;
            }
            const auto value = numbertext::toDouble(text(column));
            if (!value) {
                if (tell) {
                    m_boxes.tell(u"第 %1 步的%2“%3”不是数字（小数点用“.”）。"_s.arg(row + 1).arg(
                                     headers[column], text(column)),
                                 title);
                }
                return std::nullopt;
            }
            if (column == Minutes) {
                step.minutes = *value;
            } else if (column == Flow) {
                step.flow = *value;
            } else {
                step.pressureLimit = *value;
            }
        }
        const auto *mode = qobject_cast<QComboBox *>(m_table->cellWidget(row, How));
        step.mode = mode && mode->currentIndex() == 1 ? Mode::Ramp : Mode::Hold;
        steps.push_back(step);
    }
    return steps;
}

void ProgramWindow::setSteps(const Steps &steps)
{
    const bool filling = std::exchange(m_filling, true);
    m_table->setRowCount(0);
    for (const Step &step : steps) {
        addRow(m_table->rowCount(), step);
    }
    m_filling = filling;
    tableEdited();
}

void ProgramWindow::tableEdited()
{
    if (!m_console.program().isActive()) {
        m_preview->setSteps(tableSteps(false).value_or(Steps{}));
    }
}

bool ProgramWindow::openFile(const QString &path)
{
    const programfile::Read read = programfile::load(path);
    if (!read.steps) {
        m_boxes.tell(u"程序文件 %1 未能打开：%2。\r\n程序保持不变。"_s.arg(
                         QDir::toNativeSeparators(path), programfile::refusal(read)),
                     title);
        return false;
    }
    setSteps(*read.steps);
    m_name = QFileInfo(path).fileName();
    m_folder = QFileInfo(path).absolutePath();
    showRun();
    return true;
}

bool ProgramWindow::saveFile(const QString &path)
{
    const std::optional<Steps> steps = tableSteps(true);
    if (!steps) {
        return false;
    }
    // A file that would be refused when opened again is not written.
    if (const auto problem = program::problem(*steps)) {
        m_boxes.tell(u"程序未保存：%1。"_s.arg(program::describe(*problem)), title);
        return false;
    }
    const programfile::Saved saved = programfile::save(path, *steps);
    if (!saved.ok) {
        m_boxes.tell(u"程序未能保存到 %1：%2"_s.arg(QDir::toNativeSeparators(path), saved.error),
                     title);
        return false;
    }
    m_name = QFileInfo(path).fileName();
    m_folder = QFileInfo(path).absolutePath();
    showRun();
    return true;
}

void ProgramWindow::chooseOpen()
{
    const QString path = QFileDialog::getOpenFileName(this, u"打开程序"_s, m_folder,
                                                      u"程序 (*.csv);;所有文件 (*)"_s);
    if (!path.isEmpty()) {
        (void)openFile(path);
    }
}

void ProgramWindow::chooseSave()
{
    QString path = QFileDialog::getSaveFileName(
        this, u"保存程序"_s, m_name == unnamed ? m_folder : QDir(m_folder).filePath(m_name),
        u"程序 (*.csv)"_s);
    if (path.isEmpty()) {
        return;
    }
    if (QFileInfo(path).suffix().isEmpty()) {
        path += u".csv"_s;
    }
    (void)saveFile(path);
}

void ProgramWindow::start()
{
    if (const std::optional<Steps> steps = tableSteps(true)) {
        m_console.program().start(*steps, m_name);
    }
}

void ProgramWindow::showAndRaise()
{
    bringForward(*this);
}

void ProgramWindow::showRun()
{
    const ProgramRun &run = m_console.program();
    const bool active = run.isActive();
    const bool connected = m_console.isConnected();
    button(u"programStart"_s)->setEnabled(!active && connected);
    button(u"programPause"_s)->setEnabled(run.state() == ProgramRun::State::Running);
    button(u"programContinue"_s)->setEnabled(run.state() == ProgramRun::State::Paused && connected);
    button(u"programAbort"_s)->setEnabled(active);
    for (const QString &name : {u"programAdd"_s, u"programRemove"_s, u"programUp"_s,
                                u"programDown"_s, u"programOpen"_s}) {
        button(name)->setEnabled(!active);
    }
    m_table->setEnabled(!active);

    QString status;
    switch (run.state()) {
    case ProgramRun::State::Running:
        status = u"“%1”运行中：第 %2 步，共 %3 步"_s.arg(run.name())
                     .arg(run.step() + 1)
                     .arg(run.steps().size());
        break;
    case ProgramRun::State::Paused:
        status = u"“%1”已暂停：第 %2 步，按“继续”接着运行"_s.arg(run.name()).arg(run.step() + 1);
        break;
    case ProgramRun::State::Idle:
        switch (run.outcome()) {
        case ProgramRun::Outcome::None:
            status = u"程序：%1"_s.arg(m_name);
            break;
        case ProgramRun::Outcome::Ended:
            status = u"“%1”已运行完毕，泵已停止"_s.arg(run.name());
            break;
        case ProgramRun::Outcome::Aborted:
            status = u"“%1”已中止，泵已停止"_s.arg(run.name());
            break;
        case ProgramRun::Outcome::SafetyStopped:
            status = u"安全停泵：“%1”已中止"_s.arg(run.name());
            break;
        }
        break;
    }
    m_status->setText(status);

    if (active) {
        m_preview->setSteps(run.steps());
        m_preview->setMarker(run.elapsed());
        m_elapsed->setText(u"已运行 %1"_s.arg(clockText(run.elapsed())));
        m_remaining->setText(u"剩余 %1"_s.arg(clockText(run.length() - run.elapsed(), true)));
    } else {
        m_preview->setMarker(std::nullopt);
        m_elapsed->clear();
        m_remaining->clear();
        tableEdited();
    }
}

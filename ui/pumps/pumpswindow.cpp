#include "ui/pumps/pumpswindow.h"

#include "control/line/pumpline.h"
#include "control/rig/pumprig.h"
#include "control/rig/rigrouting.h"
#include "ui/pumps/pumptrace.h"
#include "ui/safetydialog.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// A value label: its accessible description follows its text.
void showText(QLabel *label, const QString &text)
{
    if (label->text() != text) {
        label->setText(text);
        label->setAccessibleDescription(text);
    }
}

QLabel *valueLabel(const QString &name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setAccessibleName(name);
    label->setTextFormat(Qt::PlainText);
    label->setMinimumWidth(64);
    return label;
}

} // namespace

PumpsWindow::PumpsWindow(PumpRig &rig, OperatorBoxes &boxes, QWidget *parent)
    : QWidget(parent, Qt::Window), m_rig(rig), m_boxes(boxes)
{
    setObjectName(u"pumpsWindow"_s);
    setWindowTitle(u"多泵"_s);
    auto *layout = new QVBoxLayout(this);
    m_rowsArea = new QWidget(this);
    m_grid = new QGridLayout(m_rowsArea);
    layout->addWidget(m_rowsArea);
    layout->addStretch();

    auto *buttons = new QHBoxLayout;
    auto *add = new QPushButton(u"添加泵"_s, this);
    add->setObjectName(u"addPump"_s);
    auto *stopAll = new QPushButton(u"全部停止"_s, this);
    stopAll->setObjectName(u"stopAll"_s);
    m_interlock = new QCheckBox(u"联锁停泵"_s, this);
    m_interlock->setObjectName(u"interlock"_s);
    m_interlock->setChecked(rig.interlock());
    buttons->addWidget(add);
    buttons->addWidget(stopAll);
    buttons->addWidget(m_interlock);
    buttons->addStretch();
    layout->addLayout(buttons);
    m_status = new QLabel(this);
    m_status->setObjectName(u"pumpsStatus"_s);
    m_status->setAccessibleName(u"状态栏"_s);
    m_status->setTextFormat(Qt::PlainText);
    layout->addWidget(m_status);

    connect(add, &QPushButton::clicked, &rig, qOverload<>(&PumpRig::addPump));
    connect(stopAll, &QPushButton::clicked, this, &PumpsWindow::stopAll);
    connect(m_interlock, &QCheckBox::toggled, &rig, &PumpRig::setInterlock);
    connect(&rig, &PumpRig::pumpsChanged, this, &PumpsWindow::rebuild);
    connect(&rig, &PumpRig::replyDropped, this, &PumpsWindow::showDropped);
    rebuild();
}

void PumpsWindow::rebuild()
{
    // The rows are few and change only when a pump is added or taken off, or a line opens or
    // closes: built afresh, with every widget named after its row's number.
    for (QObject *child : m_rowsArea->children()) {
        if (child->isWidgetType()) {
            delete child;
        }
    }
    m_rows.clear();
    const QStringList heads{u"泵"_s,   u"端口"_s, u"压力"_s,    u"流量"_s,
                            u"上限"_s, u"状态"_s, u"压力曲线"_s};
    for (int column = 0; column < heads.size(); ++column) {
        m_grid->addWidget(new QLabel(heads[column], m_rowsArea), 0, column);
    }
    const QList<PumpRig::Row> rows = m_rig.rows();
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const int line = int(i) + 1;
        const QString n = QString::number(line);
        Pump *pump = rows[i].pump;
        auto *title = new QLabel(u"泵 "_s + n, m_rowsArea);
        title->setAccessibleName(u"泵 "_s + n);
        auto *port = valueLabel(u"端口 "_s + n, m_rowsArea);
        // The port by its own name ("ttyUSB1", "COM3"); the whole path where the pointer rests.
        const QString device = m_rig.portOf(pump);
        showText(
            port,
            u"%1，%2 号"_s.arg(QFileInfo(device).fileName()).arg(pump->setpoints().pumpNumber()));
        port->setToolTip(device);
        port->setMinimumWidth(port->sizeHint().width());
        Row row{pump,
                valueLabel(u"压力 "_s + n, m_rowsArea),
                valueLabel(u"流量 "_s + n, m_rowsArea),
                valueLabel(u"上限 "_s + n, m_rowsArea),
                valueLabel(u"状态 "_s + n, m_rowsArea),
                new PumpTrace(m_rowsArea)};
        row.trace->setAccessibleName(u"压力曲线 "_s + n);
        const auto button = [this, &n](const QString &word) {
            auto *b = new QPushButton(word, m_rowsArea);
            b->setAccessibleName(word + u' ' + n);
            return b;
        };
        QPushButton *run = button(u"运行"_s);
        QPushButton *stop = button(u"停止"_s);
        QPushButton *safety = button(u"安全保护"_s);
        QPushButton *remove = button(u"删除"_s);
        remove->setEnabled(!rows[i].panel); // the panel's pump goes with the panel's line
        connect(run, &QPushButton::clicked, pump, [pump] { (void)pump->run(); });
        connect(stop, &QPushButton::clicked, pump, [pump] { (void)pump->stop(); });
        connect(safety, &QPushButton::clicked, this, [this, pump] { editSafety(*pump); });
        connect(remove, &QPushButton::clicked, this, [this, pump] { m_rig.removePump(pump); });
        int column = 0;
        for (QWidget *w :
             std::initializer_list<QWidget *>{title, port, row.pressure, row.flow, row.limit,
                                              row.state, row.trace, run, stop, safety, remove}) {
            m_grid->addWidget(w, line, column++);
        }
        connect(pump, &Pump::changed, row.state,
                [this, at = m_rows.size()] { showRow(m_rows[at]); });
        connect(pump, &Pump::pressureHandled, row.trace,
                [this, at = m_rows.size()](std::optional<double> mpa) {
                    const Row &r = m_rows[at];
                    showText(r.pressure, r.pump->readouts().caption(Readout::Pressure));
                    if (mpa) {
                        r.trace->add(*mpa);
                    }
                });
        m_rows.append(row);
        showRow(row);
    }
}

void PumpsWindow::showRow(const Row &row)
{
    const Readouts &readouts = row.pump->readouts();
    showText(row.pressure, readouts.caption(Readout::Pressure));
    showText(row.flow, readouts.caption(Readout::Flow));
    showText(row.limit, readouts.caption(Readout::PressureLimit));
    const rig::RowState state =
        rig::rowState(row.pump->safety().isLatched(),
                      row.pump->pressureWatch().staleSeconds().has_value(), row.pump->isRunning());
    showText(row.state, rig::rowStateText(state));
    row.state->setStyleSheet(state == rig::RowState::Alarm ? u"color: red;"_s : QString());
}

void PumpsWindow::editSafety(Pump &pump)
{
    SafetyDialog dialog(pump.safety().limits(), m_boxes, this);
    if (dialog.exec() == QDialog::Accepted) {
        pump.setSafetyLimits(dialog.limits());
    }
}

void PumpsWindow::stopAll()
{
    const int sent = m_rig.stopAll();
    showText(m_status, u"全部停止：已向 %1 台泵发出停止指令"_s.arg(sent));
}

void PumpsWindow::showDropped(qint64 total)
{
    showText(m_status, u"已丢弃 %1 条不属于任何泵的应答"_s.arg(total));
}

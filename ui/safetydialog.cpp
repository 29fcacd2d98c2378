#include "ui/safetydialog.h"

#include "control/seams/operatorboxes.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {
const QString dialogTitle = u"安全保护"_s;
}

SafetyDialog::SafetyDialog(const safety::Limits &limits, OperatorBoxes &boxes, QWidget *parent)
    : QDialog(parent), m_boxes(boxes), m_limits(limits)
{
    setWindowTitle(dialogTitle);
    setObjectName(u"safetyDialog"_s);
    auto *form = new QFormLayout(this);
    const safety::Typed shown = safety::typed(limits);
    const std::array<QString, 3> texts{shown.upper, shown.lower, shown.silence};
    const std::array<QString, 3> units{u"MPa"_s, u"MPa"_s, u"秒"_s};
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        const QString name = safety::fieldName(safety::Field(i));
        auto *edit = new QLineEdit(texts[i], this);
        edit->setAccessibleName(name);
        edit->setPlaceholderText(u"留空：不用"_s);
        m_fields[i] = edit;
        auto *label = new QLabel(u"%1（%2）"_s.arg(name, units[i]), this);
        label->setBuddy(edit);
        form->addRow(label, edit);
    }
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(u"确定"_s, QDialogButtonBox::AcceptRole);
    buttons->addButton(u"取消"_s, QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &SafetyDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SafetyDialog::reject);
    form->addRow(buttons);
}

void SafetyDialog::accept()
{
    const safety::Checked checked =
        safety::check({field(safety::Field::Upper)->text(), field(safety::Field::Lower)->text(),
                       field(safety::Field::Silence)->text()});
    if (!checked.limits) {
        m_boxes.tell(checked.refusal, dialogTitle);
        field(checked.field)->setFocus();
        return; // stays open with what was typed
    }
    m_limits = *checked.limits;
    QDialog::accept();
}

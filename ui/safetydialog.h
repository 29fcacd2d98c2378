#pragma once
// The safety stop's dialog: the upper and lower pressure limits and the silence allowed, each
// empty for off. A value that will not do is refused with a box naming the field and its range,
// and the dialog stays open with what the operator typed.

#include "control/pump/safety.h"

#include <array>
#include <QDialog>

class OperatorBoxes;
class QLineEdit;

class SafetyDialog : public QDialog
{
    Q_OBJECT
public:
    SafetyDialog(const safety::Limits &limits, OperatorBoxes &boxes, QWidget *parent = nullptr);

    // What the operator accepted; the limits given while the dialog has not been accepted.
    const safety::Limits &limits() const { return m_limits; }
    QLineEdit *field(safety::Field field) const { return m_fields[std::size_t(field)]; }

    void accept() override;

private:
    OperatorBoxes &m_boxes;
    safety::Limits m_limits;
    std::array<QLineEdit *, 3> m_fields{};
};

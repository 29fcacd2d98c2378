#pragma once
// Every pump the console drives, one row each, numbered from 1 in the order they were added
// (the panel's pump first while its line is open): port and number, pressure, flow setpoint,
// pressure limit, state, a trace of the pressure, and the row's own run, stop, safety band and
// delete. Adds pumps, stops them all, and holds the interlock. Not modal: it is watched beside
// the panel. Each widget that shows a value keeps its accessible description equal to its
// text, so that a screen reader, and the tests, read the value and not only the name.

#include <QList>
#include <QWidget>

class OperatorBoxes;
class Pump;
class PumpRig;
class PumpTrace;
class QCheckBox;
class QGridLayout;
class QLabel;
class QPushButton;

class PumpsWindow : public QWidget
{
    Q_OBJECT
public:
    PumpsWindow(PumpRig &rig, OperatorBoxes &boxes, QWidget *parent = nullptr);

    QLabel *statusLine() const { return m_status; }

private:
    struct Row
    {
        Pump *pump;
        QLabel *pressure, *flow, *limit, *state;
        PumpTrace *trace;
    };

    void rebuild();
    void showRow(const Row &row);
    void editSafety(Pump &pump);
    void stopAll();
    void showDropped(qint64 total);

    PumpRig &m_rig;
    OperatorBoxes &m_boxes;
    QGridLayout *m_grid = nullptr;
    QWidget *m_rowsArea = nullptr;
    QList<Row> m_rows;
    QCheckBox *m_interlock = nullptr;
    QLabel *m_status = nullptr;
};

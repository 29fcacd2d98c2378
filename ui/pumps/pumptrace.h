#pragma once
// A pump's pressure over the last minutes, small enough to sit in its row: the latest values
// as a line, scaled to the highest of them (at least 1 MPa, so that a quiet pump's noise does
// not fill the height).

#include <QWidget>
#include <vector>

class PumpTrace : public QWidget
{
    Q_OBJECT
public:
    // At two replies a second, five minutes.
    static constexpr qsizetype span = 600;

    explicit PumpTrace(QWidget *parent = nullptr);

    void add(double mpa);
    QSize sizeHint() const override { return {160, 28}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::vector<double> m_values; // a ring of `span`, oldest at m_next once full
    qsizetype m_next = 0;
};

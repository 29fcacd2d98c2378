#pragma once
// Every pressure the pump has reported since the console started, in arrival order, up to a
// bound. It grows as values arrive, so an idle console holds no more than it has recorded.

#include <QtGlobal>
#include <span>
#include <vector>

class PressureRecord
{
public:
    static constexpr qsizetype capacity = 1'000'000;

    // `limit` below `capacity` lets a test reach the bound quickly.
    explicit PressureRecord(qsizetype limit = capacity);

    // False when the record is full; the value is then dropped.
    [[nodiscard]] bool add(double mpa);

    std::span<const double> values() const { return m_values; }
    qsizetype size() const { return qsizetype(m_values.size()); }
    qsizetype limit() const { return m_limit; }
    bool isFull() const { return size() >= m_limit; }

private:
    std::vector<double> m_values;
    qsizetype m_limit;
};

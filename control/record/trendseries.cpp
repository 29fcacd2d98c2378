#include "control/record/trendseries.h"

#include <algorithm>
#include <cmath>

qint64 TrendSeries::inOrder(qint64 utcMs)
{
    if (!m_any) {
        m_any = true;
        m_firstMs = m_lastMs = utcMs;
        return utcMs;
    }
    m_lastMs = std::max(m_lastMs, utcMs);
    return m_lastMs;
}

void TrendSeries::addPressure(qint64 utcMs, float mpa)
{
    const qint64 at = inOrder(utcMs);
    if (std::exchange(m_broken, false) && !m_times.empty()) {
        m_segmentStarts.push_back(qsizetype(m_times.size()));
    }
    m_times.push_back(at);
    m_pressures.push_back(mpa);
}

void TrendSeries::breakCurve()
{
    m_broken = true;
}

void TrendSeries::addStep(std::vector<TrendStep> &steps, qint64 utcMs, float value)
{
    const qint64 at = inOrder(utcMs);
    // A setpoint repeated in every reply is one step, not thousands.
    const bool same = !steps.empty() && (steps.back().value == value ||
                                         (std::isnan(value) && std::isnan(steps.back().value)));
    if (!same) {
        steps.push_back({at, value});
    }
}

void TrendSeries::addMark(TrendMark mark)
{
    // A mark keeps its own time: the operator's mark is stamped when the key was pressed, and
    // written once the note has been typed, after the replies that came meanwhile.
    if (!m_any) {
        (void)inOrder(mark.utcMs);
    }
    m_firstMs = std::min(m_firstMs, mark.utcMs);
    m_lastMs = std::max(m_lastMs, mark.utcMs);
    m_marks.push_back(std::move(mark));
}

void TrendSeries::setOffset(qint64 utcMs, int offsetSeconds)
{
    if (m_offsets.empty() || m_offsets.back().second != offsetSeconds) {
        m_offsets.emplace_back(m_offsets.empty() ? std::numeric_limits<qint64>::min() : utcMs,
                               offsetSeconds);
    }
}

int TrendSeries::offsetAt(qint64 utcMs) const
{
    const auto after = std::upper_bound(m_offsets.begin(), m_offsets.end(), utcMs,
                                        [](qint64 t, const auto &o) { return t < o.first; });
    return after == m_offsets.begin() ? 0 : std::prev(after)->second;
}

void TrendSeries::dropBefore(qint64 utcMs)
{
    const auto cut = std::lower_bound(m_times.begin(), m_times.end(), utcMs);
    const auto n = qsizetype(cut - m_times.begin());
    m_times.erase(m_times.begin(), cut);
    m_pressures.erase(m_pressures.begin(), m_pressures.begin() + n);
    std::erase_if(m_segmentStarts, [n](qsizetype s) { return s <= n; });
    for (qsizetype &s : m_segmentStarts) {
        s -= n;
    }
    std::erase_if(m_marks, [utcMs](const TrendMark &m) { return m.utcMs < utcMs; });
    // A step before the cut still holds at the cut: keep the last one, moved there.
    for (auto *steps : {&m_flow, &m_limit}) {
        const auto firstKept =
            std::lower_bound(steps->begin(), steps->end(), utcMs,
                             [](const TrendStep &s, qint64 t) { return s.utcMs < t; });
        if (firstKept != steps->begin()) {
            auto holding = std::prev(firstKept);
            holding->utcMs = utcMs;
            steps->erase(steps->begin(), holding);
        }
    }
    m_firstMs = std::max(m_firstMs, utcMs);
}

void TrendSeries::reserve(qsizetype pressures)
{
    m_times.reserve(size_t(pressures));
    m_pressures.reserve(size_t(pressures));
}

#pragma once
// A run as the trend draws it: the pressures against clock time, in segments (a lost line breaks
// the curve), the flow setpoint and the pressure limit as steps, and the moments worth a mark.
// Plain data, filled from the console's events as they happen or from a run log file; the
// pressures are kept as two flat arrays, 12 bytes a reply, so that a whole 100 MB log fits.

#include <optional>
#include <QString>
#include <span>
#include <vector>

struct TrendMark
{
    enum class Kind { Command, Line, Safety, Operator, Other };
    qint64 utcMs = 0;
    Kind kind = Kind::Other;
    QString text; // what the tooltip says: "运行", "线路断开：…", "标记：换柱"
};

struct TrendStep
{
    qint64 utcMs = 0;
    float value = 0; // NaN: not known from here on (the line was lost)
};

class TrendSeries
{
public:
    // Times never go back within a series: a wall clock set back is held at the latest time
    // seen, so that the curve stays in time order and can be searched.
    void addPressure(qint64 utcMs, float mpa);
    // The next pressure starts a new segment: nothing is drawn across a lost line.
    void breakCurve();
    void addFlow(qint64 utcMs, float mlPerMin) { addStep(m_flow, utcMs, mlPerMin); }
    void addLimit(qint64 utcMs, float mpa) { addStep(m_limit, utcMs, mpa); }
    void addMark(TrendMark mark);
    // The local time's offset from UTC from `utcMs` on (summer time, or a log from elsewhere).
    void setOffset(qint64 utcMs, int offsetSeconds);
    int offsetAt(qint64 utcMs) const;

    void setPort(const QString &port) { m_port = port; }
    const QString &port() const { return m_port; }
    // Several pumps may share a line: a series draws one, the first whose reply it was given,
    // or the one the operator set the pump number to.
    void setPump(qint16 pump) { m_pump = pump; }
    std::optional<qint16> pump() const { return m_pump; }

    std::span<const qint64> times() const { return m_times; }
    std::span<const float> pressures() const { return m_pressures; }
    // Indices of the first pressure of every segment after the first.
    std::span<const qsizetype> segmentStarts() const { return m_segmentStarts; }
    const std::vector<TrendStep> &flow() const { return m_flow; }
    const std::vector<TrendStep> &limit() const { return m_limit; }
    const std::vector<TrendMark> &marks() const { return m_marks; }

    bool isEmpty() const { return !m_any; }
    // The first and the latest time of anything in the series.
    qint64 firstMs() const { return m_firstMs; }
    qint64 lastMs() const { return m_lastMs; }

    // Forgets everything older than `utcMs`: a live series over a long connection keeps its
    // memory bounded; the run log keeps the rest.
    void dropBefore(qint64 utcMs);
    void clear() { *this = TrendSeries(); }
    void reserve(qsizetype pressures);

private:
    qint64 inOrder(qint64 utcMs);
    void addStep(std::vector<TrendStep> &steps, qint64 utcMs, float value);

    std::vector<qint64> m_times;
    std::vector<float> m_pressures;
    std::vector<qsizetype> m_segmentStarts;
    std::vector<TrendStep> m_flow;
    std::vector<TrendStep> m_limit;
    std::vector<TrendMark> m_marks;
    std::vector<std::pair<qint64, int>> m_offsets; // from when, which
    QString m_port;
    std::optional<qint16> m_pump;
    qint64 m_firstMs = 0;
    qint64 m_lastMs = 0;
    bool m_any = false;
    bool m_broken = false;
};

#pragma once
// At most `count` publications in any window of `window` milliseconds, and the one that has
// to wait is always the latest value: a flood of replies cannot swamp the broker, a value that
// arrives in time is never held back, and the last value of a burst still goes out (late by
// at most the window). Times are milliseconds on a monotonic clock, passed in, so that every
// decision is pinned by a table test.

#include <limits>
#include <optional>
#include <QtGlobal>
#include <utility>
#include <vector>

template<typename T> class LatestThrottle
{
public:
    LatestThrottle(int count, qint64 window)
        : m_sent(std::size_t(qMax(count, 1)), noTime), m_window(window)
    {
    }

    // A new value at `now`: returned when it may go out now (the caller publishes it);
    // otherwise kept in place of any older waiting value until wakeAt().
    [[nodiscard]] std::optional<T> offer(T value, qint64 now)
    {
        if (now < freeAt()) {
            m_waiting = std::move(value);
            return std::nullopt;
        }
        take(now);
        m_waiting.reset(); // older than this one
        return value;
    }

    // When the waiting value may go; nothing when none waits.
    std::optional<qint64> wakeAt() const
    {
        return m_waiting ? std::optional(freeAt()) : std::nullopt;
    }

    // The waiting value, if its time has come.
    [[nodiscard]] std::optional<T> release(qint64 now)
    {
        if (!m_waiting || now < freeAt()) {
            return std::nullopt;
        }
        take(now);
        return std::exchange(m_waiting, std::nullopt);
    }

    // Drops a waiting value, for one made out of date by a publication outside the throttle.
    void discardWaiting() { m_waiting.reset(); }

private:
    static constexpr qint64 noTime = std::numeric_limits<qint64>::min() / 2;

    // The oldest of the last `count` publications leaves the window at this time.
    qint64 freeAt() const { return m_sent[m_oldest] + m_window; }
    void take(qint64 now)
    {
        m_sent[m_oldest] = now;
        m_oldest = (m_oldest + 1) % m_sent.size();
    }

    std::vector<qint64> m_sent; // the last `count` publication times, oldest at m_oldest
    std::size_t m_oldest = 0;
    qint64 m_window;
    std::optional<T> m_waiting;
};

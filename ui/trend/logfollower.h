#pragma once
// Loads a run log file into a trend: in pieces on the event loop, so that a 100 MB file shows
// its first picture at once and the window stays live while the rest comes in; then it keeps
// looking for rows a running console is still adding, and goes on into the log's next part
// ("…-2.csv") once the console has started one.

#include "control/record/trendseries.h"
#include "control/runlog/runlogreader.h"

#include <QFile>
#include <QObject>
#include <QSet>
#include <QTimer>

class LogFollower : public QObject
{
    Q_OBJECT
public:
    explicit LogFollower(TrendSeries &series, QObject *parent = nullptr);

    // Starts reading `path` into the series (emptied first). Returns the reason, in the
    // operator's words, when the file cannot be opened or is no run log; then the series and
    // any file followed so far are left as they were.
    [[nodiscard]] QString open(const QString &path);
    void stop();

    bool isReading() const { return m_file.isOpen(); }
    // The whole file as it was has been read once (later rows are added as they come).
    bool hasReachedEnd() const { return m_reachedEnd; }
    QString path() const { return m_file.fileName(); }
    const runlog::RunLogReader &reader() const { return m_reader; }

    static constexpr qint64 pieceBytes = 4 * 1024 * 1024;
    static constexpr int growthCheckMs = 500;

Q_SIGNALS:
    // More of the file is in the series.
    void grew();
    // The file as it was when opened has been read (once).
    void reachedEnd();
    // The file went away or became unreadable while it was followed.
    void failed(const QString &why);

private:
    void readPiece();
    // The part the console went on in after this one, if it has started one.
    bool moveToNextPart();

    TrendSeries &m_series;
    QFile m_file;
    runlog::RunLogReader m_reader;
    QTimer m_timer;
    QByteArray m_buffer;
    // Files beside this one that another connection's log began: never this log's next part.
    QSet<QString> m_otherLogs;
    bool m_reachedEnd = false;
};

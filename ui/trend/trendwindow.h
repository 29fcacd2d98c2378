#pragma once
// 趋势: the pressure of the current connection against clock time, live, or of any run log
// file, with the setpoints and the run's marks; 标记 marks the moment, 导出图片 writes the view
// as a PNG or PDF for the lab notebook. A window of its own beside the console, never modal.
//
// It listens to the console from the start, so the whole connection is there when the
// operator first opens it.

#include "control/record/trendseries.h"

#include <QWidget>

class LogFollower;
class OperatorBoxes;
class PumpConsole;
class QLabel;
class QPushButton;
class TrendPlot;
struct RunEvent;

class TrendWindow : public QWidget
{
    Q_OBJECT
public:
    // A PNG is this size; a PDF is an A4 page, landscape.
    static constexpr QSize pictureSize{1600, 1000};
    // A live series keeps about ten hours of replies at line rate; the run log keeps the rest.
    static constexpr qsizetype livePressureLimit = 4'000'000;

    // The console and the boxes must outlive the window.
    TrendWindow(PumpConsole &console, OperatorBoxes &boxes, QWidget *parent = nullptr);
    ~TrendWindow() override;

    TrendPlot *plot() const { return m_plot; }
    const TrendSeries &shown() const;
    bool showsLive() const { return m_showsLive; }
    LogFollower &follower() const { return *m_follower; }

    // Loads `path`; a file that is no run log is refused with the reason, in a box.
    bool openLogFile(const QString &path);
    // Writes the view to `path`, a PDF if it ends in ".pdf", else a PNG. Returns the failure,
    // in the operator's words, or nothing.
    [[nodiscard]] QString exportTo(const QString &path) const;
    // The title of an exported picture: the port, the date and the time range shown.
    QString pictureTitle() const;
    // The name an exported picture is offered under: that of the run log shown, or live that of
    // the connection's own log (the time it began).
    QString pictureFileName() const;

public Q_SLOTS:
    void chooseLogFile();
    void chooseExportFile();
    void showLive();

private:
    void onRunEvent(const RunEvent &event);
    void showSource();
    void drawPicture(QPainter &painter, const QRect &area) const;

    PumpConsole &m_console;
    OperatorBoxes &m_boxes;
    TrendSeries m_live;
    TrendSeries m_file;
    LogFollower *m_follower;
    bool m_showsLive = true;
    TrendPlot *m_plot;
    QLabel *m_source;
    QLabel *m_hover;
    QPushButton *m_follow;
};

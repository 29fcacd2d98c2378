#pragma once
// A label that shows the latest of a fast stream of texts. Setting a label's text re-lays it
// out and repaints it; under a burst of pump replies only the last text of an event-loop pass
// can ever reach the screen, so the label takes the first text of a pass at once and the last
// one when the pass is over, and none of those between.

#include <QLabel>
#include <QPointer>
#include <QString>

class LatestText
{
public:
    explicit LatestText(QLabel *label) : m_label(label) {}

    // Shows `text` now, or, when a text was already shown in this pass, at the pass's end
    // unless a newer one replaces it first.
    void show(const QString &text);

private:
    QPointer<QLabel> m_label;
    QString m_latest;
    bool m_posted = false;
};

#pragma once
// A label that shows the latest of a fast stream of texts. Setting a label's text re-lays it
// out and repaints it; under a burst of pump replies only the last text of an event-loop pass
// can ever reach the screen, so the label takes that one, once per pass.

#include <QLabel>
#include <QPointer>
#include <QString>

class LatestText
{
public:
    explicit LatestText(QLabel *label) : m_label(label) {}

    // Shows `text` once the running handler has finished; a newer text before then replaces it.
    void show(const QString &text);

private:
    QPointer<QLabel> m_label;
    QString m_latest;
    bool m_posted = false;
};

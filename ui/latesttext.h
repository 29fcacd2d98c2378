#pragma once
// A label that shows the latest of a fast stream of texts. Setting a label's text re-lays it
// out and repaints it; under a burst of pump replies only the last text of an event-loop pass
// can ever reach the screen, so the label takes the first text of a pass at once and the last
// one when the pass is over, and none of those between.
//
// The end of the pass is taken from the event dispatcher (it reports each time it wakes up or
// is about to wait), not from a posted call: a posted call per reply would wake the process
// once more for every reply.

#include <QMetaObject>
#include <QPointer>
#include <QString>

class QLabel;

class LatestText
{
public:
    explicit LatestText(QLabel *label);
    ~LatestText();
    LatestText(const LatestText &) = delete;
    LatestText &operator=(const LatestText &) = delete;

    // Shows `text` now, or, when a text was already shown in this pass, at the pass's end
    // unless a newer one replaces it first.
    void show(const QString &text);

private:
    void passEnded();

    QPointer<QLabel> m_label;
    QString m_latest;
    bool m_inPass = false;
    QMetaObject::Connection m_awake;
    QMetaObject::Connection m_aboutToBlock;
};

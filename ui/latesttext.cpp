#include "ui/latesttext.h"

#include <QMetaObject>

void LatestText::show(const QString &text)
{
    if (!m_label) {
        return;
    }
    if (m_posted) {
        m_latest = text; // a burst: only the last of this pass will be shown
        return;
    }
    // The first text of a pass goes up at once, so it is painted together with the chart's new
    // step; any later ones in the same pass wait for its end and cost one more text at most.
    m_label->setText(text);
    m_latest = text;
    m_posted = true;
    QMetaObject::invokeMethod(
        m_label,
        [this] {
            m_posted = false;
            if (m_label) {
                m_label->setText(m_latest); // the label does nothing when the text is unchanged
            }
        },
        Qt::QueuedConnection);
}

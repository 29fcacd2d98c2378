#include "ui/latesttext.h"

#include <QMetaObject>

void LatestText::show(const QString &text)
{
    m_latest = text;
    if (m_posted || !m_label) {
        return;
    }
    m_posted = true;
    QMetaObject::invokeMethod(
        m_label,
        [this] {
            m_posted = false;
            if (m_label) {
                m_label->setText(m_latest);
            }
        },
        Qt::QueuedConnection);
}

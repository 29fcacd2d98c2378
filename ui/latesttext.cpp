#include "ui/latesttext.h"

#include <QAbstractEventDispatcher>
#include <QLabel>

LatestText::LatestText(QLabel *label) : m_label(label)
{
    // The dispatcher of the label's thread; without one (no event loop yet) the first text of
    // each pass is still shown at once.
    if (auto *dispatcher = QAbstractEventDispatcher::instance(label ? label->thread() : nullptr)) {
        m_awake = QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, label,
                                   [this] { passEnded(); });
        m_aboutToBlock = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock,
                                          label, [this] { passEnded(); });
    }
}

LatestText::~LatestText()
{
    QObject::disconnect(m_awake);
    QObject::disconnect(m_aboutToBlock);
}

void LatestText::show(const QString &text)
{
    if (!m_label) {
        return;
    }
    m_latest = text;
    if (m_inPass) {
        return; // a burst: only the last of this pass will be shown
    }
    // The first text of a pass goes up at once, so it is painted together with the chart's new
    // step; any later ones in the same pass wait for its end and cost one more text at most.
    m_label->setText(text);
    m_inPass = true;
}

void LatestText::passEnded()
{
    if (!m_inPass) {
        return;
    }
    m_inPass = false;
    if (m_label) {
        m_label->setText(m_latest); // the label does nothing when the text is unchanged
    }
}

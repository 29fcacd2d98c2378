#include "ui/stalelook.h"

#include <QLabel>

StaleLook::StaleLook(QLabel *label) : QObject(label), m_label(label), m_current(label->palette()) {}

void StaleLook::show(const QString &note)
{
    m_stale = !note.isEmpty();
    QPalette look = m_current;
    if (m_stale) {
        // Whether the window is active or not: a stale value must never look live.
        const QColor disabled = look.color(QPalette::Disabled, QPalette::WindowText);
        look.setColor(QPalette::Active, QPalette::WindowText, disabled);
        look.setColor(QPalette::Inactive, QPalette::WindowText, disabled);
    }
    m_label->setPalette(look);
    m_label->setToolTip(note);
    m_label->setAccessibleDescription(note);
}

#pragma once
// The look of a read-out whose value the pump has stopped confirming: its text in the
// palette's disabled colour, and why in its tooltip and accessible description (read by screen
// readers). Nothing else about the label changes: it keeps showing its last value.

#include <QObject>
#include <QPalette>
#include <QString>

class QLabel;

class StaleLook final : public QObject
{
    Q_OBJECT
public:
    // Lives as long as `label` and takes its look at this moment as the look of a current value.
    explicit StaleLook(QLabel *label);

    bool isStale() const { return m_stale; }

public Q_SLOTS:
    // Empty: the value is current again.
    void show(const QString &note);

private:
    QLabel *m_label;
    QPalette m_current;
    bool m_stale = false;
};

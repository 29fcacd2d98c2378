#include "control/pump/readouts.h"

Readouts::Readouts(QObject *parent) : QObject(parent)
{
    m_captions = {readoutText::noPressure,
                  readoutText::defaultLimit,
                  readoutText::noFlow,
                  readoutText::stopped,
                  QString(),
                  QStringLiteral("00"),
                  QStringLiteral("时"),
                  QStringLiteral("00"),
                  QStringLiteral("分"),
                  QStringLiteral("00"),
                  QStringLiteral("秒")};
    m_visible.fill(true);
    setTimeDisplayVisible(false);
}

void Readouts::setCaption(Readout readout, const QString &text)
{
    QString &current = m_captions[std::size_t(readout)];
    if (current == text) {
        return;
    }
    current = text;
    Q_EMIT captionChanged(readout, text);
}

void Readouts::setVisible(Readout readout, bool visible)
{
    bool &current = m_visible[std::size_t(readout)];
    if (current == visible) {
        return;
    }
    current = visible;
    Q_EMIT visibilityChanged(readout, visible);
}

void Readouts::setTimeDisplayVisible(bool visible)
{
    for (Readout readout : {Readout::Hours, Readout::Minutes, Readout::Seconds, Readout::HoursUnit,
                            Readout::MinutesUnit, Readout::SecondsUnit}) {
        setVisible(readout, visible);
    }
}

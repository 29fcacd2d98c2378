// The pump's replies: read-outs, the sweeping pressure chart and the pressure record.

#include "control/consolecore.h"
#include "control/dialogs.h"
#include "control/numbertext.h"
#include "link/pumpframes.h"

namespace {

constexpr ChartColour lightRed = chartRgb(255, 0, 0);
constexpr int sweepLength = 100;

} // namespace

void ConsoleCore::MSComm1_OnComm()
{
    if (m_port.commEvent() != PumpPort::comEvReceive) {
        return; // line-state and error events carry no reply
    }
    // Every complete reply in this read counts: two replies waiting at once, or one split
    // across reads, must not cost the operator a pressure reading.
    for (const QByteArray &frame : m_reader.feed(m_port.input())) {
        handleReply(frame);
    }
}

void ConsoleCore::handleReply(const QByteArray &frame)
{
    const auto reply = pumpframes::parseReply(frame);
    if (!reply) {
        return;
    }
    PanelState &s = m_state;

    switch (reply->letter) {
    case 'N':
        setCaption(Label::LcurrP, QString::fromLatin1(reply->value));
        if (const auto pressure = numbertext::toDouble(QString::fromLatin1(reply->value))) {
            recordPressure(*pressure);
        }
        break;
    case 'P':
        // An entry typed on the keypad lives in this label; overwriting it half-way would
        // leave the entry at a length that never completes and lock the keypad.
        if (s.pr != 1) {
            setCaption(Label::LsetP, pumpframes::setpointReadout(reply->value));
        }
        break;
    case 'L':
        if (s.lq != 1) {
            setCaption(Label::LsetF, pumpframes::setpointReadout(reply->value));
        }
        break;
    default:
        break;
    }

    // The grid: the zero line and ticks at 0.5, 1 and 1.5 MPa. Drawn on every step so that it
    // comes back with the first step after a clear.
    m_chart.Line(0, 0, 100, 0);
    m_chart.Line(0, 0.5f, 1.5f, 0.5f);
    m_chart.Line(0, 1, 1.5f, 1);
    m_chart.Line(0, 1.5f, 1.5f, 1.5f);

    // A pressure that does not read as a number leaves the previous sweep's sample in place.
    if (const auto pressure = numbertext::toDouble(caption(Label::LcurrP))) {
        s.prchart[s.itime + 1] = *pressure;
    }
    m_chart.Line(float(s.itime - 1), float(s.prchart[s.itime]), float(s.itime),
                 float(s.prchart[s.itime + 1]), lightRed);
    ++s.itime;
    if (s.itime == sweepLength) {
        s.itime = 0;
        m_chart.Cls();
    }
}

void ConsoleCore::recordPressure(double value)
{
    PanelState &s = m_state;
    if (s.saveprcout < m_recordLimit) {
        ++s.saveprcout;
        s.prrecord[s.saveprcout] = value;
        return;
    }
    if (!m_recordFullReported) {
        m_recordFullReported = true;
        m_dialogs.notify(QStringLiteral("压力记录已满（%1 个数值），此后的压力数值不再记录。\r\n"
                                        "已记录的数值可以用“文件”菜单中的“保存”存储。")
                             .arg(m_recordLimit),
                         QStringLiteral("压力记录"));
    }
}

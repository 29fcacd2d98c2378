// Drives the core with an arbitrary mix of line bytes, keypad keys, timer ticks and commands,
// and checks what must hold after every event: at most one keypad entry open, the entry text
// never past "ab.c", the chart position inside its sweep, the elapsed count inside 16 bits,
// the record inside its bounds.
#include "core/doubles.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

void checkInvariants(Console &c)
{
    const PanelState &s = c.s();
    check(!(s.lq == 1 && s.pr == 1));
    check(s.itime >= 0 && s.itime < 100);
    check(s.tset >= 0);
    check(s.saveprcout >= 0 && s.saveprcout <= c.core.recordLimit());
    if (s.lq == 1) {
        check(c.caption(Label::LsetF).size() < 4);
    }
    if (s.pr == 1) {
        check(c.caption(Label::LsetP).size() < 4);
    }
    check(c.core.Picture1().lines().size() <= ChartModel::maxLines);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Console c;
    c.core.setRecordLimit(50);
    c.connect();
    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t op = data[at++];
        switch (op % 8) {
        case 0:
        case 1: { // bytes on the line
            const std::size_t n = std::min<std::size_t>(1 + op / 8, size - at);
            c.port.received += QByteArray(reinterpret_cast<const char *>(data + at), qsizetype(n));
            at += n;
            c.port.event = PumpPort::comEvReceive;
            c.core.MSComm1_OnComm();
            break;
        }
        case 2: // a keypad key
            c.core.keyClicked(KeyGroup((op / 8) % 14), qint16(op / 8));
            break;
        case 3:
            c.timer.ticks(1 + op / 8);
            break;
        case 4: { // the set-time box answered with a number built from the input
            c.dialogs.answers.push_back(QString::number(double(op) - 100.0));
            c.core.stset_Click();
            break;
        }
        case 5:
            switch ((op / 8) % 4) {
            case 0:
                c.core.ststart_Click();
                break;
            case 1:
                c.core.stzanting_Click();
                break;
            case 2:
                c.core.stcontiune_Click();
                break;
            default:
                c.core.stend_Click();
                break;
            }
            break;
        case 6:
            c.port.failWrites = (op / 8) % 2;
            break;
        default: // pump number from the box
            c.dialogs.answers.push_back(QString::number(int(op) - 128));
            c.core.Pump_NO_Click();
            break;
        }
        checkInvariants(c);
        c.dialogs.shown.clear();
        c.port.written.clear();
    }
    return 0;
}

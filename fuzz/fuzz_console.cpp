// Drives the console with an arbitrary mix of line bytes, keypad keys, ticks and commands, and
// checks what must hold after every event: the entry text never past "ab.c", the chart
// position inside its sweep, the record inside its bounds, the drawing list bounded.
#include "support/doubles.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

void checkInvariants(TestConsole &c)
{
    const PumpConsole &console = c.console;
    check(console.link().sweep().position() >= 0 &&
          console.link().sweep().position() < ChartSweep::length);
    check(console.timedRun().elapsedSeconds() >= 0);
    check(console.record().size() <= console.record().limit());
    switch (console.keypad().field()) {
    case EntryField::Flow:
        check(c.caption(Readout::Flow).size() < 4);
        break;
    case EntryField::PressureLimit:
        check(c.caption(Readout::PressureLimit).size() < 4);
        break;
    case EntryField::None:
        break;
    }
    check(console.chart().lines().size() <= ChartDrawing::maxLines);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    TestConsole c;
    c.console.setRecordLimit(50);
    c.connect();
    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t op = data[at++];
        switch (op % 8) {
        case 0:
        case 1: { // bytes on the line
            const std::size_t n = std::min<std::size_t>(1 + op / 8, size - at);
            c.port.receive(QByteArray(reinterpret_cast<const char *>(data + at), qsizetype(n)));
            at += n;
            break;
        }
        case 2: // a keypad key
            switch ((op / 8) % 14) {
            case 10:
                c.console.beginFlowEntry();
                break;
            case 11:
                c.console.beginPressureLimitEntry();
                break;
            case 12:
                c.console.runFromKeypad();
                break;
            case 13:
                c.console.stopFromKeypad();
                break;
            default:
                c.console.pressDigit((op / 8) % 14);
                break;
            }
            break;
        case 3:
            c.ticker.ticks(1 + op / 8);
            break;
        case 4: // the set-time box answered with a number built from the input
            c.boxes.answers.push_back(QString::number(double(op) - 100.0));
            c.console.askRunLength();
            break;
        case 5:
            switch ((op / 8) % 4) {
            case 0:
                c.console.startTimedRun();
                break;
            case 1:
                c.console.pauseTimedRun();
                break;
            case 2:
                c.console.resumeTimedRun();
                break;
            default:
                c.console.endTimedRun();
                break;
            }
            break;
        case 6:
            c.port.failWrites = (op / 8) % 2;
            break;
        default: // pump number from the box
            c.boxes.answers.push_back(QString::number(int(op) - 128));
            c.console.askPumpNumber();
            break;
        }
        checkInvariants(c);
        c.boxes.shown.clear();
        c.port.written.clear();
    }
    return 0;
}

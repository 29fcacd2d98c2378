// The Windows build where the console itself cannot be driven under Wine, cross-built by
// scripts/build-windows.sh and run under Wine by scripts/test-windows.sh:
//   - the Windows-only decisions no run of the console reaches (a USB adapter's identity) or
//     reaches only on a failure;
//   - the reply path: Wine delivers no incoming byte of a serial port to QSerialPort, so the
//     replaying pump's replies (PUMP_REPLIES) go through the whole console on the port double,
//     into d:\mytext.txt and the run log in d:\pumplogs, which the script compares with what the
//     Linux console made of the same replies over a pty.

#include "control/line/reconnector.h"
#include "control/record/recordfile.h"
#include "control/runlog/runlog.h"
#include "link/wire/portnames.h"
#include "link/wire/systemfacts.h"
#include "support/doubles.h"

#include <QTest>
#include <windows.h>

using namespace Qt::StringLiterals;

class WindowsBranches : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // A USB adapter found again after it was pulled: COM names are one device in any case.
    void comNamesAreOneDeviceInAnyCase()
    {
        QVERIFY(reconnect::sameDevice(u"COM3"_s, u"com3"_s));
        QVERIFY(!reconnect::sameDevice(u"COM3"_s, u"COM13"_s));
        const QList<SystemPort> ports{
            {u"COM7"_s, {}, {}, {}, PortIdentity{0x0403, 0x6001, u"A1"_s}}};
        QVERIFY(reconnect::identify(u"com7"_s, ports) == ports[0].identity);
    }

    // Ports are COM names; a path is never one, and there is no alias folder.
    void portsAreComNames()
    {
        const auto port = portnames::resolvePortNumber(12);
        QVERIFY(port);
        QCOMPARE(port->device, u"COM12"_s);
        QVERIFY(port->aliasPath.isEmpty());
        QVERIFY(portnames::deviceFromName(u" com3 "_s) == u"COM3"_s);
        QVERIFY(!portnames::deviceFromName(u"/dev/ttyUSB0"_s));
        QVERIFY(!portnames::deviceFromName(u"ttyUSB0"_s));
    }

    void theRecordIsOnDriveD() { QCOMPARE(recordfile::defaultRecordPath(), u"d:\\mytext.txt"_s); }

    // As the operator at the Linux console does in test-windows.sh: RUN on the keypad, the
    // replies (arriving in pieces that do not line up with frames), then 文件 → 保存.
    void repliesReachTheRecordAndTheRunLog()
    {
        const QByteArray replies = qgetenv("PUMP_REPLIES");
        QVERIFY2(!replies.isEmpty(), "PUMP_REPLIES names no replies");
        {
            TestConsole t;
            t.console.startRunLog(RunLogOptions{runlog::defaultFolder()});
            t.connect();
            t.console.runFromKeypad();
            QCOMPARE(t.lastWritten(), QByteArray("Q00R0000Y"));
            for (qsizetype at = 0; at < replies.size(); at += 5) {
                t.port.receive(replies.mid(at, 5));
            }
            // The last reply's pressure, "Q01N07.7Y" → "07.7".
            QCOMPARE(t.caption(Readout::Pressure), QString::fromLatin1(replies.right(5).left(4)));
            t.console.saveRecord();
            // Only the word that the record is on disk; no failure told before it.
            QCOMPARE(t.boxes.shown.size(), std::size_t(1));
            QCOMPARE(t.boxes.shown.front().prompt, u"当前压力数值以存储"_s);
        } // the run log is written out as the console goes
        QVERIFY(QFileInfo::exists(u"d:\\mytext.txt"_s));
    }

    // The system's own error code, as a failed save tells it.
    void aFailureKeepsTheSystemsCode()
    {
        ::SetLastError(ERROR_PATH_NOT_FOUND);
        QCOMPARE(systemfacts::lastError().value(), int(ERROR_PATH_NOT_FOUND));
        systemfacts::clearLastError();
        QCOMPARE(systemfacts::lastError().value(), 0);
    }
};

QTEST_GUILESS_MAIN(WindowsBranches)
#include "check_windowsbranches.moc"

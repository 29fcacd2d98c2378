#include "link/pumpframes.h"

#include <cmath>

namespace pumpframes {

QString pattern0(qint16 n)
{
    return QString::number(n);
}

QString pattern00(qint16 n)
{
    const QString digits = QString::number(std::abs(int(n))).rightJustified(2, u'0');
    return n < 0 ? u'-' + digits : digits;
}

namespace {

// Adds one to a string of decimal digits.
void incrementDigits(QByteArray &digits)
{
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        if (digits[i] != '9') {
            ++digits[i];
            return;
        }
        digits[i] = '0';
    }
    digits.prepend('1');
}

} // namespace

QString pattern00_0(double value)
{
    if (!std::isfinite(value)) {
        return QStringLiteral("00.0");
    }
    // The value as the operator typed it: fifteen significant digits, as "d.dddddddddddddde±x".
    // Rounding this decimal text instead of the binary double is what makes 2.25 give 02.3.
    const QByteArray sci = QByteArray::number(std::fabs(value), 'e', 14);
    const qsizetype ePos = sci.indexOf('e');
    QByteArray digits = sci.left(ePos);
    digits.remove(1, 1); // the point: 15 digits remain
    const int exponent = sci.mid(ePos + 1).toInt();

    // Tenths: keep the digits whose place value is at least 0.1.
    const int keep = exponent + 2;
    QByteArray tenths;
    if (keep >= digits.size()) {
        tenths = digits + QByteArray(keep - digits.size(), '0');
    } else if (keep >= 0) {
        tenths = keep == 0 ? QByteArray("0") : digits.left(keep);
        if (digits[keep] >= '5') {
            incrementDigits(tenths);
        }
    } else {
        tenths = "0";
    }
    while (tenths.size() > 1 && tenths.front() == '0') {
        tenths.remove(0, 1);
    }
    const bool zero = tenths == "0";
    QByteArray integerPart = tenths.left(tenths.size() - 1);
    while (integerPart.size() < 2) {
        integerPart.prepend('0');
    }
    QString text = QString::fromLatin1(integerPart) + u'.' + QChar::fromLatin1(tenths.back());
    return (value < 0 && !zero) ? u'-' + text : text;
}

QByteArray runFrame(qint16 pumpNo)
{
    return "Q0" + pattern0(pumpNo).toLatin1() + "R0000Y";
}

QByteArray stopFrame(qint16 pumpNo)
{
    return "Q0" + pattern0(pumpNo).toLatin1() + "S0000Y";
}

QByteArray dialogFlowFrame(qint16 pumpNo, double flow)
{
    return "Q0" + pattern0(pumpNo).toLatin1() + 'L' + pattern00_0(flow).toLatin1() + 'Y';
}

QByteArray dialogPressureFrame(qint16 pumpNo, double pressure)
{
    return "Q0" + pattern0(pumpNo).toLatin1() + 'P' + pattern00_0(pressure).toLatin1() + 'Y';
}

QString keypadFrameBody(qint16 pumpNo, QChar letter, double typedValue)
{
    return pattern00(pumpNo) + letter + pattern00_0(typedValue) + u'Y';
}

QByteArray keypadFrame(const QString &body)
{
    return 'Q' + body.toLatin1();
}

std::optional<PumpReply> parseReply(QByteArrayView text)
{
    if (text.size() < FrameLength || text[0] != FrameStart || text[8] != FrameEnd) {
        return std::nullopt;
    }
    return PumpReply{text[3], text.sliced(4, 4).toByteArray()};
}

QString setpointReadout(const QByteArray &value)
{
    return QString::fromLatin1(value.left(2)) + u'.' + QString::fromLatin1(value.mid(3, 1));
}

} // namespace pumpframes

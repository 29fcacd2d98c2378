#include "link/wire/numberpatterns.h"

#include <cmath>
#include <QByteArray>

namespace numberpatterns {

QString plain(qint16 n)
{
    return QString::number(n);
}

QString twoDigits(qint16 n)
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

QString tenths(double value)
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
    QByteArray kept;
    if (keep >= digits.size()) {
        kept = digits + QByteArray(keep - digits.size(), '0');
    } else if (keep >= 0) {
        kept = keep == 0 ? QByteArray("0") : digits.left(keep);
        if (digits[keep] >= '5') {
            incrementDigits(kept);
        }
    } else {
        kept = "0";
    }
    while (kept.size() > 1 && kept.front() == '0') {
        kept.remove(0, 1);
    }
    const bool zero = kept == "0";
    QByteArray integerPart = kept.left(kept.size() - 1);
    while (integerPart.size() < 2) {
        integerPart.prepend('0');
    }
    QString text = QString::fromLatin1(integerPart) + u'.' + QChar::fromLatin1(kept.back());
    return (value < 0 && !zero) ? u'-' + text : text;
}

} // namespace numberpatterns

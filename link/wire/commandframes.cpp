#include "link/wire/commandframes.h"

#include "link/wire/numberpatterns.h"

#include <QRegularExpression>

namespace commandframes {

bool valueFits(double value)
{
    return numberpatterns::tenths(value).size() <= maxValueLength;
}

QByteArray run(qint16 pump)
{
    return "Q0" + numberpatterns::plain(pump).toLatin1() + "R0000Y";
}

QByteArray stop(qint16 pump)
{
    return "Q0" + numberpatterns::plain(pump).toLatin1() + "S0000Y";
}

QByteArray dialogFlow(qint16 pump, double mlPerMin)
{
    return "Q0" + numberpatterns::plain(pump).toLatin1() + 'L' +
           numberpatterns::tenths(mlPerMin).toLatin1() + 'Y';
}

QByteArray dialogPressureLimit(qint16 pump, double mpa)
{
    return "Q0" + numberpatterns::plain(pump).toLatin1() + 'P' +
           numberpatterns::tenths(mpa).toLatin1() + 'Y';
}

QByteArray numbered(qint16 pump, char letter, QByteArrayView value)
{
    QByteArray frame = 'Q' + numberpatterns::twoDigits(pump).toLatin1() + letter;
    return frame.append(value).append('Y');
}

QString keypadBody(qint16 pump, QChar letter, double typedValue)
{
    return numberpatterns::twoDigits(pump) + letter + numberpatterns::tenths(typedValue) + u'Y';
}

QByteArray keypad(const QString &body)
{
    return 'Q' + body.toLatin1();
}

std::optional<Command> parse(QByteArrayView frame)
{
    // The letter can be neither 'Q' nor 'Y', or the frame's edges would be ambiguous.
    static const QRegularExpression form(
        QStringLiteral("^Q(0-[0-9]+|-?[0-9]+)([A-PR-XZ])([0-9.-]{1,8})Y$"));
    if (frame.size() > maxLength) {
        return std::nullopt;
    }
    const QString text = QString::fromLatin1(frame.data(), frame.size());
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    QString number = match.captured(1);
    if (number.startsWith(QLatin1String("0-"))) {
        number.remove(0, 1); // "Q0" followed by a negative number
    }
    bool ok = false;
    const int pump = number.toInt(&ok);
    if (!ok) {
        return std::nullopt;
    }
    return Command{pump, char(match.captured(2).at(0).unicode()), match.captured(3).toLatin1()};
}

std::optional<qint16> pumpOf(QByteArrayView frame)
{
    const auto command = parse(frame);
    return command ? std::optional<qint16>(qint16(command->pump)) : std::nullopt;
}

} // namespace commandframes

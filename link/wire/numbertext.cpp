#include "link/wire/numbertext.h"

#include <charconv>
#include <cmath>
#include <QLocale>

namespace numbertext {

namespace {

template<typename Char> bool isDigit(Char c)
{
    return c >= u'0' && c <= u'9'; // ASCII only: other scripts' digits are refused
}

// An optional sign, digits with at most one '.', at least one digit, an optional exponent.
// Checked by hand rather than by a regular expression: every pressure reply passes here, and
// a match costs several times the conversion.
template<typename View> bool isPlainNumber(View s)
{
    qsizetype i = 0;
    const qsizetype n = s.size();
    const auto digits = [&] {
        const qsizetype from = i;
        while (i < n && isDigit(s[i])) {
            ++i;
        }
        return i - from;
    };
    if (i < n && (s[i] == u'+' || s[i] == u'-')) {
        ++i;
    }
    qsizetype mantissaDigits = digits();
    if (i < n && s[i] == u'.') {
        ++i;
        mantissaDigits += digits();
    }
    if (mantissaDigits == 0) {
        return false;
    }
    if (i < n && (s[i] == u'e' || s[i] == u'E')) {
        ++i;
        if (i < n && (s[i] == u'+' || s[i] == u'-')) {
            ++i;
        }
        if (digits() == 0) {
            return false;
        }
    }
    return i == n;
}

} // namespace

std::optional<double> toDouble(const QString &text)
{
    // Spelled out rather than left to a locale: a desktop set to German must not turn "5,5"
    // into 55, and "1,000" must not silently become 1000 either.
    const QString trimmed = text.trimmed();
    if (!isPlainNumber(QStringView(trimmed))) {
        return std::nullopt;
    }
    // A short number without an exponent, as every reply carries, cannot leave the double
    // range: std::from_chars reads it, correctly rounded like Qt, without Qt's locale machinery.
    constexpr qsizetype shortNumber = 15;
    if (trimmed.size() <= shortNumber && !trimmed.contains(u'e', Qt::CaseInsensitive)) {
        char ascii[shortNumber];
        for (qsizetype i = 0; i < trimmed.size(); ++i) {
            ascii[i] = char(trimmed[i].unicode()); // checked above: '+', '-', '.', digits only
        }
        const char *begin = ascii[0] == '+' ? ascii + 1 : ascii; // from_chars takes no '+'
        double value = 0;
        const auto [end, error] = std::from_chars(begin, ascii + trimmed.size(), value);
        if (error == std::errc() && end == ascii + trimmed.size()) {
            return value;
        }
    }
    bool ok = false;
    const double value = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> toDouble(QByteArrayView text)
{
    const QByteArrayView trimmed = text.trimmed();
    if (!isPlainNumber(trimmed)) {
        return std::nullopt;
    }
    const char *begin = trimmed.front() == '+' ? trimmed.data() + 1 : trimmed.data();
    double value = 0;
    const auto [end, error] = std::from_chars(begin, trimmed.end(), value);
    if (error != std::errc() || end != trimmed.end() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<qint16> toInt16(const QString &text)
{
    const auto value = toDouble(text);
    if (!value) {
        return std::nullopt;
    }
    // Banker's rounding, as the port and pump-number boxes always have: 2.5 -> 2, 3.5 -> 4.
    const double rounded = std::nearbyint(*value);
    if (rounded < -32768.0 || rounded > 32767.0) {
        return std::nullopt;
    }
    return static_cast<qint16>(rounded);
}

QString shortest(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

} // namespace numbertext

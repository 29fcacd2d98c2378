#include "link/wire/numbertext.h"

#include <cmath>
#include <QRegularExpression>

namespace numbertext {

std::optional<double> toDouble(const QString &text)
{
    // Spelled out rather than left to a locale: a desktop set to German must not turn "5,5"
    // into 55, and "1,000" must not silently become 1000 either.
    static const QRegularExpression number(
        QStringLiteral(R"(^[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?$)"));
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || !number.match(trimmed).hasMatch()) {
        return std::nullopt;
    }
    bool ok = false;
    const double value = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
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

} // namespace numbertext

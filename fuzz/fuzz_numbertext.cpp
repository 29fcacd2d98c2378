// Whatever the operator types: a number either fails to convert or turns into a well-formed
// value field, and the 16-bit conversion stays in range.
#include "link/wire/numberpatterns.h"
#include "link/wire/numbertext.h"

#include <cstdint>
#include <cstdlib>
#include <QRegularExpression>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    static const QRegularExpression field(QStringLiteral(R"(^-?[0-9]{2,}\.[0-9]$)"));
    if (const auto value = numbertext::toDouble(text)) {
        const QString formatted = numberpatterns::tenths(*value);
        if (!field.match(formatted).hasMatch()) {
            std::abort();
        }
        const auto back = numbertext::toDouble(formatted);
        if (!back || std::abs(*back - *value) > 0.05 + std::abs(*value) * 1e-14) {
            std::abort();
        }
    }
    if (const auto n = numbertext::toInt16(text)) {
        const auto v = numbertext::toDouble(text);
        if (!v || std::abs(*v - *n) > 0.5) {
            std::abort();
        }
    }
    return 0;
}

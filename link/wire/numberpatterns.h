#pragma once
// The decimal texts that go on the wire and into the read-outs. The pump reads fixed
// positions, so the padding and rounding here are part of the protocol, not cosmetics.

#include <QString>
#include <QtGlobal>

namespace numberpatterns {

// All digits, no padding, '-' for negatives: 12 gives "12", -3 gives "-3".
QString plain(qint16 n);
// At least two digits, zero padded after the sign: 5 gives "05", -1 gives "-01".
QString twoDigits(qint16 n);
// At least two integer digits and exactly one decimal. The value is first taken as the
// operator would have written it (15 significant digits) and then rounded to the nearest
// tenth with halves away from zero, so 2.25 gives "02.3" although the binary double lies just
// below 2.25. A result of zero never carries a sign; a value that is not finite gives "00.0".
QString tenths(double value);

} // namespace numberpatterns

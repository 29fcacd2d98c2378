#include "ui/digitglyphs.h"

#include <algorithm>
#include <QTextLayout>

namespace {

// Qt's layout keeps positions and advances in 1/64 pixel; comparing in those units is exact.
int inFixed(qreal value)
{
    return qRound(value * 64);
}

struct LineMetrics
{
    int ascent = 0; // in 1/64 pixel
    int height = 0;
};

// `text` on one line as a label lays it out: no wrapping, nothing left out at its end.
QList<QGlyphRun> layOut(const QString &text, const QFont &font, LineMetrics *metrics = nullptr)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(0x01000000);
    layout.endLayout();
    if (metrics) {
        metrics->ascent = inFixed(line.ascent());
        metrics->height = metrics->ascent + inFixed(line.descent());
    }
    return layout.glyphRuns();
}

} // namespace

int DigitGlyphs::indexOf(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') {
        return u - u'0';
    }
    switch (u) {
    case u'.':
        return 10;
    case u'-':
        return 11;
    case u' ':
        return 12;
    default:
        return -1;
    }
}

bool DigitGlyphs::mayHold(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return indexOf(c) >= 0; });
}

DigitGlyphs::DigitGlyphs(const QFont &font) : m_font(font)
{
    static_assert(characters.size() == count);
    // Each character alone: one glyph, all from the same face, on the same line.
    LineMetrics first;
    QList<quint32> glyphs;
    for (QChar c : characters) {
        LineMetrics line;
        const QList<QGlyphRun> runs = layOut(QString(c), font, &line);
        if (runs.size() != 1 || runs.front().glyphIndexes().size() != 1) {
            return;
        }
        const QRawFont raw = runs.front().rawFont();
        if (glyphs.isEmpty()) {
            m_raw = raw;
            first = line;
        } else if (raw != m_raw || line.ascent != first.ascent || line.height != first.height) {
            return;
        }
        glyphs.append(runs.front().glyphIndexes().front());
    }
    const QList<QPointF> advances = m_raw.advancesForGlyphIndexes(glyphs);
    for (int i = 0; i < count; ++i) {
        m_glyph[std::size_t(i)] = glyphs[i];
        m_advance[std::size_t(i)] = inFixed(advances[i].x());
    }
    m_ascent = first.ascent / 64.0;
    m_height = first.height / 64.0;
    learnPairs(m_raw);
    m_usable = true;
}

void DigitGlyphs::learnPairs(const QRawFont &raw)
{
    for (auto &row : m_pairOk) {
        row.fill(true);
    }
    const auto forbid = [this](int left, int right) {
        if (left >= 0 && right >= 0) {
            m_pairOk[std::size_t(left)][std::size_t(right)] = false;
        }
    };
    // "a0a1…a a": every pair with `a` on either side, in one layout per character.
    for (QChar a : characters) {
        QString text(a);
        for (QChar b : characters) {
            text += b;
            text += a;
        }
        const QList<QGlyphRun> runs = layOut(text, m_font);
        const int self = indexOf(a);
        if (runs.size() != 1 || runs.front().rawFont() != raw ||
            runs.front().glyphIndexes().size() != text.size()) {
            for (int other = 0; other < count; ++other) {
                forbid(self, other);
                forbid(other, self);
            }
            continue;
        }
        const QList<quint32> glyphs = runs.front().glyphIndexes();
        const QList<QPointF> positions = runs.front().positions();
        int expectedX = 0;
        for (qsizetype k = 0; k < text.size(); ++k) {
            const int at = indexOf(text[k]);
            const int before = k > 0 ? indexOf(text[k - 1]) : -1;
            const int after = k + 1 < text.size() ? indexOf(text[k + 1]) : -1;
            if (glyphs[k] != m_glyph[std::size_t(at)]) {
                forbid(before, at);
                forbid(at, after);
            }
            const int x = inFixed(positions[k].x());
            if (x != expectedX || inFixed(positions[k].y()) != inFixed(m_ascent)) {
                forbid(before, at); // the advance before this glyph was not the plain one
            }
            expectedX = x + m_advance[std::size_t(at)];
        }
    }
}

bool DigitGlyphs::place(QStringView text, QGlyphRun &run)
{
    if (!m_usable || text.isEmpty()) {
        return false;
    }
    m_glyphs.resize(text.size());
    m_positions.resize(text.size());
    int x = 0;
    int before = -1;
    for (qsizetype k = 0; k < text.size(); ++k) {
        const int at = indexOf(text[k]);
        if (at < 0 || (before >= 0 && !m_pairOk[std::size_t(before)][std::size_t(at)])) {
            return false;
        }
        m_glyphs[k] = m_glyph[std::size_t(at)];
        m_positions[k] = QPointF(x / 64.0, 0);
        x += m_advance[std::size_t(at)];
        before = at;
    }
    run.setRawFont(m_raw);
    run.setRawData(m_glyphs.constData(), m_positions.constData(), int(text.size()));
    return true;
}

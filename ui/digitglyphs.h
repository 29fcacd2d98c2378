#pragma once
// The glyphs of a number in one font, without shaping it. A pressure read-out changes its text
// with every reply, and laying out even four characters (HarfBuzz shaping, line breaking) cost
// more than drawing them. The characters a number can show are few, so each one's glyph and
// advance is learnt once from Qt's own layout, and a text made only of them is placed by adding
// advances, exactly where Qt's layout would place it.
//
// The font may shape some neighbours differently (kerning, a ligature). Every ordered pair of
// the characters is laid out once; a text that contains a pair whose glyphs or advances differ
// from the single characters' gets no run, and its caller draws it the ordinary way.

#include <array>
#include <QFont>
#include <QGlyphRun>
#include <QRawFont>
#include <QStringView>
#include <QVarLengthArray>

class DigitGlyphs
{
public:
    // The characters a run can hold.
    static constexpr QStringView characters = u"0123456789.- ";

    explicit DigitGlyphs(const QFont &font);

    // Whether `text` is made only of those characters (a run may still be refused for a pair).
    static bool mayHold(QStringView text);

    // Whether the font shapes the characters one by one at all; without that, no text gets a
    // run.
    bool isUsable() const { return m_usable; }
    const QFont &font() const { return m_font; }
    // The line of Qt's layout for any run's text: the baseline below its top, and its height.
    qreal ascent() const { return m_ascent; }
    qreal height() const { return m_height; }

    // Fills `run` with the glyphs of `text`, the first pen position at x = 0 on the baseline
    // y = 0; false (and `run` left unusable) when some character or neighbouring pair of `text`
    // must be shaped by the font. The run refers to storage in this object until the next call.
    bool place(QStringView text, QGlyphRun &run);

private:
    static constexpr int count = 13;
    static int indexOf(QChar c);
    void learnPairs(const QRawFont &raw);

    QFont m_font;
    bool m_usable = false;
    qreal m_ascent = 0;
    qreal m_height = 0;
    QRawFont m_raw;
    std::array<quint32, count> m_glyph{};
    std::array<int, count> m_advance{};                    // in 1/64 pixel, as Qt's layout keeps it
    std::array<std::array<bool, count>, count> m_pairOk{}; // [left][right]
    QVarLengthArray<quint32, 8> m_glyphs;
    QVarLengthArray<QPointF, 8> m_positions;
};

#pragma once
// A label for numbers that change many times a second, such as the pump's pressure. It looks
// exactly like a QLabel and is one (text, palette, accessibility, size all stay QLabel's); only
// its paint is cheaper: a text made of digits, '.', '-' and spaces is drawn from glyphs learnt
// once (DigitGlyphs) instead of being shaped and laid out again on every paint. Any other
// text, or a label set up in a way this shortcut does not reproduce exactly, is painted by
// QLabel itself.

#include "ui/digitglyphs.h"

#include <memory>
#include <QGlyphRun>
#include <QLabel>

class ReadoutLabel : public QLabel
{
public:
    explicit ReadoutLabel(QWidget *parent = nullptr);
    ~ReadoutLabel() override;

    // Whether the latest paint took the shortcut (for tests and benchmarks).
    bool paintedFromGlyphs() const { return m_paintedFromGlyphs; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool drawFromGlyphs();
    bool setUpLikeThePlainLabel() const;

    std::unique_ptr<DigitGlyphs> m_glyphs;
    int m_glyphsDpi = 0;
    QGlyphRun m_run;
    bool m_paintedFromGlyphs = false;
};

#include "ui/readoutlabel.h"

#include <QPainter>
#include <QStyle>

ReadoutLabel::ReadoutLabel(QWidget *parent) : QLabel(parent) {}

ReadoutLabel::~ReadoutLabel() = default;

void ReadoutLabel::paintEvent(QPaintEvent *event)
{
    m_paintedFromGlyphs = setUpLikeThePlainLabel() && drawFromGlyphs();
    if (!m_paintedFromGlyphs) {
        QLabel::paintEvent(event);
    }
}

// The cases in which QLabel paints nothing but its text, in the palette's text colour, left
// aligned and with neither frame nor margins: the only ones the shortcut reproduces.
bool ReadoutLabel::setUpLikeThePlainLabel() const
{
    constexpr Qt::TextInteractionFlags selectable =
        Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard | Qt::TextEditable;
    const Qt::Alignment horizontal = QStyle::visualAlignment(Qt::LeftToRight, alignment()) &
                                     Qt::AlignHorizontal_Mask & ~Qt::AlignAbsolute;
    // A style sheet may give the text another colour or font; a disabled label may be drawn
    // etched by some styles; on a scaled screen glyph positions are rounded after scaling, a
    // case never compared pixel for pixel.
    return isEnabled() && devicePixelRatio() == 1 && frameShape() == QFrame::NoFrame &&
           contentsRect() == rect() && margin() == 0 && indent() <= 0 && !wordWrap() &&
           (textFormat() == Qt::PlainText || textFormat() == Qt::AutoText) &&
           !(textInteractionFlags() & selectable) &&
           (horizontal == 0 || horizontal == Qt::AlignLeft) &&
           !style()->inherits("QStyleSheetStyle");
}

bool ReadoutLabel::drawFromGlyphs()
{
    const QString shown = text();
    if (shown.isEmpty() || !DigitGlyphs::mayHold(shown)) {
        return false; // captions in words are left to QLabel before any glyph is learnt
    }
    // The font as a painter on this label has it (resolved for the label's screen).
    const QFont font(this->font(), this);
    const int dpi = logicalDpiY();
    if (!m_glyphs || m_glyphsDpi != dpi || m_glyphs->font() != font) {
        m_glyphs = std::make_unique<DigitGlyphs>(font);
        m_glyphsDpi = dpi;
    }
    if (!m_glyphs->place(shown, m_run)) {
        return false;
    }
    // Where QPainter::drawText(rect, flags, text) puts the line: at the left, and vertically
    // by the line's height. A text that overflows the rectangle is clipped to it, which is the
    // label's own edge here (no margins), where every paint of the label is clipped anyway.
    const QRect area = contentsRect();
    const qreal height = m_glyphs->height();
    qreal top = 0;
    if (alignment() & Qt::AlignBottom) {
        top = area.height() - height;
    } else if (alignment() & Qt::AlignVCenter) {
        top = (area.height() - height) / 2;
    }
    // The layout rounds the line's place to 1/64 pixel before it adds the ascent.
    const qreal baseline = qRound((area.y() + top) * 64) / 64.0 + m_glyphs->ascent();

    QPainter painter(this);
    painter.setPen(QPen(palette().brush(foregroundRole()), painter.pen().widthF()));
    painter.drawGlyphRun(QPointF(area.x(), baseline), m_run);
    return true;
}

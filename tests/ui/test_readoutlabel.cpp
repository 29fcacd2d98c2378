// The read-outs' cheaper paint must not change a pixel: a ReadoutLabel against a plain QLabel set
// up the same way, rendered offscreen and compared exactly.

#include "ui/mainwindow.h"
#include "ui/readoutlabel.h"
#include "ui/stalelook.h"
#include "windowondoubles.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QRandomGenerator>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A plain QLabel and a ReadoutLabel set up as the window sets up its read-outs.
struct Twins
{
    explicit Twins(double pointSize)
    {
        MainWindow::installFontSubstitutions();
        for (QLabel *label : {&plain, static_cast<QLabel *>(&fast)}) {
            label->setTextFormat(Qt::PlainText);
            label->resize(41, 25);
            label->setAutoFillBackground(true);
            QPalette pal = label->palette();
            pal.setColor(QPalette::Window, QColor(0, 0, 255));
            label->setPalette(pal);
            QFont font(u"宋体"_s);
            font.setPointSizeF(pointSize);
            font.setBold(true);
            label->setFont(font);
        }
    }
    template<typename Change> void apply(Change change)
    {
        change(plain);
        change(fast);
    }
    // Whether both show `text` alike on an opaque surface (as X11's) and on one with alpha.
    ::testing::AssertionResult samePixels(const QString &text)
    {
        plain.setText(text);
        fast.setText(text);
        for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied}) {
            QImage expected(plain.size(), format);
            QImage actual(fast.size(), format);
            expected.fill(Qt::magenta);
            actual.fill(Qt::magenta);
            plain.render(&expected);
            fast.render(&actual);
            if (actual != expected) {
                return ::testing::AssertionFailure() << '"' << text.toStdString() << "\" differs";
            }
        }
        return ::testing::AssertionSuccess();
    }

    QLabel plain;
    ReadoutLabel fast;
};

// The panel's numbers and the time display.
class ReadoutLabelFont : public ::testing::TestWithParam<double>
{
};

// The read-out font (Noto Serif CJK SC Bold here) kerns a point and a minus next to each other;
// every other text of these characters is drawn from the glyphs.
bool kerned(const QString &text)
{
    return text.contains(u".-"_s) || text.contains(u"-."_s);
}

TEST_P(ReadoutLabelFont, EveryPumpValueAndRandomNumbersLiveAndStale)
{
    QStringList texts; // "ab.c", as a pressure reply carries it, then others at random
    for (int tenths = 0; tenths < 1000; ++tenths) {
        texts.append(u"%1.%2"_s.arg(tenths / 10, 2, 10, QChar(u'0')).arg(tenths % 10));
    }
    QRandomGenerator random(20261208); // fixed: a failure must be repeatable
    for (int i = 0; i < 300; ++i) {
        QString text;
        for (int k = random.bounded(1, 7); k > 0; --k) {
            text += DigitGlyphs::characters[random.bounded(int(DigitGlyphs::characters.size()))];
        }
        texts.append(text);
    }
    Twins twins(GetParam());
    for (bool stale : {false, true}) {
        if (stale) {
            twins.apply([](QLabel &l) { (new StaleLook(&l))->show(u"压力数值已过时"_s); });
        }
        for (const QString &text : texts) {
            ASSERT_TRUE(twins.samePixels(text)) << (stale ? "stale" : "live");
            // Otherwise the comparison proves nothing about the shortcut.
            ASSERT_EQ(twins.fast.paintedFromGlyphs(), !kerned(text)) << text.toStdString();
        }
    }
}

TEST_P(ReadoutLabelFont, KernedPairsAndOtherCharactersAreLeftToTheLabel)
{
    Twins twins(GetParam());
    for (const QString &text : {u"-.5"_s, u"1.-"_s, u"1.5e"_s, u"压力"_s, u"1,5"_s, u"１２"_s}) {
        EXPECT_TRUE(twins.samePixels(text));
        EXPECT_FALSE(twins.fast.paintedFromGlyphs()) << text.toStdString();
    }
}

TEST_P(ReadoutLabelFont, LabelSetUpsLookAsOnAPlainLabel)
{
    struct Case
    {
        const char *name;
        void (*change)(QLabel &);
        bool fromGlyphs;
    };
    const Case cases[] = {
        {"top", [](QLabel &l) { l.setAlignment(Qt::AlignLeft | Qt::AlignTop); }, true},
        {"bottom", [](QLabel &l) { l.setAlignment(Qt::AlignLeft | Qt::AlignBottom); }, true},
        {"taller", [](QLabel &l) { l.resize(41, 32); }, true},
        {"too narrow", [](QLabel &l) { l.resize(20, 25); }, true},
        {"right", [](QLabel &l) { l.setAlignment(Qt::AlignRight | Qt::AlignVCenter); }, false},
        {"margin", [](QLabel &l) { l.setMargin(3); }, false},
        {"contents margins", [](QLabel &l) { l.setContentsMargins(2, 1, 0, 0); }, false},
        {"frame", [](QLabel &l) { l.setFrameStyle(QFrame::Box | QFrame::Plain); }, false},
        {"disabled", [](QLabel &l) { l.setEnabled(false); }, false},
        {"style sheet", [](QLabel &l) { l.setStyleSheet(u"color: red"_s); }, false},
    };
    for (const Case &c : cases) {
        Twins twins(GetParam());
        twins.apply(c.change);
        EXPECT_TRUE(twins.samePixels(u"47.3"_s)) << c.name;
        EXPECT_EQ(twins.fast.paintedFromGlyphs(), c.fromGlyphs) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(WindowFonts, ReadoutLabelFont, ::testing::Values(12, 15.75));

TEST(ReadoutLabel, ANewFontIsLearntBeforeTheNextPaint)
{
    Twins twins(12);
    ASSERT_TRUE(twins.samePixels(u"12.3"_s));
    twins.apply([](QLabel &l) {
        QFont f = l.font();
        f.setPointSizeF(15.75);
        l.setFont(f);
    });
    EXPECT_TRUE(twins.samePixels(u"12.3"_s));
    EXPECT_TRUE(twins.fast.paintedFromGlyphs());
}

TEST(ReadoutLabel, TheWindowsPressureReadOutIsPaintedFromGlyphs)
{
    WindowOnDoubles w;
    ASSERT_NO_FATAL_FAILURE(w.show());
    ASSERT_NO_FATAL_FAILURE(w.connectPump());
    w.port.receive("Q01N12.5Y"_ba);
    QCoreApplication::processEvents();

    auto *readout = dynamic_cast<ReadoutLabel *>(w.window.label(Readout::Pressure));
    ASSERT_NE(readout, nullptr);
    EXPECT_EQ(readout->text(), u"12.5"_s);
    (void)readout->grab();
    EXPECT_TRUE(readout->paintedFromGlyphs());
}

} // namespace

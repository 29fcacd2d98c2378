// The background picture kept as only the tiles that differ from the blue: painted over the
// blue it must give exactly the pixels of the whole picture, wherever a repaint begins and ends.

#include "ui/sparsepicture.h"

#include <gtest/gtest.h>
#include <QPainter>

using namespace Qt::StringLiterals;

// The window's pictures live in the widget library; outside any namespace, as the macro needs.
static void initPictures()
{
    Q_INIT_RESOURCE(images);
}

namespace {

const QColor blue(0, 0, 255);

// The ground, then the picture as the window drew it before: whole, clipped to `area`.
QImage paintedWhole(const QImage &picture, QSize canvas, const QRect &area)
{
    QImage out(canvas, QImage::Format_RGB32);
    out.fill(Qt::red); // outside `area` both ways leave this
    QPainter p(&out);
    p.setClipRect(area);
    p.fillRect(area, blue);
    p.drawPixmap(0, 0, QPixmap::fromImage(picture));
    return out;
}

QImage paintedSparse(const SparsePicture &sparse, QSize canvas, const QRect &area)
{
    QImage out(canvas, QImage::Format_RGB32);
    out.fill(Qt::red);
    QPainter p(&out);
    p.setClipRect(area);
    p.fillRect(area, blue);
    sparse.paint(p, QPoint(0, 0), area);
    return out;
}

TEST(SparsePicture, TheWindowsBackgroundPaintsAsTheWholePictureInEveryArea)
{
    initPictures();
    const QImage picture(u":/images/background.png"_s);
    ASSERT_FALSE(picture.isNull());
    const SparsePicture sparse(picture, blue);
    const QSize canvas(900, 700); // beyond the picture, as an enlarged window
    for (const QRect &area :
         {QRect(QPoint(0, 0), canvas), QRect(0, 0, 820, 616), QRect(17, 29, 150, 90),
          QRect(431, 301, 33, 31), QRect(600, 400, 300, 300), QRect(31, 31, 2, 2)}) {
        SCOPED_TRACE(QStringLiteral("%1,%2 %3x%4")
                         .arg(area.x())
                         .arg(area.y())
                         .arg(area.width())
                         .arg(area.height())
                         .toStdString());
        EXPECT_EQ(paintedSparse(sparse, canvas, area), paintedWhole(picture, canvas, area));
    }
    // What it is for: most of the picture is the blue it is painted on.
    const qsizetype whole = qsizetype(picture.width()) * picture.height() * picture.depth() / 8;
    EXPECT_LT(sparse.keptBytes(), whole / 2);
}

TEST(SparsePicture, KeepsEveryTileWithAPixelThatIsNotTheGround)
{
    struct Case
    {
        const char *what;
        QSize size;
        std::vector<std::pair<QPoint, QColor>> pixels; // on a blue picture
        std::size_t tiles;
    };
    const QColor clear(0, 0, 0, 0);
    const Case cases[] = {
        {"all ground", {64, 64}, {}, 0},
        {"one pixel at a tile's last corner", {64, 64}, {{{31, 31}, Qt::white}}, 1},
        {"one pixel at the next tile's first", {64, 64}, {{{32, 0}, Qt::white}}, 1},
        {"pixels in two tiles", {64, 64}, {{{0, 0}, Qt::black}, {{63, 63}, Qt::black}}, 2},
        {"the cut tile at the edge", {70, 40}, {{{69, 39}, Qt::white}}, 1},
        {"a colour one step from the ground", {64, 64}, {{{5, 40}, QColor(0, 0, 254)}}, 1},
        {"a fully transparent pixel shows the ground", {64, 64}, {{{5, 5}, clear}}, 0},
        {"a half transparent one does not", {64, 64}, {{{5, 5}, QColor(255, 255, 255, 128)}}, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QImage picture(c.size, QImage::Format_ARGB32);
        picture.fill(blue);
        for (const auto &[at, colour] : c.pixels) {
            picture.setPixelColor(at, colour);
        }
        const SparsePicture sparse(picture, blue);
        EXPECT_EQ(sparse.tileCount(), c.tiles);
        const QSize canvas = c.size + QSize(10, 10);
        const QRect all(QPoint(0, 0), canvas);
        EXPECT_EQ(paintedSparse(sparse, canvas, all), paintedWhole(picture, canvas, all));
    }
}

TEST(SparsePicture, PicturesOfOtherPixelFormatsAreReadThroughTheirColours)
{
    for (const QImage::Format format :
         {QImage::Format_RGB32, QImage::Format_RGB888, QImage::Format_Indexed8}) {
        SCOPED_TRACE(int(format));
        QImage picture(64, 64, QImage::Format_RGB32);
        picture.fill(blue);
        picture.setPixelColor(40, 3, Qt::white);
        picture = picture.convertToFormat(format);
        const SparsePicture sparse(picture, blue);
        EXPECT_EQ(sparse.tileCount(), 1u);
        const QRect all(0, 0, 70, 70);
        EXPECT_EQ(paintedSparse(sparse, all.size(), all), paintedWhole(picture, all.size(), all));
    }
}

} // namespace

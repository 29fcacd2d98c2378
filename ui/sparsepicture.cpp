#include "ui/sparsepicture.h"

#include <QPainter>

namespace {

bool showsOnlyGround(const QImage &image, const QRect &tile, QRgb ground)
{
    for (int y = tile.top(); y <= tile.bottom(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = tile.left(); x <= tile.right(); ++x) {
            const QRgb pixel = line[x];
            if (pixel != ground && qAlpha(pixel) != 0) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

SparsePicture::SparsePicture(const QImage &picture, QColor ground, int tileSize)
    : m_size(picture.size())
{
    if (picture.isNull() || tileSize <= 0) {
        return;
    }
    // Read as 32-bit pixels; a picture decoded that way already is not copied for it (a copy
    // of the window's background would cost as much as the tiles save).
    const bool thirtyTwoBits =
        picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32;
    const QImage image = thirtyTwoBits ? picture : picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb groundPixel = ground.rgba();
    for (int y = 0; y < image.height(); y += tileSize) {
        for (int x = 0; x < image.width(); x += tileSize) {
            const QRect tile = QRect(x, y, tileSize, tileSize) & image.rect();
            if (!showsOnlyGround(image, tile, groundPixel)) {
                // Cut from the picture as it came, so the tile is drawn exactly as it would be.
                m_tiles.push_back({tile, QPixmap::fromImage(picture.copy(tile))});
            }
        }
    }
}

void SparsePicture::paint(QPainter &painter, QPoint origin, const QRect &area) const
{
    for (const Tile &tile : m_tiles) {
        const QRect place = tile.place.translated(origin);
        if (place.intersects(area)) {
            painter.drawPixmap(place.topLeft(), tile.pixels);
        }
    }
}

qsizetype SparsePicture::keptBytes() const
{
    qsizetype bytes = 0;
    for (const Tile &tile : m_tiles) {
        bytes += qsizetype(tile.pixels.width()) * tile.pixels.height() * tile.pixels.depth() / 8;
    }
    return bytes;
}

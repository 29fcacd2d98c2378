#pragma once
// A picture drawn over a plain ground, kept as only the tiles that differ from the ground. The
// window's background picture is mostly the blue it is painted on; holding all of it decoded
// costs two megabytes for the few regions that carry the logo, the frames and the scale.
// Painted over the ground, the kept tiles give the same pixels as the whole picture.

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <vector>

class QPainter;

class SparsePicture
{
public:
    SparsePicture() = default;
    // A tile is left out when every pixel in it is the opaque `ground` or fully transparent.
    SparsePicture(const QImage &picture, QColor ground, int tileSize = 32);

    // Draws the kept tiles that meet `area`, the picture's top-left at `origin`.
    void paint(QPainter &painter, QPoint origin, const QRect &area) const;

    QSize size() const { return m_size; }
    // The bytes of the pixels kept.
    qsizetype keptBytes() const;
    std::size_t tileCount() const { return m_tiles.size(); }

private:
    struct Tile
    {
        QRect place;
        QPixmap pixels;
    };
    std::vector<Tile> m_tiles;
    QSize m_size;
};

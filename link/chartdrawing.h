#pragma once
// What has been drawn in the pressure chart since it was last cleared, in the chart's own user
// coordinates. The widget paints from this list, so the chart survives being covered,
// uncovered and resized. Drawing a line that is already there changes nothing. Lines are only
// ever appended between two changes of the epoch, so a painter that has drawn the first n
// lines of an epoch only has to add the rest.

#include <limits>
#include <optional>
#include <QObject>
#include <QtGlobal>
#include <vector>

// 0xAARRGGBB, the same layout as QRgb (this layer does not link QtGui).
using ChartColour = quint32;
constexpr ChartColour chartRgb(int r, int g, int b)
{
    return 0xff000000u | (quint32(r) << 16) | (quint32(g) << 8) | quint32(b);
}

struct ChartLine
{
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    std::optional<ChartColour> colour; // none: the area's foreground colour

    bool operator==(const ChartLine &) const = default;
};

struct ChartScale
{
    double left = 0, top = 0, right = 1, bottom = 1;
};

class ChartDrawing : public QObject
{
    Q_OBJECT
public:
    // Far more than one sweep needs; only reached if a caller draws many distinct lines.
    static constexpr std::size_t maxLines = 1024;

    using QObject::QObject;

    // User coordinates of the area's edges.
    void setScale(double left, double top, double right, double bottom);
    const ChartScale &scale() const { return m_scale; }

    void drawLine(float x1, float y1, float x2, float y2,
                  std::optional<ChartColour> colour = std::nullopt);
    void clear();

    const std::vector<ChartLine> &lines() const { return m_lines; }
    // Changes whenever lines already drawn change or go: a clear, a new scale, the oldest line
    // dropped at the bound.
    quint64 epoch() const { return m_epoch; }

Q_SIGNALS:
    void changed();

private:
    ChartScale m_scale;
    std::vector<ChartLine> m_lines;
    quint64 m_epoch = 0;
    // No line since the last clear starts right of this x. The sweep draws left to right, so
    // nearly every new line starts right of it and cannot be in the list: no search.
    float m_rightmostStart = -std::numeric_limits<float>::infinity();
};

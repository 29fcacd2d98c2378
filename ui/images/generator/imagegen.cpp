// Draws the main window's pictures: the background, the sixteen key faces and the icon.
// Run by hand after changing a picture; its PNGs are committed beside images.qrc.
//
//   pump_imagegen OUTPUT_DIR [ICON_DIR]
//
// With ICON_DIR it also draws the program's icon in the freedesktop hicolor sizes, as
// ICON_DIR/hicolor/NxN/apps/pumpconsole.png (committed in packaging/icons/), from the same
// drawing as the window's icon.png, so the menu and the task bar show one picture.
//
// Needs the fonts "DejaVu Sans" and "Noto Sans CJK SC" (Debian: fonts-dejavu-core,
// fonts-noto-cjk); another font would shift the text in the pictures.

#include <QDir>
#include <QFont>
#include <QFontInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QTextStream>

#include <cstdio>
#include <functional>

namespace {

// Geometry of the window, in pixels of the client area, that the background frames.
constexpr QSize backgroundSize(820, 616);
constexpr QRect chartInterior(40, 312, 665, 145); // Picture1 fills it exactly
constexpr double chartTop = 2.0;                  // the chart's y at its top edge
constexpr double chartBottom = -0.8;              // and at its bottom edge
constexpr QRect panelFrame(438, 30, 194, 246);    // around read-outs (y 40-137) and keys
constexpr int dividerY = 140;                     // between read-outs and keys (y 144-265)
constexpr QSize keySize(39, 21);

const QColor backdrop(0, 0, 255); // must equal the labels' opaque background
const QColor frameBlue(140, 200, 255);
const QColor keyBlue(0, 0, 168);
const QColor keyLight(110, 140, 255);
const QColor keyShadow(0, 0, 80);

const QString latinFamily = QStringLiteral("DejaVu Sans");
const QString cjkFamily = QStringLiteral("Noto Sans CJK SC");

QFont font(const QString &family, int pixelSize, int weight = QFont::Bold)
{
    QFont f(family);
    f.setPixelSize(pixelSize);
    f.setWeight(QFont::Weight(weight));
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

bool familyPresent(const QString &family)
{
    return QFontInfo(QFont(family)).family() == family;
}

double chartPixelY(double y)
{
    return chartInterior.top() + (chartTop - y) / (chartTop - chartBottom) * chartInterior.height();
}

// A drop of liquid: round at the bottom, pointed at the top.
QPainterPath dropPath(QPointF centre, double radius)
{
    QPainterPath path;
    const QPointF tip(centre.x(), centre.y() - radius * 2.1);
    path.moveTo(tip);
    path.cubicTo(QPointF(centre.x() + radius * 0.35, tip.y() + radius * 0.7),
                 QPointF(centre.x() + radius, centre.y() - radius * 0.55),
                 QPointF(centre.x() + radius, centre.y()));
    path.arcTo(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), 0, -180);
    path.cubicTo(QPointF(centre.x() - radius, centre.y() - radius * 0.55),
                 QPointF(centre.x() - radius * 0.35, tip.y() + radius * 0.7), tip);
    path.closeSubpath();
    return path;
}

void drawLogo(QPainter &p)
{
    // The mark: a drop inside a ring, the ring broken like a pump's rotor housing.
    const QPointF centre(120, 170);
    p.setPen(QPen(frameBlue, 6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(centre.x() - 70, centre.y() - 88, 140, 140), 110 * 16, 320 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(dropPath(QPointF(centre.x(), centre.y() - 4), 32));
    p.setBrush(backdrop);
    QPainterPath wave;
    wave.moveTo(centre.x() - 22, centre.y() - 2);
    wave.cubicTo(QPointF(centre.x() - 10, centre.y() - 14), QPointF(centre.x() + 4, centre.y() + 8),
                 QPointF(centre.x() + 22, centre.y() - 6));
    p.setPen(QPen(backdrop, 4, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);

    p.setPen(Qt::white);
    p.setFont(font(latinFamily, 46));
    p.drawText(QRect(206, 96, 220, 56), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("TALVEN"));
    p.setPen(frameBlue);
    p.drawLine(208, 156, 410, 156);
    p.setPen(Qt::white);
    p.setFont(font(cjkFamily, 21));
    p.drawText(QRect(206, 162, 220, 32), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("恒流恒压泵控制系统"));
    p.setPen(frameBlue);
    p.setFont(font(latinFamily, 15));
    p.drawText(QRect(206, 196, 204, 22), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("V2.0"));
}

void drawPanelFrame(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(frameBlue, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(panelFrame).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(frameBlue, 2, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(panelFrame.left() + 1, dividerY + 1, panelFrame.right(), dividerY + 1);
}

void drawChartFrame(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing, false);
    const QRect outer = chartInterior.adjusted(-2, -2, 2, 2);
    p.fillRect(outer, Qt::black);
    p.fillRect(chartInterior, Qt::white);

    p.setPen(Qt::white);
    p.setFont(font(cjkFamily, 17));
    p.drawText(QRect(chartInterior.left(), chartInterior.top() - 32, chartInterior.width(), 26),
               Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("泵当前压力 (MPa)"));

    // The scale is in MPa, as the chart plots it.
    p.setFont(font(latinFamily, 12));
    for (double y : {2.0, 1.5, 1.0, 0.5, 0.0}) {
        const int py = qRound(chartPixelY(y));
        p.setPen(Qt::white);
        p.drawLine(outer.left() - 4, py, outer.left() - 1, py);
        p.drawText(QRect(0, py - 8, outer.left() - 6, 16), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(y, 'f', 1));
    }
}

QImage background()
{
    QImage image(backgroundSize, QImage::Format_RGB32);
    image.fill(backdrop);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    drawLogo(p);
    drawPanelFrame(p);
    drawChartFrame(p);
    return image;
}

// A key face: a raised blue key, the legend drawn by `legend` in white.
QImage keyFace(const std::function<void(QPainter &, const QRect &)> &legend)
{
    QImage image(keySize, QImage::Format_RGB32);
    image.fill(keyBlue);
    QPainter p(&image);
    const QRect r = image.rect();
    p.setPen(keyLight);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(keyShadow);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    legend(p, r.adjusted(1, 1, -1, -1));
    return image;
}

QImage textKey(const QString &text, int pixelSize)
{
    return keyFace([&](QPainter &p, const QRect &area) {
        p.setPen(Qt::white);
        p.setFont(font(latinFamily, pixelSize));
        p.drawText(area, Qt::AlignCenter, text);
    });
}

QImage triangleKey(bool up)
{
    return keyFace([up](QPainter &p, const QRect &area) {
        const QPointF c = QRectF(area).center();
        const double half = 6.5, rise = 5.0;
        QPolygonF triangle;
        if (up) {
            triangle << QPointF(c.x(), c.y() - rise) << QPointF(c.x() + half, c.y() + rise)
                     << QPointF(c.x() - half, c.y() + rise);
        } else {
            triangle << QPointF(c.x(), c.y() + rise) << QPointF(c.x() + half, c.y() - rise)
                     << QPointF(c.x() - half, c.y() - rise);
        }
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawPolygon(triangle);
    });
}

// Drawn on a 32-unit square and scaled, so every size is the same picture; at 32 pixels
// the scale is 1 and the window's icon.png stays as it has always been drawn.
QImage icon(int size = 32)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(size / 32.0, size / 32.0);
    p.setPen(QPen(keyShadow, 1));
    p.setBrush(backdrop);
    p.drawRoundedRect(QRectF(0.5, 0.5, 31, 31), 6, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(dropPath(QPointF(16, 20), 8.5));
    p.setPen(QPen(backdrop, 2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath wave;
    wave.moveTo(10.5, 20.5);
    wave.cubicTo(QPointF(13.5, 17.5), QPointF(17, 23.5), QPointF(21.5, 19.5));
    p.drawPath(wave);
    return image;
}

// The sizes desktops look for in the hicolor theme, from menus (16-48) to software centres
// and high-density screens (64-512).
constexpr int hicolorSizes[] = {16, 22, 24, 32, 48, 64, 128, 256, 512};

} // namespace

int main(int argc, char **argv)
{
    // Drawing needs no screen; this keeps the generator usable on a build machine.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QTextStream err(stderr);
    if (argc != 2 && argc != 3) {
        err << "usage: pump_imagegen OUTPUT_DIR [ICON_DIR]\n";
        return 2;
    }
    for (const QString &family : {latinFamily, cjkFamily}) {
        if (!familyPresent(family)) {
            err << "missing font: " << family << "\n";
            return 1;
        }
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists()) {
        err << "no such directory: " << out.path() << "\n";
        return 1;
    }

    struct Picture
    {
        QString file;
        QImage image;
    };
    std::vector<Picture> pictures{
        {QStringLiteral("background.png"), background()},
        {QStringLiteral("icon.png"), icon()},
        {QStringLiteral("key_up.png"), triangleKey(true)},
        {QStringLiteral("key_down.png"), triangleKey(false)},
        {QStringLiteral("key_L.png"), textKey(QStringLiteral("L"), 15)},
        {QStringLiteral("key_P.png"), textKey(QStringLiteral("P"), 15)},
        {QStringLiteral("key_RUN.png"), textKey(QStringLiteral("RUN"), 12)},
        {QStringLiteral("key_STOP.png"), textKey(QStringLiteral("STOP"), 11)},
    };
    for (int digit = 0; digit <= 9; ++digit) {
        pictures.push_back(
            {QStringLiteral("key_%1.png").arg(digit), textKey(QString::number(digit), 15)});
    }

    for (const Picture &picture : pictures) {
        const QString path = out.filePath(picture.file);
        if (!picture.image.save(path, "PNG")) {
            err << "cannot write " << path << "\n";
            return 1;
        }
    }

    if (argc == 3) {
        const QDir icons(QString::fromLocal8Bit(argv[2]));
        for (int size : hicolorSizes) {
            const QString folder = QStringLiteral("hicolor/%1x%1/apps").arg(size);
            const QString path = icons.filePath(folder + QStringLiteral("/pumpconsole.png"));
            if (!icons.mkpath(folder) || !icon(size).save(path, "PNG")) {
                err << "cannot write " << path << "\n";
                return 1;
            }
        }
    }
    return 0;
}

#ifndef COORDINATEPATTERN_H
#define COORDINATEPATTERN_H

#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QWidget>

// A window whose every device pixel tells its own position, so that a
// grabbed region shows exactly which device pixels it was taken from.
class CoordinatePattern : public QWidget
{
public:
    static QRgb colourAt(int x, int y)
    {
        return qRgb(x & 0xff, y & 0xff, ((x >> 8) & 0x0f) | ((y >> 8) & 0x0f) << 4);
    }

    CoordinatePattern()
        : QWidget(nullptr, Qt::FramelessWindowHint)
    {
    }

    // Index of the first pixel of the BMP image in bytes that does not show
    // the pattern at its place in region (in device pixels of the window),
    // or -1; the image must be exactly the region's size.
    static int firstMismatch(const QByteArray &bmp, const QRect &region)
    {
        const QImage image = QImage::fromData(bmp, "BMP");
        if (!bmp.startsWith("BM") || image.size() != region.size())
            return 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if ((image.pixel(x, y) & 0xffffff) != (colourAt(region.x() + x, region.y() + y) & 0xffffff))
                    return y * image.width() + x;
            }
        }
        return -1;
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        const qreal ratio = devicePixelRatioF();
        QImage image(size() * ratio, QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] = colourAt(x, y);
        }
        QPainter(this).drawImage(0, 0, image);
    }
};

#endif // COORDINATEPATTERN_H

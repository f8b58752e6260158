#include "screenframe.h"

#include <QPixmap>
#include <QScreen>

ScreenFrame::ScreenFrame(const QImage &image, const QRect &geometry, qreal ratio)
    : m_image(image)
    , m_geometry(geometry)
    , m_ratio(ratio)
{
    m_image.setDevicePixelRatio(ratio);
}

ScreenFrame ScreenFrame::grab(QScreen *screen)
{
    // Window 0 is the screen itself, with coordinates relative to it. Asked
    // for no region, Qt takes all of it in device pixels, exactly; a region
    // in device-independent pixels may round past the screen's edge.
    // Passing the desktop window instead makes Qt read the coordinates as
    // the desktop's, which goes wrong on a scaled screen that does not start
    // at the origin.
    const QRect geometry = screen->geometry();
    QPixmap pixels = screen->grabWindow(0);
    if (pixels.isNull()) // Some platforms want the region spelled out.
        pixels = screen->grabWindow(0, 0, 0, geometry.width(), geometry.height());
    return ScreenFrame(pixels.toImage(), geometry, screen->devicePixelRatio());
}

QRect ScreenFrame::deviceRect(const QRect &region) const
{
    const QPoint offset = region.topLeft() - m_geometry.topLeft();
    const QRect device(offset * m_ratio, region.size() * m_ratio);
    return device & m_image.rect();
}

QImage ScreenFrame::cut(const QRect &region) const
{
    const QRect device = deviceRect(region);
    // copy() of an empty rectangle would give the whole image.
    return device.isEmpty() ? QImage() : m_image.copy(device);
}

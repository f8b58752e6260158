#ifndef SCREENFRAME_H
#define SCREENFRAME_H

#include <QImage>
#include <QRect>

class QScreen;

// What one screen showed at one moment, in its own device pixels, together
// with where that screen lies in Qt's device-independent desktop
// coordinates. Regions are marked in the latter and cut from the former.
class ScreenFrame
{
public:
    ScreenFrame() = default;
    // image: the whole screen in device pixels; geometry: the screen in
    // device-independent desktop coordinates; ratio: device pixels per
    // device-independent pixel.
    ScreenFrame(const QImage &image, const QRect &geometry, qreal ratio);

    // The frame of a screen as the window system shows it now.
    static ScreenFrame grab(QScreen *screen);

    bool isNull() const { return m_image.isNull(); }
    // Carries the ratio as its device pixel ratio, so it paints 1:1.
    const QImage &image() const { return m_image; }
    QRect geometry() const { return m_geometry; }
    qreal ratio() const { return m_ratio; }

    // The device pixels that a region given in desktop coordinates covers,
    // rounded as Qt rounds a screen grab and kept within the frame.
    QRect deviceRect(const QRect &region) const;
    // Those pixels; a null image when the region misses the frame.
    QImage cut(const QRect &region) const;

private:
    QImage m_image;
    QRect m_geometry;
    qreal m_ratio = 1.0;
};

#endif // SCREENFRAME_H

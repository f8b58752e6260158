#ifndef OCRTESTING_H
#define OCRTESTING_H

#include "messageformats.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QStringList>

const QString ghostscriptMessage = QStringLiteral(
        "NsOCR - GhostSript library is needed to support PDF files. Just download and install it "
        "with default settings. https://ghostscript.com/releases/gsdnld.html.");

// Lines of text as a screen shows them: a UI font at its pixel size, each
// line a line height below the one before (by default one and a half times
// the pixel size).
inline QImage renderText(const QStringList &lines, QSize size, QColor ink = Qt::black, QColor paper = Qt::white,
                         int pixelSize = 14, int lineHeight = 0, const QString &family = QStringLiteral("DejaVu Sans"))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(paper);
    QPainter painter(&image);
    QFont font(family);
    font.setPixelSize(pixelSize);
    painter.setFont(font);
    painter.setPen(ink);
    if (lineHeight == 0)
        lineHeight = pixelSize * 3 / 2;
    for (int i = 0; i < lines.size(); ++i)
        painter.drawText(QPoint(6, 6 + pixelSize + i * lineHeight), lines.at(i));
    return image;
}

inline QByteArray encoded(const QImage &image, const char *format = "BMP")
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

inline QByteArray textBmp(const QStringList &lines, QSize size)
{
    return encoded(renderText(lines, size));
}

#endif // OCRTESTING_H

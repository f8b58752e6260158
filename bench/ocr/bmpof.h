#ifndef BMPOF_H
#define BMPOF_H

#include <QBuffer>
#include <QByteArray>
#include <QImage>

// An image as the capture overlay hands it to the plugin: a BMP file.
inline QByteArray bmpOf(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

#endif // BMPOF_H

#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QSize>

// The bytes of a picture file (PNG, JPEG…) holding one colour, as a file on disk or a web server would have them.
inline QByteArray pictureBytes(const QSize& size, const QColor& color, const char* fileFormat,
                               QImage::Format format = QImage::Format_RGB32)
{
    QImage image(size, format);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, fileFormat);
    return bytes;
}

inline QByteArray pngBytes(const QSize& size, const QColor& color, QImage::Format format = QImage::Format_RGB32)
{
    return pictureBytes(size, color, "PNG", format);
}

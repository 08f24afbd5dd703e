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

// A valid PNG whose header claims width × height pixels (its pixel data is that of a 1 × 1 picture): what a
// hostile or absurd file looks like to a decoder that reads the header first.
inline QByteArray pngClaiming(quint32 width, quint32 height)
{
    QByteArray png = pngBytes(QSize(1, 1), Qt::red);
    const auto put32 = [&png](qsizetype at, quint32 value) {
        for (int i = 0; i < 4; ++i)
            png[at + i] = char((value >> (24 - 8 * i)) & 0xFF);
    };
    // Signature (8), chunk length (4), "IHDR" (4), width and height, ..., CRC of type + 13 data bytes.
    put32(16, width);
    put32(20, height);
    quint32 crc = 0xFFFFFFFFu;
    for (char c : png.mid(12, 17)) {
        crc ^= quint8(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    put32(29, ~crc);
    return png;
}

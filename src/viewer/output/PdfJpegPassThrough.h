#pragma once

#include <QHash>
#include <QImage>
#include <QString>
#include <QVector>

#include "tessarine_data_model/ModelDrawing.h"

class QIODevice;

// Puts JPEG files into a PDF as they are. While the PDF is drawn, each whole, unturned picture whose file is a plain
// JPEG (8-bit grey or colour, no turn of its own) is drawn as a tiny stand-in picture that carries a number; once
// the PDF is written, rewrite() copies it and puts each file's own bytes in place of its stand-in's image object,
// renumbering the cross-reference table. A picture used on several pages goes in once.
//
// One object per export, used on the thread that writes the PDF.
class PdfJpegPassThrough : public PictureFileSink {
public:
    QImage standInForFile(const QString& path, const QSize& pixels) override;

    bool isEmpty() const { return m_files.isEmpty(); }
    int fileCount() const { return int(m_files.size()); }

    // Copies the PDF Qt wrote (`written`, complete) into `out` with the files in place of their stand-ins. False,
    // with nothing useful written, when the PDF is not laid out as expected or a file changed meanwhile.
    bool rewrite(const QByteArray& written, QIODevice& out) const;

    // Facts of a JPEG file's frame header; false for anything that cannot go into a PDF as it is.
    struct JpegFacts {
        int width = 0;
        int height = 0;
        int components = 0;
    };
    static bool readJpegFacts(const QByteArray& data, JpegFacts* facts);

private:
    struct File {
        QString path;
        qint64 size = 0;
        JpegFacts facts;
        QImage standIn;
    };
    QVector<File> m_files;
    QHash<QString, int> m_byPath;
};

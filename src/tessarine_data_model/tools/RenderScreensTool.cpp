#include "tessarine_data_model/tools/RenderScreensTool.h"

#include <algorithm>
#include <cstdio>

#include <png.h>
#include <zlib.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/AtomicFile.h"
#include "platform/Json.h"
#include "tessarine_data_model/FolderFilePackage.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

void appendToByteArray(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<QByteArray*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), qsizetype(length));
}

// Rows are converted a band at a time, each band under 65536 pixels: Qt converts a larger picture on a pool of
// threads, started for this one picture and joined again at exit, which costs more than the conversion itself.
int conversionBandRows(int width)
{
    constexpr int kPixelsPerBand = 32768;
    return std::max(1, kPixelsPerBand / std::max(1, width));
}

void writePng(png_structp png, png_infop info, const QImage& image, QByteArray* data)
{
    png_set_write_fn(png, data, appendToByteArray, nullptr);
    png_set_IHDR(png, info, png_uint_32(image.width()), png_uint_32(image.height()), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_compression_level(png, 1);
    png_set_compression_strategy(png, Z_RLE);
    png_write_info(png, info);
    const int bandRows = conversionBandRows(image.width());
    for (int top = 0; top < image.height(); top += bandRows) {
        const int rows = std::min(bandRows, image.height() - top);
        const QImage band(image.constScanLine(top), image.width(), rows, image.bytesPerLine(), image.format());
        const QImage rgba = band.convertToFormat(QImage::Format_RGBA8888);
        for (int y = 0; y < rows; ++y)
            png_write_row(png, rgba.constScanLine(y));
    }
    png_write_end(png, nullptr);
}

// libpng reports an error by jumping back here; nothing of this frame changes after the jump point.
bool writePngOrFail(png_structp png, png_infop info, const QImage& image, QByteArray* data)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    writePng(png, info, image, data);
    return true;
}

// The screen's pixels as an RGBA PNG with one row filter (left neighbour) and zlib's run-length matching at its
// fastest level: the general writers try every filter on every row, and zlib's usual match search still took most
// of this tool's time for one screen. After the filter a screen's flat areas are runs of zeros, which run-length
// matching packs as well.
QByteArray encodeScreenPng(const QImage& image)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    QByteArray data;
    const bool written = info && writePngOrFail(png, info, image, &data);
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return written ? data : QByteArray();
}

bool writeScreenPng(const QImage& image, const QString& path)
{
    const QByteArray data = encodeScreenPng(image);
    Error error;
    return !data.isEmpty() && AtomicFile::write(path, data, &error);
}

} // namespace

int RenderScreensTool::fail(const QString& message)
{
    std::fprintf(stderr, "render-screens: %s\n", qPrintable(message));
    return 1;
}

std::shared_ptr<ZERI_TessarineModel> RenderScreensTool::readDocument(const QString& documentPath,
                                                                     std::shared_ptr<DocumentFilePackage>* package,
                                                                     QString* message)
{
    const QFileInfo input(documentPath);
    const bool isPackage = input.isDir();
    const QString jsonPath =
        isPackage ? QDir(input.filePath()).filePath(QStringLiteral("docfile.qvd")) : input.filePath();
    QFile file(jsonPath);
    if (!file.open(QIODevice::ReadOnly)) {
        *message = QStringLiteral("cannot read %1: %2").arg(jsonPath, file.errorString());
        return nullptr;
    }
    const QByteArray data = file.readAll();

    Error error;
    std::shared_ptr<ZERI_TessarineModel> document;
    if (isPackage) {
        const QDir folder(input.absoluteFilePath());
        *package = std::make_shared<FolderFilePackage>(QFileInfo(folder.path()).fileName(),
                                                       folder.filePath(QStringLiteral("assets")),
                                                       folder.filePath(QStringLiteral("published_assets")));
        const auto json = Json::read(data, &error);
        if (json && json->isObject())
            document = ZERI_TessarineModel::initWithDict(json->toObject(), *package, &error);
        else if (json)
            error.message = QStringLiteral("the document is not a JSON object");
    } else {
        document = ZERI_TessarineModel::initWithJsonData(data, &error, jsonPath);
    }
    if (!document)
        *message = QStringLiteral("cannot read the document %1: %2").arg(jsonPath, error.message);
    return document;
}

int RenderScreensTool::run(const QString& documentPath, const QString& outDir, const ScreenDrawer& draw)
{
    QString message;
    std::shared_ptr<DocumentFilePackage> package;
    const std::shared_ptr<ZERI_TessarineModel> document = readDocument(documentPath, &package, &message);
    if (!document)
        return fail(message);

    if (!QDir().mkpath(outDir))
        return fail(QStringLiteral("cannot make the folder %1").arg(outDir));

    int status = 0;
    int written = 0;
    const auto& flows = document->flowModels();
    for (size_t f = 0; f < flows.size(); ++f) {
        const auto& screens = flows[f]->screenModels();
        for (size_t s = 0; s < screens.size(); ++s) {
            const QString path = QDir(outDir).filePath(
                QStringLiteral("flow%1-screen%2.png").arg(f + 1).arg(s + 1, 3, 10, QLatin1Char('0')));
            const QImage image = draw(screens[s]);
            if (image.isNull() || !writeScreenPng(image, path)) {
                std::fprintf(stderr, "render-screens: cannot draw or write %s\n", qPrintable(path));
                status = 2;
                continue;
            }
            std::printf("%s\n", qPrintable(path));
            ++written;
        }
    }
    if (written == 0 && status == 0)
        std::fprintf(stderr, "render-screens: the document has no screens\n");
    return status;
}

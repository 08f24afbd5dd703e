// reencode-worker --preset small|medium|large IN OUT
//
// The re-encoding behind the reencode tool, which starts this program with its own command line once it has
// checked it. Exits 0 on success, 1 on a failed run (the error is printed), 2 on bad arguments.

#include <cstdio>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QUrl>

#include "elements/video/ReencodeArguments.h"
#include "elements/video/VideoAssetCompressor.h"
#include "tessarine_data_model/VideoAssetCompressorPreset.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("reencode"));
    // The failure is printed once below; the library's own warning lines would repeat it.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("tess.elements.video.warning=false"));

    ReencodeArguments arguments;
    if (!arguments.parse(app))
        return ReencodeArguments::badArgumentsExitCode;
    std::shared_ptr<VideoAssetCompressorPreset> preset;
    if (arguments.presetName == QLatin1String("small"))
        preset = VideoAssetCompressorPreset::small480p();
    else if (arguments.presetName == QLatin1String("medium"))
        preset = VideoAssetCompressorPreset::medium720p();
    else
        preset = VideoAssetCompressorPreset::large1080p();

    VideoAssetCompressor compressor;
    compressor.setPreset(preset);
    compressor.setInputURL(QUrl::fromLocalFile(QFileInfo(arguments.input).absoluteFilePath()));
    compressor.setOutputURL(QUrl::fromLocalFile(QFileInfo(arguments.output).absoluteFilePath()));
    int lastPercent = -1;
    compressor.setOnProgressBlock([&lastPercent](float progress) {
        const int percent = int(progress * 100.0f);
        if (percent != lastPercent) {
            lastPercent = percent;
            std::fprintf(stderr, "\r%3d%%", percent);
            std::fflush(stderr);
        }
    });
    int exitCode = 0;
    // A failed run leaves no movie of its own behind (a file that was there before, possibly the source, stays).
    const QString output = compressor.outputURL().toLocalFile();
    const bool outputExisted = QFileInfo::exists(output);
    compressor.setOnDoneBlock([&exitCode, output, outputExisted](const std::optional<Error>& error) {
        if (error) {
            std::fprintf(stderr, "\nreencode: %s\n", qPrintable(error->description()));
            if (!outputExisted)
                QFile::remove(output);
            exitCode = 1;
        } else {
            std::fprintf(stderr, "\rdone\n");
        }
        QCoreApplication::exit(exitCode);
    });
    // A failure found before the run starts (an unreadable input URL) is reported inside start().
    compressor.start();
    if (!compressor.isActive())
        return exitCode;
    return app.exec();
}

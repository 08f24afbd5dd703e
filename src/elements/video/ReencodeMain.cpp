// reencode --preset small|medium|large IN OUT
//
// Re-encodes IN into the QuickTime movie OUT with one of the shared presets, printing progress to
// standard error. Exits 0 on success, 1 on a failed run (the error is printed), 2 on bad arguments.

#include <cstdio>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QUrl>

#include "elements/video/VideoAssetCompressor.h"
#include "tessarine_data_model/VideoAssetCompressorPreset.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("reencode"));
    // The failure is printed once below; the library's own warning lines would repeat it.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("tess.elements.video.warning=false"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Re-encodes a video with one of the shared presets."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("preset"), QStringLiteral("small (480p), medium (720p) or large (1080p)."),
                      QStringLiteral("name")});
    parser.addPositionalArgument(QStringLiteral("IN"), QStringLiteral("The video to re-encode."));
    parser.addPositionalArgument(QStringLiteral("OUT"), QStringLiteral("The QuickTime movie to write."));
    parser.process(app);

    const QString presetName = parser.value(QStringLiteral("preset")).toLower();
    std::shared_ptr<VideoAssetCompressorPreset> preset;
    if (presetName == QLatin1String("small"))
        preset = VideoAssetCompressorPreset::small480p();
    else if (presetName == QLatin1String("medium"))
        preset = VideoAssetCompressorPreset::medium720p();
    else if (presetName == QLatin1String("large"))
        preset = VideoAssetCompressorPreset::large1080p();
    const QStringList files = parser.positionalArguments();
    if (!preset || files.size() != 2) {
        std::fprintf(stderr, "usage: reencode --preset small|medium|large IN OUT\n");
        return 2;
    }

    VideoAssetCompressor compressor;
    compressor.setPreset(preset);
    compressor.setInputURL(QUrl::fromLocalFile(QFileInfo(files.at(0)).absoluteFilePath()));
    compressor.setOutputURL(QUrl::fromLocalFile(QFileInfo(files.at(1)).absoluteFilePath()));
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
    compressor.setOnDoneBlock([&exitCode](const std::optional<Error>& error) {
        if (error) {
            std::fprintf(stderr, "\nreencode: %s\n", qPrintable(error->description()));
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

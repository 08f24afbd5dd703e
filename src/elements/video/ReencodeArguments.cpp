#include "elements/video/ReencodeArguments.h"

#include <cstdio>

#include <QCommandLineParser>
#include <QCoreApplication>

bool ReencodeArguments::parse(const QCoreApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Re-encodes a video with one of the shared presets."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("preset"), QStringLiteral("small (480p), medium (720p) or large (1080p)."),
                      QStringLiteral("name")});
    parser.addPositionalArgument(QStringLiteral("IN"), QStringLiteral("The video to re-encode."));
    parser.addPositionalArgument(QStringLiteral("OUT"), QStringLiteral("The QuickTime movie to write."));
    parser.process(app);

    presetName = parser.value(QStringLiteral("preset")).toLower();
    const QStringList files = parser.positionalArguments();
    const bool knownPreset = presetName == QLatin1String("small") || presetName == QLatin1String("medium") ||
                             presetName == QLatin1String("large");
    if (!knownPreset || files.size() != 2) {
        std::fprintf(stderr, "usage: reencode --preset small|medium|large IN OUT\n");
        return false;
    }
    input = files.at(0);
    output = files.at(1);
    return true;
}

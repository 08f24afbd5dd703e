// pptx-import DECK OUTDIR
//
// Imports a PowerPoint deck as the application's menu command does, without a window: the new document's package
// is written as OUTDIR/<document id>/ and its path printed on standard output. Fonts the application does not offer
// become the default font; each is named once on standard error.
// Exit status: 0 imported; 2 the file is not a presentation; 1 any other failure (the message on standard error,
// OUTDIR left as it was).

#include <cstdio>
#include <cstring>
#include <memory>

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QUrl>

#include "foundation/FontDatabaseTeardown.h"
#include "pptx/converter/PptxImportRecord.h"
#include "pptx/converter/QVRPowerPointConverter.h"
#include "pptx/import/PptxFontCatalogue.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

void printError(const QString& text)
{
    std::fprintf(stderr, "pptx-import: %s\n", qPrintable(text));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs("usage: pptx-import DECK OUTDIR\n", stdout);
        return 0;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const FontDatabaseTeardown cheapTeardown;
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        printError(QStringLiteral("usage: pptx-import DECK OUTDIR"));
        return 1;
    }
    const QString deck = arguments[1];
    const QString outFolder = QDir(arguments[2]).absolutePath();
    if (QFileInfo::exists(outFolder) && !QFileInfo(outFolder).isDir()) {
        printError(QStringLiteral("\"%1\" is not a folder").arg(outFolder));
        return 1;
    }
    const bool outFolderExisted = QFileInfo::exists(outFolder);

    ZERI_qvdFilePackage::registerWithDocumentModel();
    ZERI_qvdFilePackage::setPackagesFolder(outFolder);
    // What an earlier import killed before its end left behind (its half-built document, its pictures) goes.
    PptxImportRecord::removeLeftovers();
    // The same typefaces as in the application: family names of the catalogue keep their default face.
    PptxFontCatalogue::registerWithConverter();

    int status = 1;
    QVRPowerPointConverter converter;
    converter.setInputFileURL(QUrl::fromLocalFile(QFileInfo(deck).absoluteFilePath()));
    converter.setFontNeedsReplacing([](const QString& fontName, const QVRPowerPointConverter::FontAnswer& answer) {
        std::fprintf(stderr, "pptx-import: unsupported font \"%s\" replaced by %s\n", qPrintable(fontName),
                     qPrintable(ZERI_MMObject_Text::defaultFontName()));
        answer(QString());
    });
    converter.setOnDone(
        [&](const std::shared_ptr<ZERI_TessarineModel>& document, const Error& error, QVRPowerPointConverter*) {
            const auto package =
                document ? std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage()) : nullptr;
            if (package) {
                std::fprintf(stdout, "%s\n", qPrintable(package->path()));
                status = 0;
            } else {
                printError(error.isNull() ? QStringLiteral("the document has no package") : error.message);
                status = error.domain == QVRPowerPointConverter::errorDomain &&
                                 error.code == QVRPowerPointConverter::NotAPresentation
                             ? 2
                             : 1;
            }
            // Let the converter's clean-up finish before leaving.
            QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
        });
    converter.startConverting();
    if (!converter.temporaryFolder().isEmpty() || QVRPowerPointConverter::unfinishedImportCount() > 0)
        app.exec();
    // Work of a finished import (its worker) is over once the count is back to zero.
    while (QVRPowerPointConverter::unfinishedImportCount() > 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    if (status != 0 && !outFolderExisted)
        QDir().rmdir(outFolder);
    std::fflush(stdout);
    return status;
}

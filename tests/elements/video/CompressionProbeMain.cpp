// A process that re-encodes the videos of one document package, for the tests that kill it mid-run.
// compression-probe <application support folder> <package id>
// Prints "output <path>" when a run starts, "progress <fraction>" as it goes and "done" when the queue is empty.

#include <cstdio>

#include <QCoreApplication>

#include "elements/video/QVBVideoCompressionManager.h"
#include "platform/AppPaths.h"
#include "platform/NotificationCenter.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: compression-probe SUPPORT_FOLDER PACKAGE_ID\n");
        return 2;
    }
    AppPaths::setApplicationSupportForTesting(QString::fromLocal8Bit(argv[1]));
    ZERI_qvdFilePackage::registerWithDocumentModel();
    QVBVideoCompressionManager::registerWithDocumentModel();
    const auto package = ZERI_qvdFilePackage::packageForID(QString::fromLocal8Bit(argv[2]));
    if (!package || !package->loadModel()) {
        std::fprintf(stderr, "cannot open the package\n");
        return 1;
    }
    const auto document = package->model();
    const auto manager =
        std::dynamic_pointer_cast<QVBVideoCompressionManager>(document->documentVideoCompressionManager());
    NotificationObservation begins(QVBVideoCompressionManager::willBeginNotification, nullptr,
                                   [&](const Notification&) {
                                       std::printf("output %s\n", qPrintable(manager->currentOutputPath()));
                                       std::fflush(stdout);
                                   });
    NotificationObservation progress(QVBVideoCompressionManager::didProgressNotification, nullptr,
                                     [&](const Notification&) {
                                         std::printf("progress %f\n", manager->progress());
                                         std::fflush(stdout);
                                     });
    NotificationObservation ends(QVBVideoCompressionManager::didEndNotification, nullptr, [&](const Notification&) {
        if (manager->contentAssetCount() == 0) {
            std::printf("done\n");
            std::fflush(stdout);
            app.quit();
        }
    });
    manager->resumeCompressionForAssetsOfDataModelItem(document);
    return app.exec();
}

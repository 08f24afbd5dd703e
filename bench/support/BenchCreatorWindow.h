#pragma once

#include <memory>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include "creator/CreatorLibrary.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "app/QVRWindowManager.h"
#include "support/BenchPackage.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

// A one-screen document with an asset folder of the benchmark's own, and (once shown) a creator window editing it.
struct BenchCreatorWindow {
    QTemporaryDir dir;
    std::shared_ptr<BenchPackage> package;
    std::shared_ptr<ZERI_TessarineModel> document = ZERI_TessarineModel::create();
    std::shared_ptr<ZERI_FlowScreenModel> screen = ZERI_FlowScreenModel::create();
    QVR_CreatorWindow* window = nullptr;

    explicit BenchCreatorWindow(const QString& packageID)
        : package(std::make_shared<BenchPackage>(dir.path(), packageID))
    {
        QDir().mkpath(package->assetStoragePath());
        document->setDontSave(true);
        document->setFilePackage(package);
        document->firstFlowmodel()->addFlowScreen(screen);
        registerCreatorLibrary();
    }
    BenchCreatorWindow(const BenchCreatorWindow&) = delete;
    BenchCreatorWindow& operator=(const BenchCreatorWindow&) = delete;
    ~BenchCreatorWindow()
    {
        delete window;
        QApplication::processEvents();
    }

    void show()
    {
        window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
        window->resize(1300, 900);
        window->launchTessarineWithTessarineModel(document);
        window->show();
        QApplication::processEvents();
    }
};

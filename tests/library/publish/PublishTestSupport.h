#pragma once

#include <functional>
#include <memory>

#include <QApplication>
#include <QDialog>
#include <QTemporaryDir>
#include <QTest>

#include "../share/ShareTestSupport.h"
#include "library/publish/QVRSavePublishDialogueWindowController.h"
#include "library/publish/SheetRunner.h"
#include "library/share/QVRSharePostedTessarineWindowController.h"
#include "platform/AlertPresenter.h"
#include "platform/AppPaths.h"
#include "service/DocumentServerOperations.h"
#include "service/ZERI_AssetUploadManager.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace publishtest {

// The share environment ("ann" signed in against the fake service) plus packages in a folder of their own, an
// upload manager over its own queue folder, a recording alert presenter and a scripted sheet runner: each sheet
// type gets the script a test sets; the save/publish dialogue runs for real unless scripted.
class ScopedPublishEnvironment : public sharetest::ScopedShareEnvironment {
public:
    using Script = std::function<int(QDialog&)>;

    ScopedPublishEnvironment()
    {
        AppPaths::setApplicationSupportForTesting(m_support.path());
        ZERI_qvdFilePackage::resetForTesting();
        ZERI_qvdFilePackage::registerWithDocumentModel();
        DocumentServerOperations::registerWithDocumentModel();
        m_manager = std::make_unique<ZERI_AssetUploadManager>(m_support.filePath(QStringLiteral("uploadqueue")));
        m_manager->setRetryInterval(0.01);
        QVRSavePublishDialogueWindowController::setUploadManagerForTesting(m_manager.get());
        AlertPresenter::setShared(&alerts);
        SheetRunner::setRunnerForTesting([this](QDialog& sheet, QWidget* parent) {
            ++sheetsRun;
            for (const auto& [matches, script] : scripts) {
                if (matches(sheet))
                    return script(sheet);
            }
            return SheetRunner::runInteractively(sheet, parent);
        });
    }
    ~ScopedPublishEnvironment()
    {
        closeShareSheets();
        SheetRunner::setRunnerForTesting({});
        AlertPresenter::setShared(nullptr);
        QVRSavePublishDialogueWindowController::setUploadManagerForTesting(nullptr);
        m_manager.reset();
        DocumentService::registerService(nullptr);
        ZERI_qvdFilePackage::resetForTesting();
        AppPaths::setApplicationSupportForTesting(QString());
    }

    template <class Sheet> void script(std::function<int(Sheet&)> run)
    {
        scripts.emplace_back([](QDialog& sheet) { return dynamic_cast<Sheet*>(&sheet) != nullptr; },
                             [run](QDialog& sheet) { return run(dynamic_cast<Sheet&>(sheet)); });
    }

    // A document saved in a package of its own.
    static std::shared_ptr<ZERI_TessarineModel> savedDocument(const QString& title)
    {
        auto document = ZERI_TessarineModel::create();
        document->firstFlowmodel()->setTitle(title);
        document->saveToFile();
        return document;
    }
    static std::shared_ptr<ZERI_qvdFilePackage> packageOf(const std::shared_ptr<ZERI_TessarineModel>& model)
    {
        return std::dynamic_pointer_cast<ZERI_qvdFilePackage>(model->filePackage());
    }

    static QList<QVRSharePostedTessarineWindowController*> shareSheets()
    {
        QList<QVRSharePostedTessarineWindowController*> found;
        for (QWidget* widget : QApplication::allWidgets()) {
            if (auto* sheet = qobject_cast<QVRSharePostedTessarineWindowController*>(widget);
                sheet && sheet->isVisible())
                found.append(sheet);
        }
        return found;
    }
    static void closeShareSheets()
    {
        for (auto* sheet : shareSheets())
            sheet->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    ZERI_AssetUploadManager& manager() { return *m_manager; }

    RecordingAlertPresenter alerts;
    int sheetsRun = 0;
    std::vector<std::pair<std::function<bool(QDialog&)>, Script>> scripts;

private:
    QTemporaryDir m_support;
    std::unique_ptr<ZERI_AssetUploadManager> m_manager;
};

} // namespace publishtest

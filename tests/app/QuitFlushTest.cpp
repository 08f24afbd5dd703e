#include <gtest/gtest.h>

#include <QWidget>

#include "app/QVRAppDelegate.h"
#include "app/QVRWindowManager.h"
#include "tessarine_data_model/DocumentFilePackage.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

class CountingPackage : public DocumentFilePackage {
public:
    QString packageID() const override { return QStringLiteral("quit-flush"); }
    QString assetStoragePath() const override { return QStringLiteral("/nowhere/assets"); }
    QString publishedAssetStoragePath() const override { return QStringLiteral("/nowhere/published_assets"); }
    bool saveDocument(const std::shared_ptr<ZERI_TessarineModel>&, Error*) override
    {
        ++saves;
        return true;
    }
    int saves = 0;
};

} // namespace

TEST(QuitFlush, APendingDraftOfAWindowsDocumentIsWrittenAtOnceAndOnlyOnce)
{
    auto document = ZERI_TessarineModel::create();
    auto package = std::make_shared<CountingPackage>();
    document->setFilePackage(package);
    document->setDontSave(false);
    auto screen = ZERI_FlowScreenModel::create();
    document->firstFlowmodel()->addFlowScreen(screen);

    QWidget window;
    QVRWindowManager::sharedInstance().addManagedWindow(&window);
    QVRWindowManager::sharedInstance().setDocumentForWindow(&window, document, QStringLiteral("quit-flush"));

    screen->setPresenterNotes(QStringLiteral("edited a moment before quitting"));
    ASSERT_TRUE(document->isSaveScheduled());
    const int before = package->saves;

    QVRAppDelegate::flushPendingDraftSaves();
    EXPECT_EQ(package->saves, before + 1) << "the pending save is written without waiting for its timer";
    EXPECT_FALSE(document->isSaveScheduled());

    QVRAppDelegate::flushPendingDraftSaves();
    EXPECT_EQ(package->saves, before + 1) << "nothing pending, nothing written";
}

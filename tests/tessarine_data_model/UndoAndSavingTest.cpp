#include <algorithm>

#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include "ModelTestSupport.h"
#include "platform/NotificationCenter.h"
#include "support/QtPrinters.h"
#include "tessarine_data_model/DocumentFilePackage.h"
#include "tessarine_data_model/UndoSnapshotFiles.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/VideoCompressionManager.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

struct Fixture {
    std::shared_ptr<ZERI_TessarineModel> document = ZERI_TessarineModel::create();
    std::shared_ptr<ZERI_FlowModel> flow = document->firstFlowmodel();
    std::shared_ptr<ZERI_FlowScreenModel> screen = ZERI_FlowScreenModel::create();
    std::shared_ptr<ZERI_MixedMediaObjectProxy> object = ZERI_MixedMediaObject::objectWithType(2);

    Fixture()
    {
        document->setDontSave(true);
        flow->addFlowScreen(screen);
        (*object)->setFrame(QRectF(10, 10, 80, 40));
        screen->addMixedMediaObject(object);
    }
};

struct NotificationLog {
    std::vector<NotificationObservation> observations;
    QStringList names;
    std::vector<const void*> senders;
    QVariantMap lastUserInfo;

    NotificationLog()
    {
        for (const QString& name : {TessarineDataModelItem::kDidBeginUndoableChangesNotification,
                                    TessarineDataModelItem::kDidEndUndoableChangesNotification,
                                    TessarineDataModelItem::kDidCancelUndoableChangesNotification,
                                    TessarineDataModelItem::kDidSetPropertiesFromUndoableActionNotification})
            observations.emplace_back(name, nullptr, [this](const Notification& notification) {
                names << notification.name;
                senders.push_back(notification.sender);
                lastUserInfo = notification.userInfo;
            });
    }
};

class CountingFiles : public UndoSnapshotFiles {
public:
    QStringList retainFilesOfItem(const TessarineDataModelItem& item) override
    {
        QStringList paths;
        for (const auto& asset : item.getAllContentAssets())
            paths << asset->localFilePath();
        for (const QString& path : paths)
            ++counts[path];
        return paths;
    }
    void releaseFiles(const QStringList& paths) override
    {
        for (const QString& path : paths)
            --counts[path];
    }
    QHash<QString, int> counts;
};

class RecordingPackage : public DocumentFilePackage {
public:
    QString packageID() const override { return "P"; }
    QString assetStoragePath() const override { return "/p/assets"; }
    QString publishedAssetStoragePath() const override { return "/p/published_assets"; }
    bool saveDocument(const std::shared_ptr<ZERI_TessarineModel>& document, Error*) override
    {
        saves.push_back(timer.elapsed());
        lastSaved = document->jsonData();
        return true;
    }
    QElapsedTimer timer;
    std::vector<qint64> saves;
    QByteArray lastSaved;
};

} // namespace

TEST(UndoableChanges, OneBracketIsOneStepAndUndoRedoCarryItsUserInfo)
{
    Fixture f;
    NotificationLog log;
    const QJsonObject before = f.flow->jsonDictionary();

    f.flow->beginUndoableChanges();
    ASSERT_TRUE(f.flow->currentUndoableAction());
    f.flow->currentUndoableAction()->setUserInfo({{"screenToPageTo", f.screen->internalID()}});
    f.flow->currentUndoableAction()->setActionDescription("Move");
    (*f.object)->setFrame(QRectF(30, 20, 80, 40));
    f.screen->setBackgroundColor(Qt::red);
    f.flow->endUndoableChanges();
    const QJsonObject after = f.flow->jsonDictionary();

    EXPECT_FALSE(f.flow->currentUndoableAction());
    EXPECT_EQ(f.flow->undoManager().undoCount(), 1);
    EXPECT_EQ(f.flow->undoManager().undoActionName(), "Move");
    EXPECT_EQ(log.names, QStringList({TessarineDataModelItem::kDidBeginUndoableChangesNotification,
                                      TessarineDataModelItem::kDidEndUndoableChangesNotification}));
    EXPECT_EQ(log.senders.front(), f.flow.get());

    ASSERT_TRUE(f.flow->undoManager().undo());
    EXPECT_EQ(f.flow->jsonDictionary(), before);
    EXPECT_EQ((*f.object)->frame(), QRectF(10, 10, 80, 40));
    EXPECT_FALSE(f.screen->backgroundColor().isValid());
    EXPECT_EQ(f.screen->mixedMediaObjects().front(), f.object) << "restored in place";
    EXPECT_EQ(log.names.last(), TessarineDataModelItem::kDidSetPropertiesFromUndoableActionNotification);
    const auto action = log.lastUserInfo["undoableAction"].value<UndoableActionRef>();
    ASSERT_TRUE(action);
    EXPECT_EQ(action->userInfo()["screenToPageTo"], f.screen->internalID());

    ASSERT_TRUE(f.flow->undoManager().redo());
    EXPECT_EQ(f.flow->jsonDictionary(), after);
    EXPECT_EQ(f.screen->backgroundColor(), QColor(Qt::red));
    EXPECT_EQ(log.lastUserInfo["undoableAction"].value<UndoableActionRef>()->userInfo()["screenToPageTo"],
              f.screen->internalID());
    EXPECT_EQ(f.flow->undoManager().undoActionName(), "Move");
}

TEST(UndoableChanges, ABeginWhileAChangeIsOpenEndsItAndItemsWithoutAFlowDoNothing)
{
    Fixture f;
    f.flow->beginUndoableChanges(true);
    (*f.object)->setRotation(1);
    f.flow->beginUndoableChanges();
    (*f.object)->setRotation(2);
    f.flow->endUndoableChanges();
    EXPECT_EQ(f.flow->undoManager().undoCount(), 2);

    // The same holds for a change opened without the flag (it would otherwise lose its snapshot).
    f.flow->beginUndoableChanges(false);
    (*f.object)->setRotation(3);
    f.flow->beginUndoableChanges(false);
    (*f.object)->setRotation(0);
    f.flow->endUndoableChanges();
    EXPECT_EQ(f.flow->undoManager().undoCount(), 4);
    f.flow->undoManager().undo();
    f.flow->undoManager().undo();
    EXPECT_EQ((*f.object)->rotation(), 2);

    NotificationLog log;
    auto loose = ZERI_FlowScreenModel::create();
    loose->beginUndoableChanges();
    loose->setBackgroundColor(Qt::blue);
    loose->endUndoableChanges();
    loose->cancelUndoableChanges();
    EXPECT_FALSE(loose->currentUndoableAction());
    EXPECT_TRUE(log.names.isEmpty());
}

TEST(UndoableChanges, AnUndoClosesTheOpenChangeFirstAndRevertsIt)
{
    Fixture f;
    f.flow->beginUndoableChanges();
    (*f.object)->setRotation(1);
    f.flow->endUndoableChanges();
    // A change still open (a gesture waiting for its pictures) is the one an undo reverts.
    f.flow->beginUndoableChanges();
    (*f.object)->setRotation(2);
    ASSERT_TRUE(f.flow->undoManager().undo());
    EXPECT_FALSE(f.flow->currentUndoableAction());
    EXPECT_EQ((*f.object)->rotation(), 1);
    ASSERT_TRUE(f.flow->undoManager().redo());
    EXPECT_EQ((*f.object)->rotation(), 2);
}

TEST(UndoableChanges, CancelRollsBackWithoutAStep)
{
    Fixture f;
    f.flow->beginUndoableChanges();
    (*f.object)->setFrame(QRectF(1, 1, 1, 1));
    f.screen->addMixedMediaObject(ZERI_MixedMediaObject::objectWithType(4));
    f.flow->endUndoableChanges();
    const QJsonObject before = f.flow->jsonDictionary();
    const int steps = f.flow->undoManager().undoCount();

    NotificationLog log;
    f.flow->beginUndoableChanges();
    f.screen->addMixedMediaObject(ZERI_MixedMediaObject::objectWithType(2));
    (*f.object)->setFrame(QRectF(5, 5, 5, 5));
    f.flow->cancelUndoableChanges();
    EXPECT_EQ(f.flow->jsonDictionary(), before);
    EXPECT_EQ(f.screen->mixedMediaObjects().size(), 2u);
    EXPECT_EQ(f.flow->undoManager().undoCount(), steps);
    EXPECT_TRUE(log.names.contains(TessarineDataModelItem::kDidCancelUndoableChangesNotification));
}

TEST(UndoableChanges, SnapshotsKeepTheirFilesUntilTheirStepIsDropped)
{
    auto files = std::make_shared<CountingFiles>();
    UndoSnapshotFiles::registerHandler(files);
    {
        Fixture f;
        auto asset = ZERI_ContentAsset::create();
        asset->setExternalURL(QUrl::fromLocalFile("/p/assets/first.png"));
        (*f.object)->setCroppedImageAsset(asset);

        f.flow->beginUndoableChanges();
        auto replacement = ZERI_ContentAsset::create();
        replacement->setExternalURL(QUrl::fromLocalFile("/p/assets/second.png"));
        (*f.object)->setCroppedImageAsset(replacement);
        f.flow->endUndoableChanges();
        EXPECT_EQ(files->counts["/p/assets/first.png"], 1) << "the undo step still needs the old file";

        for (int i = 0; i < 600; ++i) {
            f.flow->beginUndoableChanges();
            (*f.object)->setFrame(QRectF(i, 0, 10, 10));
            f.flow->endUndoableChanges();
        }
        EXPECT_EQ(f.flow->undoManager().undoCount(), 500);
        EXPECT_EQ(files->counts["/p/assets/first.png"], 0) << "released with the discarded step";
        EXPECT_EQ(files->counts["/p/assets/second.png"], 500);

        f.flow->beginUndoableChanges();
        f.flow->cancelUndoableChanges();
        EXPECT_EQ(files->counts["/p/assets/second.png"], 500) << "a cancel releases its own snapshot";
    }
    EXPECT_EQ(files->counts["/p/assets/second.png"], 0) << "released when the document goes";
    UndoSnapshotFiles::registerHandler(nullptr);
}

TEST(UndoableChanges, AChangeThatChangesNothingLeavesNoStepAndKeepsNoFiles)
{
    auto files = std::make_shared<CountingFiles>();
    UndoSnapshotFiles::registerHandler(files);
    {
        Fixture f;
        auto asset = ZERI_ContentAsset::create();
        asset->setExternalURL(QUrl::fromLocalFile("/p/assets/picture.png"));
        (*f.object)->setCroppedImageAsset(asset);
        NotificationLog log;

        // Setting a value to itself.
        f.flow->beginUndoableChanges();
        (*f.object)->setFrame((*f.object)->frame());
        f.flow->endUndoableChanges();
        EXPECT_EQ(f.flow->undoManager().undoCount(), 0);
        EXPECT_EQ(files->counts["/p/assets/picture.png"], 0) << "the dropped snapshot keeps no file";
        EXPECT_TRUE(log.names.contains(TessarineDataModelItem::kDidEndUndoableChangesNotification))
            << "the end is still announced";
        EXPECT_FALSE(f.flow->currentUndoableAction());

        // A move and its reversal, with the objects' update stamps renewed in between.
        f.flow->beginUndoableChanges();
        const QJsonObject snapshot = f.flow->currentUndoableAction()->snapshot();
        (*f.object)->setFrame(QRectF(300, 200, 80, 40));
        (*f.object)->setUpdatedDate(QDateTime::currentDateTime().addDays(1));
        f.screen->setUpdatedDate(QDateTime::currentDateTime().addDays(2));
        (*f.object)->setFrame(QRectF(10, 10, 80, 40));
        ASSERT_NE(f.flow->jsonDictionary(), snapshot) << "the stamps differ";
        f.flow->endUndoableChanges();
        EXPECT_EQ(f.flow->undoManager().undoCount(), 0);
        EXPECT_EQ(files->counts["/p/assets/picture.png"], 0);

        // A move that stays is one step, and its snapshot keeps the file.
        f.flow->beginUndoableChanges();
        (*f.object)->setFrame(QRectF(300, 200, 80, 40));
        f.flow->endUndoableChanges();
        EXPECT_EQ(f.flow->undoManager().undoCount(), 1);
        EXPECT_EQ(files->counts["/p/assets/picture.png"], 1);

        // Content that differs only deep inside (an array member, an added key) still counts.
        f.flow->beginUndoableChanges();
        f.screen->addMixedMediaObject(ZERI_MixedMediaObject::objectWithType(4));
        f.flow->endUndoableChanges();
        f.flow->beginUndoableChanges();
        f.screen->setBackgroundColor(Qt::green);
        f.flow->endUndoableChanges();
        EXPECT_EQ(f.flow->undoManager().undoCount(), 3);
        ASSERT_TRUE(f.flow->undoManager().undo());
        EXPECT_FALSE(f.screen->backgroundColor().isValid());
    }
    UndoSnapshotFiles::registerHandler(nullptr);
}

TEST(Saving, EditsOfOneSecondJoinOneSaveAndSwitchedOffSavesNothing)
{
    Fixture f;
    auto package = std::make_shared<RecordingPackage>();
    f.document->setFilePackage(package);
    f.document->setDontSave(false);
    package->timer.start();
    for (int i = 0; i < 10; ++i)
        (*f.object)->setFrame(QRectF(i, 0, 10, 10));
    EXPECT_TRUE(f.document->isSaveScheduled());
    ASSERT_TRUE(spinUntil([&] { return !package->saves.empty(); }, 3000));
    ASSERT_EQ(package->saves.size(), 1u);
    EXPECT_GE(package->saves[0], 950);
    EXPECT_LE(package->saves[0], 2000);
    EXPECT_EQ(package->lastSaved, f.document->jsonData());

    f.document->setDontSave(true);
    (*f.object)->setFrame(QRectF(50, 0, 10, 10));
    EXPECT_FALSE(f.document->isSaveScheduled());
    Error error;
    EXPECT_FALSE(f.document->saveToFile(&error));
    EXPECT_FALSE(error.message.isEmpty());
    EXPECT_EQ(package->saves.size(), 1u);

    // A document without a package gets one from the registered maker on its first save.
    auto made = std::make_shared<RecordingPackage>();
    DocumentFilePackage::registerMaker([made](const auto&, Error*) { return made; });
    auto fresh = ZERI_TessarineModel::create();
    EXPECT_TRUE(fresh->saveToFile());
    EXPECT_EQ(fresh->filePackage(), made);
    EXPECT_EQ(fresh->qvdID(), "P");
    DocumentFilePackage::registerMaker(nullptr);
}

TEST(Saving, TheUpdatedTimestampMovesAtMostOncePerSecond)
{
    Fixture f;
    QStringList stamps{f.screen->updatedText()};
    QElapsedTimer clock;
    clock.start();
    QTimer edits;
    int step = 0;
    QObject::connect(&edits, &QTimer::timeout, [&] {
        f.screen->setPresenterNotes(QString::number(++step));
        if (stamps.last() != f.screen->updatedText())
            stamps << f.screen->updatedText();
    });
    edits.start(100);
    spinUntil([&] { return clock.elapsed() >= 2300; }, 4000);
    edits.stop();
    // 2.3 s of edits: at most three new stamps (and at least one: the first edit after creation may share its second).
    EXPECT_GE(stamps.size(), 2);
    EXPECT_LE(stamps.size(), 4);
    EXPECT_GE(step, 15);
}

TEST(UndoableChanges, UndoingARemovalQueuesTheVideoAgain)
{
    struct Recorder : InertVideoCompressionManager {
        void resumeCompressionForAssetsOfDataModelItem(const std::shared_ptr<TessarineDataModelItem>&) override
        {
            ++resumed;
        }
        int resumed = 0;
    };
    auto recorder = std::make_shared<Recorder>();
    VideoCompressionManager::registerFactory([recorder](const auto&) { return recorder; });
    Fixture f;
    f.flow->beginUndoableChanges();
    f.screen->removeMixedMediaObject(f.object);
    f.flow->endUndoableChanges();
    f.flow->undoManager().undo();
    VideoCompressionManager::registerFactory(nullptr);
    EXPECT_EQ(f.screen->mixedMediaObjects().size(), 1u);
    EXPECT_EQ(recorder->resumed, 1);
}

TEST(UndoableChanges, ColourOutletsAreOneStepEach)
{
    Fixture f;
    auto shapeProxy = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
    f.screen->addMixedMediaObject(shapeProxy);
    auto shape = shapeProxy->as<ZERI_MMObject_Shape>();
    f.screen->colorOutletEditedWithColor(Qt::green);
    shape->colorOutletEditedWithColor(Qt::blue);
    EXPECT_EQ(f.flow->undoManager().undoCount(), 2);
    f.flow->undoManager().undo();
    EXPECT_FALSE(shape->color().isValid());
    EXPECT_EQ(f.screen->backgroundColor(), QColor(Qt::green));
    f.flow->undoManager().undo();
    EXPECT_FALSE(f.screen->backgroundColor().isValid());
}

TEST(UndoableChanges, StepsShareTheFileListsOfFilesTheyLeftAsTheyWere)
{
    auto files = std::make_shared<CountingFiles>();
    UndoSnapshotFiles::registerHandler(files);
    {
        Fixture f;
        for (int i = 0; i < 50; ++i) {
            auto picture = ZERI_MixedMediaObject::objectWithType(2);
            auto asset = ZERI_ContentAsset::create();
            asset->setExternalURL(QUrl::fromLocalFile(QStringLiteral("/p/assets/picture%1.png").arg(i)));
            (*picture)->setCroppedImageAsset(asset);
            (*picture)->setFrame(QRectF(i, 0, 10, 10));
            f.screen->addMixedMediaObject(picture);
        }
        const auto step = [&](auto&& change) {
            f.flow->beginUndoableChanges();
            const QStringList kept = f.flow->currentUndoableAction()->retainedFiles();
            change();
            f.flow->endUndoableChanges();
            return kept;
        };
        const QStringList first = step([&] { (*f.object)->setFrame(QRectF(1, 1, 20, 20)); });
        const QStringList second = step([&] { (*f.object)->setFrame(QRectF(2, 2, 20, 20)); });
        ASSERT_EQ(first.size(), 50);
        // Nothing changed among the files: the second step holds the first one's list, not a copy.
        EXPECT_EQ(second, first);
        EXPECT_EQ(second.constData(), first.constData());

        // A file added: a new list, whose other paths are the ones already held.
        auto added = ZERI_ContentAsset::create();
        added->setExternalURL(QUrl::fromLocalFile(QStringLiteral("/p/assets/added.png")));
        step([&] { (*f.object)->setCroppedImageAsset(added); });
        const QStringList third = step([&] { (*f.object)->setFrame(QRectF(3, 3, 20, 20)); });
        ASSERT_EQ(third.size(), 51);
        EXPECT_NE(third.constData(), first.constData());
        for (const QString& path : third) {
            const auto old = std::find(first.cbegin(), first.cend(), path);
            if (old != first.cend()) {
                EXPECT_EQ(path.constData(), old->constData()) << path.toStdString();
            }
        }
        // The counting is as before: every step holds its files once.
        EXPECT_EQ(files->counts.value(QStringLiteral("/p/assets/picture7.png")), 4);
    }
    UndoSnapshotFiles::registerHandler(nullptr);
}

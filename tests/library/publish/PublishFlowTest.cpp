#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "PublishTestSupport.h"
#include "app/AppStartupHooks.h"
#include "creator/window/CreatorPublishing.h"
#include "library/LibraryLibrary.h"
#include "library/publish/QVREditTessarineDetailsWindowController.h"
#include "library/publish/QVRForkHandler.h"
#include "library/lists/TilePublishing.h"
#include "library/publish/QVRSaveAndPostUtils.h"
#include "storage/ZERI_qvdFilePackageMetadata.h"
#include "strings/UFM.h"

using publishtest::ScopedPublishEnvironment;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Fills the details sheet as a user would and presses Next.
int fillDetails(QVREditTessarineDetailsWindowController& details, const QString& alias)
{
    details.protectedRadioButton()->click();
    details.passwordEntryField()->setText(QStringLiteral("pw1"));
    details.passwordReEntryField()->setText(QStringLiteral("pw1"));
    details.aliasTextView()->setText(alias);
    if (!QTest::qWaitFor([&] { return !details.isCheckingAlias(); }, 5000))
        return SheetRunner::kCancelled;
    details.nextButton()->click();
    return details.result();
}

// Runs the dialogue for real and notes how it ended.
struct DialogueRecord {
    int runs = 0;
    int result = -1;
    QString status;
    QString headline;
};

} // namespace

TEST(PublishFlowTest, PublishSendsTheDetailsOnceAndSharesOnce)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    env.script<QVREditTessarineDetailsWindowController>([](QVREditTessarineDetailsWindowController& details) {
        return fillDetails(details, QStringLiteral("my-talk"));
    });
    DialogueRecord dialogue;
    env.script<QVRSavePublishDialogueWindowController>([&](QVRSavePublishDialogueWindowController& sheet) {
        ++dialogue.runs;
        dialogue.headline = sheet.titleLabel()->text();
        dialogue.result = SheetRunner::runInteractively(sheet, nullptr);
        dialogue.status = sheet.statusLabel()->text();
        return dialogue.result;
    });
    auto document = ScopedPublishEnvironment::savedDocument(QStringLiteral("My Talk"));

    QVRSaveAndPostUtils::postTessarineModel(document, nullptr);

    EXPECT_EQ(dialogue.runs, 1);
    EXPECT_EQ(dialogue.result, SheetRunner::kDone);
    EXPECT_EQ(dialogue.status, UFM::SUCCESS_EXCLAMATION_TEXT());
    EXPECT_EQ(dialogue.headline,
              UFM::POSTING_TESSARINE_TO_SOMEWHERE().arg(QStringLiteral("http://short.example/my-talk")));
    ASSERT_EQ(env.service.requestCount(QStringLiteral("tessarine.create")), 1);
    const auto create = env.service.lastRequest(QStringLiteral("tessarine.create"));
    EXPECT_EQ(create->fields.value(QStringLiteral("published")), QStringLiteral("1"));
    EXPECT_EQ(create->fields.value(QStringLiteral("privacy")), QStringLiteral("protected"));
    EXPECT_EQ(create->fields.value(QStringLiteral("password")), QStringLiteral("pw1"));
    EXPECT_EQ(create->fields.value(QStringLiteral("alias")), QStringLiteral("my-talk"));
    const auto sheets = ScopedPublishEnvironment::shareSheets();
    ASSERT_EQ(sheets.size(), 1);
    EXPECT_TRUE(sheets.front()->justPosted());
    EXPECT_TRUE(ScopedPublishEnvironment::packageOf(document)->publishedVersionExists());
    EXPECT_FALSE(document->stringID().isEmpty());
    EXPECT_EQ(document->alias(), QStringLiteral("my-talk"));
}

TEST(PublishFlowTest, FailedSaveShowsTheErrorPublishesNothingAndLogsTheCancel)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    env.service.injectReply(QStringLiteral("tessarine.create"),
                            FakeHttpReply::serviceError(QStringLiteral("12"), QStringLiteral("Boom")));
    env.script<QVREditTessarineDetailsWindowController>(
        [](QVREditTessarineDetailsWindowController& details) { return fillDetails(details, QString()); });
    DialogueRecord dialogue;
    env.script<QVRSavePublishDialogueWindowController>([&](QVRSavePublishDialogueWindowController& sheet) {
        sheet.start();
        EXPECT_TRUE(QTest::qWaitFor([&] { return sheet.uploadsDone(); }, 5000));
        dialogue.status = sheet.statusLabel()->text();
        EXPECT_EQ(sheet.cancelButton()->text(), UFM::DONE_TEXT());
        sheet.cancelButton()->click();
        return sheet.result();
    });
    auto document = ScopedPublishEnvironment::savedDocument(QStringLiteral("Boom Talk"));

    QVRSaveAndPostUtils::postTessarineModel(document, nullptr);

    EXPECT_EQ(dialogue.status, UFM::ERROR_TEXT() + QStringLiteral(": Boom"));
    EXPECT_FALSE(ScopedPublishEnvironment::packageOf(document)->publishedVersionExists());
    EXPECT_TRUE(ScopedPublishEnvironment::shareSheets().isEmpty());
    const auto events = env.events(QStringLiteral("Publish"));
    ASSERT_FALSE(events.isEmpty());
    EXPECT_EQ(events.back().value(QStringLiteral("parameters")).toObject().value(QStringLiteral("Result")).toString(),
              QStringLiteral("Cancelled"));
}

TEST(PublishFlowTest, DraftConflictEndsWithForkCodeAndAsksWithoutIgnore)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    env.service.injectReply(QStringLiteral("tessarine.create"),
                            FakeHttpReply::serviceError(QStringLiteral("607"), QStringLiteral("changed")));
    DialogueRecord dialogue;
    env.script<QVRSavePublishDialogueWindowController>([&](QVRSavePublishDialogueWindowController& sheet) {
        ++dialogue.runs;
        dialogue.result = SheetRunner::runInteractively(sheet, nullptr);
        dialogue.status = sheet.statusLabel()->text();
        EXPECT_FALSE(sheet.uploadsDone());
        return dialogue.result;
    });
    int conflicts = 0;
    bool ignoreEnabled = true;
    QString remoteDetails;
    env.script<QVRDraftConflictSheet>([&](QVRDraftConflictSheet& sheet) {
        ++conflicts;
        ignoreEnabled = sheet.ignoreButton()->isEnabled();
        remoteDetails = sheet.keepRemoteDetailsLabel()->text();
        return 0;
    });
    auto document = ScopedPublishEnvironment::savedDocument(QStringLiteral("Conflicted"));

    QVRSaveAndPostUtils::saveTessarineDraft(document, nullptr);

    EXPECT_EQ(dialogue.result, SheetRunner::kFork);
    EXPECT_EQ(dialogue.status, UFM::FINALIZING_TEXT()); // untouched by the fork request
    EXPECT_EQ(conflicts, 1);
    EXPECT_FALSE(ignoreEnabled);
    EXPECT_EQ(remoteDetails, UFM::KEEP_REMOTE_CHANGES_DETAILS_TEXT());
    EXPECT_TRUE(remoteDetails.contains(QStringLiteral("separate document")));
    EXPECT_TRUE(ScopedPublishEnvironment::shareSheets().isEmpty());
    EXPECT_TRUE(env.events(QStringLiteral("Save Draft")).isEmpty() ||
                env.events(QStringLiteral("Save Draft"))
                        .back()
                        .value(QStringLiteral("parameters"))
                        .toObject()
                        .value(QStringLiteral("Result"))
                        .toString() != QStringLiteral("Cancelled"));
}

TEST(PublishFlowTest, ForkInAPlainWindowEndsSavingWithTheForkError)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    env.service.injectReply(QStringLiteral("tessarine.create"),
                            FakeHttpReply::serviceError(QStringLiteral("607"), QStringLiteral("changed")));
    auto document = ScopedPublishEnvironment::savedDocument(QStringLiteral("Batch"));
    QVRSavePublishDialogueWindowController dialogue({ScopedPublishEnvironment::packageOf(document)});
    dialogue.setRunsAsPlainWindow(true);
    dialogue.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogue.uploadsDone(); }, 5000));
    EXPECT_EQ(dialogue.saveError().code, 607);
}

TEST(PublishFlowTest, SignedOutAsksForTheWallOnceAndSendsNothingWhenDeclined)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    Tessutils::setCorvikAuthToken(QString());
    int walls = 0;
    AppStartupHooks::shared().runRegisterWall = [&](const QString&) {
        ++walls;
        return false;
    };
    auto document = ScopedPublishEnvironment::savedDocument(QStringLiteral("Nobody"));
    env.service.clearRequests();

    QVRSaveAndPostUtils::postTessarineModel(document, nullptr);
    AppStartupHooks::shared().runRegisterWall = nullptr;

    EXPECT_EQ(walls, 1);
    EXPECT_EQ(env.sheetsRun, 0);
    EXPECT_EQ(env.service.requestCount(), 0);
    EXPECT_TRUE(env.events(QStringLiteral("Publish")).isEmpty());
}

TEST(PublishFlowTest, ShareOfANeverPublishedDocumentPublishesAndStopsWhenCancelled)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    int detailsShown = 0;
    env.script<QVREditTessarineDetailsWindowController>([&](QVREditTessarineDetailsWindowController& details) {
        ++detailsShown;
        details.cancelButton()->click();
        return details.result();
    });
    auto document = ScopedPublishEnvironment::savedDocument(QStringLiteral("Unshared"));

    QVRSaveAndPostUtils::shareTessarineModel(document, nullptr);

    EXPECT_EQ(detailsShown, 1);
    EXPECT_TRUE(ScopedPublishEnvironment::shareSheets().isEmpty());
    EXPECT_TRUE(env.events(QStringLiteral("Publish")).isEmpty()); // cancelled in the details: nothing logged
}

TEST(PublishFlowTest, UnpublishSendsOnlyThePublishedFlagAndKeepsTheDraft)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    auto document = ScopedPublishEnvironment::savedDocument(QStringLiteral("Posted"));
    bool saved = false;
    document->saveToServer(DocumentService::Publish, [&](const std::optional<SafeDictionary>& error) {
        EXPECT_FALSE(error.has_value());
        saved = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return saved; }, 5000));
    const auto package = ScopedPublishEnvironment::packageOf(document);
    ASSERT_TRUE(package->publishedVersionExists());
    const QByteArray draft = fileBytes(package->draftFilePath());
    const QString apiID = package->metaData().apiID();

    // An error keeps the published copy.
    env.service.injectReply(QStringLiteral("tessarine.update"),
                            FakeHttpReply::serviceError(QStringLiteral("12"), QStringLiteral("Nope")));
    bool done = false;
    QVRSaveAndPostUtils::unpublishTessarineModel(document, [&] { done = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
    ASSERT_FALSE(env.notifications.isEmpty());
    EXPECT_EQ(env.notifications.back().title, UFM::ERROR_TEXT());
    EXPECT_TRUE(package->publishedVersionExists());

    QVR_UnpostConfirmationWindowController confirmation(document);
    QTimer::singleShot(0, &confirmation, [&] { confirmation.confirmBtn()->click(); });
    EXPECT_EQ(SheetRunner::runInteractively(confirmation, nullptr), SheetRunner::kDone);

    const auto update = env.service.lastRequest(QStringLiteral("tessarine.update"));
    ASSERT_TRUE(update.has_value());
    EXPECT_EQ(update->fields.value(QStringLiteral("id")), apiID);
    EXPECT_EQ(update->fields.value(QStringLiteral("published")), QStringLiteral("0"));
    EXPECT_FALSE(update->fields.contains(QStringLiteral("document_json")));
    EXPECT_EQ(env.notifications.back().title, UFM::SUCCESS_TEXT());
    EXPECT_EQ(env.notifications.back().text, UFM::UNPOST_SUCCESS_TEXT());
    EXPECT_FALSE(package->publishedVersionExists());
    EXPECT_EQ(fileBytes(package->draftFilePath()), draft);
    EXPECT_EQ(env.events(QStringLiteral("Unposted Flow")).size(), 1);

    // No document: the sheet still ends, with an error notice.
    QVR_UnpostConfirmationWindowController empty(nullptr);
    QTimer::singleShot(0, &empty, [&] { empty.confirmBtn()->click(); });
    EXPECT_EQ(SheetRunner::runInteractively(empty, nullptr), SheetRunner::kDone);
    EXPECT_EQ(env.notifications.back().title, UFM::ERROR_TEXT());
}

TEST(PublishFlowTest, TheCreatorsCommandsReachTheFlows)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    registerLibraryLibrary();
    const auto publishing = CreatorPublishing::shared();
    ASSERT_TRUE(publishing);
    auto document = ScopedPublishEnvironment::savedDocument(QStringLiteral("From the creator"));
    EXPECT_FALSE(publishing->hasPublishedCopy(document));
    int details = 0;
    env.script<QVREditTessarineDetailsWindowController>([&](QVREditTessarineDetailsWindowController& sheet) {
        ++details;
        return fillDetails(sheet, QString());
    });
    publishing->publish(document, nullptr, false);
    EXPECT_EQ(details, 1);
    EXPECT_TRUE(publishing->hasPublishedCopy(document));
    CreatorPublishing::registerPublishing(nullptr);
}

TEST(PublishFlowTest, ASecondPublishWhileOneRunsIsRefused)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    auto document = ScopedPublishEnvironment::savedDocument(QStringLiteral("Twice"));
    int details = 0;
    env.script<QVREditTessarineDetailsWindowController>([&](QVREditTessarineDetailsWindowController& sheet) {
        ++details;
        QVRSaveAndPostUtils::postTessarineModel(document, nullptr); // e.g. the menu command again
        QVRSaveAndPostUtils::saveTessarineDraft(document, nullptr);
        return fillDetails(sheet, QString());
    });
    QVRSaveAndPostUtils::postTessarineModel(document, nullptr);
    EXPECT_EQ(details, 1);
    EXPECT_EQ(env.service.requestCount(QStringLiteral("tessarine.create")), 1);
    EXPECT_EQ(ScopedPublishEnvironment::shareSheets().size(), 1);
    EXPECT_FALSE(QVRSaveAndPostUtils::isFlowRunning());
}

// My Documents' tiles reach the same flows once the library is registered: Unpublish asks, and a cancelled
// confirmation leaves the published copy.
TEST(PublishFlowTest, TilesUnpublishThroughTheConfirmationSheet)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    registerLibraryLibrary();
    TilePublishing& tiles = TilePublishing::shared();
    EXPECT_TRUE(tiles.canShare());
    EXPECT_TRUE(tiles.canUnpublish());

    auto document = ScopedPublishEnvironment::savedDocument(QStringLiteral("Posted"));
    bool saved = false;
    document->saveToServer(DocumentService::Publish, [&](const std::optional<SafeDictionary>&) { saved = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return saved; }, 5000));
    const auto package = ScopedPublishEnvironment::packageOf(document);
    ASSERT_TRUE(package->publishedVersionExists());

    std::optional<bool> answer;
    env.script<QVR_UnpostConfirmationWindowController>(
        [](QVR_UnpostConfirmationWindowController&) { return SheetRunner::kCancelled; });
    tiles.unpublish(package, nullptr, [&](bool unposted) { answer = unposted; });
    ASSERT_EQ(answer, std::optional<bool>(false));
    EXPECT_TRUE(package->publishedVersionExists());

    env.scripts.clear();
    env.script<QVR_UnpostConfirmationWindowController>([](QVR_UnpostConfirmationWindowController& sheet) {
        QTimer::singleShot(0, &sheet, [&sheet] { sheet.confirmBtn()->click(); });
        return SheetRunner::runInteractively(sheet, nullptr);
    });
    tiles.unpublish(package, nullptr, [&](bool unposted) { answer = unposted; });
    EXPECT_EQ(answer, std::optional<bool>(true));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !package->publishedVersionExists(); }, 5000));
    TilePublishing::setShared(nullptr);
}

#include <atomic>

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QThread>
#include <QTimer>

#include "app/QVRAppDelegate.h"
#include "app/QVRMainMenu.h"
#include "creator/addition/QVR_AddElementMenuViewController.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "foundation/Tessutils.h"
#include "inspector/panels/QVRTitleAndDescriptionEditorViewController.h"
#include "library/account/QVBUserInfoMonitor.h"
#include "library/account/QVRLogoutWindowController.h"
#include "library/account/QVRRegisterWallWindowController.h"
#include "library/account/ZERI_AuthenticationHandler.h"
#include "library/publish/QVREditTessarineDetailsWindowController.h"
#include "library/publish/QVRSavePublishDialogueWindowController.h"
#include "library/share/QVRSharePostedTessarineWindowController.h"
#include "library/share/QVR_TrackableEmailViewController.h"
#include "roads/RoadsSignedInService.h"
#include "roads/RoadsTestSupport.h"
#include "service/ServiceReachability.h"
#include "service/ZERI_AssetUploadManager.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"
#include "support/UserInput.h"
#include "support/fakeservice/FakeWebService.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/QVRViewerViewController.h"
#include "viewer/QVRViewerWindow.h"
#include "viewer/previews/QVRScreenPreviewGenerator.h"
#include "viewer/QVR_PDFViewerView.h"

using namespace roads;

namespace {

constexpr qint64 MiB = 1024 * 1024;

// Ann (known to the service as ann@x.example) signed in from an earlier session; Bob known too.
FakeWebService* service()
{
    return startedService([](FakeWebService& service) {
        service.addUser(QStringLiteral("ann"), QStringLiteral("pw"));
        service.addUser(QStringLiteral("bob"), QStringLiteral("pw2"));
        service.withState([](FakeWebService::State& state) {
            state.users[QStringLiteral("ann")].email = QStringLiteral("ann@x.example");
            state.users[QStringLiteral("ann")].quotaMax = 100 * MiB;
            state.users[QStringLiteral("ann")].quotaUsed = 10 * MiB;
            state.users[QStringLiteral("bob")].email = QStringLiteral("bob@x.example");
        });
        Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN-ann"));
    });
}

// The upload allowance item as the application menu shows it when it opens; empty when hidden.
QString shownAllowance(QWidget* window)
{
    chooseMenuItemEnabled(window, QStringLiteral("quota"));
    auto* bar = window->findChild<QMenuBar*>();
    QAction* item = bar ? QVRMainMenu::action(bar, QStringLiteral("quota")) : nullptr;
    QString text = item && item->isVisible() ? item->text() : QString();
    for (QWidget* popup : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMenu*>(popup) && popup->isVisible())
            popup->close();
    }
    return text;
}

// A new document from the + tile with a PDF of `pages` pages on its screen (the file made in `folder`).
QVR_CreatorWindow* documentWithPdf(const QString& folder, int pages)
{
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    if (!window || !insert(window, &QVR_AddElementMenuViewController::pdfCell) ||
        !answerFileDialog(makePdf(QDir(folder).filePath(QStringLiteral("handout.pdf")), pages)))
        return nullptr;
    if (!waitFor([&] { return countObjects(shownScreen(window), ZERI_MixedMediaObject::PDF) == 1; }))
        return nullptr;
    return window;
}

// Answers the details sheet of Publish (a title, public, Next) from `tick`; true once Next was pressed.
bool answerDetails(const QString& title, bool& filled)
{
    auto* details = visibleTopLevel<QVREditTessarineDetailsWindowController>();
    if (!details)
        return false;
    if (!filled) {
        filled = true;
        typeInto(details->titleField(), title);
        click(details->publicRadioButton());
        return false;
    }
    if (details->isCheckingAlias() || !details->nextButton()->isEnabled())
        return false;
    click(details->nextButton());
    return true;
}

QVRSavePublishDialogueWindowController* shownPublishSheet()
{
    return visibleTopLevel<QVRSavePublishDialogueWindowController>(
        [](QVRSavePublishDialogueWindowController* sheet) { return !qobject_cast<QVRLogoutWindowController*>(sheet); });
}

// The upload queue as it lies on disk: the files waiting and the results kept.
QJsonDocument queueFile(const QString& name)
{
    QFile file(QDir(ZERI_AssetUploadManager::defaultQueueFolder()).filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll());
}

class AccountWalkRoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake = service();
        ASSERT_TRUE(fake);
        application();
        ASSERT_TRUE(leaveFirstLaunchTour());
        lists = application().listsWindow();
    }
    void TearDown() override
    {
        fake->setReplyDelay(0);
        fake->clearInjectedReplies();
        QVBUserInfoMonitor::setIntervalForTesting(0);
        closeDocumentWindows();
    }
    // Ann signed in, whoever was before.
    void signInAnn()
    {
        // Her token is enough to know her by: the record the start-up asks for may still be on its way.
        const QString token = Tessutils::corvikAuthToken();
        if (!token.isEmpty() && (token == fake->state().users.value(QStringLiteral("ann")).token ||
                                 Tessutils::corvikUserDict().stringForKey(QStringLiteral("username")) == u"ann"))
            return;
        if (!Tessutils::corvikAuthToken().isEmpty()) {
            ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("signIn")));
            ASSERT_TRUE(waitFor([] { return Tessutils::corvikAuthToken().isEmpty(); }));
            // The sign-out ends (its folders deleted, its notification heard) before Ann comes.
            ZERI_AuthenticationHandler::waitForSignOutsForTesting();
        }
        ASSERT_TRUE(
            signInThroughWall(application().listsWindow(), QStringLiteral("ann@x.example"), QStringLiteral("pw")));
    }

    FakeWebService* fake = nullptr;
    QWidget* lists = nullptr;
};

} // namespace

namespace {

// Signed in, the monitor asks the service again on every tick of its clock (shortened here from its 15 minutes)
// and the application menu shows the answer: the allowance used since, and the user's renewed record stored. A
// tick the service refuses (the token no longer valid there) changes nothing shown; the next good one does.
TEST_F(AccountWalkRoad, TheAllowanceIsAskedForOnEveryTickAndTheMenuShowsTheAnswer)
{
    signInAnn();
    QString shown;
    ASSERT_TRUE(waitFor([&] { return (shown = shownAllowance(lists)).contains(QStringLiteral("90 MB")); }))
        << shown.toStdString();

    const QString quota = QStringLiteral("corvik.users.getDiskQuota");
    const int before = fake->requestCount(quota);
    fake->withState([](FakeWebService::State& state) {
        state.users[QStringLiteral("ann")].quotaUsed = 40 * MiB;
        state.users[QStringLiteral("ann")].email = QStringLiteral("ann@renewed.example");
    });
    QVBUserInfoMonitor::setIntervalForTesting(400);
    EXPECT_TRUE(waitFor([&] { return (shown = shownAllowance(lists)).contains(QStringLiteral("60 MB")); }, 10000))
        << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("100 MB"))) << shown.toStdString();
    EXPECT_TRUE(waitFor([] {
        return Tessutils::corvikUserDict().stringForKey(QStringLiteral("email")) == u"ann@renewed.example";
    })) << "the user's record was not renewed";
    // Every tick asks, not only the first.
    EXPECT_TRUE(waitFor([&] { return fake->requestCount(quota) >= before + 3; }, 10000));

    // The service no longer knows the token: the ticks still ask, the menu keeps the last allowance.
    const QString token = fake->state().users.value(QStringLiteral("ann")).token;
    fake->withState([](FakeWebService::State& state) {
        state.users[QStringLiteral("ann")].token = QStringLiteral("TOKEN-revoked");
        state.users[QStringLiteral("ann")].quotaUsed = 70 * MiB;
    });
    const int refused = fake->requestCount(quota);
    EXPECT_TRUE(waitFor([&] { return fake->requestCount(quota) >= refused + 2; }, 10000));
    shown = shownAllowance(lists);
    EXPECT_TRUE(shown.contains(QStringLiteral("60 MB remaining"))) << shown.toStdString();
    EXPECT_FALSE(Tessutils::corvikAuthToken().isEmpty()) << "a refused tick signed the user out";

    // Known again: the next tick brings the allowance as it is now.
    fake->withState([&token](FakeWebService::State& state) { state.users[QStringLiteral("ann")].token = token; });
    EXPECT_TRUE(waitFor([&] { return (shown = shownAllowance(lists)).contains(QStringLiteral("30 MB")); }, 10000))
        << shown.toStdString();
    QVBUserInfoMonitor::setIntervalForTesting(0);
    // Ann signs in with her first address on the roads after this one.
    fake->withState([](FakeWebService::State& state) {
        state.users[QStringLiteral("ann")].email = QStringLiteral("ann@x.example");
    });
}

} // namespace

namespace {

// Publish from the creator: the details sheet answered, then the share sheet closed with Done. True when both came.
bool publishThroughSheets(QVR_CreatorWindow* window, const QString& title)
{
    bool filled = false;
    bool next = false;
    bool shared = false;
    Answerer answer([&] {
        if (!next) {
            next = answerDetails(title, filled);
            return;
        }
        if (auto* share = visibleTopLevel<QVRSharePostedTessarineWindowController>(); share && !shared) {
            shared = true;
            click(share->doneButton());
        }
    });
    if (!chooseMenuItem(window, QStringLiteral("publish")))
        return false;
    return waitFor([&] { return shared && !visibleTopLevel<QVRSharePostedTessarineWindowController>(); }, 30000);
}

// A document the user made here, with a PDF, posted: played, its PDF opened, the tracked e-mail about it typed and
// sent. The service receives it with the document's server id and a link to the PDF where the service serves it,
// while the user's own copy keeps showing the file on this computer.
TEST_F(AccountWalkRoad, TheTrackedEmailAboutAPostedPdfLinksToTheServicesCopy)
{
    signInAnn();
    QTemporaryDir inputs;
    QVR_CreatorWindow* creator = documentWithPdf(inputs.path(), 2);
    ASSERT_TRUE(creator);
    ASSERT_TRUE(publishThroughSheets(creator, QStringLiteral("Handouts")));
    const auto document = creator->currentModel();
    ASSERT_TRUE(document && !document->apiID().isEmpty());

    std::shared_ptr<ZERI_ContentAsset> pdfAsset;
    for (const auto& asset : document->getAllContentAssets()) {
        if (asset->sourceFileName().endsWith(QLatin1String(".pdf")))
            pdfAsset = asset;
    }
    ASSERT_TRUE(pdfAsset);
    EXPECT_TRUE(pdfAsset->externalURL().isLocalFile()) << "the own copy no longer shows the file on this computer";
    const QString contentID = pdfAsset->corvikContentID();
    ASSERT_FALSE(contentID.isEmpty());

    QVRViewerWindow* player = play(creator);
    ASSERT_TRUE(player);
    player->resize(900, 640);
    QVRViewerViewController* viewer = player->windowController()->tessarineViewerViewController();
    ASSERT_TRUE(waitFor([&] { return viewer->viewerView()->currentlyDisplayedFlowScreen() != nullptr; }));
    QVR_PDFViewerView* pdf = nullptr;
    QElapsedTimer sinceReturn;
    ASSERT_TRUE(waitFor([&] {
        pdf = viewer->pdfViewerView();
        if (!pdf && (!sinceReturn.isValid() || sinceReturn.elapsed() > 500)) {
            UserInput::pressKey(viewer->viewerView(), Qt::Key_Return);
            sinceReturn.start();
        }
        return pdf && pdf->hasImageForPage(0);
    }));
    ASSERT_TRUE(pdf->emailButton()) << "no e-mail button over the user's own posted PDF";

    click(pdf->emailButton());
    auto* composer = dynamic_cast<QVR_TrackableEmailViewController*>(pdf->emailVC());
    ASSERT_TRUE(composer);
    ASSERT_TRUE(waitFor([&] { return composer->view()->isVisible(); }, 5000));
    EXPECT_FALSE(composer->messageTextView()->toHtml().contains(QLatin1String("file:")));
    composer->recipientsTextField()->setFocus();
    UserInput::typeText(composer->recipientsTextField(), QStringLiteral("bo@x.example"));
    const int sent = int(fake->state().sentEmails.size());
    click(composer->sendBtn());
    ASSERT_TRUE(waitFor([&] { return fake->state().sentEmails.size() > sent; }, 10000));
    const auto email = fake->state().sentEmails.last();
    EXPECT_EQ(email.value(QStringLiteral("tessarine_id")), document->apiID());
    EXPECT_EQ(email.value(QStringLiteral("recipient")), QStringLiteral("bo@x.example"));
    const QString link = fake->contentURL(contentID, fake->state().contentItems.value(contentID).fileName).toString();
    EXPECT_TRUE(email.value(QStringLiteral("message")).contains(link))
        << email.value(QStringLiteral("message")).toStdString();
    EXPECT_FALSE(email.value(QStringLiteral("message")).contains(QLatin1String("file:")));
    EXPECT_TRUE(waitFor([&] { return pdf->emailVC() == nullptr; }, 5000)) << "the composer stayed open";

    QPointer<QVR_PDFViewerView> closingPdf(pdf);
    QTest::keyClick(pdf->scrollArea(), Qt::Key_Escape);
    EXPECT_TRUE(waitFor(
        [&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return !closingPdf;
        },
        5000));
}

} // namespace

namespace {

bool uploadManagerBusy()
{
    return ZERI_AssetUploadManager::sharedInstance().hasAssets();
}

bool hasPackage(const QString& id)
{
    for (const auto& package : ZERI_qvdFilePackage::allPackages()) {
        if (package->packageID() == id)
            return true;
    }
    return false;
}

// What a sign-out chosen while a document's files are on their way met.
struct SignOutWalk {
    bool uploadingSeen = false; // the publish sheet showed files on their way when Sign Out was chosen
    bool dialogueSeen = false;  // the sign-out dialogue showed
    QString windowTitle, headline, secondary, cancel;
    bool signOutReturned = false; // the Sign Out command has ended
    QString documentID;
};

// Publishes `window`'s document with every answer of the service `delayMs` late and, once its sheet shows files on
// their way, chooses Sign Out in the home window. `answer` then gets the sign-out dialogue on every tick until the
// command has ended. Returns when the publish command and the sign-out have both ended.
void signOutWhilePublishing(FakeWebService* fake, QVR_CreatorWindow* window, int delayMs, SignOutWalk& walk,
                            const std::function<void(QVRLogoutWindowController*)>& answer)
{
    walk.documentID = window->currentModel()->qvdID();
    bool filled = false;
    bool next = false;
    bool signOutChosen = false;
    bool published = false;
    QTimer signOut;
    signOut.setSingleShot(true);
    QObject::connect(&signOut, &QTimer::timeout, [&] {
        chooseMenuItem(application().listsWindow(), QStringLiteral("signIn"));
        walk.signOutReturned = true;
    });
    Answerer answerer(
        [&] {
            if (!next) {
                if (visibleTopLevel<QVREditTessarineDetailsWindowController>() && filled)
                    fake->setReplyDelay(delayMs);
                next = answerDetails(QStringLiteral("On its way"), filled);
                return;
            }
            if (auto* share = visibleTopLevel<QVRSharePostedTessarineWindowController>()) {
                click(share->doneButton());
                return;
            }
            if (!signOutChosen) {
                auto* sheet = shownPublishSheet();
                if (sheet &&
                    sheet->statusLabel()->text().startsWith(UFM::UPLOADING_X_OF_Y().section(QLatin1Char('%'), 0, 0))) {
                    signOutChosen = true;
                    walk.uploadingSeen = uploadManagerBusy();
                    signOut.start(0);
                }
                return;
            }
            if (walk.signOutReturned)
                return;
            auto* dialogue = visibleTopLevel<QVRLogoutWindowController>();
            if (!dialogue)
                return;
            if (!walk.dialogueSeen) {
                walk.dialogueSeen = true;
                walk.windowTitle = dialogue->windowTitle();
                walk.headline = dialogue->titleLabel()->text();
                walk.secondary =
                    dialogue->secondaryButton()->isVisible() ? dialogue->secondaryButton()->text() : QString();
                walk.cancel = dialogue->cancelButton()->text();
            }
            answer(dialogue);
        },
        60000);
    if (chooseMenuItem(window, QStringLiteral("publish")))
        published = true;
    EXPECT_TRUE(published);
    EXPECT_TRUE(waitFor([&] { return walk.signOutReturned; }, 60000)) << "the sign-out did not end";
    fake->setReplyDelay(0);
}

// Nothing of a document is left in the upload queue on disk, and no result of one of its assets is kept.
void expectQueueHoldsNothingOf(const std::vector<QString>& contentIDs)
{
    const QJsonDocument queue = queueFile(QStringLiteral("queue.json"));
    EXPECT_TRUE(queue.isNull() || queue.array().isEmpty()) << queue.toJson().toStdString();
    const QByteArray uploaded = queueFile(QStringLiteral("uploaded.json")).toJson();
    for (const QString& id : contentIDs)
        EXPECT_FALSE(uploaded.contains(id.toUtf8())) << id.toStdString();
}

void expectSignOutTexts(const SignOutWalk& walk)
{
    EXPECT_TRUE(walk.uploadingSeen) << "no files were on their way when Sign Out was chosen";
    EXPECT_TRUE(walk.dialogueSeen);
    EXPECT_EQ(walk.windowTitle, QStringLiteral("Sign Out"));
    EXPECT_EQ(walk.headline, QStringLiteral("Saving your Tessarines…"));
    EXPECT_EQ(walk.secondary, QStringLiteral("Sign Out Now"));
    EXPECT_EQ(walk.cancel, QStringLiteral("Cancel"));
}

// The windows left showing besides the home window.
QStringList otherWindows()
{
    QStringList shown;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget != application().listsWindow() && !qobject_cast<QMenu*>(widget))
            shown.append(QString::fromLatin1(widget->metaObject()->className()) + QLatin1Char(' ') +
                         widget->windowTitle());
    }
    return shown;
}

// Sign Out while a document's files are on their way, then Sign Out Now: the alert asks first; its Cancel leaves
// the saving going; its Sign Out cancels the uploads and signs out. Nothing of the first user's files stays queued
// or remembered, and the next user to sign in sees none of the first user's documents.
TEST_F(AccountWalkRoad, SignOutNowWhileFilesAreOnTheirWayCancelsThemAndLeavesNothingForTheNextUser)
{
    signInAnn();
    QTemporaryDir inputs;
    QVR_CreatorWindow* creator = documentWithPdf(inputs.path(), 12);
    ASSERT_TRUE(creator);
    SignOutWalk walk;
    int phase = 0;
    QString alertText, alertDetails;
    QStringList alertButtons;
    bool stillSavingAfterCancel = false;
    QElapsedTimer sinceCancel;
    signOutWhilePublishing(fake, creator, 2500, walk, [&](QVRLogoutWindowController* dialogue) {
        auto* alert = visibleTopLevel<QMessageBox>();
        switch (phase) {
        case 0:
            click(dialogue->secondaryButton());
            phase = 1;
            break;
        case 1:
            if (!alert)
                return;
            alertText = alert->text();
            alertDetails = alert->informativeText();
            for (QAbstractButton* button : alert->buttons())
                alertButtons.append(button->text());
            click(buttonReading(alert, QStringLiteral("Cancel")));
            sinceCancel.start();
            phase = 2;
            break;
        case 2:
            if (alert || sinceCancel.elapsed() < 300)
                return;
            stillSavingAfterCancel =
                dialogue->isVisible() && !Tessutils::corvikAuthToken().isEmpty() && uploadManagerBusy();
            click(dialogue->secondaryButton());
            phase = 3;
            break;
        case 3:
            if (!alert)
                return;
            click(buttonReading(alert, QStringLiteral("Sign Out")));
            phase = 4;
            break;
        default:
            break;
        }
    });
    expectSignOutTexts(walk);
    EXPECT_EQ(alertText, QStringLiteral("Sign Out Now"));
    EXPECT_EQ(alertDetails, QStringLiteral("Your changes will be lost. Are you sure?"));
    EXPECT_EQ(alertButtons, (QStringList{QStringLiteral("Cancel"), QStringLiteral("Sign Out")}));
    EXPECT_TRUE(stillSavingAfterCancel) << "Cancel in the alert stopped the saving";
    EXPECT_EQ(phase, 4);

    EXPECT_TRUE(Tessutils::corvikAuthToken().isEmpty());
    EXPECT_FALSE(uploadManagerBusy()) << "files still on their way after signing out";
    EXPECT_TRUE(waitFor([] { return otherWindows().isEmpty(); }, 5000)) << otherWindows().join(u", ").toStdString();
    std::vector<QString> annsContent;
    for (const auto& [id, item] : fake->state().contentItems.asKeyValueRange()) {
        if (item.owner == u"ann")
            annsContent.push_back(id);
    }
    expectQueueHoldsNothingOf(annsContent);

    ASSERT_TRUE(signInThroughWall(application().listsWindow(), QStringLiteral("bob@x.example"), QStringLiteral("pw2")));
    for (const auto& package : ZERI_qvdFilePackage::allPackages())
        EXPECT_NE(package->packageID(), walk.documentID) << "Bob sees Ann's document";
    for (const QString& id : annsContent)
        EXPECT_TRUE(ZERI_AssetUploadManager::sharedInstance().remoteURLForContentID(id).isEmpty());
}

// Sign Out while a document's files are on their way, then Cancel: the user stays signed in with every document,
// and the publish under way ends rather than waiting for ever.
TEST_F(AccountWalkRoad, CancellingTheSignOutWhileFilesAreOnTheirWayKeepsTheUserAndTheDocuments)
{
    signInAnn();
    QTemporaryDir inputs;
    QVR_CreatorWindow* creator = documentWithPdf(inputs.path(), 12);
    ASSERT_TRUE(creator);
    const QString token = Tessutils::corvikAuthToken();
    SignOutWalk walk;
    bool cancelled = false;
    signOutWhilePublishing(fake, creator, 1500, walk, [&](QVRLogoutWindowController* dialogue) {
        if (!cancelled) {
            cancelled = true;
            click(dialogue->cancelButton());
        }
    });
    expectSignOutTexts(walk);
    EXPECT_EQ(Tessutils::corvikAuthToken(), token) << "the user was signed out";
    EXPECT_TRUE(hasPackage(walk.documentID)) << "the document was deleted";
    EXPECT_TRUE(waitFor([] { return !shownPublishSheet(); }, 10000)) << "the publish sheet waits for ever";
    // The publish went on once the sign-out was cancelled.
    const auto document = creator->currentModel();
    ASSERT_TRUE(document);
    EXPECT_FALSE(document->apiID().isEmpty());
    EXPECT_TRUE(fake->state().documents.value(document->apiID()).published) << "the publish did not go on";
    // It ends as any publish does: the posted document's share window, closed with Done.
    QVRSharePostedTessarineWindowController* share = nullptr;
    ASSERT_TRUE(waitFor([&] { return (share = visibleTopLevel<QVRSharePostedTessarineWindowController>()); }));
    click(share->doneButton());
    EXPECT_TRUE(waitFor([] { return !visibleTopLevel<QVRSharePostedTessarineWindowController>(); }));
}

// Sign Out while a document's files are on their way, left to finish: the files arrive, the drafts are saved,
// the user is signed out and only the home window stays.
TEST_F(AccountWalkRoad, ASignOutLeftToFinishWhileFilesAreOnTheirWaySavesThenSignsOut)
{
    signInAnn();
    QTemporaryDir inputs;
    QVR_CreatorWindow* creator = documentWithPdf(inputs.path(), 6);
    ASSERT_TRUE(creator);
    const auto sentBefore = fake->state().contentItems;
    SignOutWalk walk;
    bool quickened = false;
    signOutWhilePublishing(fake, creator, 800, walk, [&](QVRLogoutWindowController*) {
        if (!quickened) {
            quickened = true;
            fake->setReplyDelay(0);
        }
    });
    expectSignOutTexts(walk);
    EXPECT_TRUE(Tessutils::corvikAuthToken().isEmpty());
    EXPECT_FALSE(uploadManagerBusy());
    EXPECT_TRUE(waitFor([] { return otherWindows().isEmpty(); }, 5000)) << otherWindows().join(u", ").toStdString();
    bool saved = false;
    for (const FakeWebService::Document& document : fake->state().documents)
        saved = saved || (document.owner == u"ann" && document.documentJson.contains(walk.documentID));
    EXPECT_TRUE(saved) << "the draft did not reach the service before the sign-out";
    std::vector<QString> annsContent;
    for (const auto& [id, item] : fake->state().contentItems.asKeyValueRange()) {
        if (item.owner == u"ann")
            annsContent.push_back(id);
    }
    EXPECT_FALSE(annsContent.empty());
    // The files the publish had on their way were not sent a second time for the sign-out's save.
    QStringList sentFiles;
    for (const QString& id : annsContent) {
        if (!sentBefore.contains(id))
            sentFiles.append(fake->state().contentItems.value(id).fileName);
    }
    EXPECT_FALSE(sentFiles.isEmpty());
    EXPECT_EQ(QSet<QString>(sentFiles.begin(), sentFiles.end()).size(), sentFiles.size())
        << sentFiles.join(u", ").toStdString();
    expectQueueHoldsNothingOf(annsContent);
    signInAnn();
}

// Sign Out with two changed documents, only one of which has files to send (the other's all went with its last
// save, and a new title adds none): the files go, both drafts are saved, and the user is signed out, rather than the
// dialogue waiting for ever for a document with nothing to send.
TEST_F(AccountWalkRoad, ASignOutSavesADocumentWithNothingToSendBesideOneWithFiles)
{
    signInAnn();
    QVR_CreatorWindow* renamed = createDocumentFromPlusTile();
    ASSERT_TRUE(renamed);
    const auto renamedDocument = renamed->currentModel();
    // Its screen's preview drawn first, so that the save sends every file the document has.
    const auto screen = shownScreen(renamed);
    ASSERT_TRUE(waitFor([&] {
        return screen->previewScreenShotAsset() && !screen->previewInvalidated() && !screen->gettingScreenPreview();
    }));
    ASSERT_TRUE(chooseMenuItem(renamed, QStringLiteral("saveDraft")));
    ASSERT_TRUE(waitFor([&] { return !renamedDocument->apiID().isEmpty(); })) << "the first draft was not saved";
    // The title editor: a new title, kept with Return.
    click(renamed->theToolBarView()->titleLabel());
    QLineEdit* title = nullptr;
    ASSERT_TRUE(waitFor([&] {
        auto* editor = renamed->findChild<QVRTitleAndDescriptionEditorViewController*>();
        title = editor ? editor->findChild<QLineEdit*>(QStringLiteral("title")) : nullptr;
        return title && title->hasFocus();
    }));
    title->selectAll();
    UserInput::typeText(title, QStringLiteral("Renamed"));
    UserInput::pressKey(title, Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return renamedDocument->title() == u"Renamed"; }));

    QTemporaryDir inputs;
    QVR_CreatorWindow* withFiles = documentWithPdf(inputs.path(), 2);
    ASSERT_TRUE(withFiles);
    const QString withFilesID = withFiles->currentModel()->qvdID();

    // The dialogue is left to finish; one still showing after half a minute waits for ever, and is cancelled.
    QElapsedTimer sinceShown;
    QString stuckOn;
    Answerer answer(
        [&] {
            auto* dialogue = visibleTopLevel<QVRLogoutWindowController>();
            if (!dialogue || !stuckOn.isEmpty())
                return;
            if (!sinceShown.isValid())
                sinceShown.start();
            if (sinceShown.elapsed() > 30000) {
                stuckOn = dialogue->statusLabel()->text();
                click(dialogue->cancelButton());
            }
        },
        60000);
    ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("signIn")));
    ASSERT_TRUE(stuckOn.isEmpty()) << "the sign-out dialogue waited for ever on \"" << stuckOn.toStdString() << '"';
    EXPECT_TRUE(waitFor([] { return Tessutils::corvikAuthToken().isEmpty(); }, 30000))
        << "still signed in; shown: " << otherWindows().join(u", ").toStdString();
    EXPECT_TRUE(waitFor([] { return otherWindows().isEmpty(); }, 5000)) << otherWindows().join(u", ").toStdString();
    const FakeWebService::State state = fake->state();
    const auto renamedOnService = state.documents.constFind(renamedDocument->apiID());
    ASSERT_NE(renamedOnService, state.documents.constEnd());
    EXPECT_TRUE(renamedOnService->documentJson.contains(QStringLiteral("Renamed"))) << "the new title was not saved";
    bool withFilesSaved = false;
    for (const FakeWebService::Document& document : state.documents)
        withFilesSaved = withFilesSaved || (document.owner == u"ann" && document.documentJson.contains(withFilesID));
    EXPECT_TRUE(withFilesSaved) << "the document with files was not saved";
    ZERI_AuthenticationHandler::waitForSignOutsForTesting();
    signInAnn();
}

} // namespace

namespace {

// Every text of the document text that starts with `prefix`.
QStringList textsIn(const QString& documentJson, const QString& prefix)
{
    QStringList found;
    const QJsonValue root = QJsonDocument::fromJson(documentJson.toUtf8()).object();
    std::function<void(const QJsonValue&)> walk = [&](const QJsonValue& value) {
        if (value.isArray()) {
            for (const QJsonValue& item : value.toArray())
                walk(item);
        } else if (value.isObject()) {
            for (const QJsonValue& item : value.toObject())
                walk(item);
        } else if (value.isString() && value.toString().startsWith(prefix)) {
            found.append(value.toString());
        }
    };
    walk(root);
    return found;
}

// A screen edited and published at once, its new preview still being drawn when the publish queued the document's
// files: the preview arrives while the files are on their way, is sent too, and the copy the service keeps names
// it at the service's address, never at the file on this computer.
TEST_F(AccountWalkRoad, APreviewDrawnWhileThePublishSendsFilesIsSentBeforeTheDocument)
{
    signInAnn();
    QTemporaryDir inputs;
    QVR_CreatorWindow* creator = documentWithPdf(inputs.path(), 2);
    ASSERT_TRUE(creator);
    const auto screen = shownScreen(creator);
    ASSERT_TRUE(screen);
    ASSERT_TRUE(waitFor([&] {
        return screen->previewScreenShotAsset() && !screen->previewInvalidated() && !screen->gettingScreenPreview();
    }));

    // The next drawing of a preview is held until the publish has queued its files.
    struct Hold {
        std::atomic<bool> armed{true};
        std::atomic<bool> drawing{false};
        std::atomic<bool> released{false};
    };
    const auto hold = std::make_shared<Hold>();
    QVRScreenPreviewGenerator::setDrawProbeForTesting([hold](bool started) {
        if (!started || !hold->armed.exchange(false))
            return;
        hold->drawing = true;
        QElapsedTimer held;
        held.start();
        while (!hold->released && held.elapsed() < 20000)
            QThread::msleep(5);
    });
    struct Unhold {
        std::shared_ptr<Hold> hold;
        ~Unhold()
        {
            hold->released = true;
            QVRScreenPreviewGenerator::setDrawProbeForTesting(nullptr);
        }
    } unhold{hold};

    const auto previewBefore = screen->previewScreenShotAsset();
    ASSERT_TRUE(insert(creator, &QVR_AddElementMenuViewController::textCell));
    ASSERT_TRUE(waitFor([&] { return hold->drawing.load(); })) << "the edit drew no new preview";

    // The files go slowly; the preview is let go once the publish sheet shows them on their way, and arrives
    // before the first of them.
    fake->setReplyDelay(2500);
    const int createsBefore = fake->requestCount(QStringLiteral("tessarine.create"));
    bool lateBeforeSave = false;
    QTimer release;
    release.setInterval(20);
    QObject::connect(&release, &QTimer::timeout, [&] {
        auto* sheet = shownPublishSheet();
        if (!hold->released && sheet && ZERI_AssetUploadManager::sharedInstance().isUploading())
            hold->released = true;
        if (hold->released && screen->previewScreenShotAsset() != previewBefore && !lateBeforeSave) {
            lateBeforeSave = fake->requestCount(QStringLiteral("tessarine.create")) == createsBefore;
            fake->setReplyDelay(0);
        }
    });
    release.start();
    ASSERT_TRUE(publishThroughSheets(creator, QStringLiteral("Late preview")));
    release.stop();
    ASSERT_TRUE(hold->released.load());
    ASSERT_TRUE(lateBeforeSave) << "the preview did not arrive while the files were on their way";

    const auto document = creator->currentModel();
    ASSERT_TRUE(document && !document->apiID().isEmpty());
    const auto preview = screen->previewScreenShotAsset();
    ASSERT_TRUE(preview && preview != previewBefore);
    EXPECT_FALSE(preview->corvikContentID().isEmpty()) << "the late preview was not sent";
    const FakeWebService::Document received = fake->state().documents.value(document->apiID());
    EXPECT_TRUE(received.published);
    for (const QString& sent : {received.publishedJson, received.documentJson}) {
        const QStringList local = textsIn(sent, QStringLiteral("file:"));
        EXPECT_TRUE(local.isEmpty()) << "the service's copy names files here: " << local.join(u", ").toStdString();
    }
    const QString previewURL =
        ZERI_AssetUploadManager::sharedInstance().remoteURLForContentID(preview->corvikContentID());
    ASSERT_FALSE(previewURL.isEmpty());
    EXPECT_EQ(textsIn(received.publishedJson, previewURL).size(), 1) << "the service's copy misses the late preview";
}

} // namespace

namespace {

// The service answering slowly is not the computer being offline: the sign-in wall says nothing about the
// connection while its check waits past its time for the slow answer, and signing in through it works.
TEST_F(AccountWalkRoad, ASlowServiceIsNotCalledOfflineOnTheSignInWall)
{
    signInAnn();
    ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("signIn"))); // signed in, the item signs out
    ASSERT_TRUE(waitFor([] { return Tessutils::corvikAuthToken().isEmpty(); }));
    // The wall's check gives up waiting sooner than its usual five seconds, and the service answers later still.
    constexpr int kProbeMs = 400;
    ServiceReachability::setProbeTimeoutMsForTesting(kProbeMs);
    struct Restore {
        ~Restore() { ServiceReachability::setProbeTimeoutMsForTesting(0); }
    } restore;
    fake->setReplyDelay(3 * kProbeMs);

    QPointer<QVRRegisterWallWindowController> wall;
    QElapsedTimer shown;
    QString notice;
    bool submitted = false;
    Answerer answer([&] {
        if (!wall)
            wall = visibleTopLevel<QVRRegisterWallWindowController>();
        if (!wall || !wall->isVisible())
            return;
        if (!shown.isValid())
            shown.start();
        if (notice.isEmpty())
            notice = wall->serviceNoticeShown();
        // Well past the check's time and the slow answer, the user signs in.
        if (!submitted && shown.elapsed() >= 6 * kProbeMs)
            submitted = answerWallWithSignIn(wall, QStringLiteral("ann@x.example"), QStringLiteral("pw"));
    });
    ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("signIn")));
    ASSERT_TRUE(waitFor([] { return !visibleTopLevel<QVRRegisterWallWindowController>(); }, 15000));
    EXPECT_TRUE(submitted);
    EXPECT_TRUE(notice.isEmpty()) << "the wall said: " << notice.toStdString();
    EXPECT_EQ(Tessutils::corvikUserDict().stringForKey(QStringLiteral("username")), QStringLiteral("ann"));
}

} // namespace

#include <gtest/gtest.h>

#include <cstdio>

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QObject>
#include <QPointer>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "ServiceTestSupport.h"
#include "foundation/Tessutils.h"
#include "platform/AppPaths.h"
#include "service/CorvikBlockAPIBinding.h"
#include "service/OpenRequestUi.h"
#include "service/ZERI_APIBinding.h"
#include "service/QVROpenRequest.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"
#include "support/QtPrinters.h"
#include "support/TestEnvironment.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_FlowLink.h"

namespace {

const QString kGetByStringID = QStringLiteral("tessarine.getByStringId");

// Every call the request makes on its user interface, in order, as text.
struct UiLog {
    QStringList calls;
    void add(const QString& call) { calls.append(call); }
};

struct FakeWindow : QVROpenRequestDelegate {
    explicit FakeWindow(UiLog& log, QString name)
        : m_log(log)
        , m_name(std::move(name))
    {
    }
    void openRequesterWantsToDisplayLoadingView(QObject* view) override
    {
        m_log.add(m_name + ".loadingView:" + (view ? view->objectName() : QStringLiteral("none")));
    }
    void openRequesterHasFinishedLoadingModel(const std::shared_ptr<ZERI_TessarineModel>& model) override
    {
        models.push_back(model);
        m_log.add(m_name + ".model:" + model->stringID());
    }
    std::vector<std::shared_ptr<ZERI_TessarineModel>> models;

private:
    UiLog& m_log;
    QString m_name;
};

// A window that is also a QObject, so that it can go away while the request runs.
struct ObjectWindow : QObject, FakeWindow {
    ObjectWindow(UiLog& log, const QString& name)
        : FakeWindow(log, name)
    {
    }
};

struct FakePanel : ViewerDownloadPanel {
    FakePanel(UiLog& log, std::function<void()>& closeButton)
        : m_log(log)
        , m_closeButton(closeButton)
    {
        m_view.setObjectName(QStringLiteral("downloadPanel"));
    }
    QObject* view() override { return &m_view; }
    void setInformation(const std::shared_ptr<ZERI_TessarineModel>& model) override
    {
        m_log.add("panel.information:" + model->stringID());
    }
    void updateProgress(double progress) override { m_log.add("panel.progress:" + QString::number(progress)); }
    // Like a close button's handler, the panel runs its own close block and goes on using itself afterwards.
    void setCloseBlock(std::function<void()> onClose) override
    {
        m_closeBlock = std::move(onClose);
        m_closeButton = [this] {
            m_closeBlock();
            ++m_closeClicks;
        };
    }
    void removeView() override { m_log.add(QStringLiteral("panel.removeView")); }

private:
    UiLog& m_log;
    std::function<void()>& m_closeButton;
    std::function<void()> m_closeBlock;
    int m_closeClicks = 0;
    QObject m_view;
};

class FakeOpenRequestUi : public OpenRequestUi {
public:
    explicit FakeOpenRequestUi(UiLog& log)
        : m_log(log)
        , creator(log, "creator")
        , viewer(log, "viewer")
        , tablet(log, "tablet")
    {
    }

    bool showTemplateChooser() override
    {
        m_log.add(QStringLiteral("templateChooser"));
        return true;
    }
    QVROpenRequestDelegate* creatorWindowForOpen() override
    {
        m_log.add(QStringLiteral("creatorWindow"));
        return &creator;
    }
    // Like the window manager: the viewer showing a document is found by the document's id.
    QVROpenRequestDelegate* viewerWindowForModel(const std::shared_ptr<ZERI_TessarineModel>& model) override
    {
        return model && !shownID.isEmpty() && model->qvdID() == shownID ? &shown : nullptr;
    }
    QVROpenRequestDelegate* makeViewerWindowForModel(const std::shared_ptr<ZERI_TessarineModel>& model) override
    {
        m_log.add(QStringLiteral("makeViewerWindow:") + (model ? QStringLiteral("model") : QStringLiteral("none")));
        if (viewerAsObject) {
            objectViewer = new ObjectWindow(m_log, QStringLiteral("objectViewer"));
            return objectViewer;
        }
        return &viewer;
    }
    QVROpenRequestDelegate* makeiPadPreviewWindow() override
    {
        m_log.add(QStringLiteral("makeTabletWindow"));
        return &tablet;
    }
    void closeWindowBeingPrepared(QVROpenRequestDelegate* window) override
    {
        const QString name = window == &viewer    ? "viewer"
                             : window == &creator ? "creator"
                             : window == &tablet  ? "tablet"
                             : window == &shown   ? "shown"
                                                  : "objectViewer";
        m_log.add("close:" + name);
    }
    QObject* makeLoadingView(const QString& text) override
    {
        m_log.add("makeLoadingView:" + text);
        // The request takes the view and deletes it when its work ends.
        auto* view = new QObject;
        view->setObjectName(QStringLiteral("loading"));
        loadingViews.append(view);
        return view;
    }
    std::unique_ptr<ViewerDownloadPanel> makeDownloadPanel() override
    {
        m_log.add(QStringLiteral("makeDownloadPanel"));
        return std::make_unique<FakePanel>(m_log, closePanel);
    }
    bool showPasswordPrompt(const QString& stringID, std::function<void(const QString&)> onUnlocked,
                            std::function<void()> onDismissed) override
    {
        m_log.add("passwordPrompt:" + stringID);
        unlock = std::move(onUnlocked);
        dismiss = std::move(onDismissed);
        return true;
    }
    bool showRegisterWall(const QString& message, std::function<void(bool)> onDone) override
    {
        m_log.add("registerWall:" + message);
        answerRegisterWall = std::move(onDone);
        return true;
    }

    std::function<void(const QString&)> unlock;
    std::function<void()> dismiss;
    std::function<void(bool)> answerRegisterWall;
    // Clicks the close button of the download panel on display.
    std::function<void()> closePanel;
    // The document id of the viewer `shown` (none when empty).
    QString shownID;
    // New viewer windows are QObjects made on the heap (the test deletes them) instead of `viewer`.
    bool viewerAsObject = false;
    QPointer<ObjectWindow> objectViewer;
    // The loading views handed out, until the request deletes them.
    QList<QPointer<QObject>> loadingViews;

private:
    UiLog& m_log;

public:
    FakeWindow creator;
    FakeWindow viewer;
    FakeWindow tablet;
    FakeWindow shown{m_log, "shown"};
};

struct DoneRecord {
    int calls = 0;
    Error error;
};

class OpenRequestTest : public ServiceTest {
protected:
    void SetUp() override
    {
        ServiceTest::SetUp();
        ASSERT_TRUE(m_support.isValid());
        AppPaths::setApplicationSupportForTesting(m_support.path());
        ZERI_qvdFilePackage::resetForTesting();
        m_ui = std::make_shared<FakeOpenRequestUi>(m_log);
        OpenRequestUi::registerUi(m_ui);
        m_service.addUser(QStringLiteral("bob"));
    }
    void TearDown() override
    {
        OpenRequestUi::registerUi(nullptr);
        ZERI_qvdFilePackage::resetForTesting();
        AppPaths::setApplicationSupportForTesting(QString());
        Tessutils::setCorvikUserDict(std::nullopt);
        ServiceTest::TearDown();
    }

    // A published document of "bob" whose first screen preview is served by the fake service.
    FakeWebService::Document addDocument(const QString& stringID, const QString& password = {}, bool published = true,
                                         const QString& linkedStringID = {})
    {
        auto model = ZERI_TessarineModel::create();
        auto screen = ZERI_FlowScreenModel::create();
        model->firstFlowmodel()->addFlowScreen(screen);
        auto preview = ZERI_ContentAsset::create();
        preview->setExternalURL(m_service.addContent(stringID + "-preview", QByteArray(2000, 'p'), "preview.jpg"));
        screen->setPreviewScreenShotAsset(preview);
        if (!linkedStringID.isEmpty()) {
            auto link = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Link);
            // A flow link is not a valid URL, so it travels as a flow-link action's text.
            auto action = std::make_shared<ZERI_MMAction_FlowLink>();
            action->setFlowLink("flowLink://stringID=" + linkedStringID + "&screenIndex=0");
            link->object()->setAction(action);
            screen->addMixedMediaObject(link);
        }
        FakeWebService::Document document;
        document.stringID = stringID;
        document.owner = QStringLiteral("bob");
        document.title = QStringLiteral("Talk ") + stringID;
        document.description = QStringLiteral("About ") + stringID;
        document.password = password;
        document.published = published;
        document.documentJson = QString::fromUtf8(model->jsonData());
        document.publishedJson = published ? document.documentJson : QString();
        return m_service.addDocument(document);
    }

    std::shared_ptr<DoneRecord> open(const OpenCue& cue, int options)
    {
        auto record = std::make_shared<DoneRecord>();
        m_request = QVROpenRequest::request();
        m_request->setOpenCue(cue);
        m_request->setOptions(options);
        m_request->open([record](const Error& error) {
            ++record->calls;
            record->error = error;
        });
        return record;
    }
    bool waitForEnd(const std::shared_ptr<DoneRecord>& record)
    {
        return waitUntil([&] { return record->calls > 0; });
    }

    QTemporaryDir m_support;
    UiLog m_log;
    std::shared_ptr<FakeOpenRequestUi> m_ui;
    std::shared_ptr<QVROpenRequest> m_request;
};

} // namespace

TEST_F(OpenRequestTest, OpensAPublishedDocumentByStringIdInAViewerAndKeepsItInAPackage)
{
    addDocument(QStringLiteral("abc123"));
    const auto done = open(QStringLiteral("abc123"), 137);
    ASSERT_TRUE(waitForEnd(done));
    EXPECT_TRUE(done->error.isNull()) << done->error.message.toStdString();
    EXPECT_FALSE(waitUntil([&] { return done->calls > 1; }, 100));

    const QStringList expectedStart{"makeViewerWindow:none",      "makeLoadingView:" + UFM::FETCHING_TESSARINE_TEXT(),
                                    "viewer.loadingView:loading", "makeDownloadPanel",
                                    "panel.information:abc123",   "viewer.loadingView:downloadPanel"};
    ASSERT_GE(m_log.calls.size(), expectedStart.size()) << m_log.calls.join("\n").toStdString();
    EXPECT_EQ(m_log.calls.mid(0, expectedStart.size()), expectedStart);
    EXPECT_EQ(m_log.calls.mid(m_log.calls.size() - 3),
              QStringList({"panel.progress:1", "panel.removeView", "viewer.model:abc123"}));
    ASSERT_EQ(m_ui->viewer.models.size(), 1u);
    EXPECT_EQ(m_ui->viewer.models.front()->stringID(), "abc123");

    const auto package = ZERI_qvdFilePackage::packageForStringID(QStringLiteral("abc123"));
    ASSERT_TRUE(package);
    EXPECT_TRUE(package->publishedVersionExists());
    EXPECT_EQ(package->metaData().packageType() & ZERI_qvdFilePackage::OwnDocument, 0);
    EXPECT_EQ(package->metaData().tessarineName(), "Talk abc123");
    EXPECT_EQ(package->metaData().tessarineDescription(), "About abc123"); // and so a copy made of it

    // Opened again, the files are on disk: no panel, straight to the window.
    m_log.calls.clear();
    const auto again = open(QStringLiteral("https://www.tessarine.com/s/abc123/talk-abc123/e"), 137);
    ASSERT_TRUE(waitForEnd(again));
    EXPECT_TRUE(again->error.isNull());
    EXPECT_FALSE(m_log.calls.contains("makeDownloadPanel"));
    EXPECT_EQ(m_log.calls.last(), "viewer.model:abc123");
}

TEST_F(OpenRequestTest, PasswordPromptUnlocksTheDocumentAndDismissingItCancels)
{
    addDocument(QStringLiteral("locked1"), QStringLiteral("sesame"));
    auto done = open(QStringLiteral("locked1"), 137);
    ASSERT_TRUE(waitUntil([&] { return bool(m_ui->unlock); }));
    EXPECT_TRUE(m_log.calls.contains("passwordPrompt:locked1"));
    EXPECT_EQ(done->calls, 0);

    // What the prompt does when the user types the right password.
    const auto reply = callAndWait([](BlockRequester::Completion completion) {
        return ZERI_APIBinding::getTessarineByStringId("locked1", QString(), "sesame", completion);
    });
    m_ui->unlock(reply->text);
    ASSERT_TRUE(waitForEnd(done));
    EXPECT_TRUE(done->error.isNull()) << done->error.message.toStdString();
    ASSERT_EQ(m_ui->viewer.models.size(), 1u);
    EXPECT_EQ(m_ui->viewer.models.front()->stringID(), "locked1");

    m_ui->unlock = {};
    m_log.calls.clear();
    auto dismissed = open(QStringLiteral("https://www.tessarine.com/s/locked1"), 128 | 8);
    ASSERT_TRUE(waitUntil([&] { return bool(m_ui->dismiss) && bool(m_ui->unlock); }));
    m_ui->dismiss();
    ASSERT_EQ(dismissed->calls, 1);
    EXPECT_EQ(dismissed->error.code, QVROpenRequest::Cancelled);
    EXPECT_EQ(dismissed->error.domain, "com.tessarine.QVRTessarineOpenRequestError");
    EXPECT_EQ(m_log.calls.last(), "close:viewer");
}

TEST_F(OpenRequestTest, SignInWallRetriesAfterSigningInAndEndsWhenDeclined)
{
    addDocument(QStringLiteral("draft1"), {}, /*published=*/false);
    auto done = open(QStringLiteral("draft1"), 8); // the owner's draft, in a creator window
    ASSERT_TRUE(waitUntil([&] { return bool(m_ui->answerRegisterWall); }));
    EXPECT_TRUE(m_log.calls.contains(
        QStringLiteral("registerWall:You need a free account to do that.\nWould you like to create one now?")))
        << m_log.calls.join(", ").toStdString();
    Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN-bob"));
    Tessutils::setCorvikUserDict(SafeDictionary(QJsonObject{{"username", "bob"}}));
    m_ui->answerRegisterWall(true);
    ASSERT_TRUE(waitForEnd(done));
    EXPECT_TRUE(done->error.isNull()) << done->error.message.toStdString();
    EXPECT_EQ(m_service.requestCount(kGetByStringID), 2);
    ASSERT_EQ(m_ui->creator.models.size(), 1u);
    const auto package = ZERI_qvdFilePackage::packageForStringID(QStringLiteral("draft1"));
    ASSERT_TRUE(package);
    EXPECT_EQ(package->metaData().packageType() & ZERI_qvdFilePackage::OwnDocument, ZERI_qvdFilePackage::OwnDocument);

    Tessutils::setCorvikAuthToken(QString());
    addDocument(QStringLiteral("draft2"), {}, false);
    m_ui->answerRegisterWall = {};
    m_log.calls.clear();
    auto declined = open(QStringLiteral("draft2"), 137);
    ASSERT_TRUE(waitUntil([&] { return bool(m_ui->answerRegisterWall); }));
    m_ui->answerRegisterWall(false);
    ASSERT_EQ(declined->calls, 1);
    EXPECT_EQ(declined->error.code, QVROpenRequest::SignInRequired);
    EXPECT_EQ(declined->error.message, UFM::YOU_NEED_A_FREE_ACCOUNT());
    EXPECT_EQ(m_log.calls.last(), "close:viewer");
}

TEST_F(OpenRequestTest, CancelEndsWithCodeEightAndNothingIsCalledAfterwards)
{
    addDocument(QStringLiteral("slow1"));
    m_service.injectReply(kGetByStringID, FakeHttpReply::json({}).delayed(300), 1);
    auto done = open(QStringLiteral("slow1"), 137);
    ASSERT_TRUE(waitUntil([&] { return m_service.requestCount(kGetByStringID) == 1; }));
    m_request->cancel();
    ASSERT_EQ(done->calls, 1);
    EXPECT_EQ(done->error.code, QVROpenRequest::Cancelled);
    EXPECT_EQ(m_log.calls.last(), "close:viewer");
    const int callsAtCancel = int(m_log.calls.size());
    m_request->cancel();
    EXPECT_FALSE(waitUntil([&] { return done->calls > 1 || m_log.calls.size() > callsAtCancel; }, 600));
}

// Malformed, unknown and broken documents end with a text from UFM and leave no window open.
TEST_F(OpenRequestTest, BadCuesEndWithAnErrorAndNoWindowLeftOpen)
{
    for (const char* malformed : {"not an id!", "", "https://example.com/s/abc123", "https://www.tessarine.com/x/abc",
                                  "https://www.tessarine.com/s/abc/title/zz", "ftp://www.tessarine.com/s/abc"}) {
        m_log.calls.clear();
        auto done = open(QString::fromUtf8(malformed), 137);
        ASSERT_EQ(done->calls, 1) << malformed;
        EXPECT_EQ(done->error.code, QVROpenRequest::BadCue);
        EXPECT_EQ(done->error.message, UFM::ERROR_DOWNLOADING_TESSARINE());
        EXPECT_TRUE(m_log.calls.isEmpty()) << m_log.calls.join(", ").toStdString();
    }

    m_log.calls.clear();
    auto unknown = open(QStringLiteral("nosuch1"), 137);
    ASSERT_TRUE(waitForEnd(unknown));
    EXPECT_EQ(unknown->error.code, QVROpenRequest::NotFound);
    EXPECT_EQ(unknown->error.message, UFM::TESSARINE_WITH_STRINGID_NOT_FOUND().arg("nosuch1"));
    EXPECT_EQ(m_log.calls.last(), "close:viewer");

    // A service error on a known document is worth a second try; the text says so.
    m_service.injectReply(kGetByStringID, FakeHttpReply::serviceError(QStringLiteral("500"), QStringLiteral("busy")));
    auto busy = open(QStringLiteral("nosuch2"), 137);
    ASSERT_TRUE(waitForEnd(busy));
    EXPECT_EQ(busy->error.code, QVROpenRequest::NotFound);
    EXPECT_EQ(busy->error.message,
              QStringLiteral("There was an error downloading this Tessarine. Please try opening the Tessarine again."));

    // Refused (another's private document), it is not worth a second try: the service's words say why.
    m_service.injectReply(kGetByStringID, FakeHttpReply::serviceError(QStringLiteral("700"), QStringLiteral("No way")));
    auto refused = open(QStringLiteral("nosuch3"), 137);
    ASSERT_TRUE(waitForEnd(refused));
    EXPECT_EQ(refused->error.message, UFM::ERROR_DOWNLOADING_TESSARINE() + QStringLiteral("\nNo way"));

    auto alias = open(QVROpenRequest::shortLinkBase() + "nosuchalias", 137);
    ASSERT_TRUE(waitForEnd(alias));
    EXPECT_EQ(alias->error.message, UFM::ERROR_DOWNLOADING_TESSARINE_ALIAS());

    FakeWebService::Document broken;
    broken.stringID = QStringLiteral("broken1");
    broken.owner = QStringLiteral("bob");
    broken.published = true;
    broken.publishedJson = QStringLiteral(R"({"tessarine":{"flows":"not a list"}})");
    m_service.addDocument(broken);
    m_log.calls.clear();
    auto unreadable = open(QStringLiteral("broken1"), 137);
    ASSERT_TRUE(waitForEnd(unreadable));
    EXPECT_EQ(unreadable->error.code, QVROpenRequest::BrokenDocument);
    EXPECT_EQ(m_log.calls.last(), "close:viewer");
    EXPECT_FALSE(ZERI_qvdFilePackage::packageForStringID(QStringLiteral("broken1")));
}

TEST_F(OpenRequestTest, ShareAddressesNameAStringIdOrAnAlias)
{
    using Kind = QVROpenRequest::ParsedCue::Kind;
    const auto parse = [](const QString& text) { return QVROpenRequest::parseCue(text); };
    for (const char* address :
         {"abc123", "https://www.tessarine.com/s/abc123", "https://www.tessarine.com/s/abc123/my-talk",
          "https://www.tessarine.com/s/abc123/my-talk/f", "https://www.tessarine.com/s/abc123/t",
          "www.tessarine.com/s/abc123", "  abc123\n"}) {
        const auto parsed = parse(QString::fromUtf8(address));
        ASSERT_TRUE(parsed) << address;
        EXPECT_EQ(parsed->kind, Kind::StringID);
        EXPECT_EQ(parsed->value, "abc123");
    }
    const auto alias = parse(QVROpenRequest::shortLinkBase() + "my-talk");
    ASSERT_TRUE(alias);
    EXPECT_EQ(alias->kind, Kind::Alias);
    EXPECT_EQ(alias->value, "my-talk");
    for (const char* bad : {"abc 123", "https://www.tessarine.com/s/", "http://www.tessarine.com/s/abc123",
                            "https://www.tessarine.com:8443/s/abc123", "https://user@www.tessarine.com/s/abc",
                            "https://www.tessarine.com/s/abc123/a/b", "https://www.tessarine.com/s/ab%20c"}) {
        EXPECT_FALSE(parse(QString::fromUtf8(bad))) << bad;
    }
}

TEST_F(OpenRequestTest, NewDocumentCueShowsTheTemplateChooser)
{
    auto done = open(NewDocumentCue{}, 0);
    ASSERT_EQ(done->calls, 1);
    EXPECT_TRUE(done->error.isNull());
    EXPECT_EQ(m_log.calls, QStringList({"templateChooser"}));
}

TEST_F(OpenRequestTest, EmbeddedDocumentsAreFetchedUnlessAskedNotTo)
{
    addDocument(QStringLiteral("inner1"));
    addDocument(QStringLiteral("outer1"), {}, true, QStringLiteral("inner1"));
    auto done = open(QStringLiteral("outer1"), 137);
    ASSERT_TRUE(waitForEnd(done));
    EXPECT_TRUE(done->error.isNull());
    const auto inner = ZERI_qvdFilePackage::packageForStringID(QStringLiteral("inner1"));
    ASSERT_TRUE(inner);
    EXPECT_TRUE(inner->publishedVersionExists());

    addDocument(QStringLiteral("inner2"));
    addDocument(QStringLiteral("outer2"), {}, true, QStringLiteral("inner2"));
    auto skipping = open(QStringLiteral("outer2"), 137 | 2048);
    ASSERT_TRUE(waitForEnd(skipping));
    EXPECT_FALSE(ZERI_qvdFilePackage::packageForStringID(QStringLiteral("inner2")));
}

TEST_F(OpenRequestTest, ADocumentInMemoryOpensInTheWindowItsOptionsName)
{
    auto model = ZERI_TessarineModel::create();
    model->setStringID(QStringLiteral("local1"));
    auto tablet = open(model, 512);
    ASSERT_TRUE(waitForEnd(tablet));
    EXPECT_TRUE(tablet->error.isNull());
    EXPECT_EQ(m_log.calls, QStringList({"makeTabletWindow", "tablet.model:local1"}));

    m_log.calls.clear();
    auto creator = open(model, 0);
    ASSERT_TRUE(waitForEnd(creator));
    EXPECT_EQ(m_log.calls, QStringList({"creatorWindow", "creator.model:local1"}));

    // A delegate set by the caller takes the place of a creator window, never of a viewer window.
    FakeWindow own(m_log, "own");
    for (const int options : {0, 128}) {
        m_log.calls.clear();
        auto request = QVROpenRequest::request();
        request->setOpenCue(model);
        request->setOptions(options);
        request->setDelegate(&own);
        request->open();
        ASSERT_TRUE(waitUntil([&] { return request->isFinished(); }));
        EXPECT_EQ(m_log.calls.last(), options ? "viewer.model:local1" : "own.model:local1");
    }

    // Cancelled before it was opened, a request never starts.
    m_log.calls.clear();
    auto never = QVROpenRequest::request();
    never->setOpenCue(model);
    never->cancel();
    int doneCalls = 0;
    never->open([&](const Error&) { ++doneCalls; });
    EXPECT_EQ(doneCalls, 0);
    EXPECT_TRUE(m_log.calls.isEmpty());
}

// The own draft stored here: edits not yet on the service are never replaced by the server copy; a draft
// with nothing unsaved is replaced when the server copy is newer, and kept with bit 16 while it is not older.
TEST_F(OpenRequestTest, TheLocalDraftIsKeptWhileItHoldsUnsavedEditsOrIsNotOlderWithBitSixteen)
{
    Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN-bob"));
    Tessutils::setCorvikUserDict(SafeDictionary(QJsonObject{{"username", "bob"}}));
    const auto document = addDocument(QStringLiteral("mine1"), {}, /*published=*/false);
    ASSERT_TRUE(waitForEnd(open(QStringLiteral("mine1"), 8)));
    const auto package = ZERI_qvdFilePackage::packageForStringID(QStringLiteral("mine1"));
    ASSERT_TRUE(package);
    EXPECT_FALSE(package->hasSomethingToSaveToCloud());

    const auto setServerCopy = [&](const QString& description, const QDateTime& updated) {
        auto model = ZERI_TessarineModel::initWithJsonData(document.documentJson.toUtf8());
        model->setDescription(description);
        m_service.withState([&](FakeWebService::State& state) {
            state.documents[document.id].documentJson = QString::fromUtf8(model->jsonData());
            state.documents[document.id].updated = updated.toString(Qt::ISODate);
        });
    };
    const auto openedDescription = [&](int options) {
        m_ui->creator.models.clear();
        const auto done = open(QStringLiteral("mine1"), options);
        EXPECT_TRUE(waitForEnd(done));
        EXPECT_TRUE(done->error.isNull());
        return m_ui->creator.models.empty() ? QStringLiteral("(none)") : m_ui->creator.models.back()->description();
    };

    package->model()->setDescription(QStringLiteral("local edit"));
    ASSERT_TRUE(package->saveModel());
    setServerCopy(QStringLiteral("server edit"), QDateTime::currentDateTimeUtc().addSecs(3600));
    EXPECT_EQ(openedDescription(8), "local edit");
    EXPECT_EQ(openedDescription(56), "local edit");

    package->noteDraftSavedToServer(QDateTime::currentDateTimeUtc());
    EXPECT_EQ(openedDescription(8), "server edit");

    // Nothing unsaved, local copy newer than the server's: bit 16 keeps it.
    package->model()->setDescription(QStringLiteral("second local edit"));
    ASSERT_TRUE(package->saveModel());
    package->noteDraftSavedToServer(QDateTime::currentDateTimeUtc());
    setServerCopy(QStringLiteral("older server copy"), QDateTime::currentDateTimeUtc().addSecs(-3600));
    EXPECT_EQ(openedDescription(56), "second local edit");
}

TEST_F(OpenRequestTest, AShortLinkOpensByAliasAndAStringIdOpensInATabletPreview)
{
    auto document = addDocument(QStringLiteral("aliased1"));
    m_service.withState([&](FakeWebService::State& state) { state.documents[document.id].alias = "my-talk"; });
    auto done = open(QVROpenRequest::shortLinkBase() + "my-talk", 137);
    ASSERT_TRUE(waitForEnd(done));
    EXPECT_TRUE(done->error.isNull()) << done->error.message.toStdString();
    EXPECT_EQ(m_service.requestCount(QStringLiteral("tessarine.getByAlias")), 1);
    EXPECT_EQ(m_service.lastRequest(QStringLiteral("tessarine.getByAlias"))->field("alias"), "my-talk");
    EXPECT_EQ(m_service.requestCount(kGetByStringID), 0);
    ASSERT_EQ(m_ui->viewer.models.size(), 1u);
    EXPECT_EQ(m_ui->viewer.models.front()->stringID(), "aliased1");
    EXPECT_EQ(m_ui->viewer.models.front()->alias(), "my-talk");
    EXPECT_EQ(m_log.calls.first(), "makeViewerWindow:none");
    EXPECT_EQ(m_log.calls.last(), "viewer.model:aliased1");
    const auto package = ZERI_qvdFilePackage::packageForStringID(QStringLiteral("aliased1"));
    ASSERT_TRUE(package);
    EXPECT_TRUE(package->publishedVersionExists());
    EXPECT_EQ(package->metaData().alias(), "my-talk");

    // Option 512: the tablet preview window is made, shows the loading view and gets the document, and no
    // other window is asked for.
    addDocument(QStringLiteral("tablet1"));
    m_log.calls.clear();
    auto tablet = open(QStringLiteral("tablet1"), 512 | 8);
    ASSERT_TRUE(waitForEnd(tablet));
    EXPECT_TRUE(tablet->error.isNull()) << tablet->error.message.toStdString();
    ASSERT_GE(m_log.calls.size(), 3);
    EXPECT_EQ(m_log.calls.mid(0, 3),
              QStringList({"makeTabletWindow", "makeLoadingView:" + UFM::FETCHING_TESSARINE_TEXT(),
                           "tablet.loadingView:loading"}));
    EXPECT_EQ(m_log.calls.last(), "tablet.model:tablet1");
    EXPECT_EQ(m_log.calls.filter(QRegularExpression("^(make(Viewer|Tablet)Window|creatorWindow)")).size(), 1)
        << m_log.calls.join(", ").toStdString();
    EXPECT_TRUE(m_ui->viewer.models.size() == 1 && m_ui->creator.models.empty());
}

// The service sends the draft along with the published copy to somebody other than the owner: only bit 1024
// opens that draft, and it fetches every picture (the uncropped sources too) and medium, not just the first
// screen's.
TEST_F(OpenRequestTest, BitTenTwentyFourOpensTheDraftForANonOwnerWithEverythingFetched)
{
    const auto imageOn = [&](const std::shared_ptr<ZERI_FlowScreenModel>& screen, const QString& id, bool source) {
        auto image = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
        auto asset = ZERI_ContentAsset::create();
        asset->setExternalURL(m_service.addContent(id, QByteArray(500, 'i'), id + ".png"));
        if (source)
            image->object()->setOriginalImageAsset(asset);
        else
            image->object()->setCroppedImageAsset(asset);
        screen->addMixedMediaObject(image);
    };
    auto model = ZERI_TessarineModel::create();
    auto first = ZERI_FlowScreenModel::create();
    auto second = ZERI_FlowScreenModel::create();
    model->firstFlowmodel()->addFlowScreen(first);
    model->firstFlowmodel()->addFlowScreen(second);
    imageOn(first, QStringLiteral("first-source"), true);
    imageOn(second, QStringLiteral("second-image"), false);
    model->setDescription(QStringLiteral("draft text"));
    const QString draftJson = QString::fromUtf8(model->jsonData());
    model->setDescription(QStringLiteral("published text"));
    const QString publishedJson = QString::fromUtf8(model->jsonData());

    FakeWebService::Document document;
    document.stringID = QStringLiteral("shared1");
    document.owner = QStringLiteral("bob");
    document.published = true;
    document.documentJson = draftJson;
    document.publishedJson = publishedJson;
    document = m_service.addDocument(document);
    QJsonObject record = FakeWebService::documentRecord(document, m_service.state(), m_service.baseUrl());
    record.insert("needs_password", false);
    record.insert("document_json", QJsonDocument::fromJson(draftJson.toUtf8()).object());
    record.insert("document_json_published", QJsonDocument::fromJson(publishedJson.toUtf8()).object());
    m_service.injectReply(kGetByStringID, FakeHttpReply::json(QJsonObject{{"tessarine", record}}), -1);

    const auto openedDescription = [&](int options) {
        m_ui->creator.models.clear();
        const auto done = open(QStringLiteral("shared1"), options);
        EXPECT_TRUE(waitForEnd(done));
        EXPECT_TRUE(done->error.isNull()) << done->error.message.toStdString();
        return m_ui->creator.models.empty() ? QStringLiteral("(none)") : m_ui->creator.models.back()->description();
    };
    EXPECT_EQ(openedDescription(8), "published text");
    // The first screen's picture has only its source, which draws it: that is fetched with the first screen.
    EXPECT_EQ(m_service.contentRequestCount("/content/first-source/"), 1);
    EXPECT_EQ(m_service.contentRequestCount("/content/second-image/"), 0);

    EXPECT_EQ(openedDescription(8 | 1024), "draft text");
    EXPECT_EQ(m_service.contentRequestCount("/content/first-source/"), 1);
    EXPECT_EQ(m_service.contentRequestCount("/content/second-image/"), 1);
    const auto package = ZERI_qvdFilePackage::packageForStringID(QStringLiteral("shared1"));
    ASSERT_TRUE(package);
    EXPECT_EQ(package->metaData().packageType() & ZERI_qvdFilePackage::OwnDocument, 0);
}

// Option 128 brings back the viewer already showing the document, whatever the cue names it by.
TEST_F(OpenRequestTest, AViewerAlreadyShowingTheDocumentIsReusedInsteadOfMakingAnother)
{
    auto document = addDocument(QStringLiteral("shown1"));
    m_service.withState([&](FakeWebService::State& state) { state.documents[document.id].alias = "shown-talk"; });
    ASSERT_TRUE(waitForEnd(open(QStringLiteral("shown1"), 137)));
    ASSERT_EQ(m_ui->viewer.models.size(), 1u);
    m_ui->shownID = m_ui->viewer.models.front()->qvdID();
    ASSERT_FALSE(m_ui->shownID.isEmpty());

    const auto package = ZERI_qvdFilePackage::packageForStringID(QStringLiteral("shown1"));
    ASSERT_TRUE(package);
    const QList<OpenCue> cues{QStringLiteral("shown1"), QStringLiteral("https://www.tessarine.com/s/shown1/talk"),
                              QVROpenRequest::shortLinkBase() + "shown-talk", package};
    for (qsizetype i = 0; i < cues.size(); ++i) {
        m_log.calls.clear();
        m_ui->shown.models.clear();
        auto done = open(cues[i], 137);
        ASSERT_TRUE(waitForEnd(done)) << i;
        EXPECT_TRUE(done->error.isNull()) << i << done->error.message.toStdString();
        EXPECT_FALSE(m_log.calls.contains("makeViewerWindow:none") || m_log.calls.contains("makeViewerWindow:model"))
            << i << ": " << m_log.calls.join(", ").toStdString();
        ASSERT_EQ(m_ui->shown.models.size(), 1u) << i;
        EXPECT_EQ(m_ui->shown.models.front()->stringID(), "shown1");
        EXPECT_EQ(m_log.calls.last(), "shown.model:shown1");
    }
    EXPECT_EQ(m_ui->viewer.models.size(), 1u);
}

// A window closed, or the request cancelled, while the document or its files download: the done block runs
// once (code 8 for a cancel), nothing is called on the windows or the panel afterwards, and no window gets the
// document.
TEST_F(OpenRequestTest, AWindowClosedOrARequestCancelledDuringTheDownloadEndsItAtOnce)
{
    m_ui->viewerAsObject = true;
    const auto expectQuietAfter = [&](const std::shared_ptr<DoneRecord>& done, const char* step) {
        const qsizetype callsAtEnd = m_log.calls.size();
        EXPECT_FALSE(waitUntil([&] { return done->calls > 1 || m_log.calls.size() > callsAtEnd; }, 800))
            << step << ": " << m_log.calls.mid(callsAtEnd).join(", ").toStdString();
        EXPECT_EQ(done->calls, 1) << step;
        EXPECT_FALSE(m_log.calls.join(",").contains(".model:")) << step;
    };

    // The window goes away while the document itself is on its way.
    addDocument(QStringLiteral("gone1"));
    const auto reply = callAndWait([](BlockRequester::Completion completion) {
        return ZERI_APIBinding::getTessarineByStringId("gone1", QString(), QString(), completion);
    });
    m_service.injectReply(kGetByStringID,
                          FakeHttpReply::raw(200, "application/json", reply->text.toUtf8()).delayed(300));
    auto done = open(QStringLiteral("gone1"), 137);
    ASSERT_TRUE(waitUntil([&] { return m_service.requestCount(kGetByStringID) == 2; }));
    ASSERT_TRUE(m_ui->objectViewer);
    delete m_ui->objectViewer.data();
    ASSERT_TRUE(waitForEnd(done));
    EXPECT_EQ(done->error.code, QVROpenRequest::Cancelled);
    expectQuietAfter(done, "window closed during the document's download");

    // The window goes away, the panel is closed, or the request is cancelled while the files download.
    m_service.setContentDelay(300);
    for (const char* step : {"window closed", "panel closed", "cancelled"}) {
        const QString stringID = QStringLiteral("files") + QString::number(m_service.requestCount(kGetByStringID));
        addDocument(stringID);
        m_log.calls.clear();
        m_ui->closePanel = {};
        auto filesDone = open(stringID, 137);
        ASSERT_TRUE(waitUntil([&] { return m_log.calls.contains("objectViewer.loadingView:downloadPanel"); })) << step;
        ASSERT_TRUE(m_ui->closePanel);
        if (QLatin1String(step) == QLatin1String("window closed"))
            delete m_ui->objectViewer.data();
        else if (QLatin1String(step) == QLatin1String("panel closed"))
            std::function<void()>(m_ui->closePanel)();
        else
            m_request->cancel();
        ASSERT_EQ(filesDone->calls, 1) << step;
        EXPECT_EQ(filesDone->error.code, QVROpenRequest::Cancelled) << step;
        EXPECT_EQ(filesDone->error.domain, QVROpenRequest::kErrorDomain) << step;
        EXPECT_TRUE(m_log.calls.contains("panel.removeView")) << step;
        expectQuietAfter(filesDone, step);
        delete m_ui->objectViewer.data();
    }
}

// Run by the next test in a child process: a request still waiting for the service when the application ends.
TEST(OpenRequestAtExitChild, DISABLED_ReportsWhetherTheRequestOutlivesTheApplication)
{
    if (qEnvironmentVariableIsEmpty("TESS_REPORT_REQUEST_END"))
        GTEST_SKIP() << "run by ARequestStillWaitingWhenTheApplicationEndsIsLetGo";
    // The window stand-ins outlive the application: never destroyed. The service goes with the test, its
    // thread stopped; the request, sent, is left waiting, as nothing handles the closed connection any more.
    struct Kept {
        QTemporaryDir support;
        UiLog log;
        std::shared_ptr<FakeOpenRequestUi> ui = std::make_shared<FakeOpenRequestUi>(log);
    };
    static Kept* kept = new Kept;
    FakeWebService service;
    ASSERT_TRUE(service.start());
    ASSERT_TRUE(CorvikBlockAPIBinding::setAPIURL(service.baseUrl()));
    AppPaths::setApplicationSupportForTesting(kept->support.path());
    OpenRequestUi::registerUi(kept->ui);
    service.injectReply(kGetByStringID, FakeHttpReply::hang(), -1);

    auto request = QVROpenRequest::request();
    request->setOpenCue(QStringLiteral("abc123"));
    request->setOptions(QVROpenRequest::ViewerWindow | QVROpenRequest::DownloadByStringID);
    request->open([](const Error&) { std::fprintf(stderr, "request reported its end\n"); });
    ASSERT_TRUE(waitUntil([&] { return service.requestCount(kGetByStringID) == 1; }));

    // Destroyed after main() returned, the application gone.
    struct Watch {
        std::weak_ptr<QVROpenRequest> request;
        ~Watch() { std::fprintf(stderr, "request %s\n", request.expired() ? "let go" : "still held"); }
    };
    static Watch watch;
    watch.request = request;
}

// A running request holds itself; at the application's end it lets go, without reporting, rather than survive
// the process's clean-up (a leak, and its calls never cancelled).
TEST(OpenRequestAtExit, ARequestStillWaitingWhenTheApplicationEndsIsLetGo)
{
    const auto child = TestEnvironment::runTestsInChildProcess(QStringLiteral("OpenRequestAtExitChild.*"),
                                                               {{QStringLiteral("TESS_REPORT_REQUEST_END"), "1"}});
    ASSERT_TRUE(child.finished);
    const QString& output = child.output;
    EXPECT_EQ(child.exitCode, 0) << qPrintable(output);
    EXPECT_TRUE(output.contains(QStringLiteral("request let go"))) << qPrintable(output);
    EXPECT_FALSE(output.contains(QStringLiteral("still held"))) << qPrintable(output);
    EXPECT_FALSE(output.contains(QStringLiteral("reported its end"))) << qPrintable(output);
}

// Documents on the service are anybody's: their own "id" and asset addresses are not to be believed.
TEST_F(OpenRequestTest, ADownloadCarryingTheIdOfTheUsersOwnDocumentNeverWritesOverIt)
{
    // One of the user's own documents, with nothing waiting to go to the service.
    auto own = ZERI_TessarineModel::create();
    own->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
    own->setDescription(QStringLiteral("my own work"));
    ASSERT_TRUE(ZERI_qvdFilePackage::saveModelToFile(own));
    const auto ownPackage = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(own->filePackage());
    ASSERT_TRUE(ownPackage);
    ownPackage->noteDraftSavedToServer(QDateTime::currentDateTimeUtc());
    const QByteArray ownDraft = ownPackage->model()->jsonData();

    // Somebody else's published documents, one carrying that id, one an id that is a path.
    const auto publish = [&](const QString& stringID, const QString& id) {
        auto model = ZERI_TessarineModel::create();
        model->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
        model->setInternalID(id);
        model->setDescription(QStringLiteral("from elsewhere"));
        FakeWebService::Document document;
        document.stringID = stringID;
        document.owner = QStringLiteral("bob");
        document.published = true;
        document.publishedJson = document.documentJson = QString::fromUtf8(model->jsonData());
        m_service.addDocument(document);
    };
    publish(QStringLiteral("taken1"), own->qvdID());
    publish(QStringLiteral("escape1"), QStringLiteral("../../escaped"));

    for (const QString& stringID : {QStringLiteral("taken1"), QStringLiteral("escape1")}) {
        m_ui->viewer.models.clear();
        const auto done = open(stringID, 137);
        ASSERT_TRUE(waitForEnd(done));
        EXPECT_TRUE(done->error.isNull()) << stringID.toStdString() << ": " << done->error.message.toStdString();
        ASSERT_EQ(m_ui->viewer.models.size(), 1u);
        EXPECT_EQ(m_ui->viewer.models.front()->description(), "from elsewhere");
        const auto stored = ZERI_qvdFilePackage::packageForStringID(stringID);
        ASSERT_TRUE(stored);
        EXPECT_NE(stored, ownPackage);
        EXPECT_TRUE(ZERI_qvdFilePackage::isValidPackageID(stored->packageID())) << stored->packageID().toStdString();
        EXPECT_EQ(QFileInfo(stored->path()).path(), ZERI_qvdFilePackage::tessarinesFolder());
    }
    // Opened again, each finds its own copy, not the user's document.
    const auto again = open(QStringLiteral("taken1"), 137);
    ASSERT_TRUE(waitForEnd(again));
    EXPECT_EQ(ZERI_qvdFilePackage::allPackages().size(), 3u);

    // The user's document is as it was, on disk and in its metadata, and listed among the user's own.
    ZERI_qvdFilePackage::resetForTesting();
    const auto reread = ZERI_qvdFilePackage::packageForID(own->qvdID());
    ASSERT_TRUE(reread);
    ASSERT_TRUE(reread->loadModel());
    EXPECT_EQ(reread->model()->jsonData(), ownDraft);
    EXPECT_TRUE(reread->metaData().stringID().isEmpty());
    EXPECT_NE(reread->metaData().packageType() & ZERI_qvdFilePackage::OwnDocument, 0);
    EXPECT_FALSE(QFileInfo::exists(m_support.path() + QStringLiteral("/escaped")));
    EXPECT_FALSE(QFileInfo::exists(ZERI_qvdFilePackage::tessarinesFolder() + QStringLiteral("/../../escaped")));
}

// The owner's document comes with its draft and its published copy. Downloaded again into the copy stored here, both
// keep the id that copy was given the first time, not the one in the service's text (here another document's).
TEST_F(OpenRequestTest, ADocumentDownloadedAgainKeepsItsLocalIdInTheDraftAndThePublishedCopy)
{
    Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN-bob"));
    Tessutils::setCorvikUserDict(SafeDictionary(QJsonObject{{"username", "bob"}}));
    auto own = ZERI_TessarineModel::create();
    own->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
    ASSERT_TRUE(ZERI_qvdFilePackage::saveModelToFile(own));
    auto foreign = ZERI_TessarineModel::create();
    foreign->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
    foreign->setInternalID(own->qvdID());
    FakeWebService::Document document;
    document.stringID = QStringLiteral("again1");
    document.owner = QStringLiteral("bob");
    document.published = true;
    document.publishedJson = document.documentJson = QString::fromUtf8(foreign->jsonData());
    m_service.addDocument(document);

    QString firstID;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        m_ui->creator.models.clear();
        const auto done = open(QStringLiteral("again1"), 8);
        ASSERT_TRUE(waitForEnd(done));
        EXPECT_TRUE(done->error.isNull()) << done->error.message.toStdString();
        const auto package = ZERI_qvdFilePackage::packageForStringID(QStringLiteral("again1"));
        ASSERT_TRUE(package);
        if (round == 0)
            firstID = package->packageID();
        EXPECT_EQ(package->packageID(), firstID);
        EXPECT_NE(package->packageID(), own->qvdID());
        ASSERT_EQ(m_ui->creator.models.size(), 1u);
        EXPECT_EQ(m_ui->creator.models.back()->qvdID(), firstID);
        for (const QString& file : {package->draftFilePath(), package->publishedFilePath()}) {
            QFile stored(file);
            ASSERT_TRUE(stored.open(QIODevice::ReadOnly)) << file.toStdString();
            const auto json = ZERI_TessarineModel::initWithJsonData(stored.readAll());
            ASSERT_TRUE(json) << file.toStdString();
            EXPECT_EQ(json->qvdID(), firstID) << file.toStdString();
        }
    }
}

TEST_F(OpenRequestTest, LocalFileAddressesFromTheServiceNeverBringAFileIntoThePackage)
{
    QTemporaryDir home;
    const QString secret = home.filePath(QStringLiteral("secret.png"));
    {
        QFile file(secret);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("private bytes");
    }
    auto model = ZERI_TessarineModel::create();
    auto screen = ZERI_FlowScreenModel::create();
    model->firstFlowmodel()->addFlowScreen(screen);
    auto picture = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    auto local = ZERI_ContentAsset::create();
    local->setExternalURL(QUrl::fromLocalFile(secret));
    picture->object()->setOriginalImageAsset(local);
    screen->addMixedMediaObject(picture);
    auto web = ZERI_ContentAsset::create();
    const QUrl webAddress = m_service.addContent(QStringLiteral("shot"), QByteArray(100, 'w'), "shot.jpg");
    web->setExternalURL(webAddress);
    screen->setPreviewScreenShotAsset(web);
    FakeWebService::Document document;
    document.stringID = QStringLiteral("leaky1");
    document.owner = QStringLiteral("bob");
    document.published = true;
    document.publishedJson = document.documentJson = QString::fromUtf8(model->jsonData());
    const auto added = m_service.addDocument(document);
    // The record's preview address names a local file too.
    m_service.setHandler(kGetByStringID, [added, secret](const FakeWebService::Context& c) {
        QJsonObject record = FakeWebService::documentRecord(added, c.state, c.baseUrl);
        record.insert(QStringLiteral("document_json_published"),
                      QJsonDocument::fromJson(added.publishedJson.toUtf8()).object());
        record.insert(QStringLiteral("first_preview_url"), QUrl::fromLocalFile(secret).toString());
        return FakeHttpReply::json(QJsonObject{{QStringLiteral("tessarine"), record}});
    });

    const auto done = open(QStringLiteral("leaky1"), 137);
    ASSERT_TRUE(waitForEnd(done));
    EXPECT_TRUE(done->error.isNull()) << done->error.message.toStdString();
    const auto package = ZERI_qvdFilePackage::packageForStringID(QStringLiteral("leaky1"));
    ASSERT_TRUE(package);
    EXPECT_TRUE(package->metaData().previewScreenshotURLString().isEmpty());
    ASSERT_TRUE(package->loadPublishedModel());
    QStringList addresses;
    for (const auto& asset : package->publishedModel()->getAllContentAssets())
        addresses << asset->externalURL().toString();
    EXPECT_TRUE(addresses.contains(webAddress.toString())) << addresses.join(' ').toStdString();
    EXPECT_FALSE(addresses.join(' ').contains(QStringLiteral("secret"))) << addresses.join(' ').toStdString();
    // No copy or link of the file anywhere in the package.
    QDirIterator files(package->path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_NE(file.readAll(), QByteArray("private bytes")) << file.fileName().toStdString();
    }
}

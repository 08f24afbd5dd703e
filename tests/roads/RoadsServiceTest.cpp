#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include <QApplication>
#include <QBuffer>
#include <QDialog>
#include <QImage>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "app/QVRAppDelegate.h"
#include "app/QVRMainMenu.h"
#include "app/QVRURLSchemeHandler.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "foundation/Tessutils.h"
#include "library/account/QVRRegisterWallWindowController.h"
#include "library/publish/QVREditTessarineDetailsWindowController.h"
#include "library/share/QVRSharePostedTessarineWindowController.h"
#include "library/tour/QVR_FirstLaunchViewController.h"
#include "roads/RoadsSignedInService.h"
#include "roads/RoadsTestSupport.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "support/TestPictures.h"
#include "support/UserInput.h"
#include "strings/UFM.h"
#include "support/TestEnvironment.h"
#include "support/fakeservice/FakeWebService.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using namespace roads;

namespace {

constexpr const char* kTitle = "Road Seven";

QByteArray jpeg(QColor color)
{
    return pictureBytes(QSize(64, 48), color, "JPEG");
}

// The fake service with Ann known to it (not signed in), her picture served by it too: nothing is fetched from
// elsewhere.
FakeWebService* startedService()
{
    return roads::startedService([](FakeWebService& service) {
        service.addUser(QStringLiteral("ann"), QStringLiteral("pw"));
        const QUrl avatar = service.addContent(QStringLiteral("avatar-ann"), jpeg(Qt::darkGreen),
                                               QStringLiteral("ann.jpg"), QStringLiteral("ann"));
        service.withState([&](FakeWebService::State& state) {
            FakeWebService::User& ann = state.users[QStringLiteral("ann")];
            ann.email = QStringLiteral("ann@x.example");
            ann.avatarURL = avatar.toString();
        });
    });
}

const FakeWebService::Document* documentOnService(const FakeWebService::State& state, const QString& apiID)
{
    const auto found = state.documents.find(apiID);
    return found == state.documents.end() ? nullptr : &found.value();
}

// With the fake web service on this machine: the sign-in wall that Save Draft raises, the draft saved, Publish
// through the details sheet and the dialogue, the share sheet; a second start opens the published document by
// its link.
TEST(ServiceRoad, SignInSaveDraftPublishShareAndOpenByLinkInASecondStart)
{
    if (!firstStartHere())
        return;
    FakeWebService* service = startedService();
    ASSERT_TRUE(service);
    QWidget* lists = application().listsWindow();
    ASSERT_TRUE(lists);

    // Nobody has signed in: the tour shows; Get Started leaves it.
    QPointer<QVR_FirstLaunchViewController> tour;
    ASSERT_TRUE(waitFor([&] {
        tour = lists->findChild<QVR_FirstLaunchViewController*>();
        return tour && tour->isVisible();
    }));
    QTest::mouseClick(tour->getStartedButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !tour || !tour->isVisible(); }));

    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    const auto document = window->currentModel();
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("duplicateScreen")));
    ASSERT_TRUE(waitFor([&] { return document->firstFlowmodel()->screenModels().size() == 2; }));

    // File › Save Draft, signed out: the wall; Log In, the address and password typed, Submit. The draft is
    // saved once the wall has closed.
    {
        QPointer<QVRRegisterWallWindowController> wall;
        bool submitted = false;
        Answerer answer([&] {
            if (!wall)
                wall = visibleTopLevel<QVRRegisterWallWindowController>();
            if (wall && wall->isVisible() && !submitted)
                submitted = answerWallWithSignIn(wall, QStringLiteral("ann@x.example"), QStringLiteral("pw"));
        });
        ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("saveDraft")));
        EXPECT_TRUE(submitted) << "the wall showed no sign-in page";
    }
    EXPECT_EQ(Tessutils::corvikAuthToken(), QStringLiteral("TOKEN-ann"));
    ASSERT_FALSE(document->apiID().isEmpty()) << "the draft was not saved on the service";
    {
        const FakeWebService::State state = service->state();
        const auto* draft = documentOnService(state, document->apiID());
        ASSERT_TRUE(draft);
        EXPECT_EQ(draft->owner, QStringLiteral("ann"));
        EXPECT_FALSE(draft->published);
        EXPECT_FALSE(draft->documentJson.isEmpty());
    }
    EXPECT_EQ(service->requestCount(QStringLiteral("tessarine.create")), 1);

    // File › Publish: the details sheet (title, public, Next), the dialogue, then the share sheet.
    {
        QPointer<QVREditTessarineDetailsWindowController> details;
        bool filled = false;
        bool next = false;
        Answerer answer([&] {
            if (!details)
                details = visibleTopLevel<QVREditTessarineDetailsWindowController>();
            if (!details || !details->isVisible() || next)
                return;
            if (!filled) {
                filled = true;
                typeInto(details->titleField(), QString::fromLatin1(kTitle));
                click(details->publicRadioButton());
            } else if (!details->isCheckingAlias() && details->nextButton()->isEnabled()) {
                next = true;
                click(details->nextButton());
            }
        });
        ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("publish")));
        EXPECT_TRUE(next) << "the details sheet was not answered";
    }
    QVRSharePostedTessarineWindowController* share = nullptr;
    ASSERT_TRUE(waitFor([&] { return (share = visibleTopLevel<QVRSharePostedTessarineWindowController>()); }));
    EXPECT_TRUE(share->justPosted());
    const QString stringID = document->stringID();
    ASSERT_FALSE(stringID.isEmpty());
    EXPECT_EQ(document->title(), QString::fromLatin1(kTitle));
    {
        const FakeWebService::State state = service->state();
        const auto* published = documentOnService(state, document->apiID());
        ASSERT_TRUE(published);
        EXPECT_TRUE(published->published);
        EXPECT_EQ(published->title, QString::fromLatin1(kTitle));
        EXPECT_EQ(published->privacy, QStringLiteral("public"));
        EXPECT_EQ(published->stringID, stringID);
    }
    EXPECT_EQ(service->requestCount(QStringLiteral("tessarine.create")), 1) << "publishing made a second document";

    // The share sheet gives the published address, on this machine, to copy: a click selects it whole.
    const QString address = share->copyAddressField()->text();
    EXPECT_TRUE(address.contains(service->baseUrl().host())) << address.toStdString();
    EXPECT_TRUE(address.contains(stringID) || address.contains(document->alias())) << address.toStdString();
    click(share->copyAddressField());
    EXPECT_EQ(share->copyAddressField()->selectedText(), address);
    // The embed code is longer than its field: the field shows where the code begins.
    const QString embedCode = share->copyEmbedCodeField()->text();
    EXPECT_TRUE(embedCode.startsWith(QStringLiteral("<iframe"))) << embedCode.toStdString();
    EXPECT_GT(share->copyEmbedCodeField()->fontMetrics().horizontalAdvance(embedCode),
              share->copyEmbedCodeField()->width());
    EXPECT_EQ(share->copyEmbedCodeField()->cursorPosition(), 0) << "the embed code is shown scrolled to its end";
    QPointer<QVRSharePostedTessarineWindowController> closing(share);
    click(share->doneButton());
    ASSERT_TRUE(waitFor([&] { return !closing || !closing->isVisible(); }, 5000));

    // A second start, on a home folder of its own, given the document's link. Its preview is served as well.
    service->setPage(QStringLiteral("/previews/%1.jpg").arg(document->apiID()), "image/jpeg", jpeg(Qt::darkCyan));
    const int lookups = service->requestCount(QStringLiteral("tessarine.getByStringId"));
    const int previews = service->contentRequestCount(QStringLiteral("/previews/"));
    const int avatars = service->contentRequestCount(QStringLiteral("/content/avatar-ann/"));
    const auto second = TestEnvironment::runTestsInChildProcess(
        QStringLiteral("ServiceRoadSecondStart.*"),
        {{QStringLiteral("TESS_ROADS_STRING_ID"), stringID},
         {QStringLiteral("TESS_ROADS_SCREENS"), QString::number(document->firstFlowmodel()->screenModels().size())}},
        30000, {QStringLiteral("tessarine://loadbystringid/") + stringID});
    ASSERT_TRUE(second.finished) << second.output.toStdString();
    EXPECT_EQ(second.exitCode, 0) << second.output.toStdString();
    EXPECT_TRUE(second.output.contains(QLatin1String("[  PASSED  ] 1 test"))) << second.output.toStdString();
    EXPECT_GT(service->requestCount(QStringLiteral("tessarine.getByStringId")), lookups);
    // Its preview and its owner's picture came from the service.
    EXPECT_GT(service->contentRequestCount(QStringLiteral("/previews/")), previews);
    EXPECT_GT(service->contentRequestCount(QStringLiteral("/content/avatar-ann/")), avatars);

    closeDocumentWindows();
}

// File › Publish: `fill` answers the details sheet once it shows, then Next; the dialogue saves, and the share
// sheet that follows is closed with Done. False when a sheet did not come or was not answered.
bool publishThroughDetails(QVR_CreatorWindow* window,
                           const std::function<void(QVREditTessarineDetailsWindowController*)>& fill)
{
    QPointer<QVREditTessarineDetailsWindowController> details;
    bool filling = false;
    bool filled = false;
    bool next = false;
    {
        Answerer answer([&] {
            if (!details)
                details = visibleTopLevel<QVREditTessarineDetailsWindowController>();
            if (!details || !details->isVisible() || next)
                return;
            if (!filling) {
                filling = true; // typing turns the event loop: this answerer runs again meanwhile
                fill(details);
                filled = true;
            } else if (filled && !details->isCheckingAlias() && details->nextButton()->isEnabled()) {
                next = true;
                click(details->nextButton());
            }
        });
        if (!chooseMenuItem(window, QStringLiteral("publish")) || !next)
            return false;
    }
    QVRSharePostedTessarineWindowController* share = nullptr;
    if (!waitFor([&] { return (share = visibleTopLevel<QVRSharePostedTessarineWindowController>()); }))
        return false;
    QPointer<QVRSharePostedTessarineWindowController> closing(share);
    click(share->doneButton());
    return waitFor([&] { return !closing || !closing->isVisible(); }, 5000);
}

// Clicks a radio button on its round mark, as a person does: its middle may lie beyond its text, where a click
// does nothing.
void choose(QRadioButton* option)
{
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(option->height() / 2, option->height() / 2));
}

// Empties a field as a person does: everything selected, then Backspace.
void clearField(QLineEdit* field)
{
    field->setFocus();
    UserInput::pressKey(field, Qt::Key_A, Qt::ControlModifier);
    UserInput::pressKey(field, Qt::Key_Backspace);
}

// A password given when posting is taken away by posting again as public, or with both password fields
// emptied; posting again without touching the fields keeps it.
TEST(ServiceRoad, ThePasswordIsRemovedOnTheServiceByPublicOrByEmptyFieldsAndKeptOtherwise)
{
    FakeWebService* service = startedService();
    ASSERT_TRUE(service);
    application();
    ASSERT_TRUE(leaveFirstLaunchTour());
    ASSERT_TRUE(signInQuietly(QStringLiteral("ann"), QStringLiteral("pw"))); // as on an earlier day
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    const auto document = window->currentModel();

    const auto protect = [](const QString& password) {
        return [password](QVREditTessarineDetailsWindowController* details) {
            choose(details->protectedRadioButton());
            for (QLineEdit* field : {details->passwordEntryField(), details->passwordReEntryField()}) {
                field->setFocus();
                UserInput::typeText(field, password);
            }
        };
    };
    const auto serverPassword = [&] {
        const FakeWebService::State state = service->state();
        const auto* posted = documentOnService(state, document->apiID());
        return posted ? std::optional<QString>(posted->password) : std::nullopt;
    };
    // What the service's record says, and the document's metadata took from it.
    const auto passwordFlag = [&] {
        const FakeWebService::State state = service->state();
        const auto* posted = documentOnService(state, document->apiID());
        const bool onService = posted && FakeWebService::documentRecord(*posted, state, service->baseUrl())
                                             .value(QStringLiteral("has_password"))
                                             .toBool();
        const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage());
        EXPECT_TRUE(package && package->metaData().hasPassword() == onService);
        return onService;
    };
    const auto sentPassword = [&]() -> std::optional<QString> {
        const auto update = service->lastRequest(QStringLiteral("tessarine.update"));
        if (!update || !update->fields.contains(QStringLiteral("password")))
            return std::nullopt;
        return update->field(QStringLiteral("password"));
    };

    ASSERT_TRUE(publishThroughDetails(window, [&](QVREditTessarineDetailsWindowController* details) {
        UserInput::typeText(details->titleField(), QStringLiteral("Locked Talk"));
        protect(QStringLiteral("secret"))(details);
    }));
    ASSERT_FALSE(document->stringID().isEmpty());
    EXPECT_EQ(serverPassword(), QStringLiteral("secret"));
    EXPECT_TRUE(passwordFlag());

    // Public: the fields empty and grey out, and the password goes.
    ASSERT_TRUE(publishThroughDetails(window, [](QVREditTessarineDetailsWindowController* details) {
        EXPECT_EQ(details->passwordReEntryField()->text(), QVREditTessarineDetailsWindowController::kPasswordBullets);
        choose(details->publicRadioButton());
        EXPECT_FALSE(details->passwordEntryField()->isEnabled());
    }));
    EXPECT_EQ(sentPassword(), QString());
    EXPECT_EQ(serverPassword(), QString());
    EXPECT_FALSE(passwordFlag());
    {
        const FakeWebService::State state = service->state();
        EXPECT_EQ(documentOnService(state, document->apiID())->privacy, QStringLiteral("public"));
    }

    // A new password, then a post that leaves the bullets alone: the password stays and is not sent again.
    ASSERT_TRUE(publishThroughDetails(window, protect(QStringLiteral("again"))));
    EXPECT_EQ(serverPassword(), QStringLiteral("again"));
    ASSERT_TRUE(publishThroughDetails(window, [](QVREditTessarineDetailsWindowController* details) {
        EXPECT_TRUE(details->protectedRadioButton()->isChecked());
    }));
    EXPECT_EQ(sentPassword(), std::nullopt);
    EXPECT_EQ(serverPassword(), QStringLiteral("again"));
    EXPECT_TRUE(passwordFlag());

    // Still protected, both fields emptied: the password goes as well.
    ASSERT_TRUE(publishThroughDetails(window, [](QVREditTessarineDetailsWindowController* details) {
        clearField(details->passwordEntryField());
        clearField(details->passwordReEntryField());
    }));
    EXPECT_EQ(sentPassword(), QString());
    EXPECT_EQ(serverPassword(), QString());
    EXPECT_FALSE(passwordFlag());

    closeDocumentWindows();
}

// The upload allowance item as the application menu shows it when it opens: its text, or nothing when hidden.
QString shownAllowance(QWidget* window)
{
    chooseMenuItemEnabled(window, QStringLiteral("quota")); // opens its menu; the item itself only informs
    auto* bar = window->findChild<QMenuBar*>();
    QAction* item = bar ? QVRMainMenu::action(bar, QStringLiteral("quota")) : nullptr;
    return item && item->isVisible() ? item->text() : QString();
}

// The application menu's upload allowance belongs to whoever is signed in: it shows after a sign-in, goes with
// Sign Out, and after another user signs in it shows that user's allowance, never the one before.
TEST(ServiceRoad, TheUploadAllowanceInTheMenuFollowsTheSignedInUser)
{
    FakeWebService* service = startedService();
    ASSERT_TRUE(service);
    application();
    ASSERT_TRUE(leaveFirstLaunchTour());
    QWidget* lists = application().listsWindow();
    constexpr qint64 MiB = 1024 * 1024;
    service->addUser(QStringLiteral("bob"), QStringLiteral("pw2"));
    service->withState([&](FakeWebService::State& state) {
        state.users[QStringLiteral("ann")].quotaMax = 100 * MiB;
        state.users[QStringLiteral("ann")].quotaUsed = 10 * MiB;
        state.users[QStringLiteral("bob")].quotaMax = 300 * MiB;
        state.users[QStringLiteral("bob")].quotaUsed = 0;
    });
    if (!Tessutils::corvikAuthToken().isEmpty()) {
        ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("signIn"))); // Sign Out
        ASSERT_TRUE(waitFor([] { return Tessutils::corvikAuthToken().isEmpty(); }));
    }
    EXPECT_TRUE(waitFor([&] { return shownAllowance(lists).isEmpty(); }, 3000));

    ASSERT_TRUE(signInThroughWall(lists, QStringLiteral("ann@x.example"), QStringLiteral("pw")));
    QString shown;
    EXPECT_TRUE(waitFor([&] { return (shown = shownAllowance(lists)).contains(QStringLiteral("90 MB")); }))
        << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("100 MB"))) << shown.toStdString();

    ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("signIn"))); // Sign Out
    ASSERT_TRUE(waitFor([] { return Tessutils::corvikAuthToken().isEmpty(); }));
    // The sign-out is announced on the next turn of the event loop.
    EXPECT_TRUE(waitFor([&] { return shownAllowance(lists).isEmpty(); }, 3000)) << "the allowance stayed";

    ASSERT_TRUE(signInThroughWall(lists, QStringLiteral("bob@example.com"), QStringLiteral("pw2")));
    EXPECT_FALSE(shownAllowance(lists).contains(QStringLiteral("90 MB"))) << "the last user's allowance showed";
    EXPECT_TRUE(waitFor([&] { return (shown = shownAllowance(lists)).contains(QStringLiteral("300 MB")); }))
        << shown.toStdString();
    EXPECT_FALSE(shown.contains(QStringLiteral("90 MB"))) << shown.toStdString();

    // Ann again, for the roads after this one.
    ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("signIn")));
    ASSERT_TRUE(waitFor([] { return Tessutils::corvikAuthToken().isEmpty(); }));
    ASSERT_TRUE(signInThroughWall(lists, QStringLiteral("ann@x.example"), QStringLiteral("pw")));
}

// The second start of the road above: a process of its own whose command line holds the document's link.
TEST(ServiceRoadSecondStart, DISABLED_ThePublishedDocumentOpensFromItsLink)
{
    const QString root = qEnvironmentVariable("TESS_API_URL");
    ASSERT_TRUE(root.startsWith(QLatin1String("http://127.0.0.1:"))) << root.toStdString();
    pointServicesAt(QUrl(root));
    // The links of our scheme given on the command line, as the executable takes them.
    QStringList links;
    for (const QString& argument : QCoreApplication::arguments().mid(1)) {
        if (QVRURLSchemeHandler::hasOwnScheme(argument))
            links.append(argument);
    }
    ASSERT_EQ(links.size(), 1);
    application().handleLinks(links);

    const QString stringID = qEnvironmentVariable("TESS_ROADS_STRING_ID");
    QVR_CreatorWindow* opened = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            for (QVR_CreatorWindow* window : creatorWindows()) {
                if (window->currentModel() && window->currentModel()->stringID() == stringID)
                    opened = window;
            }
            return opened != nullptr;
        },
        15000));
    const auto document = opened->currentModel();
    EXPECT_EQ(document->title(), QString::fromLatin1(kTitle));
    EXPECT_EQ(QString::number(document->firstFlowmodel()->screenModels().size()),
              qEnvironmentVariable("TESS_ROADS_SCREENS"));
    closeDocumentWindows();
}

} // namespace

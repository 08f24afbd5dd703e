#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include "AccountTestSupport.h"
#include "app/QVRWindowManager.h"
#include "library/account/QVRLogoutWindowController.h"
#include "strings/UFM.h"

using accounttest::ScopedAccountEnvironment;

namespace {

const QString kCreate = QStringLiteral("tessarine.create");
const QString kLogout = QStringLiteral("corvik.auth.trustedLogout");

struct SignedInWithDrafts {
    explicit SignedInWithDrafts(ScopedAccountEnvironment& env)
    {
        Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN-ann"));
        Tessutils::setCorvikUserDict(SafeDictionary(QJsonObject{{QStringLiteral("username"), QStringLiteral("ann")}}));
        for (const QString& title : {QStringLiteral("First"), QStringLiteral("Second")})
            folders.append(ScopedAccountEnvironment::packageOf(ScopedAccountEnvironment::savedDocument(title))->path());
        (void)env;
    }
    bool foldersExist() const
    {
        return std::all_of(folders.begin(), folders.end(), [](const QString& path) { return QDir(path).exists(); });
    }
    QStringList folders;
};

// The lists window and one document window, as the window manager holds them.
struct OpenWindows {
    OpenWindows()
    {
        QVRWindowManager::sharedInstance().addManagedWindow(&lists);
        QVRWindowManager::setCreatorWindowFactory([] { return new QWidget; });
        creator = QVRWindowManager::sharedInstance().makeCreatorWindow();
    }
    ~OpenWindows()
    {
        QVRWindowManager::setCreatorWindowFactory({});
        delete creator.data();
        QVRWindowManager::sharedInstance().removeManagedWindow(&lists);
    }
    QWidget lists;
    QPointer<QWidget> creator;
};

QString logoutResult(const ScopedAccountEnvironment& env)
{
    const auto events = env.events(QStringLiteral("User Logout"));
    if (events.isEmpty())
        return {};
    const QJsonObject event = events.last();
    const QJsonObject parameters = event.value(QStringLiteral("parameters")).toObject();
    return parameters.value(QStringLiteral("Logout Result")).toString();
}

} // namespace

TEST(SignOutDialogueTest, SavesEveryChangedDraftThenSignsOut)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    SignedInWithDrafts drafts(env);
    OpenWindows windows;
    ASSERT_TRUE(windows.creator);
    QVRLogoutWindowController dialogue(QVRLogoutWindowController::packagesToSave());
    EXPECT_EQ(dialogue.windowTitle(), UFM::SIGN_OUT_TEXT());
    dialogue.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogue.isHidden(); }, 8000));
    EXPECT_EQ(env.service.requestCount(kCreate), 2);
    EXPECT_TRUE(dialogue.signedOut());
    EXPECT_TRUE(Tessutils::corvikAuthToken().isEmpty());
    EXPECT_TRUE(ZERI_qvdFilePackage::allPackages().empty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QDir(drafts.folders.first()).exists(); }, 5000));
    EXPECT_EQ(logoutResult(env), QStringLiteral("Upload Completed"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return windows.creator.isNull(); }, 2000));
    EXPECT_EQ(QVRWindowManager::sharedInstance().windows(), QList<QWidget*>{&windows.lists});
    ASSERT_TRUE(QTest::qWaitFor([&] { return env.service.requestCount(kLogout) == 1; }, 5000));
}

TEST(SignOutDialogueTest, AFailedSaveKeepsTheUserSignedInAndEveryDocument)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    SignedInWithDrafts drafts(env);
    OpenWindows windows;
    env.service.injectReply(kCreate, FakeHttpReply::serviceError(QStringLiteral("500"), QStringLiteral("Disk full")));
    QVRLogoutWindowController dialogue(QVRLogoutWindowController::packagesToSave());
    dialogue.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogue.uploadsDone(); }, 8000));
    EXPECT_TRUE(dialogue.statusLabel()->text().contains(QStringLiteral("Disk full")));
    EXPECT_FALSE(dialogue.isHidden());
    EXPECT_EQ(Tessutils::corvikAuthToken(), QStringLiteral("TOKEN-ann"));
    EXPECT_TRUE(drafts.foldersExist());
    EXPECT_EQ(logoutResult(env), QStringLiteral("Upload Not Completed"));
    EXPECT_TRUE(windows.creator && windows.creator->isVisible());

    // Done ends it, still signed in.
    dialogue.cancelButton()->click();
    EXPECT_TRUE(dialogue.isHidden());
    EXPECT_EQ(Tessutils::corvikAuthToken(), QStringLiteral("TOKEN-ann"));
    EXPECT_TRUE(drafts.foldersExist());
    EXPECT_EQ(env.service.requestCount(kLogout), 0);
}

TEST(SignOutDialogueTest, SignOutNowAsksFirstAndClosingIsCancel)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    SignedInWithDrafts drafts(env);
    env.service.injectReply(kCreate, FakeHttpReply::hang(), -1);
    {
        QVRLogoutWindowController dialogue(QVRLogoutWindowController::packagesToSave());
        dialogue.open();
        ASSERT_TRUE(QTest::qWaitFor([&] { return env.service.requestCount(kCreate) == 1; }, 5000));

        env.alerts.queueButton(0);
        dialogue.secondaryButton()->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return env.alerts.requests.size() == 1; }, 2000));
        QTest::qWait(20);
        EXPECT_EQ(env.alerts.requests.front().informativeText, UFM::CHANGES_WILL_BE_LOST_ARE_YOU_SURE());
        EXPECT_FALSE(dialogue.isHidden());
        EXPECT_EQ(Tessutils::corvikAuthToken(), QStringLiteral("TOKEN-ann"));

        env.alerts.queueButton(1);
        dialogue.secondaryButton()->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialogue.isHidden(); }, 2000));
        EXPECT_TRUE(Tessutils::corvikAuthToken().isEmpty());
        EXPECT_EQ(logoutResult(env), QStringLiteral("Cancelled"));
        EXPECT_TRUE(ZERI_qvdFilePackage::allPackages().empty());
    }

    SignedInWithDrafts again(env);
    QVRLogoutWindowController closed(QVRLogoutWindowController::packagesToSave());
    closed.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return env.service.requestCount(kCreate) >= 2; }, 5000));
    closed.close();
    EXPECT_TRUE(closed.isHidden());
    EXPECT_EQ(Tessutils::corvikAuthToken(), QStringLiteral("TOKEN-ann"));
    EXPECT_TRUE(again.foldersExist());
    env.service.clearInjectedReplies();
}

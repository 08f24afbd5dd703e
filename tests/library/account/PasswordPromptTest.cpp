#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "AccountTestSupport.h"
#include "library/account/QVRTessarinePasswordUnlockViewController.h"
#include "strings/UFM.h"

using accounttest::ScopedAccountEnvironment;

namespace {

void addProtectedDocument(FakeWebService& service)
{
    FakeWebService::Document document;
    document.stringID = QStringLiteral("abc");
    document.owner = QStringLiteral("someone");
    document.published = true;
    document.password = QStringLiteral("sesame");
    document.publishedJson = QStringLiteral("{\"flows\": []}");
    service.addDocument(document);
}

} // namespace

TEST(PasswordPromptTest, WrongPasswordAlertsADroppedConnectionSaysSoAndTheRightOneUnlocks)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    addProtectedDocument(env.service);
    QVRTessarinePasswordUnlockViewController prompt(QStringLiteral("abc"));
    EXPECT_EQ(prompt.title(), QStringLiteral("abc"));
    QString unlockedWith;
    prompt.setOnTessarineUnlocked([&](const QString& reply) { unlockedWith = reply; });

    prompt.passwordField()->setText(QStringLiteral("wrong"));
    prompt.unlockButton()->click();
    EXPECT_FALSE(prompt.unlockButton()->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return env.alerts.requests.size() == 1; }, 5000));
    EXPECT_EQ(env.alerts.requests.back().messageText, QStringLiteral("abc"));
    EXPECT_EQ(env.alerts.requests.back().informativeText, UFM::PASSWORD_WAS_INCORRECT_TEXT());
    EXPECT_TRUE(prompt.unlockButton()->isEnabled());
    // The refused password is selected, so the next one typed replaces it.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return prompt.passwordField()->selectedText() == QStringLiteral("wrong"); }, 2000));

    env.service.injectReply(QString(), FakeHttpReply::drop(), -1);
    prompt.unlockButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return env.alerts.requests.size() == 2; }, 5000));
    EXPECT_NE(env.alerts.requests.back().informativeText, UFM::PASSWORD_WAS_INCORRECT_TEXT());
    EXPECT_FALSE(env.alerts.requests.back().informativeText.isEmpty());
    env.service.clearInjectedReplies();

    prompt.passwordField()->setText(QStringLiteral("sesame"));
    prompt.unlockButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !unlockedWith.isEmpty(); }, 5000));
    EXPECT_TRUE(unlockedWith.contains(QStringLiteral("document_json_published")));
    EXPECT_EQ(env.alerts.requests.size(), 2u);
}

TEST(PasswordPromptTest, ThePromptOpensOverTheWaitingWindowAndClosingItDismissesIt)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    // The window that waits for the password, away from the screen's corner: the prompt opens over it.
    QWidget waiting;
    waiting.setGeometry(300, 200, 800, 600);
    waiting.show();
    waiting.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&waiting));
    int dismissed = 0;
    QVRTessarinePasswordUnlockViewController::showPrompt(
        QStringLiteral("abc"), [](const QString&) {}, [&] { ++dismissed; });
    QWidget* window = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->windowTitle() == QStringLiteral("abc"))
            window = widget;
    }
    ASSERT_NE(window, nullptr);
    EXPECT_LE((window->geometry().center() - waiting.geometry().center()).manhattanLength(), 4);
    window->close();
    EXPECT_EQ(dismissed, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

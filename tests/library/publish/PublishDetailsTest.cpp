#include <gtest/gtest.h>

#include <algorithm>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "PublishTestSupport.h"
#include "library/publish/QVREditTessarineDetailsWindowController.h"
#include "library/publish/SheetRunner.h"
#include "storage/ZERI_qvdFilePackageMetadata.h"
#include "foundation/QVREnterpriseGroup.h"
#include "foundation/Tessutils.h"
#include "strings/UFM.h"
#include "support/UserInput.h"

using publishtest::ScopedPublishEnvironment;

namespace {

const QString kCheckAlias = QStringLiteral("tessarine.checkAlias");

bool waitForAnswer(QVREditTessarineDetailsWindowController& details)
{
    return QTest::qWaitFor([&] { return !details.isCheckingAlias(); }, 5000);
}

// The signed-in user belongs to an enterprise group for the fixture's lifetime.
class ScopedEnterpriseGroup {
public:
    ScopedEnterpriseGroup()
    {
        Tessutils::setUserEnterpriseGroup(
            QVREnterpriseGroup(SafeDictionary(QJsonObject{{"id", 7}, {"group_name", "Team"}})));
    }
    ~ScopedEnterpriseGroup() { Tessutils::setUserEnterpriseGroup(std::nullopt); }
    ScopedEnterpriseGroup(const ScopedEnterpriseGroup&) = delete;
    ScopedEnterpriseGroup& operator=(const ScopedEnterpriseGroup&) = delete;
};

// "Secret", saved with a password and the protected option.
std::shared_ptr<ZERI_TessarineModel> protectedDocument()
{
    auto document = ScopedPublishEnvironment::savedDocument(QStringLiteral("Secret"));
    auto package = ScopedPublishEnvironment::packageOf(document);
    package->metaData().setHasPassword(true);
    package->metaData().setPrivacySetting(QStringLiteral("protected"));
    return document;
}

} // namespace

TEST(PublishDetailsTest, AliasLengthIsCheckedLocallyBeyondSixtyFourUnits)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    auto document = ScopedPublishEnvironment::savedDocument(QStringLiteral("Long"));
    QVREditTessarineDetailsWindowController details(document);

    details.aliasTextView()->setText(QString(64, QLatin1Char('a')));
    ASSERT_TRUE(waitForAnswer(details));
    EXPECT_EQ(env.service.requestCount(kCheckAlias), 1);
    EXPECT_EQ(details.validURLImageName(), QStringLiteral("yes_box"));
    EXPECT_TRUE(details.nextButton()->isEnabled());

    details.aliasTextView()->setText(QString(65, QLatin1Char('a')));
    EXPECT_EQ(details.aliasURLErrorLabel()->text(),
              QStringLiteral("Limited to 64 characters, you must delete 1 characters"));
    EXPECT_FALSE(details.nextButton()->isEnabled());

    details.aliasTextView()->setText(QString(10000, QLatin1Char('b')));
    EXPECT_EQ(details.aliasURLErrorLabel()->text(),
              QStringLiteral("Limited to 64 characters, you must delete 9936 characters"));
    EXPECT_EQ(env.service.requestCount(kCheckAlias), 1);
}

TEST(PublishDetailsTest, AliasErrorsAreShownAndBlockNext)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    auto document = ScopedPublishEnvironment::savedDocument(QStringLiteral("Errors"));
    QVREditTessarineDetailsWindowController details(document);
    struct Case {
        FakeHttpReply reply;
        QString message;
    };
    const Case cases[] = {
        {FakeHttpReply::serviceError(
             QStringLiteral("701"), QStringLiteral("illegal"),
             QJsonObject{{QStringLiteral("illegal_chars"), QJsonArray{QStringLiteral("$"), QStringLiteral("%")}}}),
         QStringLiteral("Alias contains illegal characters: $ %")},
        {FakeHttpReply::serviceError(QStringLiteral("701"), QStringLiteral("illegal"),
                                     QJsonObject{{QStringLiteral("illegal_chars"), QStringLiteral("$%")}}),
         QStringLiteral("Alias contains illegal characters: ")},
        {FakeHttpReply::serviceError(QStringLiteral("703"), QStringLiteral("taken")),
         QStringLiteral("Link already in use.")},
        {FakeHttpReply::html(404, "missing"), QStringLiteral("Network error")},
        {FakeHttpReply::html(200, "not json"), QStringLiteral("Unknown error.")},
    };
    int n = 0;
    for (const Case& c : cases) {
        env.service.injectReply(kCheckAlias, c.reply);
        details.aliasTextView()->setText(QStringLiteral("alias%1").arg(++n));
        ASSERT_TRUE(waitForAnswer(details));
        EXPECT_EQ(details.aliasURLErrorLabel()->text(), c.message);
        EXPECT_EQ(details.validURLImageName(), QStringLiteral("no_box"));
        EXPECT_FALSE(details.nextButton()->isEnabled());
        EXPECT_FALSE(details.aliasToClipboardButton()->isEnabled());
    }
    EXPECT_EQ(document->alias(), QString()); // nothing written before Next
}

TEST(PublishDetailsTest, OnlyTheLatestAliasAnswerCounts)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    auto document = ScopedPublishEnvironment::savedDocument(QStringLiteral("Race"));
    QVREditTessarineDetailsWindowController details(document);
    FakeHttpReply late = FakeHttpReply::serviceError(QStringLiteral("703"), QStringLiteral("taken"));
    late.delayMs = 300;
    env.service.injectReply(kCheckAlias, late);

    details.aliasTextView()->setText(QStringLiteral("abc"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return env.service.requestCount(kCheckAlias) == 1; }, 5000));
    details.aliasTextView()->setText(QStringLiteral("abcd"));
    ASSERT_TRUE(waitForAnswer(details));
    EXPECT_EQ(details.validURLImageName(), QStringLiteral("yes_box"));
    QTest::qWait(450); // the late "taken" for "abc" arrives
    EXPECT_EQ(details.validURLImageName(), QStringLiteral("yes_box"));
    EXPECT_TRUE(details.nextButton()->isEnabled());
}

TEST(PublishDetailsTest, CopyPutsTheShortLinkTheButtonShows)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    auto document = ScopedPublishEnvironment::savedDocument(QStringLiteral("Copy"));
    document->setAlias(QStringLiteral("my-talk"));
    QVREditTessarineDetailsWindowController details(document);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    // The alias field is named beside it, not left a blank box.
    const QList<QLabel*> labels = details.findChildren<QLabel*>();
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [&](const QLabel* label) {
        return label->buddy() == details.aliasTextView() && label->text() == UFM::SHORT_LINK_TEXT() &&
               label->isVisibleTo(&details);
    }));

    details.aliasToClipboardButton()->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("http://short.example/my-talk"));
    EXPECT_EQ(details.aliasToClipboardButton()->text(), QStringLiteral("http://short.example/my-talk"));

    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    details.aliasTextView()->clear();
    details.aliasToClipboardButton()->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
}

TEST(PublishDetailsTest, PasswordAndRemixFollowThePrivacyOption)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    auto document = protectedDocument();
    QVREditTessarineDetailsWindowController details(document);

    EXPECT_FALSE(details.groupRadioButton()->isVisible()); // no enterprise group
    EXPECT_EQ(details.selectedPrivacySetting(), QStringLiteral("protected"));
    EXPECT_EQ(details.passwordEntryField()->text(), QVREditTessarineDetailsWindowController::kPasswordBullets);
    EXPECT_EQ(details.passwordToSaveWith(), std::nullopt); // keep the stored password

    details.publicRadioButton()->click();
    EXPECT_FALSE(details.passwordEntryField()->isEnabled());
    EXPECT_EQ(details.passwordToSaveWith(), QString()); // remove it

    // Remix: private forces it off, public restores the user's own choice.
    details.allowRemixCheckbox()->click();
    ASSERT_TRUE(details.allowRemixCheckbox()->isChecked());
    EXPECT_TRUE(document->canRemix());
    details.privateRadioButton()->click();
    EXPECT_FALSE(details.allowRemixCheckbox()->isChecked());
    EXPECT_FALSE(details.allowRemixCheckbox()->isEnabled());
    EXPECT_FALSE(document->canRemix());
    details.publicRadioButton()->click();
    EXPECT_TRUE(details.allowRemixCheckbox()->isChecked());

    // Mismatched passwords alert and keep the sheet.
    details.protectedRadioButton()->click();
    details.passwordEntryField()->setText(QStringLiteral("one"));
    details.passwordReEntryField()->setText(QStringLiteral("two"));
    details.titleField()->setText(QStringLiteral("Renamed"));
    details.nextButton()->click();
    EXPECT_EQ(env.alerts.requests.size(), 1u);
    EXPECT_EQ(details.result(), 0);
    EXPECT_EQ(document->title(), QStringLiteral("Secret"));
}

// Under the privacy options a line says who may see the document with the chosen one; the password fields are
// headed as the protection they give.
TEST(PublishDetailsTest, APrivacyOptionSaysWhoMaySeeTheDocument)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    auto document = protectedDocument();
    QVREditTessarineDetailsWindowController details(document);
    details.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&details));
    QLabel* line = details.privacyDetailsLabel();
    EXPECT_TRUE(line->isVisible());
    EXPECT_EQ(line->text(), UFM::PASSWORD_PROTECTED_DETAILS_TEXT()) << "protected, with its stored password";
    const auto shownText = [&](QWidget* widget) {
        const QImage shot = widget->grab().toImage();
        int dark = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                dark += shot.pixelColor(x, y).lightness() < 160;
        return dark;
    };
    EXPECT_GT(shownText(line), 20) << "the line is drawn";

    for (auto [radio, text] : {std::pair{details.publicRadioButton(), UFM::PUBLIC_DETAILS_TEXT()},
                               std::pair{details.privateRadioButton(), UFM::PRIVATE_DETAILS_TEXT()}}) {
        radio->click();
        EXPECT_EQ(line->text(), text);
    }
    // Protected shows the stored password again; emptied, only the link lets people see it; typed again, the
    // password does.
    details.protectedRadioButton()->click();
    EXPECT_EQ(line->text(), UFM::PASSWORD_PROTECTED_DETAILS_TEXT());
    for (QLineEdit* field : {details.passwordEntryField(), details.passwordReEntryField()}) {
        field->setFocus();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_Backspace);
    }
    EXPECT_EQ(line->text(), UFM::RESTRICTED_DETAILS_TEXT());
    details.passwordEntryField()->setFocus();
    QTest::keyClicks(details.passwordEntryField(), QStringLiteral("pw"));
    EXPECT_EQ(line->text(), UFM::PASSWORD_PROTECTED_DETAILS_TEXT());

    // The keyboard enters the options at the chosen one, stored or picked, and the arrows then change the choice.
    details.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&details));
    for (QRadioButton* chosen : {details.protectedRadioButton(), details.publicRadioButton()}) {
        details.descriptionTextView()->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(details.descriptionTextView(), Qt::Key_Tab);
        EXPECT_TRUE(chosen->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    }
    EXPECT_TRUE(details.publicRadioButton()->isChecked());

    bool headed = false;
    for (QLabel* label : details.findChildren<QLabel*>())
        headed = headed || (label->text() == UFM::PASSWORD_PROTECTED_TEXT() && label->isVisible());
    EXPECT_TRUE(headed) << "the password fields are headed";

    // Assistive tools hear the options as the privacy settings and the second password field as the confirmation.
    const auto spokenName = [](QWidget* widget) {
        QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(widget);
        return spoken ? spoken->text(QAccessible::Name) : QString();
    };
    QWidget* options = details.publicRadioButton()->parentWidget();
    ASSERT_NE(options, &details) << "the options sit in a group of their own";
    EXPECT_TRUE(options->isVisible());
    EXPECT_EQ(spokenName(options), UFM::PRIVACY_SETTINGS_TEXT());
    for (QRadioButton* radio : {details.protectedRadioButton(), details.privateRadioButton()})
        EXPECT_EQ(radio->parentWidget(), options);
    EXPECT_EQ(spokenName(details.passwordReEntryField()), UFM::CONFIRM_PASSWORD_TEXT());
    QTest::keyClicks(details.passwordReEntryField(), QStringLiteral("pw"));
    EXPECT_EQ(spokenName(details.passwordReEntryField()), UFM::CONFIRM_PASSWORD_TEXT()) << "still named once typed in";
}

// The stored password is shown as bullets and kept unless a password field is typed into: renaming the
// document or rewriting its description must not take its password away.
TEST(PublishDetailsTest, TypingTheTitleKeepsTheStoredPasswordTypingAPasswordReplacesIt)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    auto document = protectedDocument();
    {
        QVREditTessarineDetailsWindowController details(document);
        details.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&details));
        details.titleField()->setFocus();
        details.titleField()->selectAll();
        UserInput::typeText(details.titleField(), QStringLiteral("Renamed"));
        details.descriptionTextView()->setFocus();
        UserInput::typeText(details.descriptionTextView(), QStringLiteral("New words"));
        EXPECT_EQ(details.passwordEntryField()->text(), QVREditTessarineDetailsWindowController::kPasswordBullets);
        EXPECT_EQ(details.passwordReEntryField()->text(), QVREditTessarineDetailsWindowController::kPasswordBullets);
        QTest::mouseClick(details.nextButton(), Qt::LeftButton);
        EXPECT_EQ(details.result(), SheetRunner::kDone);
        EXPECT_EQ(details.passwordToSaveWith(), std::nullopt); // the service keeps it
        EXPECT_EQ(details.selectedPrivacySetting(), QStringLiteral("protected"));
        EXPECT_EQ(document->title(), QStringLiteral("Renamed"));
        EXPECT_EQ(document->description(), QStringLiteral("New words"));
    }

    // Typing into one password field drops the bullets from both; the new password is saved once both match.
    QVREditTessarineDetailsWindowController details(document);
    details.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&details));
    details.passwordEntryField()->setFocus();
    details.passwordEntryField()->end(false);
    UserInput::typeText(details.passwordEntryField(), QStringLiteral("n"));
    EXPECT_EQ(details.passwordEntryField()->text(), QStringLiteral("n"));
    EXPECT_EQ(details.passwordReEntryField()->text(), QString());
    UserInput::typeText(details.passwordEntryField(), QStringLiteral("ew"));
    details.passwordReEntryField()->setFocus();
    UserInput::typeText(details.passwordReEntryField(), QStringLiteral("new"));
    EXPECT_EQ(details.passwordToSaveWith(), QStringLiteral("new"));
}

TEST(PublishDetailsTest, GroupOptionForcesRemixOnAndPublicRestoresTheUsersChoice)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    ScopedEnterpriseGroup group;
    auto document = ScopedPublishEnvironment::savedDocument(QStringLiteral("Team talk"));
    document->setCanRemix(false);
    QVREditTessarineDetailsWindowController details(document);
    details.show();

    // A group member's document without a privacy option starts as the group's.
    EXPECT_TRUE(details.groupRadioButton()->isVisible());
    EXPECT_EQ(details.selectedPrivacySetting(), QStringLiteral("enterprise_private"));
    EXPECT_TRUE(details.allowRemixCheckbox()->isChecked());
    EXPECT_FALSE(details.allowRemixCheckbox()->isEnabled());
    EXPECT_TRUE(document->canRemix());

    details.publicRadioButton()->click(); // the user had remix off
    EXPECT_TRUE(details.allowRemixCheckbox()->isEnabled());
    EXPECT_FALSE(details.allowRemixCheckbox()->isChecked());
    EXPECT_FALSE(document->canRemix());

    details.allowRemixCheckbox()->click(); // now on by choice
    details.privateRadioButton()->click();
    EXPECT_FALSE(details.allowRemixCheckbox()->isChecked());
    EXPECT_FALSE(document->canRemix());
    details.groupRadioButton()->click();
    EXPECT_TRUE(details.allowRemixCheckbox()->isChecked());
    EXPECT_FALSE(details.allowRemixCheckbox()->isEnabled());
    details.privateRadioButton()->click();
    details.publicRadioButton()->click();
    EXPECT_TRUE(details.allowRemixCheckbox()->isChecked());
    EXPECT_TRUE(document->canRemix());
    EXPECT_EQ(details.selectedPrivacySetting(), QStringLiteral("public"));

    // Under the group option, a password lets people outside the group in, and the line says so.
    details.groupRadioButton()->click();
    QLabel* line = details.privacyDetailsLabel();
    EXPECT_TRUE(line->isVisible());
    EXPECT_EQ(line->text(), UFM::GROUP_DETAILS_TEXT());
    details.passwordEntryField()->setFocus();
    QTest::keyClicks(details.passwordEntryField(), QStringLiteral("pw"));
    EXPECT_EQ(line->text(), UFM::PASSWORD_PROTECTED_FOR_NONGROUP_USERS_TEXT());
    QTest::keyClick(details.passwordEntryField(), Qt::Key_Backspace);
    QTest::keyClick(details.passwordEntryField(), Qt::Key_Backspace);
    EXPECT_EQ(line->text(), UFM::GROUP_DETAILS_TEXT());
}

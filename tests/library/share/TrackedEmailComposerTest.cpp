#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

#include "ShareTestSupport.h"
#include "controls/QVR_Toast.h"
#include "controls/ViewControllerWindowController.h"
#include "foundation/FontSubstitution.h"
#include "library/LibraryLibrary.h"
#include "library/share/QVR_TrackableEmailViewController.h"
#include "strings/UFM.h"
#include "support/QtPrinters.h"
#include "support/UserInput.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"

using sharetest::ScopedShareEnvironment;

namespace {

const QString kMethod = QStringLiteral("corvik.mailgun.send");
const QString kMessageHtml = QStringLiteral("See <a href=\"HTTP://MAKER.EXAMPLE/\">HTTP://MAKER.EXAMPLE/</a> and the "
                                            "<a href=\"https://files.example/doc.pdf\">PDF</a>");

// The service's own answer, held back for `delayMs` so a test can act while the reply is on its way.
void answerMailAfter(FakeWebService& service, int delayMs)
{
    service.setHandler(kMethod, [delayMs](const FakeWebService::Context& c) {
        if (c.request.field(QStringLiteral("recipient")).isEmpty())
            return FakeHttpReply::serviceError(QStringLiteral("98"), QStringLiteral("missing")).delayed(delayMs);
        c.state.sentEmails.append(c.request.fields);
        return FakeHttpReply::json(QJsonObject{{QStringLiteral("response"), QJsonObject{}}}).delayed(delayMs);
    });
}

QVR_TrackableEmailViewController* prepared(QVR_TrackableEmailViewController* composer)
{
    composer->setPrepopulatedSender(QStringLiteral("ann@example.com"));
    composer->setPrepopulatedRecipients(QStringLiteral("a@x.example, b@y.example"));
    composer->setPrepopulatedSubject(QStringLiteral("PDF from Flow"));
    QTextDocument message;
    message.setHtml(kMessageHtml);
    composer->setPrepopulatedMessage(message);
    composer->setNoTrackURLStrings({QStringLiteral("http://maker.example")});
    composer->setQvd_id(QStringLiteral("42"));
    return composer;
}

QString toastText(QWidget* view)
{
    auto* label = qobject_cast<QLabel*>(QVR_Toast::currentToast(view));
    return label ? label->text() : QString();
}

} // namespace

TEST(TrackedEmailMark, MarksMatchingLinksKeepingThemAsWritten)
{
    using C = QVR_TrackableEmailViewController;
    const QString html =
        QStringLiteral("<a href=\"HTTP://Maker.Example/\">x</a><a href=\"http://maker.example/\">y</a>"
                       "<a href=\"http://maker.example/page/\">z</a><a href=\"http://maker.example\">w</a>");
    EXPECT_EQ(C::htmlInjectedWithNoTrackForURLStrings(html, {}), html);
    EXPECT_EQ(C::htmlInjectedWithNoTrackForURLStrings(html, {QString()}), html);

    const QString marked = C::htmlInjectedWithNoTrackForURLStrings(html, {QStringLiteral("http://maker.example")});
    EXPECT_EQ(marked,
              QStringLiteral("<a href=\"HTTP://Maker.Example/\" class=\"notrack\">x</a>"
                             "<a href=\"http://maker.example/\" class=\"notrack\">y</a>"
                             "<a href=\"http://maker.example/page/\">z</a><a href=\"http://maker.example\">w</a>"));
    // An address that already ends in a slash and a quotation mark is used as it is.
    EXPECT_EQ(C::htmlInjectedWithNoTrackForURLStrings(html, {QStringLiteral("http://maker.example/page/\"")}),
              QString(html).replace("page/\"", "page/\" class=\"notrack\""));
}

TEST(TrackedEmailMark, TheMessageKeepsItsLinksAcrossRunsAndParagraphs)
{
    QTextDocument message;
    message.setHtml("<p>One <a href=\"https://a.example/x?y=1&amp;z=2\">li<b>nk</b></a> here</p><p><a "
                    "href=\"https://b.example/\">second</a></p>");
    const QString html = QVR_TrackableEmailViewController::messageHtml(message, {"https://b.example"});
    EXPECT_EQ(html.count("<a href=\"https://a.example/x?y=1&amp;z=2\">"), 2)
        << html.toStdString(); // two runs, one link
    EXPECT_TRUE(html.contains("<a href=\"https://b.example/\" class=\"notrack\"><span")) << html.toStdString();
    EXPECT_EQ(html.count("<a "), html.count("</a>"));

    // Links that overlap or fall outside the text are left out, never written half.
    const AttributedText text("abcdef");
    const QString serialised = ZERI_MMObject_Text::htmlSerializeAttributedString(
        text, {{{0, 4}, "https://one/"}, {{2, 3}, "https://two/"}, {{5, 9}, "https://three/"}});
    EXPECT_TRUE(serialised.contains("https://one/"));
    EXPECT_FALSE(serialised.contains("https://two/"));
    EXPECT_FALSE(serialised.contains("https://three/"));
    EXPECT_EQ(ZERI_MMObject_Text::htmlSerializeAttributedString(text, {}),
              ZERI_MMObject_Text::htmlSerializeAttributedString(text));
}

// The whole send: exactly the fields typed, the no-track mark, one mail for two clicks, then the block and the
// notification.
TEST(TrackedEmailComposer, SendsOnceThroughTheServiceAndNotifies)
{
    ScopedShareEnvironment environment;
    ASSERT_TRUE(environment.started());
    answerMailAfter(environment.service, 300);
    ViewControllerWindowController host;
    auto* composer = prepared(new QVR_TrackableEmailViewController);
    int afterSend = 0;
    composer->setAfterSendBlock([&] { ++afterSend; });
    host.setViewController(composer);
    host.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host.window()));
    EXPECT_EQ(composer->recipientsTextField()->text(), "a@x.example, b@y.example");
    EXPECT_EQ(composer->messageTextView()->toPlainText(), "See HTTP://MAKER.EXAMPLE/ and the PDF");

    QTest::mouseClick(composer->sendBtn(), Qt::LeftButton);
    EXPECT_FALSE(composer->sendBtn()->isEnabled());
    QTest::mouseClick(composer->sendBtn(), Qt::LeftButton);
    composer->sendBtnPressed();
    ASSERT_TRUE(QTest::qWaitFor([&] { return afterSend > 0; }, 10000));
    QTest::qWait(50);

    EXPECT_EQ(afterSend, 1);
    EXPECT_EQ(environment.service.requestCount(kMethod), 1);
    const auto sent = environment.service.state().sentEmails;
    ASSERT_EQ(sent.size(), 1);
    const auto& fields = sent.first();
    EXPECT_EQ(fields.value("auth_token"), "TOKEN-ann");
    EXPECT_EQ(fields.value("sender"), "ann@example.com");
    EXPECT_EQ(fields.value("recipient"), "a@x.example, b@y.example");
    EXPECT_EQ(fields.value("subject"), "PDF from Flow");
    EXPECT_EQ(fields.value("tessarine_id"), "42");
    EXPECT_EQ(fields.value("should_notify"), "1");
    const QString message = fields.value("message");
    EXPECT_TRUE(message.contains("href=\"HTTP://MAKER.EXAMPLE/\" class=\"notrack\"")) << message.toStdString();
    EXPECT_TRUE(message.contains("<a href=\"https://files.example/doc.pdf\"><span")) << message.toStdString();
    ASSERT_EQ(environment.notifications.size(), 1);
    EXPECT_EQ(environment.notifications.first().title, UFM::SUCCESS_TEXT());
    EXPECT_EQ(environment.notifications.first().text, QStringLiteral("Email sent."));
    EXPECT_TRUE(host.window()->isVisible()); // the block decides, not the composer
    EXPECT_TRUE(composer->sendBtn()->isEnabled());
}

TEST(TrackedEmailComposer, WithoutABlockASuccessClosesTheWindow)
{
    ScopedShareEnvironment environment;
    ASSERT_TRUE(environment.started());
    ViewControllerWindowController host;
    auto* composer = prepared(new QVR_TrackableEmailViewController);
    host.setViewController(composer);
    host.showWindow();
    composer->sendBtnPressed();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !environment.notifications.isEmpty(); }, 10000));
    EXPECT_FALSE(host.window()->isVisible());
}

TEST(TrackedEmailComposer, ErrorsAreToastedAndTheFieldsKept)
{
    ScopedShareEnvironment environment;
    ASSERT_TRUE(environment.started());
    ViewControllerWindowController host;
    auto* composer = prepared(new QVR_TrackableEmailViewController);
    composer->setPrepopulatedRecipients(QString());
    int afterSend = 0;
    composer->setAfterSendBlock([&] { ++afterSend; });
    host.setViewController(composer);
    host.showWindow();
    QWidget* view = composer->view();

    composer->sendBtnPressed();
    ASSERT_TRUE(QTest::qWaitFor([&] { return composer->sendBtn()->isEnabled(); }, 10000));
    EXPECT_EQ(toastText(view),
              QStringLiteral("There was an error sending the email. Please enter both a recipient and a sender."));
    EXPECT_EQ(composer->senderTextField()->text(), "ann@example.com");
    EXPECT_EQ(composer->subjectTextField()->text(), "PDF from Flow");
    EXPECT_EQ(composer->messageTextView()->toPlainText(), "See HTTP://MAKER.EXAMPLE/ and the PDF");

    // A reply that is not JSON: the general text only.
    composer->recipientsTextField()->setText("a@x.example");
    environment.service.injectReply(kMethod, FakeHttpReply::raw(200, "text/html", "<html>oops</html>"));
    composer->sendBtnPressed();
    ASSERT_TRUE(QTest::qWaitFor([&] { return composer->sendBtn()->isEnabled(); }, 10000));
    EXPECT_EQ(toastText(view), QStringLiteral("There was an error sending the email."));
    EXPECT_EQ(afterSend, 0);
    EXPECT_TRUE(environment.notifications.isEmpty());
    EXPECT_TRUE(host.window()->isVisible());
}

// The mail went out after the user cancelled: the notification still comes, and nothing touches the composer.
TEST(TrackedEmailComposer, AReplyAfterCancelStillNotifies)
{
    ScopedShareEnvironment environment;
    ASSERT_TRUE(environment.started());
    answerMailAfter(environment.service, 300);
    auto composer = std::make_unique<QVR_TrackableEmailViewController>();
    prepared(composer.get());
    int afterSend = 0;
    composer->setAfterSendBlock([&] { ++afterSend; });
    composer->setOnCancelBlock([&] { QTimer::singleShot(0, [&] { composer.reset(); }); });
    composer->view()->show();
    composer->sendBtnPressed();
    QTest::mouseClick(composer->cancelBtn(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !composer; }, 2000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !environment.notifications.isEmpty(); }, 10000));
    QTest::qWait(50);
    EXPECT_EQ(environment.notifications.size(), 1);
    EXPECT_EQ(afterSend, 0);

    // An error after Cancel is only logged.
    composer = std::make_unique<QVR_TrackableEmailViewController>();
    prepared(composer.get())->setPrepopulatedRecipients(QString());
    composer->view()->show();
    composer->sendBtnPressed();
    composer.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return environment.service.requestCount(kMethod) == 2; }, 10000));
    QTest::qWait(500);
    EXPECT_EQ(environment.notifications.size(), 1);
}

TEST(TrackedEmailComposer, HelpButtonIsPinnedTopRightAndTheOverlayExplains)
{
    QVR_TrackableEmailViewController composer;
    QWidget* view = composer.view();
    view->resize(QVR_TrackableEmailViewController::preferredWindowSizeOfComposer());
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
    const QRect help = composer.helpBtn()->geometry();
    EXPECT_EQ(help.size(), QSize(25, 25));
    EXPECT_EQ(help.y(), 6);
    EXPECT_EQ(help.x(), composer.sendBtn()->x() - 31);
    view->resize(800, 700);
    EXPECT_EQ(composer.helpBtn()->x(), composer.sendBtn()->x() - 31);
    EXPECT_EQ(800 - composer.helpBtn()->x(), 600 - help.x()); // pinned to the right

    const QColor undimmed(view->grab().toImage().pixel(5, 5));
    QTest::mouseClick(composer.helpBtn(), Qt::LeftButton);
    const QPointer<QVR_TrackableEmailHelpView> overlay = composer.helpView();
    ASSERT_TRUE(overlay);
    EXPECT_EQ(overlay->geometry(), view->rect());
    const QRect box = overlay->box()->geometry();
    EXPECT_LE(std::abs(box.center().x() - view->rect().center().x()), 1);
    EXPECT_LE(std::abs(box.center().y() - view->rect().center().y()), 1);
    EXPECT_LE(box.width(), 300 + 20);
    EXPECT_GT(box.height(), 20);
    // Just above the message view: the message is covered, the help button above it is not.
    EXPECT_EQ(view->childAt(composer.helpBtn()->geometry().center()), composer.helpBtn());
    auto* message = view->findChild<QTextEdit*>(QStringLiteral("messageTextView"));
    ASSERT_TRUE(message);
    const QPoint inMessage = message->geometry().bottomLeft() + QPoint(4, -4);
    QWidget* atMessage = view->childAt(inMessage);
    EXPECT_TRUE(atMessage == overlay || overlay->isAncestorOf(atMessage));

    const QImage image = view->grab().toImage();
    EXPECT_EQ(QColor(image.pixel(box.topLeft())), QColor(Qt::black)); // the border
    EXPECT_EQ(QColor(image.pixel(box.topLeft() + QPoint(4, 4))), QColor(Qt::white));
    EXPECT_LT(QColor(image.pixel(5, 5)).lightness(), undimmed.lightness());

    QTest::mouseClick(overlay, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(QTest::qWaitFor([&] { return overlay.isNull(); }, 2000));
}

// The keyboard sees where it is, opens the help, leaves it with any of its keys, and Escape there keeps the mail.
TEST(TrackedEmailComposer, TheHelpComesAndGoesByTheKeyboardAndTheButtonsShowTheFocus)
{
    ViewControllerWindowController host;
    auto* composer = prepared(new QVR_TrackableEmailViewController);
    int cancelled = 0;
    composer->setOnCancelBlock([&] { ++cancelled; });
    host.setViewController(composer);
    host.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(host.window()));
    UserInput::pressKey(composer->recipientsTextField(), Qt::Key_Tab); // the keyboard is in use from here
    for (QWidget* button : {static_cast<QWidget*>(composer->helpBtn()), static_cast<QWidget*>(composer->sendBtn()),
                            static_cast<QWidget*>(composer->cancelBtn())}) {
        composer->recipientsTextField()->setFocus();
        UserInput::letRepaintsHappen();
        const QImage without = UserInput::shownImage(button);
        ASSERT_FALSE(without.isNull());
        button->setFocus(Qt::TabFocusReason);
        UserInput::letRepaintsHappen();
        EXPECT_NE(UserInput::shownImage(button), without) << button->objectName().toStdString();
    }

    // Tab walks round the composer only, never on to what it covers.
    auto* covered = new QPushButton(QStringLiteral("covered"), host.window());
    covered->lower();
    covered->show();
    for (int press = 0; press < 10; ++press) {
        UserInput::pressKey(nullptr, Qt::Key_Tab);
        ASSERT_TRUE(composer->view()->isAncestorOf(QApplication::focusWidget())) << press;
    }

    QToolButton* help = composer->helpBtn();
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Space}) {
        help->setFocus(Qt::TabFocusReason);
        UserInput::pressKey(nullptr, Qt::Key_Space);
        const QPointer<QVR_TrackableEmailHelpView> overlay = composer->helpView();
        ASSERT_TRUE(overlay && overlay->isVisible());
        UserInput::pressKey(nullptr, Qt::Key_Tab);
        EXPECT_TRUE(overlay->hasFocus()) << "Tab left the help for a field under it";
        UserInput::pressKey(nullptr, key);
        EXPECT_TRUE(QTest::qWaitFor([&] { return overlay.isNull(); }, 2000))
            << QKeySequence(key).toString().toStdString();
        EXPECT_TRUE(help->hasFocus());
    }
    EXPECT_EQ(cancelled, 0);
    EXPECT_TRUE(host.window()->isVisible());
    EXPECT_EQ(composer->recipientsTextField()->text(), "a@x.example, b@y.example");
}

// Text typed after the prepared link is the message's own, in the prepared face and size.
TEST(TrackedEmailComposer, TextTypedAfterTheLinkIsNotPartOfIt)
{
    ViewControllerWindowController host;
    auto* composer = new QVR_TrackableEmailViewController;
    QTextDocument message;
    message.setHtml("<p>Ann has shared a PDF.</p><p><a href=\"https://files.example/doc.pdf\">Open doc.pdf</a></p>");
    QTextCursor all(&message);
    all.select(QTextCursor::Document);
    QTextCharFormat face;
    face.setFont(FontSubstitution::fontForPostScriptName(QStringLiteral("HelveticaNeue-Medium"), 16),
                 QTextCharFormat::FontPropertiesAll);
    all.mergeCharFormat(face);
    composer->setPrepopulatedMessage(message);
    host.setViewController(composer);
    host.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host.window()));
    QTextEdit* edit = composer->messageTextView();
    QTest::mouseClick(edit->viewport(), Qt::LeftButton, {}, QPoint(40, edit->viewport()->height() - 10));
    UserInput::typeText(edit, QStringLiteral("Hi Bob"));
    UserInput::pressKey(edit, Qt::Key_Return);
    UserInput::typeText(edit, QStringLiteral("Regards"));

    const QString html = QVR_TrackableEmailViewController::messageHtml(*edit->document(), {});
    EXPECT_EQ(html.count("<a "), 1) << html.toStdString();
    EXPECT_TRUE(html.contains("Open doc.pdf</span></a>")) << html.toStdString();
    const qsizetype typed = html.indexOf("Hi Bob");
    ASSERT_GT(typed, 0);
    const QString span = html.mid(html.lastIndexOf("<span", typed), typed - html.lastIndexOf("<span", typed));
    EXPECT_TRUE(span.contains("font-family:'Helvetica Neue','TeX Gyre Heros'")) << span.toStdString();
    EXPECT_TRUE(span.contains("font-weight:500")) << span.toStdString();
    EXPECT_TRUE(span.contains("font-size:16pt")) << span.toStdString();
    EXPECT_FALSE(html.contains("Te XGyre")) << html.toStdString();
}

TEST(TrackedEmailComposer, TheLibraryRegistersTheComposerForThePDFViewer)
{
    TrackedEmailComposer::registerFactory({});
    EXPECT_FALSE(TrackedEmailComposer::isAvailable());
    registerLibraryLibrary();
    ASSERT_TRUE(TrackedEmailComposer::isAvailable());
    const auto composer = TrackedEmailComposer::make();
    ASSERT_TRUE(composer);
    EXPECT_EQ(composer->preferredWindowSize(), QSize(600, 700));
    QTextDocument message;
    message.setHtml(kMessageHtml);
    composer->setPrepopulatedMessage(message);
    auto* edit = composer->view()->findChild<QTextEdit*>("messageTextView");
    ASSERT_TRUE(edit);
    EXPECT_TRUE(edit->toHtml().contains("https://files.example/doc.pdf"));
}

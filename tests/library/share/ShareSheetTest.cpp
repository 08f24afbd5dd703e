#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QUrlQuery>

#include "ShareTestSupport.h"
#include "library/LibraryLibrary.h"
#include "library/share/QVRSharePostedTessarineWindowController.h"
#include "platform/AlertPresenter.h"
#include "strings/UFM.h"
#include "support/QtPrinters.h"
#include "viewer/ViewerSharing.h"

using ShareLinks::Channel;
using sharetest::ScopedShareEnvironment;

TEST(ShareSheet, ShowsTheTitleAddressAndEmbedCodeAndClosesOnDone)
{
    ScopedShareEnvironment environment;
    QVRSharePostedTessarineWindowController sheet(ScopedShareEnvironment::publishedDocument());
    sheet.resize(600, 400);
    sheet.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
    EXPECT_FALSE(sheet.grab().isNull());
    EXPECT_EQ(sheet.titleLabel()->text(), UFM::SHARE_YOUR_TESSARINE_TEXT());
    sheet.setJustPosted(true);
    EXPECT_EQ(sheet.titleLabel()->text(), UFM::TESSARINE_POSTED_TEXT());

    EXPECT_EQ(sheet.copyAddressField()->text(), "pub.example/s/abc");
    EXPECT_EQ(sheet.copyEmbedCodeField()->text(), sheet.tessarineModel()->embedCode());
    EXPECT_TRUE(sheet.copyEmbedCodeField()->text().contains("https://pub.example/s/abc"));
    EXPECT_TRUE(sheet.copyAddressField()->isReadOnly());

    for (PostShareWindowTextField* field : {sheet.copyAddressField(), sheet.copyEmbedCodeField()}) {
        field->deselect();
        QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(5, field->height() / 2));
        EXPECT_EQ(field->selectedText(), field->text());
    }

    QTest::mouseClick(sheet.doneButton(), Qt::LeftButton);
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_TRUE(environment.opener.opened.isEmpty());
}

TEST(ShareSheet, AnAliasShowsTheShortLink)
{
    ScopedShareEnvironment environment;
    QVRSharePostedTessarineWindowController sheet(ScopedShareEnvironment::publishedDocument("xyz"));
    EXPECT_EQ(sheet.copyAddressField()->text(), "http://short.example/xyz");
}

// The e-mail button logs its event with the document and hands exactly one address to the mail program; the
// sheet stays, and the web service hears nothing. (The networks' buttons open windows of their own: see
// ShareNetworkWindowsTest.)
TEST(ShareSheet, TheEmailButtonLogsItsEventAndOpensOneAddress)
{
    ScopedShareEnvironment environment;
    ASSERT_TRUE(environment.started());
    auto* sheet = QVRSharePostedTessarineWindowController::showForDocument(ScopedShareEnvironment::publishedDocument(),
                                                                           nullptr, true);
    ASSERT_TRUE(sheet);
    const QPointer<QVRSharePostedTessarineWindowController> guard(sheet);
    EXPECT_TRUE(sheet->justPosted());

    for (Channel channel : {Channel::Facebook, Channel::Twitter, Channel::LinkedIn, Channel::Gmail})
        EXPECT_TRUE(sheet->shareButton(channel)->isEnabled());
    QPushButton* button = sheet->shareButton(Channel::Email);
    ASSERT_TRUE(button);
    EXPECT_TRUE(button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_EQ(environment.opener.opened.size(), 1);
    const QString opened = environment.opener.opened.last().toString(QUrl::FullyEncoded);
    EXPECT_TRUE(opened.startsWith("mailto:?BODY=")) << opened.toStdString();
    EXPECT_TRUE(opened.contains("my-big-idea%2Fe")) << opened.toStdString();
    const auto events = environment.events("Sharing Initiated");
    ASSERT_EQ(events.size(), 1);
    const QJsonObject parameters = events.last().value("parameters").toObject();
    EXPECT_EQ(parameters.value("Type").toString(), "Email");
    EXPECT_EQ(events.last().value("document_id").toString(), "42");
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->networkWindow(), nullptr);
    EXPECT_EQ(environment.service.requestCount(), 0);

    // A desktop that cannot open the address (no mail program): the sheet says so, and stays.
    RecordingAlertPresenter alerts;
    AlertPresenter::setShared(&alerts);
    environment.opener.result = false;
    QTest::mouseClick(sheet->shareButton(Channel::Email), Qt::LeftButton);
    AlertPresenter::setShared(nullptr);
    ASSERT_EQ(alerts.requests.size(), 1u);
    EXPECT_EQ(alerts.requests.front().messageText, UFM::NO_MAIL_PROGRAM_TEXT());
    EXPECT_TRUE(sheet->isVisible());

    sheet->close();
    (void)QTest::qWaitFor([&] { return guard.isNull(); }, 2000);
    EXPECT_TRUE(guard.isNull()); // deleted on close
}

TEST(ShareSheet, AnUnpublishedDocumentHasEmptyFieldsAndNoShareButtons)
{
    ScopedShareEnvironment environment;
    auto document = ScopedShareEnvironment::publishedDocument("xyz");
    document->setStringID(QString());
    QVRSharePostedTessarineWindowController sheet(document);
    EXPECT_EQ(sheet.copyAddressField()->text(), "");
    EXPECT_EQ(sheet.copyEmbedCodeField()->text(), "");
    for (Channel channel : {Channel::Facebook, Channel::Twitter, Channel::LinkedIn, Channel::Gmail, Channel::Email}) {
        EXPECT_FALSE(sheet.shareButton(channel)->isEnabled());
        sheet.shareButton(channel)->click(); // disabled: nothing happens
    }
    sheet.emailButtonPressed(); // called directly: still nothing to open
    EXPECT_TRUE(environment.opener.opened.isEmpty());
    EXPECT_TRUE(environment.events("Sharing Initiated").isEmpty());
}

// The library hands the viewer its share sheet: a viewer's share button opens it over that button's window.
TEST(ShareSheet, TheViewersShareButtonsOpenTheSheetOnceTheLibraryIsRegistered)
{
    ScopedShareEnvironment environment;
    registerLibraryLibrary();
    const std::shared_ptr<ViewerSharing> sharing = ViewerSharing::shared();
    ASSERT_NE(sharing, nullptr);
    QWidget window;
    window.show();
    sharing->shareDocument(ScopedShareEnvironment::publishedDocument(), &window);
    auto* sheet = window.findChild<QVRSharePostedTessarineWindowController*>();
    ASSERT_NE(sheet, nullptr);
    EXPECT_FALSE(sheet->justPosted());
    EXPECT_EQ(sheet->copyAddressField()->text(), "pub.example/s/abc");
    delete sheet;
    ViewerSharing::registerSharing(nullptr);
}

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QKeySequence>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include "app/QVRAppDelegate.h"
#include "controls/QVR_Toast.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "library/share/QVR_TrackableEmailViewController.h"
#include "roads/RoadsKeyboard.h"
#include "roads/RoadsSignedInService.h"
#include "roads/RoadsTestSupport.h"
#include "strings/UFM.h"
#include "support/QtPrinters.h"
#include "support/UserInput.h"
#include "support/fakeservice/FakeWebService.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/QVRViewerViewController.h"
#include "viewer/QVRViewerWindow.h"
#include "viewer/QVR_PDFViewerView.h"

using namespace roads;
namespace keys = roads::keyboard;

namespace {

// The text of a one-screen document holding a PDF served at `url`.
QString documentWithPdfAt(const QUrl& url, QString* localID)
{
    auto document = ZERI_TessarineModel::create();
    document->firstFlowmodel()->setTitle(QStringLiteral("Handouts"));
    auto screen = ZERI_FlowScreenModel::create();
    document->firstFlowmodel()->addFlowScreen(screen);
    auto pdf = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::PDF);
    auto asset = ZERI_ContentAsset::create();
    asset->setExternalURL(url);
    asset->setSourceFileName(QStringLiteral("pages.pdf"));
    pdf->object()->setPdfAsset(asset);
    screen->addMixedMediaObject(pdf);
    *localID = document->qvdID();
    return QString::fromUtf8(document->jsonData());
}

// Whether `control` of the composer lies wholly in sight in the PDF view, once scrolled to where the user would
// scroll to reach it (the composer's own scroll area, if it has one).
bool reachable(QWidget* control, QVR_PDFViewerView* pdf)
{
    for (QWidget* up = control->parentWidget(); up && up != pdf; up = up->parentWidget()) {
        if (auto* area = qobject_cast<QScrollArea*>(up); area && area != pdf->scrollArea())
            area->ensureWidgetVisible(control, 0, 0);
    }
    UserInput::letRepaintsHappen();
    QRect seen(control->mapTo(pdf, QPoint(0, 0)), control->size());
    for (QWidget* up = control->parentWidget(); up && up != pdf; up = up->parentWidget())
        seen = seen.intersected(QRect(up->mapTo(pdf, QPoint(0, 0)), up->size()));
    return control->isVisible() && seen.size() == control->size() && pdf->rect().contains(seen);
}

// A posted document holding a PDF, opened from its link and played in a viewer `viewerHeight` high, its PDF opened
// with Return: the PDF viewer with its first page drawn, or null.
QVR_PDFViewerView* openPostedPdf(FakeWebService* service, QTemporaryDir& inputs, FakeWebService::Document* posted,
                                 int viewerHeight = 640)
{
    QFile pdfFile(makePdf(inputs.filePath(QStringLiteral("pages.pdf")), 2));
    if (!pdfFile.open(QIODevice::ReadOnly))
        return nullptr;
    const QUrl pdfURL =
        service->addContent(QStringLiteral("handout"), pdfFile.readAll(), QStringLiteral("pages.pdf"), "ann");
    QString localID;
    posted->owner = QStringLiteral("ann");
    posted->title = QStringLiteral("Handouts");
    posted->published = true;
    posted->documentJson = documentWithPdfAt(pdfURL, &localID);
    posted->publishedJson = posted->documentJson;
    *posted = service->addDocument(*posted);
    EXPECT_NE(posted->id, localID);

    application().handleLinks({QStringLiteral("tessarine://loadbystringid/") + posted->stringID});
    QVR_CreatorWindow* creator = nullptr;
    QVRViewerWindow* player = nullptr;
    waitFor([&] {
        for (QVR_CreatorWindow* window : creatorWindows()) {
            if (window->currentModel() && window->currentModel()->stringID() == posted->stringID)
                creator = window;
        }
        player = visibleTopLevel<QVRViewerWindow>();
        return creator || player;
    });
    if (!player && creator)
        player = play(creator);
    if (!player)
        return nullptr;
    player->resize(900, viewerHeight);
    QVRViewerViewController* viewer = player->windowController()->tessarineViewerViewController();
    if (!waitFor([&] { return viewer->viewerView()->currentlyDisplayedFlowScreen() != nullptr; }))
        return nullptr;
    // Return opens the PDF; while its file is still on its way, Return starts the download and the next Return,
    // once it is here, opens it.
    QVR_PDFViewerView* pdf = nullptr;
    QElapsedTimer sinceReturn;
    waitFor([&] {
        pdf = viewer->pdfViewerView();
        if (!pdf && (!sinceReturn.isValid() || sinceReturn.elapsed() > 500)) {
            UserInput::pressKey(viewer->viewerView(), Qt::Key_Return);
            sinceReturn.start();
        }
        return pdf && pdf->emailButton() && pdf->hasImageForPage(0);
    });
    return pdf && pdf->hasImageForPage(0) ? pdf : nullptr;
}

// A posted document opened from its link, played in a small viewer, its PDF opened with Return: every control of
// the tracked e-mail composer can be reached there, and the e-mail about the PDF, typed and sent, reaches the
// service with the document's server id, the one the service knows it by.
TEST(TrackedEmailRoad, TheServiceReceivesTheDocumentsServerId)
{
    FakeWebService* service = signedInService();
    ASSERT_TRUE(service);
    application();
    ASSERT_TRUE(leaveFirstLaunchTour());

    QTemporaryDir inputs;
    FakeWebService::Document posted;
    QVR_PDFViewerView* pdf = openPostedPdf(service, inputs, &posted, 520);
    ASSERT_TRUE(pdf);

    click(pdf->emailButton());
    auto* composer = dynamic_cast<QVR_TrackableEmailViewController*>(pdf->emailVC());
    ASSERT_TRUE(composer);
    ASSERT_TRUE(waitFor([&] { return composer->view()->isVisible(); }, 5000));
    UserInput::letRepaintsHappen();
    for (QWidget* control :
         {static_cast<QWidget*>(composer->senderTextField()), static_cast<QWidget*>(composer->recipientsTextField()),
          static_cast<QWidget*>(composer->sendBtn()), static_cast<QWidget*>(composer->cancelBtn()),
          static_cast<QWidget*>(composer->helpBtn())}) {
        EXPECT_TRUE(reachable(control, pdf))
            << control->metaObject()->className() << " " << control->objectName().toStdString() << " cannot be reached";
    }
    if (composer->senderTextField()->text().isEmpty()) {
        composer->senderTextField()->setFocus();
        UserInput::typeText(composer->senderTextField(), QStringLiteral("ann@example.com"));
    }
    composer->recipientsTextField()->setFocus();
    UserInput::typeText(composer->recipientsTextField(), QStringLiteral("bo@x.example"));
    const int sent = int(service->state().sentEmails.size());
    click(composer->sendBtn());
    ASSERT_TRUE(waitFor([&] { return service->state().sentEmails.size() > sent; }, 10000));
    const auto email = service->state().sentEmails.last();
    EXPECT_EQ(email.value(QStringLiteral("tessarine_id")), posted.id);
    EXPECT_EQ(email.value(QStringLiteral("recipient")), QStringLiteral("bo@x.example"));
    EXPECT_TRUE(waitFor([&] { return pdf->emailVC() == nullptr; }, 5000)) << "the composer stayed open";
    // The sender is told the mail went, in the PDF view the composer lay on: its panel went with it.
    QWidget* notice = nullptr;
    EXPECT_TRUE(waitFor([&] { return (notice = QVR_Toast::currentToast(pdf)) && notice->isVisible(); }, 5000))
        << "no notice in the PDF view after the mail went";
    if (notice) {
        auto* label = qobject_cast<QLabel*>(notice);
        EXPECT_TRUE(label && label->text().contains(UFM::EMAIL_SENT_TEXT()));
        EXPECT_TRUE(pdf->rect().contains(QRect(notice->mapTo(pdf, QPoint(0, 0)), notice->size())));
        const QImage shown = pdf->window()->grab().toImage();
        const QPoint middle = notice->mapTo(pdf->window(), notice->rect().center() - QPoint(0, notice->height() / 3));
        EXPECT_LT(qGray(shown.pixel(middle)), 96) << "the notice is not drawn where it lies";
    }

    // Escape closes the PDF; its page renderer goes on the next turns, before the application may end.
    QPointer<QVR_PDFViewerView> closingPdf(pdf);
    QTest::keyClick(pdf->scrollArea(), Qt::Key_Escape);
    EXPECT_TRUE(waitFor(
        [&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return !closingPdf;
        },
        5000));
    closeDocumentWindows();
}

} // namespace

namespace {

// The keys of the composer are its own: Return in its To field sends the e-mail and Escape cancels it, and either
// takes the composer away and leaves the PDF open. A newly opened PDF has the keyboard: Page Down scrolls it; Tab
// reaches the e-mail button, where Space or Return opens the composer and where the keyboard comes back.
TEST(TrackedEmailRoad, ReturnAndEscapeInTheComposerLeaveThePdfOpen)
{
    FakeWebService* service = signedInService();
    ASSERT_TRUE(service);
    application();
    ASSERT_TRUE(leaveFirstLaunchTour());
    QTemporaryDir inputs;
    FakeWebService::Document posted;
    QPointer<QVR_PDFViewerView> pdf = openPostedPdf(service, inputs, &posted);
    ASSERT_TRUE(pdf);
    ASSERT_TRUE(keys::check(QStringLiteral("the PDF opened")));
    QScrollBar* scroll = pdf->scrollArea()->verticalScrollBar();
    ASSERT_TRUE(waitFor([&] { return scroll->maximum() > 0; }, 5000));
    const int top = scroll->value();
    keys::press(Qt::Key_PageDown);
    EXPECT_GT(scroll->value(), top) << "Page Down in a newly opened PDF did nothing";

    // The e-mail button is a Tab stop of the PDF, and shows it has the keyboard.
    QAbstractButton* email = pdf->emailButton();
    const auto shownButton = [&] {
        UserInput::letRepaintsHappen();
        return UserInput::shownImage(email);
    };
    const QImage unfocused = shownButton();
    ASSERT_FALSE(unfocused.isNull()) << "the PDF's window shows nothing yet";
    ASSERT_TRUE(keys::tabUntil([&] { return keys::focused() == email; }, 6))
        << "Tab never reached the e-mail button; the keyboard is on " << keys::describe(keys::focused()).toStdString();
    EXPECT_NE(shownButton(), unfocused) << "the e-mail button does not show it has the keyboard";
    EXPECT_TRUE(keys::check(QStringLiteral("Tab to the e-mail button")));

    // Escape and then Return close the composer, opened by Space and then by Return on the button.
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
        const QString keyName = QKeySequence(key).toString();
        ASSERT_TRUE(keys::tabUntil([&] { return keys::focused() == email; }, 6));
        keys::press(key == Qt::Key_Escape ? Qt::Key_Space : Qt::Key_Return);
        auto* composer = dynamic_cast<QVR_TrackableEmailViewController*>(pdf->emailVC());
        ASSERT_TRUE(composer);
        ASSERT_TRUE(waitFor([&] { return composer->view()->isVisible(); }, 5000));
        EXPECT_EQ(keys::focused(), composer->recipientsTextField()) << "the composer opened without the keyboard in To";
        EXPECT_TRUE(keys::check(QStringLiteral("the composer opened")));
        if (key == Qt::Key_Escape) {
            // Tab walks on from the message to the buttons and back round, and types nothing into the message.
            const QString message = composer->messageTextView()->toPlainText();
            EXPECT_TRUE(keys::tabWalksAround(QStringLiteral("the composer"), 5));
            EXPECT_EQ(composer->messageTextView()->toPlainText(), message) << "Tab typed into the message";
        }
        if (composer->senderTextField()->text().isEmpty())
            composer->senderTextField()->setText(QStringLiteral("ann@example.com"));
        composer->recipientsTextField()->setFocus();
        keys::type(QStringLiteral("bo@x.example"));
        const int sent = int(service->state().sentEmails.size());
        keys::press(key);
        if (key == Qt::Key_Return) {
            EXPECT_TRUE(waitFor([&] { return service->state().sentEmails.size() > sent; }, 10000))
                << "Return in To sent nothing";
        }
        EXPECT_TRUE(waitFor([&] { return pdf && pdf->emailVC() == nullptr; }, 5000))
            << keyName.toStdString() << " left the composer open";
        QTest::qWait(300);
        ASSERT_TRUE(pdf && pdf->isVisible()) << keyName.toStdString() << " in the composer closed the PDF";
        if (key == Qt::Key_Escape) {
            EXPECT_EQ(int(service->state().sentEmails.size()), sent) << "Escape sent the e-mail";
        }
        EXPECT_EQ(keys::focused(), email)
            << "the keyboard went back to " << keys::describe(keys::focused()).toStdString();
        EXPECT_TRUE(keys::check(QStringLiteral("the composer closed with ") + keyName));
    }

    // Escape without the composer closes the PDF.
    keys::press(Qt::Key_Escape);
    EXPECT_TRUE(waitFor(
        [&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return !pdf;
        },
        5000));
    closeDocumentWindows();
}

} // namespace

#include "roads/RoadsMatrix.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "app/QVRAppDelegate.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "library/account/QVRLogoutWindowController.h"
#include "library/account/ZERI_AuthenticationHandler.h"
#include "library/lists/QVRMyTessarinesViewController.h"
#include "library/lists/QVRTessarineTileGridItemView.h"
#include "library/lists/QVR_OpenByURLWindowCotroller.h"
#include "library/publish/QVREditTessarineDetailsWindowController.h"
#include "library/share/QVRSharePostedTessarineWindowController.h"
#include "roads/RoadsSignedInService.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "support/TestPictures.h"
#include "support/UserInput.h"
#include "support/fakeservice/FakeWebService.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/QVRViewerViewController.h"
#include "viewer/QVRViewerWindow.h"
#include "viewer/QVR_TessarineViewerView.h"

namespace roads::matrix {

namespace {

// A page that stands for a web video site's player: the web view shows it.
QByteArray playerPage(const char* site)
{
    return QByteArray("<html><body style='background:#202020;color:white'><p>") + site + " player</p></body></html>";
}

} // namespace

FakeWebService* service()
{
    return startedService([](FakeWebService& service) {
        // Their pictures are served here too: nothing is fetched from elsewhere.
        for (const QString& name : {QStringLiteral("ann"), QStringLiteral("bob"), QStringLiteral("help")}) {
            service.addUser(name, QStringLiteral("pw"));
            const QUrl avatar =
                service.addContent(QStringLiteral("avatar-") + name, pictureBytes(QSize(48, 48), Qt::darkGreen, "JPEG"),
                                   name + QStringLiteral(".jpg"), name);
            service.withState([&](FakeWebService::State& state) { state.users[name].avatarURL = avatar.toString(); });
        }
        Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN-ann"));
        // The web video sites: the pictures that confirm a video, and their players.
        const QByteArray picture = pictureBytes(QSize(480, 360), QColor(40, 90, 160), "JPEG");
        const QString youTube = QString::fromLatin1(kYouTubeID);
        const QString vimeo = QString::fromLatin1(kVimeoID);
        service.setPage(QStringLiteral("/vi/%1/hqdefault.jpg").arg(youTube), "image/jpeg", picture);
        service.setPage(QStringLiteral("/vimeo/%1.jpg").arg(vimeo), "image/jpeg", picture);
        service.setPage(QStringLiteral("/api/v2/video/%1.json").arg(vimeo), "application/json",
                        "[{\"thumbnail_large\":\"" + service.baseUrl().toString().toUtf8() + "/vimeo/" + kVimeoID +
                            ".jpg\"}]");
        service.setPage(QStringLiteral("/embed/%1").arg(youTube), "text/html", playerPage("YouTube"));
        service.setPage(QStringLiteral("/video/%1").arg(vimeo), "text/html", playerPage("Vimeo"));
    });
}

QString addPublishedDocument(const QString& stringID, const QString& owner, int screens, bool picture)
{
    FakeWebService* fake = service();
    bool known = false;
    fake->withState([&](FakeWebService::State& state) {
        for (const FakeWebService::Document& held : std::as_const(state.documents))
            known = known || held.stringID == stringID;
    });
    if (known)
        return stringID;
    auto document = ZERI_TessarineModel::create();
    document->firstFlowmodel()->setTitle(stringID);
    for (int index = 0; index < screens; ++index) {
        auto screen = ZERI_FlowScreenModel::create();
        document->firstFlowmodel()->addFlowScreen(screen);
        auto shape = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
        (*shape)->setFrame(QRectF(100 + 40 * index, 100, 300, 200));
        screen->addMixedMediaObject(shape);
    }
    if (picture) {
        const QUrl address =
            fake->addContent(QStringLiteral("picture-") + stringID, pictureBytes(QSize(320, 200), Qt::darkCyan, "JPEG"),
                             QStringLiteral("picture.jpg"), owner);
        auto image = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
        (*image)->setFrame(QRectF(500, 400, 320, 200));
        auto asset = ZERI_ContentAsset::create();
        asset->setExternalURL(address);
        (*image)->setOriginalImageAsset(asset);
        document->firstFlowmodel()->screenModels().front()->addMixedMediaObject(image);
    }
    FakeWebService::Document record;
    record.stringID = stringID;
    record.owner = owner;
    record.title = stringID;
    record.published = true;
    record.documentJson = QString::fromUtf8(document->jsonData());
    record.publishedJson = record.documentJson;
    fake->addDocument(record);
    return stringID;
}

QList<QWidget*> documentWindows()
{
    QList<QWidget*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && (qobject_cast<QVR_CreatorWindow*>(widget) || qobject_cast<QVRViewerWindow*>(widget)))
            windows.append(widget);
    }
    return windows;
}

QList<QVRViewerWindow*> viewerWindows()
{
    QList<QVRViewerWindow*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* viewer = qobject_cast<QVRViewerWindow*>(widget); viewer && viewer->isVisible())
            windows.append(viewer);
    }
    return windows;
}

QVRViewerWindow* viewerShowing(const QString& stringID)
{
    for (QVRViewerWindow* viewer : viewerWindows()) {
        const auto document = viewer->windowController()->tessarineModel();
        if (document && document->stringID() == stringID)
            return viewer;
    }
    return nullptr;
}

QVR_CreatorWindow* creatorShowing(const QString& id)
{
    for (QVR_CreatorWindow* window : creatorWindows()) {
        const auto document = window->currentModel();
        if (document && (document->qvdID() == id || document->stringID() == id))
            return window;
    }
    return nullptr;
}

QWidget* workArea(QWidget* window)
{
    if (auto* creator = qobject_cast<QVR_CreatorWindow*>(window))
        return creator->theArtBoard();
    if (auto* viewer = qobject_cast<QVRViewerWindow*>(window))
        return viewer->windowController()->tessarineViewerViewController()->viewerView();
    return window;
}

QString whatCovers(QWidget* view)
{
    if (!view || !view->isVisible())
        return QStringLiteral("it is not shown");
    QWidget* window = view->window();
    QWidget* active = QApplication::activeWindow();
    if (active != window)
        return QStringLiteral("its window is not in front (%1 is)")
            .arg(active ? QString::fromLatin1(active->metaObject()->className()) : QStringLiteral("nothing"));
    if (QWidget* popup = QApplication::activePopupWidget())
        return QStringLiteral("a popup (%1)").arg(QString::fromLatin1(popup->metaObject()->className()));
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != window)
        return QStringLiteral("a dialog (%1)").arg(QString::fromLatin1(modal->metaObject()->className()));
    if (loadingViewOver(view))
        return QStringLiteral("a loading view");
    const QPoint middle = view->mapTo(window, view->rect().center());
    QWidget* under = window->childAt(middle);
    if (under && under != view && !view->isAncestorOf(under))
        return QStringLiteral("%1 \"%2\" lies over its middle")
            .arg(QString::fromLatin1(under->metaObject()->className()), under->objectName());
    return {};
}

void settledOnDocument(QVRViewerWindow* viewer)
{
    QVR_TessarineViewerView* player = viewer->windowController()->tessarineViewerViewController()->viewerView();
    waitFor([&] { return player->numScreens() > 0; }, 30000);
    // The loading view comes with the request's first progress report, a moment after the pages.
    QTest::qWait(500);
    UserInput::letRepaintsHappen();
}

bool loadingViewOver(QWidget* view)
{
    if (!view)
        return false;
    const QRect area(view->mapToGlobal(QPoint(0, 0)), view->size());
    for (const QString& name :
         {QStringLiteral("QVR_LoadingViewController"), QStringLiteral("QVRViewerDownloadViewControllerView")}) {
        for (QWidget* panel : view->window()->findChildren<QWidget*>(name)) {
            if (panel->isVisible() && QRect(panel->mapToGlobal(QPoint(0, 0)), panel->size()).intersects(area))
                return true;
        }
    }
    return false;
}

QVRTessarineTileGridItemView* tileOf(const QString& packageID)
{
    QWidget* lists = application().listsWindow();
    if (!lists)
        return nullptr;
    for (auto* tile : lists->findChildren<QVRTessarineTileGridItemView*>()) {
        if (tile->isVisible() && tile->filePackage() && tile->filePackage()->packageID() == packageID)
            return tile;
    }
    return nullptr;
}

bool bringHomeWindowToFront()
{
    QWidget* lists = application().listsWindow();
    if (!lists)
        return false;
    lists->show();
    lists->raise();
    lists->activateWindow();
    if (!waitFor([&] { return QApplication::activeWindow() == lists; }, 2000))
        QApplication::setActiveWindow(lists);
    return QApplication::activeWindow() == lists;
}

bool openAddress(const QString& text)
{
    if (!bringHomeWindowToFront() || !chooseMenuItem(application().listsWindow(), QStringLiteral("openURL")))
        return false;
    QVR_OpenByURLWindowCotroller* window = nullptr;
    if (!waitFor([&] {
            window = visibleTopLevel<QVR_OpenByURLWindowCotroller>();
            return window && QApplication::activeWindow() == window;
        }))
        return false;
    QLineEdit* field = window->textField();
    field->setFocus();
    UserInput::typeText(field, text, 10);
    click(window->openButton());
    return true;
}

bool publish(QVR_CreatorWindow* window, const QString& title)
{
    QPointer<QVREditTessarineDetailsWindowController> details;
    bool filled = false;
    bool next = false;
    {
        Answerer answer([&] {
            if (!details)
                details = visibleTopLevel<QVREditTessarineDetailsWindowController>();
            if (!details || !details->isVisible() || next)
                return;
            if (!filled) {
                filled = true;
                QLineEdit* field = details->titleField();
                field->setFocus();
                field->selectAll();
                QTest::keyClick(field, Qt::Key_Delete);
                QTest::keyClicks(field, title);
                click(details->publicRadioButton());
            } else if (!details->isCheckingAlias() && details->nextButton()->isEnabled()) {
                next = true;
                click(details->nextButton());
            }
        });
        if (!chooseMenuItem(window, QStringLiteral("publish")))
            return false;
        waitFor([&] { return next; }, 10000);
    }
    if (!next) {
        ADD_FAILURE() << "the details sheet was not answered";
        return false;
    }
    QVRSharePostedTessarineWindowController* share = nullptr;
    if (!waitFor([&] { return (share = visibleTopLevel<QVRSharePostedTessarineWindowController>()) != nullptr; },
                 30000)) {
        ADD_FAILURE() << "no share sheet after publishing";
        return false;
    }
    QPointer<QVRSharePostedTessarineWindowController> closing(share);
    click(share->doneButton());
    return waitFor([&] { return !closing || !closing->isVisible(); }, 5000);
}

bool signOut()
{
    if (Tessutils::corvikAuthToken().isEmpty())
        return true;
    bool asked = false;
    Answerer answer(
        [&] {
            if (auto* question = visibleTopLevel<QMessageBox>(); question && asked) {
                if (QPushButton* yes = buttonReading(question, QStringLiteral("Sign Out")))
                    click(yes);
                return;
            }
            auto* dialogue = visibleTopLevel<QVRLogoutWindowController>();
            if (dialogue && !asked && dialogue->secondaryButton()->isVisible() &&
                dialogue->secondaryButton()->isEnabled()) {
                asked = true;
                click(dialogue->secondaryButton());
            }
        },
        90000);
    chooseMenuItem(application().listsWindow(), QStringLiteral("signIn"));
    if (!waitFor([] { return Tessutils::corvikAuthToken().isEmpty(); }, 60000))
        return false;
    // The signed-out user's folders go on a thread of their own; the next sign-in comes once they are gone.
    ZERI_AuthenticationHandler::waitForSignOutsForTesting();
    return true;
}

void clickInPlayer(QVRViewerWindow* player, QPointF scenePoint)
{
    QVR_TessarineViewerView* view = player->windowController()->tessarineViewerViewController()->viewerView();
    const int page = view->currentPage();
    auto* board = view->singleScreensArray().at(size_t(page));
    QVR_ArtBoardScrollView* scroll = board->theScrollView();
    const QPoint at = scroll->mapFromScene(scenePoint);
    QPointer<QWidget> viewport(scroll->viewport());
    QTest::mousePress(viewport, Qt::LeftButton, {}, at);
    // A press that leaves the page (a link to another document) takes the page away with it.
    if (viewport)
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
}

} // namespace roads::matrix

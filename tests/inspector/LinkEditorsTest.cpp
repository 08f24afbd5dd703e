#include <QApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "InspectorWindowEnvironment.h"

#include "app/QVRActionLog.h"
#include "app/QVRWindowManager.h"
#include "controls/ControlsArtwork.h"
#include "controls/NavigationController.h"
#include "controls/SheetLikePanelViewController.h"
#include "creator/CreatorLibrary.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "foundation/Tessutils.h"
#include "inspector/InspectorLibrary.h"
#include "inspector/links/QVR_ExternalLinkSelectionViewController.h"
#include "inspector/links/QVR_FlowEmbedLinkSelectionViewController.h"
#include "inspector/links/QVR_LinkTypeSelectionViewController.h"
#include "inspector/links/QVR_ScreenLinkSelectionViewController.h"
#include "inspector/popovers/QVRMMObjToolbarPopoverBase.h"
#include "platform/AlertPresenter.h"
#include "platform/AppPaths.h"
#include "platform/FileChooser.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"
#include "support/UserInput.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_ScreenLink.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_WebLink.h"

namespace {

using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;
using Kind = QVRMMObjToolbarPopoverBase::LinkEditorKind;
using Chooser = QVR_LinkTypeSelectionViewController;
using ScreenEditor = QVR_ScreenLinkSelectionViewController;
using ExternalEditor = QVR_ExternalLinkSelectionViewController;
using FlowEditor = QVR_FlowEmbedLinkSelectionViewController;

// A creator window on a saved four-screen document with two shapes and a video on its first screen.
struct LinkWindow {
    InspectorWindowEnvironment env; // first: it outlives the window
    LinkWindow()
        : log(env.support.filePath(QStringLiteral("actionlog.json")),
              [](const QByteArray&, std::function<void(bool)>) {})
    {
        QVRActionLog::setSharedForTesting(&log);
        AlertPresenter::setShared(&alerts);
        FileChooser::setShared(&chooser);
        for (int i = 0; i < 4; ++i)
            flow().addFlowScreen(ZERI_FlowScreenModel::create());
        shapeA = add(ZERI_MixedMediaObject::Shape, QRectF(100, 100, 100, 100));
        shapeB = add(ZERI_MixedMediaObject::Shape, QRectF(300, 100, 100, 100));
        video = add(ZERI_MixedMediaObject::Video, QRectF(500, 100, 100, 100));
        Error error;
        EXPECT_TRUE(ZERI_qvdFilePackage::saveModelToFile(document, &error)) << error.message.toStdString();
        window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
        window->resize(1280, 800);
        window->launchTessarineWithTessarineModel(document);
        window->show();
        settle();
    }
    ~LinkWindow()
    {
        delete window.data();
        settle();
        QVRActionLog::setSharedForTesting(nullptr);
        AlertPresenter::setShared(nullptr);
        FileChooser::setShared(nullptr);
    }
    Proxy add(int type, const QRectF& frame, int screenIndex = 0)
    {
        auto object = ZERI_MixedMediaObject::objectWithType(type);
        (*object)->setFrame(frame);
        if (auto shape = object->as<ZERI_MMObject_Shape>())
            shape->setShapeType(ZERI_MMObject_Shape::Rectangle);
        flow().screenModels()[std::size_t(screenIndex)]->addMixedMediaObject(object);
        return object;
    }
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    }
    void select(const std::vector<Proxy>& objects)
    {
        std::vector<QVR_MixedMediaElementContainingView*> containers;
        for (const Proxy& object : objects)
            containers.push_back(window->theArtBoard()->singleScreen()->containerForMixedMediaObject(object));
        QVR_InteractableViewHandler::handlerForBoard(window->theArtBoard())->setCurrentlySelected(containers);
        settle();
    }
    // Opens the panel the link button opens for `kind` and returns its top page.
    template <class Page> Page* open(Kind kind)
    {
        Chooser::openLinkEditor(window, kind);
        settle();
        return top<Page>();
    }
    template <class Page> Page* top() const
    {
        SheetLikePanelViewController* panel = window->sheetLikeViewController();
        return panel ? qobject_cast<Page*>(panel->navigationController()->topViewController()) : nullptr;
    }
    ZERI_FlowModel& flow() const { return *document->firstFlowmodel(); }
    UndoManager& undo() const { return flow().undoManager(); }
    QString screenID(int index) const { return flow().screenModels()[std::size_t(index)]->internalID(); }
    static QString webText(const Proxy& object)
    {
        auto web = std::dynamic_pointer_cast<ZERI_MMAction_WebLink>((*object)->action());
        return web ? web->weblinkText() : QStringLiteral("<none>");
    }
    void setWebLink(const Proxy& object, const QString& text)
    {
        (*object)->setAction(ZERI_MMAction_WebLink::createWithText(text));
    }
    // Waits for the strip's delayed first selection.
    static bool waitForSelection(ScreenEditor* editor, const QList<int>& expected)
    {
        return QTest::qWaitFor([&] { return editor->thumbnailBar()->selectionIndexes() == expected; }, 2000);
    }

    QVRActionLog log;
    RecordingAlertPresenter alerts;
    RecordingFileChooser chooser;
    std::shared_ptr<ZERI_TessarineModel> document = ZERI_TessarineModel::create();
    Proxy shapeA;
    Proxy shapeB;
    Proxy video;
    QPointer<QVR_CreatorWindow> window;
};

} // namespace

TEST(LinkEditorsTest, LinkButtonOpensTheChooserWhoseButtonsPushEachEditor)
{
    LinkWindow f;
    f.select({f.shapeA});
    auto* container = f.window->theArtBoard()->singleScreen()->containerForMixedMediaObject(f.shapeA);
    auto* popover = dynamic_cast<QVRMMObjToolbarPopoverBase*>(container->popoverController());
    ASSERT_NE(popover, nullptr);
    popover->linkButtonPressed();
    f.settle();
    auto* chooser = f.top<Chooser>();
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->titleLabel()->text(), UFM::CHOOSE_LINK_TYPE());
    EXPECT_EQ(chooser->flowEmbedLinkButton()->text(), QStringLiteral("Link to Flow"));
    EXPECT_EQ(chooser->view()->findChildren<QPushButton*>().size(), 4);
    EXPECT_TRUE(chooser->view()->isVisible());
    EXPECT_FALSE(f.window->theToolBarView()->isEnabled());
    EXPECT_TRUE(f.window->showsDarkPanel());

    NavigationController* navigation = f.window->sheetLikeViewController()->navigationController();
    const std::vector<std::pair<QPushButton*, const QMetaObject*>> buttons = {
        {chooser->screenLinkButton(), &ScreenEditor::staticMetaObject},
        {chooser->webLinkButton(), &ExternalEditor::staticMetaObject},
        {chooser->emailLinkButton(), &ExternalEditor::staticMetaObject},
        {chooser->flowEmbedLinkButton(), &FlowEditor::staticMetaObject}};
    for (const auto& [button, pageClass] : buttons) {
        QTest::mouseClick(button, Qt::LeftButton);
        f.settle();
        ASSERT_EQ(navigation->count(), 2);
        EXPECT_EQ(navigation->topViewController()->metaObject(), pageClass);
        if (auto* external = f.top<ExternalEditor>()) {
            EXPECT_EQ(external->inEmailMode(), button == chooser->emailLinkButton());
        }
        QTest::mouseClick(f.window->sheetLikeViewController()->backButton(), Qt::LeftButton);
        f.settle();
        EXPECT_EQ(navigation->topViewController(), chooser);
    }

    // The close button takes the panel away and gives the toolbar back.
    QTest::mouseClick(f.window->sheetLikeViewController()->closeButton(), Qt::LeftButton);
    f.settle();
    EXPECT_FALSE(f.window->sheetLikeViewController());
    EXPECT_TRUE(f.window->theToolBarView()->isEnabled());
    EXPECT_FALSE(f.window->showsDarkPanel());
}

TEST(LinkEditorsTest, ScreenLinkSavesOneUndoStepOnTheLinkableObjectsAndReopensOnItsTarget)
{
    LinkWindow f;
    f.select({f.shapeA, f.shapeB, f.video});
    auto* editor = f.open<ScreenEditor>(Kind::ScreenLink);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->thumbnailController()->screensArray().size(), 4);
    // Nothing to link to until the strip has its first selection.
    EXPECT_FALSE(editor->saveButton()->isEnabled());
    ASSERT_TRUE(f.waitForSelection(editor, {0}));
    EXPECT_TRUE(editor->saveButton()->isEnabled());
    EXPECT_EQ(editor->transitionButtonBorderWidth(0), 4);
    EXPECT_EQ(editor->transitionButtonBorderWidth(2), 1);

    editor->thumbnailBar()->setSelectionIndexes({3});
    QTest::mouseClick(editor->transitionButton(2), Qt::LeftButton);
    EXPECT_EQ(editor->transitionButtonBorderWidth(2), 4);
    EXPECT_EQ(editor->transitionButtonBorderWidth(0), 1);
    const int steps = f.undo().undoCount();
    QTest::mouseClick(editor->saveButton(), Qt::LeftButton);
    f.settle();

    for (const Proxy& object : {f.shapeA, f.shapeB}) {
        auto link = std::dynamic_pointer_cast<ZERI_MMAction_ScreenLink>((*object)->action());
        ASSERT_TRUE(link);
        EXPECT_EQ(link->transitionType(), 2);
        const QJsonObject json = link->jsonDictionary();
        EXPECT_EQ(json.value(QStringLiteral("screenID")).toString(), f.screenID(3));
        EXPECT_EQ(json.value(QStringLiteral("action_type")).toString(), QStringLiteral("MMActionScreenLink"));
    }
    EXPECT_FALSE((*f.video)->action());
    EXPECT_FALSE(f.window->sheetLikeViewController());
    EXPECT_EQ(f.undo().undoCount(), steps + 1);
    EXPECT_EQ(f.undo().undoActionName(), UFM::UNDO_MANAGER_SET_SCREEN_LINK_TAG());

    // Reopening shows the target and its transition.
    f.select({f.shapeA});
    editor = f.open<ScreenEditor>(QVRMMObjToolbarPopoverBase::linkEditorKindForAction((*f.shapeA)->action()));
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->clearButton()->isVisible());
    ASSERT_TRUE(f.waitForSelection(editor, {3}));
    EXPECT_EQ(editor->transitionButtonBorderWidth(2), 4);
    f.window->dismissDarkPanel();
    f.settle();

    // The one step's undo removes both links and pages back to their screen.
    f.window->setCurrentIndex(2);
    f.settle();
    ASSERT_TRUE(f.undo().undo());
    f.settle();
    EXPECT_FALSE((*f.shapeA)->action());
    EXPECT_FALSE((*f.shapeB)->action());
    EXPECT_EQ(f.window->currentIndex(), 0);
}

TEST(LinkEditorsTest, ScreenLinkStripNeitherReordersTheFlowNorSavesWithoutATarget)
{
    LinkWindow f;
    f.select({f.shapeA});
    auto* editor = f.open<ScreenEditor>(Kind::ScreenLink);
    ASSERT_NE(editor, nullptr);
    // Before the delayed selection Done does nothing.
    editor->saveButtonPressed();
    EXPECT_TRUE(f.window->sheetLikeViewController());
    EXPECT_FALSE((*f.shapeA)->action());
    ASSERT_TRUE(f.waitForSelection(editor, {0}));

    const QStringList before = {f.screenID(0), f.screenID(1), f.screenID(2), f.screenID(3)};
    QVRThumbnailBar* bar = editor->thumbnailBar();
    EXPECT_FALSE(bar->canDragItemsAtIndexes({0}));
    const QPoint from = bar->frameForItemAtIndex(0).center();
    const QPoint to = bar->frameForItemAtIndex(2).center();
    QTest::mousePress(bar, Qt::LeftButton, {}, from);
    for (int step = 1; step <= 5; ++step)
        QTest::mouseMove(bar, from + (to - from) * step / 5);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, to);
    f.settle();
    const QStringList after = {f.screenID(0), f.screenID(1), f.screenID(2), f.screenID(3)};
    EXPECT_EQ(after, before);
    // A click in the strip keeps the canvas selection the editor works on.
    EXPECT_EQ(f.window->selectedItemView()->selectedViews().size(), 1u);

    // The arrows pick the neighbouring screen; the selected object is not nudged.
    bar->setSelectionIndexes({0});
    const QRectF frame = (*f.shapeA)->frame();
    for (Qt::Key key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Left})
        QTest::keyClick(bar, key);
    EXPECT_EQ(bar->selectionIndexes(), QList<int>{1});
    EXPECT_EQ((*f.shapeA)->frame(), frame);
}

TEST(LinkEditorsTest, KeysInThePanelNeitherDeleteNorDeselectTheObjectsItEdits)
{
    LinkWindow f;
    f.select({f.shapeA});
    auto* editor = f.open<ScreenEditor>(Kind::ScreenLink);
    ASSERT_TRUE(f.waitForSelection(editor, {0}));
    editor->saveButton()->setFocus();
    for (Qt::Key key : {Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_A, Qt::Key_Left})
        QTest::keyClick(editor->saveButton(), key);
    f.settle();
    EXPECT_TRUE(f.flow().screenModels()[0]->mixedMediaObjectWithID((*f.shapeA)->internalID()));
    EXPECT_EQ(f.window->selectedItemView()->selectedViews().size(), 1u);
    QTest::mouseClick(editor->saveButton(), Qt::LeftButton);
    EXPECT_TRUE(std::dynamic_pointer_cast<ZERI_MMAction_ScreenLink>((*f.shapeA)->action()));

    // Escape in the panel cancels it, as its close button does; the objects stay as they were.
    editor = f.open<ScreenEditor>(Kind::ScreenLink);
    ASSERT_TRUE(f.waitForSelection(editor, {0}));
    editor->saveButton()->setFocus();
    QTest::keyClick(editor->saveButton(), Qt::Key_Escape);
    f.settle();
    EXPECT_FALSE(f.window->sheetLikeViewController());
    EXPECT_TRUE(f.flow().screenModels()[0]->mixedMediaObjectWithID((*f.shapeA)->internalID()));
    EXPECT_EQ(f.window->selectedItemView()->selectedViews().size(), 1u);
    // With the panel gone the frame takes its keys again.
    f.window->activateWindow();
    QTest::keyClick(f.window, Qt::Key_Escape);
    f.settle();
    EXPECT_TRUE(f.window->selectedItemView()->selectedViews().empty());
}

TEST(LinkEditorsTest, ScreenLinkSaveAfterTheObjectOrTargetWentChangesNothing)
{
    LinkWindow f;
    f.select({f.shapeA});
    auto* editor = f.open<ScreenEditor>(Kind::ScreenLink);
    ASSERT_TRUE(f.waitForSelection(editor, {0}));
    editor->thumbnailBar()->setSelectionIndexes({2});
    // The target screen is removed while the panel is open.
    f.flow().removeFlowScreen(f.flow().screenModels()[2]);
    const int steps = f.undo().undoCount();
    editor->saveButtonPressed();
    f.settle();
    EXPECT_FALSE((*f.shapeA)->action());
    EXPECT_EQ(f.undo().undoCount(), steps);
    EXPECT_FALSE(f.window->sheetLikeViewController());

    // The object is removed while the panel is open.
    f.select({f.shapeB});
    editor = f.open<ScreenEditor>(Kind::ScreenLink);
    ASSERT_TRUE(f.waitForSelection(editor, {0}));
    f.flow().screenModels()[0]->removeMixedMediaObject(f.shapeB);
    f.settle();
    editor->saveButtonPressed();
    f.settle();
    EXPECT_FALSE((*f.shapeB)->action());
    EXPECT_EQ(f.undo().undoCount(), steps);
    EXPECT_FALSE(f.window->sheetLikeViewController());
}

TEST(LinkEditorsTest, WebAndEmailTextsAreCheckedBeforeTheyAreStored)
{
    EXPECT_EQ(ExternalEditor::webLinkTextFromInput(QStringLiteral("example.com")),
              QStringLiteral("http://example.com"));
    EXPECT_EQ(ExternalEditor::webLinkTextFromInput(QStringLiteral("ftp://host/x")), QStringLiteral("ftp://host/x"));
    // A host with a port and no scheme is a web page's too.
    for (const char* hostAndPort : {"localhost:8080", "127.0.0.1:37989/catalog.html"})
        EXPECT_EQ(ExternalEditor::webLinkTextFromInput(QString::fromLatin1(hostAndPort)),
                  QStringLiteral("http://") + QString::fromLatin1(hostAndPort));
    for (const char* bad : {"not a url", "http://", "mailto:a@b.example", ""})
        EXPECT_FALSE(ExternalEditor::webLinkTextFromInput(QString::fromLatin1(bad))) << bad;
    EXPECT_EQ(ExternalEditor::emailLinkTextFromInput(QStringLiteral("a@b.example")),
              QStringLiteral("mailto:a@b.example"));
    EXPECT_EQ(ExternalEditor::emailLinkTextFromInput(QStringLiteral("mailto:x@y.example")),
              QStringLiteral("mailto:x@y.example"));
    for (const char* bad : {"", "abc", "@b.example", "a@", "mailto:", "mailto:@"})
        EXPECT_FALSE(ExternalEditor::emailLinkTextFromInput(QString::fromLatin1(bad))) << bad;
    // Long, right-to-left and control characters are only text.
    EXPECT_FALSE(ExternalEditor::webLinkTextFromInput(QString(10000, QLatin1Char(' '))));
    EXPECT_TRUE(
        ExternalEditor::webLinkTextFromInput(QStringLiteral("example.com/") + QString(10000, QLatin1Char('a'))));
    EXPECT_FALSE(ExternalEditor::webLinkTextFromInput(QString(10000, QLatin1Char('a')) + QStringLiteral(".example")));
    const QString rtl = QString::fromUtf8("\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d\x01\x7f");
    (void)ExternalEditor::webLinkTextFromInput(rtl);
    (void)ExternalEditor::emailLinkTextFromInput(rtl);
}

TEST(LinkEditorsTest, WebAndEmailEditorsStoreAcceptedTextsAndKeepThePanelOnRefusal)
{
    LinkWindow f;
    f.select({f.shapeA, f.video});
    auto save = [&](Kind kind, const QString& text) {
        auto* editor = f.open<ExternalEditor>(kind);
        EXPECT_NE(editor, nullptr);
        if (!editor)
            return false;
        editor->urlField()->setText(text);
        const bool saved = editor->saveButtonPressed();
        f.settle();
        EXPECT_EQ(bool(f.window->sheetLikeViewController()), !saved);
        f.window->dismissDarkPanel();
        f.settle();
        return saved;
    };
    const int steps = f.undo().undoCount();
    EXPECT_TRUE(save(Kind::WebLink, QStringLiteral("example.com")));
    EXPECT_EQ(f.webText(f.shapeA), QStringLiteral("http://example.com"));
    EXPECT_EQ(f.undo().undoCount(), steps + 1);
    EXPECT_FALSE((*f.video)->action());
    EXPECT_FALSE(save(Kind::WebLink, QStringLiteral("not a url")));
    EXPECT_FALSE(save(Kind::WebLink, QString(10000, QChar(0x05D0))));
    EXPECT_EQ(f.webText(f.shapeA), QStringLiteral("http://example.com"));
    EXPECT_TRUE(save(Kind::WebLink, QStringLiteral("ftp://host/x")));
    EXPECT_EQ(f.webText(f.shapeA), QStringLiteral("ftp://host/x"));
    // A refused web address is explained on the page, as a refused e-mail address is.
    auto* refused = f.open<ExternalEditor>(Kind::WebLink);
    refused->urlField()->setText(QStringLiteral("not a url"));
    EXPECT_FALSE(refused->saveButtonPressed());
    EXPECT_FALSE(refused->view()->findChild<QLabel*>(QStringLiteral("linkProblem"))->isHidden());
    f.window->dismissDarkPanel();
    f.settle();

    EXPECT_TRUE(save(Kind::EmailLink, QStringLiteral("a@b.example")));
    EXPECT_EQ(f.webText(f.shapeA), QStringLiteral("mailto:a@b.example"));
    EXPECT_TRUE(save(Kind::EmailLink, QStringLiteral("mailto:x@y.example")));
    EXPECT_EQ(f.webText(f.shapeA), QStringLiteral("mailto:x@y.example"));
    EXPECT_FALSE(save(Kind::EmailLink, QString()));
    EXPECT_FALSE(save(Kind::EmailLink, QStringLiteral("abc")));
    EXPECT_EQ(f.webText(f.shapeA), QStringLiteral("mailto:x@y.example"));
    EXPECT_EQ(f.undo().undoCount(), steps + 4);

    // A stored address with an "@" reopens in the e-mail form and, left alone, is stored again byte for byte.
    f.setWebLink(f.shapeA, QStringLiteral("https://example.org/@name"));
    auto* editor = f.open<ExternalEditor>(QVRMMObjToolbarPopoverBase::linkEditorKindForAction((*f.shapeA)->action()));
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->inEmailMode());
    EXPECT_EQ(editor->urlField()->text(), QStringLiteral("https://example.org/@name"));
    EXPECT_TRUE(editor->saveButtonPressed());
    EXPECT_EQ(f.webText(f.shapeA), QStringLiteral("https://example.org/@name"));
    // Edited, it is an e-mail address like any other.
    editor = f.open<ExternalEditor>(QVRMMObjToolbarPopoverBase::linkEditorKindForAction((*f.shapeA)->action()));
    ASSERT_NE(editor, nullptr);
    editor->urlField()->setText(QStringLiteral("team@example.org"));
    EXPECT_TRUE(editor->saveButtonPressed());
    EXPECT_EQ(f.webText(f.shapeA), QStringLiteral("mailto:team@example.org"));
    f.setWebLink(f.shapeA, QStringLiteral("mailto:x@y.example"));
    editor = f.open<ExternalEditor>(QVRMMObjToolbarPopoverBase::linkEditorKindForAction((*f.shapeA)->action()));
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->inEmailMode());
    EXPECT_EQ(editor->urlField()->text(), QStringLiteral("mailto:x@y.example"));
}

TEST(LinkEditorsTest, FlowIdAndScreenFieldsAreCleanedAsTyped)
{
    EXPECT_EQ(FlowEditor::cleanedStringID(QStringLiteral("https://host/s/AbC123?x=1")), QStringLiteral("abc123"));
    EXPECT_EQ(FlowEditor::cleanedStringID(QStringLiteral("XyZ9")), QStringLiteral("xyz9"));
    EXPECT_EQ(FlowEditor::cleanedStringID(QStringLiteral("ab-c")), QString());
    EXPECT_EQ(FlowEditor::cleanedStringID(QString(10000, QLatin1Char('a'))), QString(10000, QLatin1Char('a')));
    EXPECT_EQ(FlowEditor::cleanedStringID(QStringLiteral("ab\x01")), QString());
    EXPECT_EQ(FlowEditor::leadingInteger(QStringLiteral("3")), 3);
    EXPECT_EQ(FlowEditor::leadingInteger(QStringLiteral("  +7 screens")), 7);
    EXPECT_EQ(FlowEditor::leadingInteger(QStringLiteral("-2")), -2);
    EXPECT_EQ(FlowEditor::leadingInteger(QStringLiteral("x3")), -1);
    EXPECT_EQ(FlowEditor::leadingInteger(QString()), -1);
    EXPECT_EQ(FlowEditor::leadingInteger(QStringLiteral("99999999999")), -1);
}

TEST(LinkEditorsTest, FlowLinkIsStoredByteForByteAndReopensWithItsScreen)
{
    LinkWindow f;
    f.select({f.shapeA});
    auto* editor = f.open<FlowEditor>(Kind::FlowEmbed);
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(editor->clearLinkButton()->isVisible());
    // An empty id is refused, and the page says why until the id is edited.
    EXPECT_FALSE(editor->saveLinkButtonPressed());
    EXPECT_TRUE(f.window->sheetLikeViewController());
    EXPECT_FALSE((*f.shapeA)->action());
    EXPECT_FALSE(editor->problemLabel()->isHidden());
    QTest::keyClick(editor->stringIDTextField(), Qt::Key_A);
    EXPECT_TRUE(editor->problemLabel()->isHidden());

    editor->stringIDTextField()->setText(QStringLiteral("https://host/s/AbC123?x=1"));
    editor->stringIDTextFieldChanged();
    EXPECT_EQ(editor->stringIDTextField()->text(), QStringLiteral("abc123"));
    editor->screenIDTextField()->setFocus();
    UserInput::typeText(editor->screenIDTextField(), QStringLiteral("3"));
    EXPECT_EQ(editor->screenIDTextField()->text(), QStringLiteral("3"));
    const int steps = f.undo().undoCount();
    // Return in a field saves.
    QTest::keyClick(editor->screenIDTextField(), Qt::Key_Return);
    f.settle();
    EXPECT_EQ(f.webText(f.shapeA), QStringLiteral("flowLink://stringID=abc123&screenIndex=2"));
    EXPECT_EQ(f.undo().undoCount(), steps + 1);
    EXPECT_FALSE(f.window->sheetLikeViewController());
    bool logged = false;
    for (const QJsonValue& event : f.log.backlog()) {
        const QJsonObject record = event.toObject();
        if (record.value(QStringLiteral("name")).toString() == QStringLiteral("Nestception Link Set"))
            logged =
                record.value(QStringLiteral("parameters")).toObject().value(QStringLiteral("Nestception StringID")) ==
                QStringLiteral("abc123");
    }
    EXPECT_TRUE(logged);

    editor = f.open<FlowEditor>(QVRMMObjToolbarPopoverBase::linkEditorKindForAction((*f.shapeA)->action()));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->stringIDTextField()->text(), QStringLiteral("abc123"));
    EXPECT_EQ(editor->screenIDTextField()->text(), QStringLiteral("3"));
    EXPECT_TRUE(editor->clearLinkButton()->isVisible());
    // No number, zero or a negative one store index 0; the previous link stays on an empty id.
    for (const char* number : {"", "0", "-4", "99999999999"}) {
        editor->screenIDTextField()->setText(QString::fromLatin1(number));
        EXPECT_TRUE(editor->saveLinkButtonPressed());
        EXPECT_EQ(f.webText(f.shapeA), QStringLiteral("flowLink://stringID=abc123&screenIndex=0")) << number;
        editor = f.open<FlowEditor>(Kind::FlowEmbed);
        ASSERT_NE(editor, nullptr);
    }
    editor->stringIDTextField()->setText(QStringLiteral("a b"));
    EXPECT_FALSE(editor->saveLinkButtonPressed());
    EXPECT_EQ(f.webText(f.shapeA), QStringLiteral("flowLink://stringID=abc123&screenIndex=0"));
}

TEST(LinkEditorsTest, FlowLinkWithAScreenIdShowsTheScreensCurrentPositionInTheLocalCopy)
{
    LinkWindow f;
    auto other = ZERI_TessarineModel::create();
    for (int i = 0; i < 3; ++i)
        other->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
    other->setStringID(QStringLiteral("other42"));
    Error error;
    ASSERT_TRUE(ZERI_qvdFilePackage::saveModelToFile(other, &error)) << error.message.toStdString();
    const QString target = other->firstFlowmodel()->screenModels()[0]->internalID();
    // The screen moved from the first to the last place since the link was made.
    other->firstFlowmodel()->sendFlowScreenAtIndex(0, 2);
    ASSERT_EQ(other->firstFlowmodel()->screenModels()[2]->internalID(), target);

    f.select({f.shapeA});
    auto reopen = [&](const QString& link) {
        f.setWebLink(f.shapeA, link);
        f.window->dismissDarkPanel();
        return f.open<FlowEditor>(Kind::FlowEmbed);
    };
    auto* editor = reopen(QStringLiteral("flowLink://stringID=other42&screenID=%1&screenIndex=0").arg(target));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->screenIDTextField()->text(), QStringLiteral("3"));
    editor = reopen(QStringLiteral("flowLink://stringID=other42&screenID=nosuchscreen&screenIndex=1"));
    EXPECT_EQ(editor->screenIDTextField()->text(), QStringLiteral("2"));
    editor = reopen(QStringLiteral("flowLink://screenIndex=1"));
    EXPECT_EQ(editor->stringIDTextField()->text(), QString());
    EXPECT_EQ(editor->screenIDTextField()->text(), QString());
}

TEST(LinkEditorsTest, ClearFromEachEditorIsOneUndoStepAndReturnsToTheChooser)
{
    LinkWindow f;
    f.select({f.shapeA});
    auto screenLink = [] {
        auto link = ZERI_MMAction_ScreenLink::create(QStringLiteral("somewhere"));
        link->setTransitionType(1);
        return std::shared_ptr<ZERI_MMAction>(link);
    };
    const std::vector<std::pair<Kind, std::function<std::shared_ptr<ZERI_MMAction>()>>> cases = {
        {Kind::ScreenLink, screenLink},
        {Kind::WebLink, [] { return ZERI_MMAction_WebLink::createWithText(QStringLiteral("http://example.com")); }},
        {Kind::EmailLink, [] { return ZERI_MMAction_WebLink::createWithText(QStringLiteral("mailto:a@b.example")); }},
        {Kind::FlowEmbed,
         [] { return ZERI_MMAction_WebLink::createWithText(QStringLiteral("flowLink://stringID=x")); }},
    };
    for (const auto& [kind, make] : cases) {
        (*f.shapeA)->setAction(make());
        const QJsonObject stored = (*f.shapeA)->action()->jsonDictionary();
        ASSERT_EQ(QVRMMObjToolbarPopoverBase::linkEditorKindForAction((*f.shapeA)->action()), kind);
        Chooser::openLinkEditor(f.window, kind);
        f.settle();
        NavigationControllerFriendlyViewController* page =
            f.window->sheetLikeViewController()->navigationController()->topViewController();
        const int steps = f.undo().undoCount();
        if (auto* screen = qobject_cast<ScreenEditor*>(page))
            QTest::mouseClick(screen->clearButton(), Qt::LeftButton);
        else if (auto* external = qobject_cast<ExternalEditor*>(page))
            QTest::mouseClick(external->clearLinkButton(), Qt::LeftButton);
        else if (auto* flowEditor = qobject_cast<FlowEditor*>(page))
            QTest::mouseClick(flowEditor->clearLinkButton(), Qt::LeftButton);
        else
            FAIL() << "no editor";
        f.settle();
        EXPECT_FALSE((*f.shapeA)->action());
        EXPECT_EQ(f.undo().undoCount(), steps + 1);
        ASSERT_NE(f.top<Chooser>(), nullptr);
        EXPECT_TRUE(f.window->sheetLikeViewController()->closeButton()->isVisibleTo(f.window));
        ASSERT_TRUE(f.undo().undo());
        ASSERT_TRUE((*f.shapeA)->action());
        EXPECT_EQ((*f.shapeA)->action()->jsonDictionary(), stored);
        f.window->dismissDarkPanel();
        f.settle();
    }
}

TEST(LinkEditorsTest, ScreenLinkEditorGrabShowsTheStripAndTheFramedTransition)
{
    LinkWindow f;
    f.select({f.shapeA});
    auto* editor = f.open<ScreenEditor>(Kind::ScreenLink);
    ASSERT_TRUE(f.waitForSelection(editor, {0}));
    QTest::mouseClick(editor->transitionButton(2), Qt::LeftButton);
    f.settle();
    const QImage grab = f.window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(grab.size(), QSize(1280, 800) * f.window->devicePixelRatio());
    EXPECT_EQ(editor->thumbnailBar()->screenItemCount(), 4);
    for (int type = 0; type < 4; ++type)
        EXPECT_TRUE(editor->transitionButton(type)->isVisible());
    for (int index = 0; index < 4; ++index)
        EXPECT_TRUE(editor->thumbnailBar()->frameForItemAtIndex(index).isValid());
    QPushButton* fade = editor->transitionButton(2);
    const QPoint edge = fade->mapTo(f.window, QPoint(1, fade->height() / 2)) * f.window->devicePixelRatio();
    EXPECT_EQ(QColor(grab.pixel(edge)).name(), QStringLiteral("#1f70a8"));
    QPushButton* slide = editor->transitionButton(0);
    const QPoint plain = slide->mapTo(f.window, QPoint(2, slide->height() / 2)) * f.window->devicePixelRatio();
    EXPECT_NE(QColor(grab.pixel(plain)).name(), QStringLiteral("#1f70a8"));
}

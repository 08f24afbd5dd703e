#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QLineEdit>
#include <QPdfDocument>
#include <QPrintDialog>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTest>
#include <QThread>

#include "app/QVRAppDelegate.h"
#include "platform/AtomicFile.h"
#include "platform/MainThread.h"
#include "controls/AsynchronousRenderImageView.h"
#include "creator/thumbnails/QVRNewScreenSelectionViewController.h"
#include "creator/thumbnails/QVRThumbnailBar.h"
#include "creator/addition/QVR_AddElementMenuViewController.h"
#include "creator/addition/QVR_AddShapeMenuViewController.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/crop/QVR_CropHandle.h"
#include "creator/crop/QVR_CropPopoverButtonsView.h"
#include "creator/crop/QVR_CropView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "elements/gallery/QVRGalleryEditorViewController.h"
#include "elements/video/MediaTestClips.h"
#include "elements/views/QVR_AttributedTextMixedMediaElementView.h"
#include "library/lists/QVRMyTessarinesViewController.h"
#include "library/lists/QVRTessarineTileGridItemView.h"
#include "library/tour/QVR_FirstLaunchViewController.h"
#include "elements/views/QVRCompressionSelectionViewController.h"
#include "pptx/TestDeck.h"
#include "pptx/import/QVRPowerpointOverviewWindowController.h"
#include "roads/RoadsTestSupport.h"
#include "strings/UFM.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "support/TestEnvironment.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "controls/ViewControllerWindowController.h"
#include "support/UserInput.h"
#include "viewer/QVRPresentationNotesViewController.h"
#include "viewer/QVRViewerViewController.h"
#include "viewer/QVRViewerWindow.h"
#include "viewer/QVR_TessarineViewerView.h"

using namespace roads;

namespace {

using Type = ZERI_MixedMediaObject::Type;

class Road : public ::testing::Test {
protected:
    void SetUp() override
    {
        application();
        ASSERT_TRUE(inputs.isValid());
        // Every road starts from My Documents as the roads before it leave it, also the first of a process: the
        // first-launch tour left.
        if (leavesTheTour) {
            ASSERT_TRUE(leaveFirstLaunchTour());
        }
    }
    void TearDown() override { closeDocumentWindows(); }

    bool leavesTheTour = true;

    QString input(const QString& name) const { return inputs.filePath(name); }

    // Undo then redo from the Edit menu: the count of objects of `type` goes back and comes again.
    static void undoAndRedo(QVR_CreatorWindow* window, int type, int expected)
    {
        const auto screen = shownScreen(window);
        ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("undo")));
        EXPECT_TRUE(waitFor([&] { return countObjects(shownScreen(window), type) == expected - 1; }, 5000))
            << "undo of type " << type;
        ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("redo")));
        EXPECT_TRUE(waitFor([&] { return countObjects(shownScreen(window), type) == expected; }, 5000))
            << "redo of type " << type;
    }

    // Insert › Gallery: the gallery sheet's Choose Images, the pictures through the file dialog, Save.
    static void addGallery(QVR_CreatorWindow* window, const QStringList& pictures)
    {
        const int before = countObjects(shownScreen(window), Type::Gallery);
        ASSERT_TRUE(insert(window, &QVR_AddElementMenuViewController::galleryCell));
        QVRGalleryEditorViewController* gallery = nullptr;
        ASSERT_TRUE(waitFor([&] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                if (auto* editor = top->findChild<QVRGalleryEditorViewController*>(); editor && top->isVisible())
                    gallery = editor;
            }
            return gallery && gallery->chooseImagesButton() && gallery->chooseImagesButton()->isVisible();
        }));
        click(gallery->chooseImagesButton());
        QStringList quoted;
        for (const QString& picture : pictures)
            quoted << QLatin1Char('"') + picture + QLatin1Char('"');
        ASSERT_TRUE(answerFileDialog(quoted.join(QLatin1Char(' '))));
        ASSERT_TRUE(waitFor([&] { return gallery->saveButton()->isEnabled(); }));
        click(gallery->saveButton());
        ASSERT_TRUE(waitFor([&] { return countObjects(shownScreen(window), Type::Gallery) == before + 1; }));
        ASSERT_TRUE(waitFor([&] { return window->theToolBarView()->insertButton()->isEnabled(); }));
    }

    // Screen › Presenter Notes: the note typed into the prompt, OK.
    static void writePresenterNote(QVR_CreatorWindow* window, const QString& note)
    {
        const auto screen = shownScreen(window);
        ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("setPresenterNote")));
        QMessageBox* prompt = nullptr;
        ASSERT_TRUE(waitFor([&] { return (prompt = visibleTopLevel<QMessageBox>()) != nullptr; }));
        auto* field = prompt->findChild<QPlainTextEdit*>();
        ASSERT_TRUE(field);
        UserInput::typeText(field, note);
        click(prompt->buttons().first());
        ASSERT_TRUE(waitFor([&] { return screen->presenterNotes() == note; }));
    }

    QTemporaryDir inputs;
};

// First start, no service: My Documents shows a readable empty state beside tiles laid out at their first
// show; the + tile, then Choose, opens a creator window on a new document.
// The first start's own road meets the tour.
class FirstStartRoad : public Road {
protected:
    FirstStartRoad() { leavesTheTour = false; }
};

TEST_F(FirstStartRoad, FirstStartShowsAnEmptyMyDocumentsAndThePlusTileCreates)
{
    if (!firstStartHere())
        return;
    QWidget* lists = application().listsWindow();
    ASSERT_TRUE(lists);
    ASSERT_TRUE(waitFor([&] { return lists->isVisible(); }));
    // Nobody has signed in yet: the tour stands above My Documents, and Get Started leaves it.
    QPointer<QVR_FirstLaunchViewController> tour;
    ASSERT_TRUE(waitFor([&] {
        tour = lists->findChild<QVR_FirstLaunchViewController*>();
        return tour && tour->isVisible();
    }));
    EXPECT_TRUE(tour->window()->isVisible());
    EXPECT_NE(tour->window(), lists);
    QTest::mouseClick(tour->getStartedButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !tour || !tour->isVisible(); }));
    EXPECT_TRUE(lists->isVisible());

    auto* documents = lists->findChild<QVRMyTessarinesViewController*>();
    ASSERT_TRUE(documents);
    QLabel* empty = documents->emptyStateLabel();
    QVRTessarineTileCreateNewGridItemView* plus = nullptr;
    ASSERT_TRUE(waitFor([&] {
        plus = lists->findChild<QVRTessarineTileCreateNewGridItemView*>();
        return plus && plus->isVisible() && empty->isVisible();
    }));
    // Laid out at once: the tile has its size, and the empty state its room, without a resize by the user.
    EXPECT_GE(plus->width(), 100);
    EXPECT_GE(plus->height(), 100);
    EXPECT_FALSE(empty->text().isEmpty());
    EXPECT_GE(empty->height(), empty->heightForWidth(empty->width())) << "the empty state's text is cut off";
    const QRect tile(plus->mapTo(lists, QPoint(0, 0)), plus->size());
    const QRect text(empty->mapTo(lists, QPoint(0, 0)), empty->size());
    EXPECT_FALSE(tile.intersects(text)) << "the empty state covers the + tile";
    EXPECT_TRUE(lists->rect().contains(tile)) << "the + tile is outside the window";

    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    ASSERT_TRUE(window->currentModel());
    EXPECT_EQ(window->currentModel()->firstFlowmodel()->screenModels().size(), 1u);
    EXPECT_TRUE(window->theToolBarView()->insertButton()->isEnabled());

    // Closed, and a second new document the same way.
    window->close();
    ASSERT_TRUE(waitFor([] { return creatorWindows().isEmpty(); }));
    EXPECT_TRUE(createDocumentFromPlusTile()) << "a second new document from the + tile";
}

// Insert › Image, Video, Audio, PDF, a shape, a text box and a gallery; each insertion undone and redone; an
// object moved with the mouse.
TEST_F(Road, TheCreatorInsertsEveryKindOfElementThroughItsDialogs)
{
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);

    // Two pictures at once, a JPEG and a PNG, through the file dialog.
    const QString jpeg = makePicture(input("photo.jpg"), "JPEG");
    const QString png = makePicture(input("drawing.png"), "PNG", Qt::magenta);
    ASSERT_FALSE(jpeg.isEmpty());
    ASSERT_FALSE(png.isEmpty());
    ASSERT_TRUE(insert(window, &QVR_AddElementMenuViewController::imageCell));
    ASSERT_TRUE(answerFileDialog(QStringLiteral("\"%1\" \"%2\"").arg(jpeg, png)));
    ASSERT_TRUE(waitFor([&] { return countObjects(shownScreen(window), Type::Image) == 2; }));
    ASSERT_TRUE(waitFor([&] { return window->theToolBarView()->insertButton()->isEnabled(); }));

    // The front picture, clicked, resized by a corner handle and turned by a rotate handle; each gesture undone
    // and redone from the Edit menu.
    {
        const auto picture = shownScreen(window)->mixedMediaObjects().back();
        QVR_ArtBoardScrollView* view = window->theArtBoard()->theScrollView();
        QWidget* viewport = view->viewport();
        const QPoint centre = view->mapFromScene((*picture)->frame().center());
        QTest::mouseClick(viewport, Qt::LeftButton, {}, centre);
        QVR_SelectedItemView* selection = window->selectedItemView();
        ASSERT_TRUE(waitFor([&] { return selection->selectedViews().size() == 1; }, 5000));
        auto* handler = QVR_InteractableViewHandler::handlerForBoard(window->theArtBoard());
        const auto handleArea = [&](int position, bool rotate) {
            const QGraphicsItem* handle = selection->handle(position, rotate);
            return handle->deviceTransform(view->viewportTransform()).mapRect(handle->boundingRect());
        };
        const auto handleAt = [&](int position, bool rotate) {
            const QRectF area = handleArea(position, rotate);
            if (!rotate)
                return area.center().toPoint();
            // A rotate handle surrounds a resize handle: grab it beyond that.
            const QPointF inner = handleArea(position, false).center();
            return QPointF(inner.x() < area.center().x() ? area.right() - 3 : area.left() + 3,
                           inner.y() < area.center().y() ? area.bottom() - 3 : area.top() + 3)
                .toPoint();
        };
        const auto drag = [&](int position, bool rotate, QPoint by) {
            const QPoint from = handleAt(position, rotate);
            QTest::mousePress(viewport, Qt::LeftButton, {}, from);
            QMouseEvent move(QEvent::MouseMove, QPointF(from + by), viewport->mapToGlobal(QPointF(from + by)),
                             Qt::NoButton, Qt::LeftButton, {});
            QApplication::sendEvent(viewport, &move);
            QTest::mouseRelease(viewport, Qt::LeftButton, {}, from + by);
            return waitFor([&] { return !handler->isBusy(); });
        };
        const auto undoRedo = [&](const std::function<bool()>& changed) {
            ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("undo")));
            EXPECT_TRUE(waitFor([&] { return !changed(); }, 5000)) << "undo";
            ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("redo")));
            EXPECT_TRUE(waitFor(changed, 5000)) << "redo";
        };

        const QRectF original = (*picture)->frame();
        ASSERT_TRUE(drag(0, false, QPoint(-30, -30)));
        const auto resized = [&] { return (*picture)->frame().size() != original.size(); };
        ASSERT_TRUE(resized()) << "the corner handle resizes";
        undoRedo(resized);

        // Crop from the picture's popover: a crop handle dragged in, then the crop popover's Crop.
        QTest::mouseClick(viewport, Qt::LeftButton, {}, view->mapFromScene((*picture)->frame().center()));
        QAbstractButton* cropButton = nullptr;
        ASSERT_TRUE(waitFor([&] {
            for (QWidget* widget : QApplication::allWidgets()) {
                auto* button = qobject_cast<QAbstractButton*>(widget);
                if (button && button->isVisible() && button->toolTip() == UFM::CROP_TEXT())
                    cropButton = button;
            }
            return cropButton != nullptr;
        })) << "the picture's popover offers Crop";
        const QRectF uncropped = (*picture)->frame();
        click(cropButton);
        ASSERT_TRUE(waitFor([&] { return handler->isCropping() && handler->cropView(); }, 5000));
        QVR_CropView* crop = handler->cropView();
        const QGraphicsItem* cropHandle = crop->handleAtPosition(0);
        const QPoint from = cropHandle->deviceTransform(view->viewportTransform())
                                .mapRect(cropHandle->boundingRect())
                                .center()
                                .toPoint();
        QTest::mousePress(viewport, Qt::LeftButton, {}, from);
        for (const QPoint by : {QPoint(10, 10), QPoint(25, 20)}) {
            QMouseEvent move(QEvent::MouseMove, QPointF(from + by), viewport->mapToGlobal(QPointF(from + by)),
                             Qt::NoButton, Qt::LeftButton, {});
            QApplication::sendEvent(viewport, &move);
        }
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, from + QPoint(25, 20));
        ASSERT_TRUE(waitFor([&] { return crop->cropPopoverButtonsView() != nullptr; }, 5000));
        click(crop->cropPopoverButtonsView()->cropButton());
        ASSERT_TRUE(waitFor([&] { return !handler->isCropping(); }));
        const auto cropped = [&] { return (*picture)->frame() != uncropped; };
        ASSERT_TRUE(cropped()) << "the crop changes the picture's frame";
        undoRedo(cropped);

        QTest::mouseClick(viewport, Qt::LeftButton, {}, view->mapFromScene((*picture)->frame().center()));
        ASSERT_TRUE(waitFor([&] { return selection->selectedViews().size() == 1; }, 5000));
        selection->selectedViewsDidChange();
        ASSERT_TRUE(drag(1, true, QPoint(-50, 150)));
        const auto turned = [&] { return (*picture)->rotation() != 0; };
        ASSERT_TRUE(turned()) << "the rotate handle turns the picture";
        undoRedo(turned);
    }

    // A PDF of three pages.
    ASSERT_TRUE(insert(window, &QVR_AddElementMenuViewController::pdfCell));
    ASSERT_TRUE(answerFileDialog(makePdf(input("pages.pdf"), 3)));
    ASSERT_TRUE(waitFor([&] { return countObjects(shownScreen(window), Type::PDF) == 1; }));
    ASSERT_TRUE(waitFor([&] { return window->theToolBarView()->insertButton()->isEnabled(); }));
    undoAndRedo(window, Type::PDF, 1);

    // A shape from the shape menu.
    ASSERT_TRUE(insert(window, &QVR_AddElementMenuViewController::shapeCell));
    QVR_AddShapeMenuViewController* shapes = nullptr;
    ASSERT_TRUE(waitFor([&] { return (shapes = openedMenu<QVR_AddShapeMenuViewController>()) != nullptr; }));
    ASSERT_TRUE(shapes->menuView());
    ASSERT_FALSE(shapes->menuView()->buttons().isEmpty());
    click(shapes->menuView()->buttons().first());
    ASSERT_TRUE(waitFor([&] { return countObjects(shownScreen(window), Type::Shape) == 1; }));
    undoAndRedo(window, Type::Shape, 1);

    // A text box.
    ASSERT_TRUE(insert(window, &QVR_AddElementMenuViewController::textCell));
    ASSERT_TRUE(waitFor([&] { return countObjects(shownScreen(window), Type::Text) == 1; }));
    undoAndRedo(window, Type::Text, 1);
    // Typed into: a click selects it, a second click edits it, and the keys land in the document.
    {
        std::shared_ptr<ZERI_MixedMediaObjectProxy> text;
        for (const auto& object : shownScreen(window)->mixedMediaObjects())
            if (object->type() == Type::Text)
                text = object;
        ASSERT_TRUE(text);
        QVR_ArtBoardScrollView* view = window->theArtBoard()->theScrollView();
        const QPoint inside = view->mapFromScene((*text)->frame().center());
        QVR_MixedMediaElementContainingView* container = nullptr;
        ASSERT_TRUE(waitFor(
            [&] {
                return (container = window->theArtBoard()->singleScreen()->containerForMixedMediaObject(text)) !=
                       nullptr;
            },
            5000));
        auto* textView = dynamic_cast<QVR_AttributedTextMixedMediaElementView*>(container->mixedMediaElementView());
        ASSERT_TRUE(textView);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, inside);
        ASSERT_TRUE(waitFor([&] { return container->selectedByInteractionModel(); }, 5000));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, inside);
        ASSERT_TRUE(waitFor([&] { return textView->editable(); }, 5000)) << "a second click edits the text";
        QTest::keyClick(view->viewport(), Qt::Key_A, Qt::ControlModifier);
        UserInput::typeText(view->viewport(), QStringLiteral("Roads ahead"));
        // A click on the screen beside it ends the editing.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->mapFromScene(QPointF(1000, 730)));
        EXPECT_TRUE(waitFor(
            [&] { return text->as<ZERI_MMObject_Text>()->attributedString().string() == QLatin1String("Roads ahead"); },
            5000))
            << text->as<ZERI_MMObject_Text>()->attributedString().string().toStdString();
    }

    // Audio: an MP3 made here.
    if (MediaTestClips::toolsAvailable()) {
        const QString mp3 = input("tone.mp3");
        ASSERT_TRUE(MediaTestClips::make(mp3, {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                               QStringLiteral("sine=frequency=440:duration=1")}));
        ASSERT_TRUE(insert(window, &QVR_AddElementMenuViewController::audioCell));
        ASSERT_TRUE(answerFileDialog(mp3));
        ASSERT_TRUE(waitFor([&] { return countObjects(shownScreen(window), Type::Audio) == 1; }));
        ASSERT_TRUE(waitFor([&] { return window->theToolBarView()->insertButton()->isEnabled(); }));
        undoAndRedo(window, Type::Audio, 1);

        // Video: the preset chooser answered, the re-encoding runs to its end and the element shows.
        const QString mp4 = input("clip.mp4");
        ASSERT_TRUE(MediaTestClips::makeVideo(mp4, 320, 240, 1.0, 44100));
        ASSERT_TRUE(insert(window, &QVR_AddElementMenuViewController::videoCell));
        ASSERT_TRUE(answerFileDialog(mp4));
        QVRCompressionSelectionViewController* presets = nullptr;
        ASSERT_TRUE(
            waitFor([&] { return (presets = openedMenu<QVRCompressionSelectionViewController>()) != nullptr; }));
        click(presets->smallButton());
        ASSERT_TRUE(waitFor([&] { return countObjects(shownScreen(window), Type::Video) == 1; }, 45000));
        ASSERT_TRUE(waitFor([&] { return window->theToolBarView()->insertButton()->isEnabled(); }, 45000));
    }

    // The front object moves 40 points right with the mouse; undo puts it back, redo moves it again.
    const auto screen = shownScreen(window);
    auto picture = screen->mixedMediaObjects().back();
    const QRectF before = (*picture)->frame();
    QVR_ArtBoardScrollView* view = window->theArtBoard()->theScrollView();
    QWidget* viewport = view->viewport();
    const QPoint from = view->mapFromScene(before.center());
    const QPoint to = view->mapFromScene(before.center() + QPointF(40, 0));
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    for (int step = 1; step <= 4; ++step) {
        const QPoint at = from + (to - from) * step / 4;
        QMouseEvent move(QEvent::MouseMove, QPointF(at), viewport->mapToGlobal(QPointF(at)), Qt::NoButton,
                         Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &move);
    }
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
    ASSERT_TRUE(waitFor([&] { return (*picture)->frame().topLeft() != before.topLeft(); }, 5000));
    EXPECT_NEAR((*picture)->frame().left() - before.left(), 40, 12);
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("undo")));
    EXPECT_TRUE(waitFor([&] { return (*picture)->frame() == before; }, 5000));
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("redo")));
    EXPECT_TRUE(waitFor([&] { return (*picture)->frame() != before; }, 5000));

    // A gallery: the gallery sheet's Choose Images, two pictures through the file dialog, Save.
    addGallery(window, {jpeg, png});
    undoAndRedo(window, Type::Gallery, 1);
}

// File › Export PDF through the save dialog: one page per screen.
TEST_F(Road, ExportPdfWritesOnePagePerScreen)
{
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("duplicateScreen")));
    ASSERT_TRUE(waitFor([&] { return window->currentModel()->firstFlowmodel()->screenModels().size() == 2; }));

    const QString pdf = input("exported.pdf");
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("exportToPDF")));
    ASSERT_TRUE(answerFileDialog(pdf));
    EXPECT_EQ(writtenPdfPages(pdf), 2);

    // With a gallery of two pictures and the dialog's box ticked, the gallery's pictures follow as pages.
    addGallery(window, {makePicture(input("one.png"), "PNG"), makePicture(input("two.jpg"), "JPEG", Qt::red)});
    const QString withGallery = input("with-gallery.pdf");
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("exportToPDF")));
    ASSERT_TRUE(answerFileDialog(withGallery, true));
    EXPECT_EQ(writtenPdfPages(withGallery), 4);

    // File › Print, to a PDF file: the print dialog's file printer, the path typed, Print.
    const QString printed = input("printed.pdf");
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("print")));
    ASSERT_TRUE(printToFile(printed));
    EXPECT_GE(writtenPdfPages(printed), 2) << "a page per screen at least";
}

// File › Import PowerPoint › Get Started › the file dialog: the deck opens as a new document, a screen a slide.
TEST_F(Road, ImportPowerPointOpensTheDeckAsANewDocument)
{
    QVRPowerpointOverviewWindowController* overview = openImportOverview();
    ASSERT_TRUE(overview);

    // No service: the sample area says so instead of staying dark.
    QLabel* notice = nullptr;
    EXPECT_TRUE(waitFor([&] {
        notice = overview->findChild<QLabel*>(QStringLiteral("sampleFailureLabel"));
        return notice && notice->isVisible() && !notice->text().isEmpty();
    }));

    const QString deck = input("deck.pptx");
    ASSERT_TRUE(TestDeck::minimal(3).writeTo(deck.toStdString()));
    const QList<QVR_CreatorWindow*> before = creatorWindows();
    click(overview->getStartedButton());
    ASSERT_TRUE(answerFileDialog(deck));
    QVR_CreatorWindow* imported = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            for (QVR_CreatorWindow* window : creatorWindows()) {
                if (!before.contains(window) && window->currentModel() && window->currentModel()->firstFlowmodel())
                    imported = window;
            }
            return imported != nullptr;
        },
        45000));
    EXPECT_EQ(imported->currentModel()->firstFlowmodel()->screenModels().size(), 3u);
    // The overview closes once the deck is imported.
    EXPECT_TRUE(waitFor([] { return !visibleTopLevel<QVRPowerpointOverviewWindowController>(); }));
}

// Play from the toolbar: the player opens at the shown screen and the keys page it; Escape closes it, and so does
// the Close key; the creator comes back with its document commands enabled.
TEST_F(Road, PlayingFromTheToolbarAndClosingGivesTheCreatorBack)
{
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("duplicateScreen")));
    ASSERT_TRUE(waitFor([&] { return window->currentModel()->firstFlowmodel()->screenModels().size() == 2; }));
    window->setCurrentIndex(1);
    ASSERT_TRUE(waitFor([&] { return window->currentIndex() == 1; }));
    writePresenterNote(window, QStringLiteral("Pause for questions"));

    const auto commandsEnabled = [&] {
        return chooseMenuItemEnabled(window, QStringLiteral("saveDraft")) &&
               chooseMenuItemEnabled(window, QStringLiteral("exportToPDF")) &&
               chooseMenuItemEnabled(window, QStringLiteral("print"));
    };

    QVRViewerWindow* player = play(window);
    ASSERT_TRUE(player);
    QVR_TessarineViewerView* view = player->windowController()->tessarineViewerViewController()->viewerView();
    ASSERT_TRUE(waitFor([&] { return view->currentPage() == 1; })) << "the player starts at the shown screen";
    // The title bar's presenter notes button opens the notes window on the shown screen's note.
    QVRViewerViewController* viewer = player->windowController()->tessarineViewerViewController();
    ASSERT_TRUE(player->presenterNotesButton());
    click(player->presenterNotesButton());
    EXPECT_TRUE(waitFor([&] {
        const auto* notesWindow = viewer->presenterNotesWindowController();
        auto* notes = viewer->presentationNotesViewController();
        return notesWindow && notesWindow->window()->isVisible() && notes &&
               notes->notesTextView()->toPlainText().contains(QLatin1String("Pause for questions"));
    })) << "the presenter notes window";
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == player; })) << "the player keeps the keys";
    QTest::keyClick(view, Qt::Key_Left);
    EXPECT_TRUE(waitFor([&] { return view->currentPage() == 0; }));
    QTest::keyClick(view, Qt::Key_Right);
    EXPECT_TRUE(waitFor([&] { return view->currentPage() == 1; }));

    QPointer<QVRViewerWindow> closing(player);
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !closing || !closing->isVisible(); }, 5000)) << "Escape closes the player";
    if (closing)
        closing->close();
    EXPECT_TRUE(waitFor(commandsEnabled, 5000)) << "Save Draft, Export PDF and Print after the player closed";

    player = play(window);
    ASSERT_TRUE(player);
    closing = player;
    QTest::keySequence(player, QKeySequence(QKeySequence::Close));
    EXPECT_TRUE(waitFor([&] { return !closing || !closing->isVisible(); }, 5000)) << "Ctrl+W closes the player";
    if (closing)
        closing->close();
    EXPECT_TRUE(waitFor(commandsEnabled, 5000));
}

QStringList screenOrder(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    QStringList ids;
    for (const auto& screen : document->firstFlowmodel()->screenModels())
        ids.append(screen->internalID());
    return ids;
}

// Screens added from the toolbar and reordered by dragging their thumbnails, a presenter note written; the
// application quits and starts again (a second process on the same home folder): the document is intact and its
// tile shows its preview.
TEST_F(Road, ADocumentSurvivesQuittingAndStartingAgain)
{
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    const auto document = window->currentModel();
    const auto flow = document->firstFlowmodel();

    // Two screens more from the toolbar's add-screen chooser.
    for (size_t count = 2; count <= 3; ++count) {
        click(window->theToolBarView()->addScreenButton());
        QVRNewScreenSelectionViewController* chooser = nullptr;
        ASSERT_TRUE(waitFor([&] { return (chooser = openedMenu<QVRNewScreenSelectionViewController>()) != nullptr; }));
        QList<QVR_NewScreenSelectionButton*> tiles;
        ASSERT_TRUE(waitFor([&] {
            tiles = chooser->tileButtons();
            return !tiles.isEmpty() && tiles.first()->isVisible();
        }));
        click(tiles.first());
        ASSERT_TRUE(waitFor([&] { return flow->screenModels().size() == count; })) << count;
    }

    // The first screen's thumbnail dragged before the third's.
    const QStringList added = screenOrder(document);
    QVRThumbnailBar* bar = window->theThumbnailBarView();
    std::unique_ptr<QMimeData> dragged(bar->writeItemsAtIndexes({0}));
    ASSERT_TRUE(dragged);
    const QRect target = bar->frameForItemAtIndex(2);
    const QPoint at(target.left() + target.width() / 4, target.center().y());
    QDragEnterEvent enter(at, Qt::MoveAction, dragged.get(), Qt::LeftButton, {});
    QApplication::sendEvent(bar, &enter);
    QDragMoveEvent move(at, Qt::MoveAction, dragged.get(), Qt::LeftButton, {});
    QApplication::sendEvent(bar, &move);
    QDropEvent drop(QPointF(at), Qt::MoveAction, dragged.get(), Qt::LeftButton, {});
    QApplication::sendEvent(bar, &drop);
    bar->draggingEnded();
    const QStringList reordered{added[1], added[0], added[2]};
    ASSERT_EQ(screenOrder(document), reordered);

    // A presenter note on the shown screen, typed into the Screen menu's prompt.
    const auto noted = shownScreen(window);
    writePresenterNote(window, QStringLiteral("Mention the second chart"));

    // The thumbnails have drawn the first screen's preview, as the user sees them.
    ASSERT_TRUE(waitFor([&] { return flow->screenModels().front()->previewScreenShotAsset() != nullptr; }));

    // Quit, as from the menu: pending drafts are written.
    ASSERT_TRUE(application().applicationShouldTerminate());
    closeDocumentWindows();

    const auto second = TestEnvironment::runTestsInChildProcess(
        QStringLiteral("RoadSecondStart.*"),
        {{QStringLiteral("TESS_ROADS_HOME"), TestEnvironment::root()},
         {QStringLiteral("TESS_ROADS_DOCUMENT"), document->qvdID()},
         {QStringLiteral("TESS_ROADS_ORDER"), reordered.join(QLatin1Char(','))},
         {QStringLiteral("TESS_ROADS_NOTE"), noted->internalID() + QStringLiteral("=Mention the second chart")}},
        90000);
    ASSERT_TRUE(second.finished) << second.output.toStdString();
    EXPECT_EQ(second.exitCode, 0) << second.output.toStdString();
    EXPECT_TRUE(second.output.contains(QLatin1String("[  PASSED  ] 1 test"))) << second.output.toStdString();
}

// The second start of the road above, in a process of its own on the first one's home folder.
TEST(RoadSecondStart, DISABLED_TheDocumentIsIntactWithItsPreview)
{
    const QString home = qEnvironmentVariable("TESS_ROADS_HOME");
    ASSERT_FALSE(home.isEmpty());
    for (const char* variable : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        static const QMap<QString, QString> folders{{QStringLiteral("HOME"), QStringLiteral("home")},
                                                    {QStringLiteral("XDG_CONFIG_HOME"), QStringLiteral("config")},
                                                    {QStringLiteral("XDG_DATA_HOME"), QStringLiteral("data")},
                                                    {QStringLiteral("XDG_CACHE_HOME"), QStringLiteral("cache")}};
        qputenv(variable, QFile::encodeName(home + QLatin1Char('/') + folders.value(QString::fromLatin1(variable))));
    }
    QWidget* lists = application().listsWindow();
    ASSERT_TRUE(lists);

    // Its tile, with the preview drawn.
    const QString id = qEnvironmentVariable("TESS_ROADS_DOCUMENT");
    QVRTessarineTileGridItemView* tile = nullptr;
    ASSERT_TRUE(waitFor([&] {
        for (auto* candidate : lists->findChildren<QVRTessarineTileGridItemView*>()) {
            if (candidate->filePackage() && candidate->filePackage()->packageID() == id)
                tile = candidate;
        }
        return tile != nullptr;
    }));
    auto* picture = tile->findChild<AsynchronousRenderImageView*>();
    ASSERT_TRUE(picture);
    EXPECT_TRUE(waitFor([&] { return !picture->renderedImage().isNull(); }))
        << "the tile shows no preview: " << tile->filePackage()->metaData().previewScreenshotFilePath().toStdString();

    // The document as it was left: its screens in their order, the note kept.
    const auto package = tile->filePackage();
    Error error;
    ASSERT_TRUE(package->model() || package->loadModel(&error)) << error.message.toStdString();
    const auto document = package->model();
    EXPECT_EQ(screenOrder(document).join(QLatin1Char(',')), qEnvironmentVariable("TESS_ROADS_ORDER"));
    const QStringList note = qEnvironmentVariable("TESS_ROADS_NOTE").split(QLatin1Char('='));
    ASSERT_EQ(note.size(), 2);
    bool found = false;
    for (const auto& screen : document->firstFlowmodel()->screenModels()) {
        if (screen->internalID() == note[0]) {
            found = true;
            EXPECT_EQ(screen->presenterNotes(), note[1]);
        }
    }
    EXPECT_TRUE(found);
}

// Insert › Image with a JPEG, then File › Export PDF: the picture goes into the PDF as the very file it is.
TEST_F(Road, ExportPdfPutsAnInsertedJpegInAsItIs)
{
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    const QString jpeg = makePicture(input("whole.jpg"), "JPEG", Qt::darkGreen);
    ASSERT_FALSE(jpeg.isEmpty());
    ASSERT_TRUE(insert(window, &QVR_AddElementMenuViewController::imageCell));
    ASSERT_TRUE(answerFileDialog(jpeg));
    ASSERT_TRUE(waitFor([&] { return countObjects(shownScreen(window), Type::Image) == 1; }));
    ASSERT_TRUE(waitFor([&] { return window->theToolBarView()->insertButton()->isEnabled(); }));

    const QString pdf = input("picture.pdf");
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("exportToPDF")));
    ASSERT_TRUE(answerFileDialog(pdf));
    EXPECT_EQ(writtenPdfPages(pdf), 1);
    QFile picture(jpeg);
    QFile exported(pdf);
    ASSERT_TRUE(picture.open(QIODevice::ReadOnly) && exported.open(QIODevice::ReadOnly));
    EXPECT_EQ(exported.readAll().count(picture.readAll()), 1);
}

// A document of many screens: the strip scrolled to its end shows the pictures of the screens there while those of
// the screens in the middle are still being made.
// In a process of its own: after the add-screen chooser has been used in the same process, the screens out of the
// strip's reach are not drawn within the wait (seen in a whole shuffled run, seed 66320).
TEST_F(Road, TheStripScrolledToItsEndShowsThoseScreensFirst)
{
    const auto run = TestEnvironment::runTestsInChildProcess(
        QStringLiteral("Road.DISABLED_StripScrolledToItsEndInAProcessOfItsOwn"), {}, 90000);
    ASSERT_TRUE(run.finished) << run.output.toStdString();
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_TRUE(run.output.contains(QLatin1String("[  PASSED  ] 1 test"))) << run.output.toStdString();
}

TEST_F(Road, DISABLED_StripScrolledToItsEndInAProcessOfItsOwn)
{
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    const auto flow = window->currentModel()->firstFlowmodel();
    for (int i = 0; i < 59; ++i)
        ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("duplicateScreen")));
    ASSERT_TRUE(waitFor([&] { return flow->screenModels().size() == 60; }));
    // Every screen changed at once, as an edit of the document's look would: all previews are drawn anew.
    for (const auto& screen : flow->screenModels())
        screen->setBackgroundColor(QColor(20, 120, 200));
    auto* bar = window->findChild<QVRThumbnailBar*>();
    ASSERT_TRUE(bar && bar->enclosingScrollArea());
    QScrollBar* scroller = bar->enclosingScrollArea()->horizontalScrollBar();
    ASSERT_TRUE(waitFor([&] { return scroller->maximum() > 0; }));
    scroller->setValue(scroller->maximum());
    const std::shared_ptr<ZERI_FlowScreenModel> last = flow->screenModels().back();
    ASSERT_TRUE(waitFor([&] { return !last->previewInvalidated() && last->previewScreenShotAsset(); }));
    int waiting = 0;
    for (const auto& screen : flow->screenModels())
        waiting += screen->previewInvalidated() ? 1 : 0;
    EXPECT_GE(waiting, 20) << "the screens in the middle went first";
    EXPECT_TRUE(waitFor([&] {
        return std::none_of(flow->screenModels().begin(), flow->screenModels().end(),
                            [](const auto& screen) { return screen->previewInvalidated(); });
    })) << "every preview is made in the end";
}

// Under a slow disk, several screens' previews being made anew (each one that arrives schedules a draft): a note
// typed while a draft is on its way, then File › Close at once. The draft is whole whenever it
// is read, and once the window is gone it holds the note.
TEST_F(Road, ClosingTheCreatorRightAfterAnEditLeavesThatEditInTheDraft)
{
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    const auto document = window->currentModel();
    const auto flow = document->firstFlowmodel();
    for (int i = 0; i < 11; ++i)
        ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("duplicateScreen")));
    ASSERT_TRUE(waitFor([&] { return flow->screenModels().size() == 12; }));
    const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage());
    ASSERT_TRUE(package);
    const QString draft = package->draftFilePath();
    const auto draftOnDisk = [&] {
        QFile file(draft);
        return file.open(QIODevice::ReadOnly) ? ZERI_TessarineModel::initWithJsonData(file.readAll()) : nullptr;
    };

    struct SlowDisk {
        SlowDisk()
        {
            AtomicFile::setFaultInjectorForTesting([](const QString& path) {
                if (path.endsWith(ZERI_qvdFilePackage::draftFileName) && !MainThread::isMainThread())
                    QThread::msleep(3000);
                return false;
            });
        }
        ~SlowDisk() { AtomicFile::setFaultInjectorForTesting({}); }
    } slowDisk;
    for (const auto& screen : flow->screenModels())
        screen->setBackgroundColor(QColor(200, 60, 20));
    // The edit's draft is on its way now, through the scheduled save's own step, rather than whenever its timer
    // comes (by then a save made at once for another reason may have written it already).
    Error error;
    ASSERT_TRUE(package->saveDocumentSoon(document, &error)) << error.message.toStdString();
    ASSERT_TRUE(package->isWritingDraft());
    int torn = draftOnDisk() ? 0 : 1;
    writePresenterNote(window, QStringLiteral("The last word"));
    const auto noted = shownScreen(window);
    window->activateWindow();
    ASSERT_TRUE(waitFor([&] { return window->isActiveWindow(); }));
    // The note's draft follows at once: behind the colours' draft when that is still on its way (the window then
    // closes while an older draft is written), else on its way itself (the slow disk may have let the main thread
    // wait the colours' draft out while the note was typed).
    ASSERT_TRUE(package->saveDocumentSoon(document, &error)) << error.message.toStdString();
    ASSERT_TRUE(package->isWritingDraft()) << "no draft is on its way when the window closes";
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("closeWindow")));
    ASSERT_TRUE(waitFor([&] { return creatorWindows().isEmpty(); }));

    const auto noteOnDisk = [&] {
        const auto onDisk = draftOnDisk();
        if (!onDisk)
            return QStringLiteral("(torn)");
        for (const auto& screen : onDisk->firstFlowmodel()->screenModels()) {
            if (screen->internalID() == noted->internalID())
                return screen->presenterNotes();
        }
        return QStringLiteral("(no screen)");
    };
    // The window goes at once; the writer, after the older draft, writes the document as the window left it.
    EXPECT_EQ(package->model(), nullptr);
    EXPECT_TRUE(waitFor([&] { return noteOnDisk() == QStringLiteral("The last word"); })) << noteOnDisk().toStdString();
    // Nothing the writer still had lands over it later.
    QTest::qWait(50);
    ZERI_qvdFilePackage::waitForDraftWrites();
    EXPECT_EQ(noteOnDisk(), QStringLiteral("The last word"));
    EXPECT_EQ(torn, 0);
}

} // namespace

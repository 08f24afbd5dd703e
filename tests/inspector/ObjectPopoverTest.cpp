#include <algorithm>

#include <QApplication>
#include <QComboBox>
#include <QStyleOptionComboBox>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "InspectorWindowEnvironment.h"

#include "app/QVRWindowManager.h"
#include "controls/ControlsArtwork.h"
#include "creator/CreatorLibrary.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorCanvasView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/window/QVRTopOfWindowDockToolbarView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "elements/gallery/QVRGalleryEditorViewController.h"
#include "elements/text/QVR_AttributedTextView.h"
#include "elements/views/QVR_AttributedTextMixedMediaElementView.h"
#include "foundation/Tessutils.h"
#include "inspector/InspectorLibrary.h"
#include "inspector/pickers/ColorPanel.h"
#include "inspector/pickers/QVRFontPicker_v2.h"
#include "inspector/pickers/QVRSizePicker.h"
#include "inspector/pickers/QVRColorPicker.h"
#include "inspector/popovers/CoalescedUndoStep.h"
#include "inspector/popovers/QVRImageMMObjToolbarPopoverController.h"
#include "inspector/popovers/QVRShapeMMObjToolbarPopoverController.h"
#include "inspector/popovers/QVRTextMMObjToolbarPopoverController.h"
#include "inspector/popovers/QVR_DockedPopoverView.h"
#include "platform/AlertPresenter.h"
#include "platform/AppPaths.h"
#include "platform/FileChooser.h"
#include "platform/NotificationCenter.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "storage/MixedMediaObjectStorage.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"
#include "support/UserInput.h"
#include "tessarine_data_model/QVR_TextStorage.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_ScreenLink.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_WebLink.h"

namespace {

using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;
using Popover = QVRMMObjToolbarPopoverBase;
using Kind = QVRMMObjToolbarPopoverBase::LinkEditorKind;

// A creator window on a saved two-screen document; popovers float unless a test docks them.
struct PopoverWindow {
    InspectorWindowEnvironment env; // first: it outlives the window
    PopoverWindow()
    {
        AlertPresenter::setShared(&alerts);
        FileChooser::setShared(&chooser);
        document->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
        document->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
        screen = document->firstFlowmodel()->screenModels().front();
        Error error;
        EXPECT_TRUE(ZERI_qvdFilePackage::saveModelToFile(document, &error)) << error.message.toStdString();
    }
    ~PopoverWindow()
    {
        QVRImageMMObjToolbarPopoverController::setCropStarter({});
        QVRMMObjToolbarPopoverBase::setLinkEditorOpener({});
        if (ColorPanel* panel = ColorPanel::existing())
            panel->hide();
        delete window.data();
        settle();
        AlertPresenter::setShared(nullptr);
        FileChooser::setShared(nullptr);
    }
    Proxy add(int type, const QRectF& frame)
    {
        auto object = ZERI_MixedMediaObject::objectWithType(type);
        (*object)->setFrame(frame);
        screen->addMixedMediaObject(object);
        return object;
    }
    Proxy addText(const AttributedText& text, const QRectF& frame = QRectF(100, 100, 400, 200))
    {
        auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
        (*object)->setFrame(frame);
        object->as<ZERI_MMObject_Text>()->setAttributedString(text);
        screen->addMixedMediaObject(object);
        return object;
    }
    void open()
    {
        window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
        window->resize(1400, 1000);
        window->launchTessarineWithTessarineModel(document);
        window->show();
        settle();
    }
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    }
    QVR_MixedMediaElementContainingView* container(const Proxy& object) const
    {
        return window->theArtBoard()->singleScreen()->containerForMixedMediaObject(object);
    }
    QVR_InteractableViewHandler* handler() const
    {
        return QVR_InteractableViewHandler::handlerForBoard(window->theArtBoard());
    }
    void select(const std::vector<Proxy>& objects)
    {
        std::vector<QVR_MixedMediaElementContainingView*> containers;
        for (const Proxy& object : objects)
            containers.push_back(container(object));
        handler()->setCurrentlySelected(containers);
        settle();
    }
    Popover* popover(const Proxy& object) const
    {
        return dynamic_cast<Popover*>(container(object)->popoverController());
    }
    QVR_DockedPopoverView* docked() const
    {
        return qobject_cast<QVR_DockedPopoverView*>(window->topDockBar()->dockedPopoverView());
    }
    ZERI_FlowModel& flow() const { return *document->firstFlowmodel(); }
    UndoManager& undo() const { return flow().undoManager(); }

    RecordingAlertPresenter alerts;
    RecordingFileChooser chooser;
    std::shared_ptr<ZERI_TessarineModel> document = ZERI_TessarineModel::create();
    std::shared_ptr<ZERI_FlowScreenModel> screen;
    QPointer<QVR_CreatorWindow> window;
};

QList<int> tags(const QVRToolbarPopoverController& controller)
{
    QList<int> found;
    for (QWidget* view : controller.toolbarViews())
        if (const int tag = QVRToolbarPopoverController::tagOf(view))
            found << tag;
    return found;
}

TextAttributes font(const QString& name, double size)
{
    TextAttributes attributes;
    attributes.fontName = name;
    attributes.fontSize = size;
    attributes.foregroundColor = Qt::black;
    attributes.alignment = TextAttributes::Left;
    return attributes;
}

// "Lorem ipsum dolor": Helvetica 12, "DejaVu Serif" 24 and "DejaVu Sans" 30.
AttributedText threeRuns()
{
    AttributedText text(QStringLiteral("Lorem ipsum dolor"), font(QStringLiteral("Helvetica"), 12));
    text.setAttributes(font(QStringLiteral("DejaVuSerif"), 24), {6, 6});
    text.setAttributes(font(QStringLiteral("DejaVuSans"), 30), {12, 5});
    return text;
}

QList<std::pair<QString, double>> fonts(const AttributedText& text)
{
    QList<std::pair<QString, double>> found;
    for (const auto& run : text.runs())
        found.append({run.attributes.fontName, run.attributes.fontSize});
    return found;
}

} // namespace

TEST(ObjectPopoverTest, RowsOfEachKindInTagOrder)
{
    PopoverWindow f;
    auto row = [&](int type, bool docked) {
        auto controller = Popover::controllerForObject(f.add(type, QRectF(0, 0, 50, 50)), docked);
        controller->setupMMObjDefaultToolbarViews();
        return controller;
    };
    EXPECT_EQ(tags(*row(ZERI_MixedMediaObject::Image, false)), QList<int>({432, 436, 437, 435, 433, 434}));
    EXPECT_EQ(tags(*row(ZERI_MixedMediaObject::Video, false)), QList<int>({432, 436, 437, 433, 434}));
    EXPECT_EQ(tags(*row(ZERI_MixedMediaObject::PDF, false)), QList<int>({432, 436, 437, 433, 434}));
    auto gallery = row(ZERI_MixedMediaObject::Gallery, false);
    EXPECT_EQ(tags(*gallery), QList<int>({432, 436, 437, 433, 434}));
    // The edit-gallery button sits between change image and crop.
    const QList<QWidget*> galleryViews = gallery->toolbarViews();
    EXPECT_EQ(QVRToolbarPopoverController::tagOf(galleryViews[2]), 436);
    EXPECT_EQ(QVRToolbarPopoverController::tagOf(galleryViews[3]), 0);
    EXPECT_EQ(QVRToolbarPopoverController::tagOf(galleryViews[4]), 437);
    auto shape = row(ZERI_MixedMediaObject::Shape, false);
    EXPECT_EQ(tags(*shape), QList<int>({432, 435, 433, 434}));
    EXPECT_EQ(shape->toolbarViews().size(), 7);
    EXPECT_EQ(tags(*row(ZERI_MixedMediaObject::Audio, false)), QList<int>({432, 433, 434}));
    EXPECT_EQ(tags(*row(ZERI_MixedMediaObject::Audio, true)), QList<int>({432, 433, 434}));

    auto text = row(ZERI_MixedMediaObject::Text, false);
    EXPECT_EQ(text->toolbarViews().size(), 15);
    EXPECT_EQ(QVRToolbarPopoverController::tagOf(text->toolbarViews().front()), 432);
    auto dockedText = row(ZERI_MixedMediaObject::Text, true);
    EXPECT_EQ(dockedText->toolbarViews().size(), 15);
    EXPECT_EQ(QVRToolbarPopoverController::tagOf(dockedText->toolbarViews().back()), 432);

    // Laid out: the dock button at the top edge floating, 14 above the bottom docked.
    std::unique_ptr<QWidget> floatingRow(text->controlViewForPopover());
    std::unique_ptr<QWidget> dockedRow(dockedText->controlViewForPopover());
    QWidget* floatingDock = text->toolbarViewWithTag(432);
    QWidget* dockedDock = dockedText->toolbarViewWithTag(432);
    EXPECT_EQ(floatingDock->y(), 0);
    EXPECT_EQ(dockedDock->y(), dockedRow->height() - 14 - dockedDock->height());
    int x = 0;
    for (QWidget* view : text->toolbarViews()) {
        EXPECT_EQ(view->x(), x) << "edge to edge";
        x += view->width();
    }
    EXPECT_EQ(floatingRow->width(), x);
}

TEST(ObjectPopoverTest, FloatingPopoverShowsOverTheSelectionInTheBaseColour)
{
    PopoverWindow f;
    const Proxy text = f.addText(threeRuns());
    f.open();
    f.select({text});
    Popover* popover = f.popover(text);
    ASSERT_NE(popover, nullptr);
    ASSERT_NE(popover->popoverView(), nullptr);
    EXPECT_TRUE(popover->popoverView()->isVisible());
    EXPECT_EQ(popover->toolbarViews().size(), 15);

    const QImage image = popover->popoverView()->grab().toImage();
    const QPoint inRow =
        popover->contentView()->mapTo(popover->popoverView(), QPoint(4, popover->contentView()->height() - 3));
    const QColor body = image.pixelColor(inRow * image.devicePixelRatio());
    EXPECT_NEAR(body.red(), 28, 3);
    EXPECT_NEAR(body.green(), 117, 3);
    EXPECT_NEAR(body.blue(), 186, 3);
    EXPECT_EQ(popover->toolbarViewWithTag(432)->y(), 0);

    // Another selection dismisses this one.
    const Proxy shape = f.add(ZERI_MixedMediaObject::Shape, QRectF(600, 500, 100, 100));
    f.settle();
    f.select({shape});
    EXPECT_EQ(popover->popoverView(), nullptr);
    ASSERT_NE(f.popover(shape)->popoverView(), nullptr);
}

TEST(ObjectPopoverTest, DockingMovesTheRowIntoTheStripAndBack)
{
    PopoverWindow f;
    const Proxy shape = f.add(ZERI_MixedMediaObject::Shape, QRectF(100, 100, 100, 100));
    f.open();
    f.select({shape});
    Popover* popover = f.popover(shape);
    ASSERT_TRUE(popover && popover->popoverView());
    int posts = 0;
    NotificationObservation observation(QString::fromLatin1(TessutilsKeys::kPopoverDockStatusChangedNotification),
                                        nullptr, [&](const Notification&) { ++posts; });

    auto* dockButton = qobject_cast<QAbstractButton*>(popover->toolbarViewWithTag(432));
    ASSERT_NE(dockButton, nullptr);
    dockButton->click();
    ASSERT_TRUE(QTest::qWaitFor([] { return Tessutils::isPopoverDocked(); }, 1000));
    f.settle();
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(popover->popoverView(), nullptr);
    EXPECT_TRUE(f.window->findChildren<UniversalPopover*>().isEmpty() ||
                !f.window->findChildren<UniversalPopover*>().front()->isVisible());
    QVR_DockedPopoverView* docked = f.docked();
    ASSERT_NE(docked, nullptr);
    EXPECT_TRUE(docked->isVisible());
    ASSERT_NE(docked->popoverController(), nullptr);
    EXPECT_GT(docked->popoverContentHolder()->width(), 0);
    EXPECT_EQ(docked->popoverController()->mmobj(), shape);

    popover->showPopoverOverView(f.container(shape));
    EXPECT_EQ(popover->popoverView(), nullptr) << "nothing floats while docked";

    auto* undock = qobject_cast<QAbstractButton*>(docked->popoverController()->toolbarViewWithTag(432));
    ASSERT_NE(undock, nullptr);
    undock->click();
    f.settle();
    EXPECT_FALSE(Tessutils::isPopoverDocked());
    EXPECT_FALSE(docked->isVisible());
    ASSERT_NE(popover->popoverView(), nullptr);
    EXPECT_TRUE(popover->popoverView()->isVisible());
}

TEST(ObjectPopoverTest, StackingOrderIsOneStepThatPagesBack)
{
    PopoverWindow f;
    const Proxy a = f.add(ZERI_MixedMediaObject::Shape, QRectF(100, 100, 100, 100));
    const Proxy b = f.add(ZERI_MixedMediaObject::Shape, QRectF(150, 150, 100, 100));
    const Proxy c = f.add(ZERI_MixedMediaObject::Shape, QRectF(200, 200, 100, 100));
    f.open();
    auto popoverB = Popover::controllerForObject(b, false);
    popoverB->setupMMObjDefaultToolbarViews();
    const int steps = f.undo().undoCount();
    QWidget* forwardB = popoverB->toolbarViewWithTag(433);
    QWidget* backB = popoverB->toolbarViewWithTag(434);
    ASSERT_TRUE(forwardB && backB);
    popoverB->moveForward();
    EXPECT_EQ(f.screen->mixedMediaObjects(), (std::vector<Proxy>{a, c, b}));
    EXPECT_EQ(f.undo().undoCount(), steps + 1);
    EXPECT_EQ(f.undo().undoActionName(), UFM::BRING_FORWARD_TEXT()) << "one step, named as one";
    EXPECT_FALSE(forwardB->isEnabled());

    f.window->setCurrentIndex(1);
    f.settle();
    ASSERT_TRUE(f.undo().undo());
    f.settle();
    EXPECT_EQ(f.screen->mixedMediaObjects(), (std::vector<Proxy>{a, b, c}));
    EXPECT_EQ(f.window->currentIndex(), 0) << "back to the object's screen";
    // The undone order shows on the popover's buttons, and they act on it.
    EXPECT_TRUE(forwardB->isEnabled());
    EXPECT_TRUE(backB->isEnabled());
    popoverB->moveBack();
    EXPECT_EQ(f.undo().undoActionName(), UFM::SEND_BACKWARD_TEXT());
    f.settle();
    EXPECT_EQ(f.screen->mixedMediaObjects(), (std::vector<Proxy>{b, a, c}));
    EXPECT_FALSE(backB->isEnabled());
    ASSERT_TRUE(f.undo().undo());
    f.settle();
    EXPECT_TRUE(backB->isEnabled());
    popoverB->moveBack();
    EXPECT_EQ(f.screen->mixedMediaObjects(), (std::vector<Proxy>{b, a, c})) << "Backward after the undo moves";
    ASSERT_TRUE(f.undo().undo());
    f.settle();

    auto popoverC = Popover::controllerForObject(c, false);
    popoverC->setupMMObjDefaultToolbarViews();
    auto* forward = qobject_cast<QVR_ToolbarButton*>(popoverC->toolbarViewWithTag(433));
    ASSERT_NE(forward, nullptr);
    EXPECT_FALSE(forward->isEnabled());
    EXPECT_DOUBLE_EQ(forward->iconOpacity(), 0.5);
    EXPECT_TRUE(popoverC->toolbarViewWithTag(434)->isEnabled());
    const int before = f.undo().undoCount();
    popoverC->moveForward();
    EXPECT_EQ(f.undo().undoCount(), before);
    EXPECT_FALSE(f.flow().currentUndoableAction());
}

TEST(ObjectPopoverTest, DockedViewTracksOneObjectAndKeepsItsController)
{
    PopoverWindow f;
    const Proxy a = f.add(ZERI_MixedMediaObject::Shape, QRectF(100, 100, 100, 100));
    const Proxy b = f.add(ZERI_MixedMediaObject::Shape, QRectF(150, 150, 100, 100));
    Tessutils::setIsPopoverDocked(true);
    f.open();
    QVR_DockedPopoverView* docked = f.docked();
    ASSERT_NE(docked, nullptr);
    EXPECT_TRUE(docked->isVisible());

    f.select({a, b});
    EXPECT_EQ(docked->popoverController(), nullptr);
    EXPECT_EQ(docked->popoverContentHolder()->width(), 0);

    f.select({a});
    QPointer<QObject> controller = docked->popoverController();
    ASSERT_TRUE(controller);
    EXPECT_EQ(f.popover(a)->popoverView(), nullptr) << "no floating popover while docked";
    docked->setTrackedMixedMediaObjects({a});
    EXPECT_EQ(docked->popoverController(), controller.data()) << "the same object keeps its controller";
    EXPECT_EQ(docked->popoverContentView()->y(), (30 - 50) / 2) << "centred and clipped in the strip";

    // After an undo the row still edits the same object.
    docked->popoverController()->moveForward();
    EXPECT_EQ(f.screen->mixedMediaObjects(), (std::vector<Proxy>{b, a}));
    ASSERT_TRUE(f.undo().undo());
    f.settle();
    EXPECT_EQ(docked->popoverController(), controller.data());
    EXPECT_EQ(docked->popoverController()->mmobj(), a);
    docked->popoverController()->moveForward();
    EXPECT_EQ(f.screen->mixedMediaObjects(), (std::vector<Proxy>{b, a}));
}

TEST(ObjectPopoverTest, TextFamilySizeAndAlignmentKeepEachRunsOtherValues)
{
    PopoverWindow f;
    const Proxy object = f.addText(threeRuns());
    f.open();
    f.select({object});
    auto* popover = dynamic_cast<QVRTextMMObjToolbarPopoverController*>(f.popover(object));
    ASSERT_NE(popover, nullptr);
    ASSERT_NE(popover->textViewAssociatedWithMMObject(), nullptr);
    const auto text = object->as<ZERI_MMObject_Text>();

    int steps = f.undo().undoCount();
    popover->fontSelected(QStringLiteral("DejaVuSans-Bold"));
    EXPECT_EQ(
        fonts(text->attributedString()),
        (QList<std::pair<QString, double>>{{"DejaVuSans-Bold", 12}, {"DejaVuSans-Bold", 24}, {"DejaVuSans-Bold", 30}}));
    EXPECT_EQ(f.undo().undoCount(), steps + 1);
    ASSERT_TRUE(f.undo().undo());
    popover->sizeAdjusted(40);
    EXPECT_EQ(fonts(text->attributedString()),
              (QList<std::pair<QString, double>>{{"Helvetica", 40}, {"DejaVuSerif", 40}, {"DejaVuSans", 40}}));
    EXPECT_EQ(f.undo().undoCount(), steps + 1);

    popover->alignPressed(TextAttributes::Center);
    EXPECT_FALSE(popover->alignmentButton(TextAttributes::Center)->isEnabled());
    EXPECT_TRUE(popover->alignmentButton(TextAttributes::Left)->isEnabled());
    EXPECT_TRUE(popover->alignmentButton(TextAttributes::Right)->isEnabled());
    const AttributedText centred = text->attributedString();
    for (const auto& run : centred.runs())
        EXPECT_EQ(run.attributes.alignment, TextAttributes::Center);
    popover->alignPressed(TextAttributes::Justified);
    for (int alignment : {TextAttributes::Left, TextAttributes::Center, TextAttributes::Right})
        EXPECT_TRUE(popover->alignmentButton(alignment)->isEnabled());

    // Undo pages back to the object's screen.
    f.window->setCurrentIndex(1);
    f.settle();
    ASSERT_TRUE(f.undo().undo());
    f.settle();
    EXPECT_EQ(f.window->currentIndex(), 0);
}

TEST(ObjectPopoverTest, WhileEditingOnlyTheSelectionAndTheTypingFormatChange)
{
    PopoverWindow f;
    const Proxy object = f.addText(threeRuns());
    f.open();
    f.select({object});
    auto* popover = dynamic_cast<QVRTextMMObjToolbarPopoverController*>(f.popover(object));
    ASSERT_NE(popover, nullptr);
    auto* element =
        qobject_cast<QVR_AttributedTextMixedMediaElementView*>(f.container(object)->mixedMediaElementView());
    ASSERT_NE(element, nullptr);
    element->setEditable(true);
    element->textView()->setSelectedRange({6, 6});
    f.settle();
    const auto text = object->as<ZERI_MMObject_Text>();

    popover->fontSelected(QStringLiteral("DejaVuSans"));
    EXPECT_EQ(fonts(text->attributedString()),
              (QList<std::pair<QString, double>>{{"Helvetica", 12}, {"DejaVuSans", 24}, {"DejaVuSans", 30}}));

    // An empty selection: only what is typed next.
    element->textView()->setSelectedRange({2, 0});
    const AttributedText before = text->attributedString();
    const int steps = f.undo().undoCount();
    popover->sizeAdjusted(50);
    popover->colorPicked(Qt::red);
    popover->colorStep()->close();
    EXPECT_EQ(text->attributedString(), before);
    EXPECT_EQ(f.undo().undoCount(), steps);
    EXPECT_EQ(element->textView()->typingAttributes().fontSize, 50);
    EXPECT_EQ(element->textView()->typingAttributes().foregroundColor, QColor(Qt::red));
    EXPECT_EQ(element->textView()->insertionPointColor(), QColor(Qt::red)) << "the caret takes the picked colour";

    // The controls follow the selection of this text view only: a post without a sender is no post of its.
    popover->sizePicker()->setCurrentSize(99);
    NotificationCenter::defaultCenter().post(
        QVR_AttributedTextMixedMediaElementView::kTextViewDidChangeSelectionNotification, nullptr);
    EXPECT_EQ(popover->sizePicker()->currentSize(), 99);
    element->textView()->setSelectedRange({12, 3});
    f.settle();
    EXPECT_EQ(popover->sizePicker()->currentSize(), 30);
}

TEST(ObjectPopoverTest, QuickColourPicksShareOneStep)
{
    PopoverWindow f;
    const Proxy shape = f.add(ZERI_MixedMediaObject::Shape, QRectF(100, 100, 100, 100));
    shape->as<ZERI_MMObject_Shape>()->setColor(Qt::white);
    const Proxy object = f.addText(threeRuns(), QRectF(400, 300, 300, 100));
    f.open();
    f.select({shape});
    auto* popover = dynamic_cast<QVRShapeMMObjToolbarPopoverController*>(f.popover(shape));
    ASSERT_NE(popover, nullptr);

    const int steps = f.undo().undoCount();
    popover->colorPicked(popover->colorPicker()->color());
    EXPECT_FALSE(popover->isPickingColor()) << "the current colour changes nothing";
    for (int i = 1; i <= 5; ++i) {
        popover->colorPicked(QColor(40 * i, 0, 0));
        EXPECT_TRUE(popover->colorStep()->closeTimer()->isActive());
    }
    // The pause: the timer closes the step.
    popover->colorStep()->close();
    EXPECT_EQ(f.undo().undoCount(), steps + 1);
    EXPECT_FALSE(f.flow().currentUndoableAction());
    popover->colorPicked(Qt::green);
    popover->colorStep()->close();
    EXPECT_EQ(f.undo().undoCount(), steps + 2);
    ASSERT_TRUE(f.undo().undo());
    f.settle();
    EXPECT_EQ(popover->colorPicker()->color(), QColor(200, 0, 0)) << "the swatch follows undo";

    // Deselecting right after a pick leaves no change open.
    popover->colorPicked(Qt::blue);
    EXPECT_TRUE(f.flow().currentUndoableAction());
    f.handler()->deselectAll();
    f.settle();
    EXPECT_FALSE(f.flow().currentUndoableAction());

    // The shared panel reaches the picker of the shown row.
    f.select({shape});
    popover = dynamic_cast<QVRShapeMMObjToolbarPopoverController*>(f.popover(shape));
    popover->colorPicker()->presentColorPanel();
    ColorPanel::shared()->dialog()->setCurrentColor(QColor(0, 255, 0));
    EXPECT_EQ(shape->as<ZERI_MMObject_Shape>()->color(), QColor(0, 255, 0));
    popover->colorStep()->close();

    // A text: the whole text takes the colour, as one undoable step.
    f.select({object});
    auto* textPopover = dynamic_cast<QVRTextMMObjToolbarPopoverController*>(f.popover(object));
    ASSERT_NE(textPopover, nullptr);
    const int textSteps = f.undo().undoCount();
    for (int i = 1; i <= 5; ++i)
        textPopover->colorPicked(QColor(0, 0, 40 * i));
    textPopover->colorStep()->close();
    EXPECT_EQ(f.undo().undoCount(), textSteps + 1);
    const AttributedText recoloured = object->as<ZERI_MMObject_Text>()->attributedString();
    for (const auto& run : recoloured.runs())
        EXPECT_EQ(run.attributes.foregroundColor, QColor(0, 0, 200));
}

TEST(ObjectPopoverTest, ChangeImageFillsTheFrameInOneStep)
{
    PopoverWindow f;
    const Proxy image = f.add(ZERI_MixedMediaObject::Image, QRectF(100, 100, 200, 200));
    f.open();
    f.select({image});
    auto* popover = dynamic_cast<QVRImageMMObjToolbarPopoverController*>(f.popover(image));
    ASSERT_NE(popover, nullptr);
    int crops = 0;
    QVRImageMMObjToolbarPopoverController::setCropStarter([&](QWidget*) {
        ++crops;
        return true;
    });

    // Cancelled: nothing.
    const QJsonObject original = (*image)->jsonDictionary();
    const int steps = f.undo().undoCount();
    popover->changeImage();
    f.settle();
    EXPECT_EQ(f.chooser.requests.size(), 1u);
    EXPECT_EQ(f.undo().undoCount(), steps);
    EXPECT_EQ((*image)->jsonDictionary(), original);

    // Unreadable: the object stays as it was, with one alert.
    const QString broken = f.env.temporary.filePath(QStringLiteral("broken.png"));
    {
        QFile file(broken);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("no picture here");
    }
    f.chooser.queuePaths({broken});
    popover->changeImage();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f.alerts.requests.empty(); }, 3000));
    f.settle();
    EXPECT_EQ(f.alerts.requests.size(), 1u);
    EXPECT_FALSE(f.flow().currentUndoableAction());
    EXPECT_EQ(f.undo().undoCount(), steps);
    EXPECT_EQ(crops, 0);

    const QString wide = f.env.temporary.filePath(QStringLiteral("wide.png"));
    QImage picture(400, 100, QImage::Format_ARGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(picture.save(wide));
    f.chooser.queuePaths({wide});
    popover->changeImage();
    ASSERT_TRUE(QTest::qWaitFor([&] { return crops == 1; }, 5000));
    // The element view may ask for the picture again at its new zoom, which supersedes the popover's request:
    // the newest one sets the asset.
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool((*image)->croppedImageAsset()); }, 5000));
    EXPECT_EQ(f.undo().undoCount(), steps + 1);
    EXPECT_DOUBLE_EQ((*image)->zoomScale().value_or(0), 2.0);
    EXPECT_EQ((*image)->zoomOffset(), QSizeF(300, 0));
    EXPECT_EQ((*image)->rotation(), 0);
    ASSERT_TRUE((*image)->croppedImageAsset());
    EXPECT_TRUE(QFile::exists((*image)->croppedImageAsset()->localFilePath()));
    EXPECT_FALSE(f.container(image)->isVisible()) << "hidden once the crop began";

    ASSERT_TRUE(f.undo().undo());
    EXPECT_EQ((*image)->jsonDictionary().value("zoomScale"), original.value("zoomScale"));
    EXPECT_FALSE((*image)->originalImageAsset());
}

TEST(ObjectPopoverTest, CropWithoutAPictureSetsUpAClearOne)
{
    PopoverWindow f;
    const Proxy image = f.add(ZERI_MixedMediaObject::Image, QRectF(100, 100, 120, 80));
    f.open();
    f.select({image});
    auto* popover = dynamic_cast<QVRImageMMObjToolbarPopoverController*>(f.popover(image));
    ASSERT_NE(popover, nullptr);

    // A set-up that fails leaves the element as it was, visible, with no change open.
    const QString assets = f.document->assetStoragePath();
    ASSERT_TRUE(QDir(assets).removeRecursively());
    {
        QFile blocker(assets);
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    int crops = 0;
    QVRImageMMObjToolbarPopoverController::setCropStarter([&](QWidget*) {
        ++crops;
        return true;
    });
    const int steps = f.undo().undoCount();
    popover->cropButtonPressed();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !MixedMediaObjectStorage::isSettingUp(image); }, 3000));
    f.settle();
    EXPECT_FALSE((*image)->originalImageAsset());
    EXPECT_TRUE(f.container(image)->isVisible());
    EXPECT_FALSE(f.flow().currentUndoableAction());
    EXPECT_EQ(f.undo().undoCount(), steps);
    EXPECT_EQ(crops, 0);
    ASSERT_TRUE(QFile::remove(assets));
    ASSERT_TRUE(QDir().mkpath(assets));
    QVRImageMMObjToolbarPopoverController::setCropStarter({});

    // Without crop mode the element stays visible.
    popover->cropButtonPressed();
    ASSERT_TRUE(QTest::qWaitFor([&] { return (*image)->originalImageAsset() != nullptr; }, 3000));
    f.settle();
    EXPECT_EQ(MixedMediaObjectStorage::originalImageSize(*image->object()), QSizeF(120, 80));
    EXPECT_TRUE(f.container(image)->isVisible());
    EXPECT_FALSE(f.flow().currentUndoableAction());

    QVRImageMMObjToolbarPopoverController::setCropStarter([&](QWidget*) {
        ++crops;
        return true;
    });
    popover->cropButtonPressed();
    EXPECT_EQ(crops, 1);
    EXPECT_FALSE(f.container(image)->isVisible());
}

TEST(ObjectPopoverTest, CropButtonStartsCropModeOnTheShownBoard)
{
    PopoverWindow f;
    const Proxy image = f.add(ZERI_MixedMediaObject::Image, QRectF(100, 100, 120, 80));
    const QString path = f.document->assetStoragePath() + QStringLiteral("/wide.png");
    QImage picture(480, 320, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(picture.save(path));
    auto asset = ZERI_ContentAsset::create();
    asset->setExternalURL(QUrl::fromLocalFile(path));
    (*image)->setOriginalImageAsset(asset);
    (*image)->setZoomScale(0.25);
    f.open();
    f.select({image});
    auto* popover = dynamic_cast<QVRImageMMObjToolbarPopoverController*>(f.popover(image));
    ASSERT_NE(popover, nullptr);
    popover->cropButtonPressed();
    QVR_InteractableViewHandler* handler = f.handler();
    ASSERT_TRUE(handler->isCropping());
    ASSERT_TRUE(handler->cropView());
    EXPECT_FALSE(f.container(image)->isVisible());
    EXPECT_TRUE(f.flow().currentUndoableAction()) << "the crop's change is open";
    EXPECT_FALSE(f.window->canUndo()) << "undo waits for the crop to end";
    handler->cancelCrop();
    EXPECT_FALSE(handler->isCropping());
    EXPECT_TRUE(f.container(image)->isVisible());
    EXPECT_FALSE(f.flow().currentUndoableAction());
}

TEST(ObjectPopoverTest, LinkButtonOpensTheEditorOfTheAction)
{
    EXPECT_EQ(Popover::linkEditorKindForAction(nullptr), Kind::Chooser);
    EXPECT_EQ(Popover::linkEditorKindForAction(ZERI_MMAction_ScreenLink::create(QStringLiteral("s1"))),
              Kind::ScreenLink);
    auto web = [](const char* text) {
        return Popover::linkEditorKindForAction(ZERI_MMAction_WebLink::createWithText(QString::fromLatin1(text)));
    };
    EXPECT_EQ(web("flowLink://stringID=a"), Kind::FlowEmbed);
    EXPECT_EQ(web("MAILTO:x@y.example"), Kind::EmailLink);
    EXPECT_EQ(web("https://example.org/@name"), Kind::EmailLink);
    EXPECT_EQ(web("https://example.org/name"), Kind::WebLink);

    PopoverWindow f;
    const Proxy image = f.add(ZERI_MixedMediaObject::Image, QRectF(100, 100, 100, 100));
    f.open();
    f.select({image});
    std::vector<std::pair<QWidget*, Kind>> opened;
    QVRMMObjToolbarPopoverBase::setLinkEditorOpener([&](QWidget* window, Kind kind) {
        opened.push_back({window, kind});
    });
    f.popover(image)->linkButtonPressed();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened.front().first, f.window.data());
    EXPECT_EQ(opened.front().second, Kind::Chooser);
}

// The image row's buttons say what they do under their icons, and keep saying it as tooltips once docked, where
// the captions go.
TEST(ObjectPopoverTest, ImageButtonsAreCaptionedUnderTheirIconsAndTippedWhenDocked)
{
    PopoverWindow f;
    const Proxy image = f.add(ZERI_MixedMediaObject::Image, QRectF(100, 100, 100, 100));
    f.open();
    f.select({image});
    Popover* popover = f.popover(image);
    ASSERT_TRUE(popover && popover->popoverView() && popover->popoverView()->isVisible());
    const QImage shown = popover->popoverView()->grab().toImage();
    const std::vector<std::pair<int, QString>> words{
        {436, UFM::CHANGE_IMAGE_TEXT()}, {437, UFM::CROP_TEXT()}, {435, UFM::SET_LINK_TEXT()}};
    for (const auto& [tag, text] : words) {
        auto* button = qobject_cast<QVR_ToolbarButton*>(popover->toolbarViewWithTag(tag));
        ASSERT_NE(button, nullptr) << tag;
        EXPECT_TRUE(button->isVisible()) << tag;
        EXPECT_EQ(button->title(), text) << tag;
        EXPECT_EQ(button->toolTip(), text) << tag;
        // The caption is drawn in light letters on the popover's blue.
        const QRect caption(button->mapTo(popover->popoverView(), button->labelFrame().topLeft()),
                            button->labelFrame().size());
        ASSERT_FALSE(caption.isEmpty()) << tag;
        int light = 0;
        for (int y = caption.top(); y <= caption.bottom(); ++y)
            for (int x = caption.left(); x <= caption.right(); ++x)
                light += shown.pixelColor(QPoint(x, y) * shown.devicePixelRatio()).lightness() > 160;
        EXPECT_GT(light, 10) << tag << " caption drawn";
    }

    auto docked = Popover::controllerForObject(image, true);
    docked->setupMMObjDefaultToolbarViews();
    for (const auto& [tag, text] : words) {
        auto* button = qobject_cast<QVR_ToolbarButton*>(docked->toolbarViewWithTag(tag));
        ASSERT_NE(button, nullptr) << tag;
        EXPECT_TRUE(button->title().isEmpty()) << tag;
        EXPECT_EQ(button->toolTip(), text) << tag;
    }
}

TEST(ObjectPopoverTest, BadInputChangesNothingAndLeavesNoChangeOpen)
{
    PopoverWindow f;
    // A text without a view (no window shows it), with empty text.
    const Proxy empty = f.addText(AttributedText());
    const Proxy shape = f.add(ZERI_MixedMediaObject::Shape, QRectF(0, 0, 50, 50));
    auto text = Popover::controllerForObject(empty, false);
    auto* textPopover = dynamic_cast<QVRTextMMObjToolbarPopoverController*>(text.get());
    ASSERT_NE(textPopover, nullptr);
    textPopover->setupMMObjDefaultToolbarViews();
    EXPECT_EQ(textPopover->textViewAssociatedWithMMObject(), nullptr);
    const int steps = f.undo().undoCount();
    textPopover->fontSelected(QStringLiteral("DejaVuSans"));
    textPopover->sizeAdjusted(30);
    textPopover->alignPressed(TextAttributes::Right);
    textPopover->colorPicked(Qt::red);
    textPopover->colorStep()->close();
    EXPECT_EQ(f.undo().undoCount(), steps);
    EXPECT_FALSE(f.flow().currentUndoableAction());

    // An object removed from its screen: the popover's actions reach nothing.
    auto shapePopover = Popover::controllerForObject(shape, false);
    auto* shapeRow = dynamic_cast<QVRShapeMMObjToolbarPopoverController*>(shapePopover.get());
    ASSERT_NE(shapeRow, nullptr);
    shapeRow->setupMMObjDefaultToolbarViews();
    f.screen->removeMixedMediaObject(shape);
    shapeRow->colorPicked(Qt::green);
    shapeRow->moveForward();
    shapeRow->moveBack();
    EXPECT_FALSE(f.flow().currentUndoableAction());
    EXPECT_EQ(f.undo().undoCount(), steps);
    EXPECT_FALSE(shapeRow->toolbarViewWithTag(433)->isEnabled());

    // Docking outside a creator window still sets the setting.
    shapeRow->dockPopover();
    EXPECT_TRUE(QTest::qWaitFor([] { return Tessutils::isPopoverDocked(); }, 1000));
}

TEST(ObjectPopoverTest, TextFontMenusSitSideBySideAndAlwaysListTheShownFamilysFaces)
{
    PopoverWindow f;
    // A font the theme does not offer: the menus show the first family offered, Arial.
    AttributedText pasted(QStringLiteral("Plain words"), font(QStringLiteral("DejaVuSans"), 24));
    const Proxy object = f.addText(pasted);
    f.open();
    QWidget* viewport = f.window->theArtBoard()->theScrollView()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {},
                      f.window->theArtBoard()->theScrollView()->mapFromScene(QPointF(150, 150)));
    f.settle();
    auto* popover = dynamic_cast<QVRTextMMObjToolbarPopoverController*>(f.popover(object));
    ASSERT_NE(popover, nullptr);
    ASSERT_NE(popover->popoverView(), nullptr);
    QVRFontPicker_v2* picker = popover->fontPicker();
    QComboBox* family = picker->familyBox();
    QComboBox* face = picker->faceBox();
    EXPECT_EQ(family->currentText(), QStringLiteral("Arial"));
    QStringList faces;
    for (int i = 0; i < face->count(); ++i)
        faces << face->itemText(i);
    EXPECT_EQ(faces, (QStringList{"Bold", "Bold Italic", "Italic", "Regular"}));
    EXPECT_EQ(face->currentText(), QStringLiteral("Regular"));

    // Two boxes of one height and one type size, side by side inside the picker, each with one arrow: the
    // picker's own, over the box's right end.
    EXPECT_FALSE(family->geometry().intersects(face->geometry()));
    EXPECT_TRUE(picker->rect().contains(family->geometry()));
    EXPECT_TRUE(picker->rect().contains(face->geometry()));
    EXPECT_EQ(family->height(), face->height());
    EXPECT_EQ(family->font().pixelSize(), face->font().pixelSize());
    for (QComboBox* box : {family, face}) {
        QStyleOptionComboBox option;
        option.initFrom(box);
        option.subControls = QStyle::SC_All;
        EXPECT_EQ(box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, box).width(), 0)
            << "no arrow of the box's own";
    }
    const QList<QVR_ToolbarButton*> arrows = picker->findChildren<QVR_ToolbarButton*>();
    ASSERT_EQ(arrows.size(), 2);
    for (QComboBox* box : {family, face}) {
        const int over = int(std::count_if(arrows.begin(), arrows.end(), [box](QVR_ToolbarButton* arrow) {
            return box->geometry().contains(arrow->geometry());
        }));
        EXPECT_EQ(over, 1);
    }

    // Choosing a face of Arial sets it.
    const int bold = face->findText(QStringLiteral("Bold"));
    face->setCurrentIndex(bold);
    emit face->activated(bold);
    EXPECT_EQ(object->as<ZERI_MMObject_Text>()->attributedString().runs().front().attributes.fontName,
              QStringLiteral("Arial-BoldMT"));
}

TEST(ObjectPopoverTest, TextOfSeveralFontsShowsNoFamilySizeOrColour)
{
    PopoverWindow f;
    // "Plain" in Arial 30 black, "words" in DejaVu Serif 24 red.
    AttributedText mixed(QStringLiteral("Plain words"), font(QStringLiteral("ArialMT"), 30));
    TextAttributes serif = font(QStringLiteral("DejaVuSerif"), 24);
    serif.foregroundColor = Qt::red;
    mixed.setAttributes(serif, {6, 5});
    const Proxy object = f.addText(mixed);
    f.open();
    QVR_ArtBoardScrollView* view = f.window->theArtBoard()->theScrollView();
    QWidget* viewport = view->viewport();
    const QPoint inText = view->mapFromScene(QPointF(150, 150));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, inText);
    f.settle();
    auto* popover = dynamic_cast<QVRTextMMObjToolbarPopoverController*>(f.popover(object));
    ASSERT_NE(popover, nullptr);
    ASSERT_TRUE(popover->popoverView() && popover->popoverView()->isVisible());
    QComboBox* family = popover->fontPicker()->familyBox();
    QComboBox* face = popover->fontPicker()->faceBox();
    QVRColorPicker* colour = popover->colorPicker();
    const auto showsNothingChosen = [&] {
        return family->currentIndex() == -1 && family->currentText().isEmpty() && face->count() == 0 &&
               popover->sizePicker()->field()->text().trimmed().isEmpty() && colour->showsMixedColors();
    };
    EXPECT_TRUE(showsNothingChosen()) << family->currentIndex() << " " << face->count() << " '"
                                      << popover->sizePicker()->field()->text().toStdString() << "' "
                                      << colour->showsMixedColors();
    // The swatch shows a dash on white, not black.
    const QImage swatch = colour->grab().toImage();
    const QPoint middle(swatch.width() / 2, swatch.height() / 2);
    EXPECT_EQ(swatch.pixelColor(middle.x(), middle.y()).rgb(), QColor(0x51, 0x51, 0x51).rgb());
    EXPECT_EQ(swatch.pixelColor(middle.x(), 4).rgb(), QColor(Qt::white).rgb());

    // Edited with the caret in "Plain": its family, size and colour; all of it selected: none again.
    QTest::qWait(250); // not a double click
    QTest::mouseClick(viewport, Qt::LeftButton, {}, inText);
    f.settle();
    auto* element =
        qobject_cast<QVR_AttributedTextMixedMediaElementView*>(f.container(object)->mixedMediaElementView());
    ASSERT_TRUE(element && element->editable());
    UserInput::pressKey(viewport, Qt::Key_Home, Qt::ControlModifier);
    f.settle();
    EXPECT_EQ(family->currentText(), QStringLiteral("Arial"));
    EXPECT_EQ(popover->sizePicker()->field()->text(), QStringLiteral("30"));
    EXPECT_FALSE(colour->showsMixedColors());
    UserInput::pressKey(viewport, Qt::Key_A, Qt::ControlModifier);
    f.settle();
    EXPECT_TRUE(showsNothingChosen()) << family->currentIndex() << " " << face->count() << " '"
                                      << popover->sizePicker()->field()->text().toStdString() << "' "
                                      << colour->showsMixedColors();

    // A family picked now applies to the whole text, each run keeping its size.
    const int arial = family->findText(QStringLiteral("Arial"));
    ASSERT_GE(arial, 0);
    family->setCurrentIndex(arial);
    emit family->activated(arial);
    const auto runs = object->as<ZERI_MMObject_Text>()->attributedString().runs();
    ASSERT_EQ(runs.size(), 2u);
    for (const auto& run : runs)
        EXPECT_EQ(run.attributes.fontName, QStringLiteral("ArialMT"));
    EXPECT_EQ(runs.back().attributes.fontSize, 24);
}

TEST(ObjectPopoverTest, TheTextPopoverComesBackBesideTheLineBeingTyped)
{
    PopoverWindow f;
    // At the screen's left edge, so the popover goes below the text, where new lines will grow.
    AttributedText line(QStringLiteral("Hello"), font(QStringLiteral("Helvetica"), 40));
    const Proxy object = f.addText(line, QRectF(0, 120, 600, 70));
    f.open();
    QVR_ArtBoardScrollView* view = f.window->theArtBoard()->theScrollView();
    QWidget* viewport = view->viewport();
    const QPoint inText = view->mapFromScene(QPointF(60, 150));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, inText);
    QTest::qWait(250); // not a double click
    QTest::mouseClick(viewport, Qt::LeftButton, {}, inText);
    f.settle();
    auto* popover = dynamic_cast<QVRTextMMObjToolbarPopoverController*>(f.popover(object));
    ASSERT_NE(popover, nullptr);
    auto* element =
        qobject_cast<QVR_AttributedTextMixedMediaElementView*>(f.container(object)->mixedMediaElementView());
    ASSERT_TRUE(element && element->editable());
    ASSERT_TRUE(popover->popoverView() && popover->popoverView()->isVisible());
    const int startTop = popover->popoverView()->mapToGlobal(QPoint(0, 0)).y();
    EXPECT_GT(startTop, viewport->mapToGlobal(inText).y()) << "below the text";

    QTest::keyClick(viewport, Qt::Key_End);
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(viewport, Qt::Key_Return);
        UserInput::typeText(viewport, QStringLiteral("more"));
    }
    EXPECT_FALSE(popover->popoverView()->isVisible()) << "away while the user types";
    ASSERT_TRUE(QTest::qWaitFor([&] { return popover->popoverView()->isVisible(); }, 3000));
    EXPECT_EQ(object->as<ZERI_MMObject_Text>()->attributedString().string(), QStringLiteral("Hello\nmore\nmore\nmore"));

    // The caret's line, on screen, and the popover's whole frame.
    TextEditingItem* item = element->textView();
    const QRectF caret =
        item->layout().caretRect(item->selectedRange().end()).translated(item->inset().width(), item->inset().height());
    const QRectF typedLine = item->mapRectToScene(QRectF(0, caret.top(), item->size().width(), caret.height()));
    const QRect onScreen(viewport->mapToGlobal(view->mapFromScene(typedLine).boundingRect().topLeft()),
                         view->mapFromScene(typedLine).boundingRect().size());
    const QRect popoverOnScreen(popover->popoverView()->mapToGlobal(QPoint(0, 0)), popover->popoverView()->size());
    EXPECT_FALSE(popoverOnScreen.intersects(onScreen));
    EXPECT_GT(popoverOnScreen.top(), startTop) << "it moved down with the text";
}

TEST(ObjectPopoverTest, EditGalleryButtonOpensTheGalleryEditorOnTheObject)
{
    PopoverWindow f;
    const Proxy gallery = f.add(ZERI_MixedMediaObject::Gallery, QRectF(100, 100, 300, 200));
    f.open();
    QVR_ArtBoardScrollView* view = f.window->theArtBoard()->theScrollView();
    // Selecting the gallery builds its whole row without complaint.
    static QStringList logged;
    logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& message) { logged.append(message); });
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->mapFromScene(QPointF(250, 200)));
    f.settle();
    qInstallMessageHandler(previous);
    EXPECT_FALSE(logged.join('\n').contains(QStringLiteral("Something went wrong"))) << logged.join('\n').toStdString();
    auto* popover = dynamic_cast<QVRGalleryMMObjToolbarPopoverController*>(f.popover(gallery));
    ASSERT_NE(popover, nullptr);
    ASSERT_TRUE(popover->popoverView() && popover->popoverView()->isVisible());
    // Between change image and crop.
    auto* edit = qobject_cast<QAbstractButton*>(popover->toolbarViews().at(3));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->toolTip(), UFM::EDIT_GALLERY_BUTTON_TOOL_TIP());
    EXPECT_FALSE(f.window->theCanvasView()->galleryEditor());
    QTest::mouseClick(edit, Qt::LeftButton);
    f.settle();
    ASSERT_NE(f.window->theCanvasView()->galleryEditor(), nullptr);
}

TEST(ObjectPopoverTest, TypingASizeSetsTheWholeTextKeyByKeyEachAsOneStep)
{
    PopoverWindow f;
    const Proxy object = f.addText(threeRuns());
    f.open();
    QVR_ArtBoardScrollView* view = f.window->theArtBoard()->theScrollView();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->mapFromScene(QPointF(150, 150)));
    f.settle();
    auto* popover = dynamic_cast<QVRTextMMObjToolbarPopoverController*>(f.popover(object));
    ASSERT_NE(popover, nullptr);
    QLineEdit* field = popover->sizePicker()->field();
    EXPECT_EQ(field->text(), QStringLiteral(" ")) << "three sizes at once";
    const auto text = object->as<ZERI_MMObject_Text>();
    const int steps = f.undo().undoCount();

    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    UserInput::typeText(field, QStringLiteral("48"));
    f.settle();
    EXPECT_EQ(fonts(text->attributedString()),
              (QList<std::pair<QString, double>>{{"Helvetica", 48}, {"DejaVuSerif", 48}, {"DejaVuSans", 48}}));
    EXPECT_EQ(field->text(), QStringLiteral("48"));
    EXPECT_EQ(f.undo().undoCount(), steps + 2);
    EXPECT_FALSE(f.flow().currentUndoableAction());

    // A refused key changes nothing; Down steps once.
    UserInput::typeText(field, QStringLiteral("."));
    QTest::keyClick(field, Qt::Key_Down);
    f.settle();
    EXPECT_EQ(field->text(), QStringLiteral("47"));
    EXPECT_EQ(f.undo().undoCount(), steps + 3);
    ASSERT_TRUE(f.undo().undo());
    ASSERT_TRUE(f.undo().undo());
    f.settle();
    EXPECT_EQ(text->attributedString().runs().front().attributes.fontSize, 4);
    EXPECT_EQ(field->text(), QStringLiteral("4")) << "the field follows undo";
}

#include <gtest/gtest.h>

#include <cmath>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QGraphicsRectItem>
#include <QGraphicsSceneContextMenuEvent>
#include <QGraphicsSceneDragDropEvent>
#include <QImage>
#include <QInputMethodEvent>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QTest>

#include "TextElementTestHost.h"
#include "app/QVRMainMenu.h"
#include "elements/images/ImageUtils.h"
#include "elements/text/QVR_AttributedTextView.h"
#include "elements/text/SpellChecker.h"
#include "elements/views/QVR_AttributedTextMixedMediaElementView.h"
#include "platform/NotificationCenter.h"
#include "platform/UndoManager.h"
#include "tessarine_data_model/QVR_TextStorage.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

namespace {

using View = QVR_AttributedTextMixedMediaElementView;

QStringList pngsIn(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("*.png")}, QDir::Files);
}

// Keys reported by the object's notifier from now on.
struct KeyRecorder {
    explicit KeyRecorder(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& proxy)
    {
        observer = proxy->updateNotifier().addObservationBlock(
            [this](const void*, const QSet<QString>& changed) { keys += changed; });
    }
    QSet<QString> keys;
    ObjectUpdateNotifierObserver observer;
};

// The object as the model draws it without a picture, in a bitmap of the picture's size.
QImage modelDrawingWithoutPicture(const ZERI_MMObject_Text& source)
{
    const auto copy = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
    const auto text = copy->as<ZERI_MMObject_Text>();
    text->setFrame(source.frame());
    text->setBackgroundColor(source.backgroundColor());
    text->setAttributedString(source.attributedString());
    const QSizeF size = source.frame().size();
    QImage image =
        ImageUtils::createCGBitmapContextWithWidth(quint64(std::ceil(size.width())), quint64(std::ceil(size.height())));
    QPainter painter(&image);
    painter.translate(-source.frame().topLeft());
    text->drawOnContext(&painter, 1.0, QSizeF(1024, 748), false, true);
    return image;
}

class TextElementView : public ::testing::Test {
protected:
    void SetUp() override { View::setTypingPauseForTesting(0.3); }
    void TearDown() override { View::setTypingPauseForTesting(View::kTypingPauseSeconds); }
};

TEST_F(TextElementView, TypingBurstsBecomeOneUndoStepEachAndUndoPagesToTheScreen)
{
    TextElementHost host;
    host.startEditing();
    const int before = host.undoCount();
    QVariantMap undoneInfo;
    NotificationObservation undone(
        TessarineDataModelItem::kDidSetPropertiesFromUndoableActionNotification, nullptr,
        [&](const Notification& notification) {
            const auto action =
                notification.userInfo.value(QStringLiteral("undoableAction")).value<UndoableActionRef>();
            if (action)
                undoneInfo = action->userInfo();
        });
    host.type(QStringLiteral("Hello"));
    EXPECT_TRUE(host.element->creatingUndoBlockFromTextEntry());
    QTest::qWait(500); // a pause longer than the burst's
    host.type(QStringLiteral(" world"));
    ASSERT_TRUE(host.waitForBurstEnd());
    EXPECT_EQ(host.string(), QStringLiteral("OldHello world"));
    EXPECT_EQ(host.undoCount() - before, 2);

    host.undo();
    EXPECT_EQ(host.string(), QStringLiteral("OldHello"));
    EXPECT_EQ(undoneInfo.value(QStringLiteral("screenToPageTo")).toString(), host.document.screen->internalID());
    EXPECT_FALSE(host.document.screen->internalID().isEmpty());
    host.undo();
    EXPECT_EQ(host.string(), QStringLiteral("Old"));
}

TEST_F(TextElementView, LeavingEditingWhileTheCanvasIsHiddenLeavesTheTextNoKeyboard)
{
    // The creator shows another screen (a thumbnail takes the keyboard, the canvas hides) and then ends editing;
    // back on the screen the text must not take the keyboard again, or it would keep every click for itself.
    TextElementHost host;
    host.startEditing();
    host.type(QStringLiteral("Z"));
    auto* thumbnails = new QLineEdit(host.window);
    host.window->layout()->addWidget(thumbnails);
    thumbnails->setFocus();
    host.window->view->hide();
    ASSERT_TRUE(QTest::qWaitFor([&] { return thumbnails->hasFocus(); }, 2000));
    host.element->setEditable(false);
    host.window->view->show();
    host.window->view->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return host.window->view->hasFocus(); }, 2000));
    TextElementHost::settle();
    EXPECT_EQ(host.window->scene.focusItem(), nullptr);
    EXPECT_FALSE(host.element->textView()->hasFocus());
    host.type(QStringLiteral("Q"));
    EXPECT_EQ(host.string(), QStringLiteral("OldZ"));
}

TEST_F(TextElementView, MovesSelectionAndCopyMakeNoStepAndNeverReachTheWindowsNudgeOrDelete)
{
    TextElementHost host;
    host.startEditing();
    const int before = host.undoCount();
    host.key(Qt::Key_Left);
    host.key(Qt::Key_Left, Qt::ShiftModifier);
    host.key(Qt::Key_C, Qt::ControlModifier);
    host.key(Qt::Key_A, Qt::ControlModifier);
    host.key(Qt::Key_Right);
    host.key(Qt::Key_Delete); // at the end: nothing to delete
    TextElementHost::settle();
    EXPECT_FALSE(host.element->creatingUndoBlockFromTextEntry());
    EXPECT_EQ(host.flow()->currentUndoableAction(), nullptr);
    EXPECT_EQ(host.undoCount(), before);
    EXPECT_EQ(host.string(), QStringLiteral("Old"));
    EXPECT_FALSE(host.window->calls.contains(QStringLiteral("nudgeRight")));
    EXPECT_FALSE(host.window->calls.contains(QStringLiteral("delete")));

    host.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(host.window->calls, QStringList{QStringLiteral("undo")});
}

TEST_F(TextElementView, AnotherChangeOnTheFlowClosesTheBurst)
{
    TextElementHost host;
    const auto other = host.document.addObject(ZERI_MixedMediaObject::Shape, {10, 10, 50, 50});
    host.startEditing();
    const int before = host.undoCount();
    host.type(QStringLiteral("a"));
    host.flow()->beginUndoableChanges();
    (*other)->setFrame({20, 20, 50, 50});
    host.flow()->endUndoableChanges();
    EXPECT_FALSE(host.element->creatingUndoBlockFromTextEntry());
    host.type(QStringLiteral("b"));
    ASSERT_TRUE(host.waitForBurstEnd());
    EXPECT_EQ(host.undoCount() - before, 3);
    EXPECT_EQ(host.string(), QStringLiteral("Oldab"));
}

TEST_F(TextElementView, ATypedThemeTextIsReplacedAndLeavesTheThemeInOneStep)
{
    TextElementHost host;
    host.text()->setIsThemeText(true);
    host.startEditing();
    EXPECT_EQ(host.element->textView()->selectedRange(), (TextRange{0, 3}));
    host.type(QStringLiteral("X"));
    EXPECT_EQ(host.string(), QStringLiteral("X"));
    EXPECT_FALSE(host.text()->isThemeText());
    // The replaced text's attributes carry on.
    EXPECT_EQ(host.text()->attributedString().attributesAtIndex(0)->fontSize, 24);
    ASSERT_TRUE(host.waitForBurstEnd());
    host.undo();
    EXPECT_EQ(host.string(), QStringLiteral("Old"));
    EXPECT_TRUE(host.text()->isThemeText());
}

TEST_F(TextElementView, TheHeightFollowsTheTextAndAnUnchangedTextKeepsFrameAndPicture)
{
    TextElementHost host(QStringLiteral("A"), {100, 200, 300, 100});
    host.startEditing();
    host.key(Qt::Key_Return);
    host.type(QStringLiteral("x"));
    TextElementHost::settle();
    const double used = TextLayout(host.text()->attributedString(), 290).usedRect().height();
    ASSERT_GT(used, 0);
    EXPECT_EQ(host.text()->frame(), QRectF(100, 200, 300, std::floor(float(used) * 1.1f + 16)));

    // Without a view the model measures the bare lines.
    const auto bare = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
    bare->as<ZERI_MMObject_Text>()->setAttributedString(host.text()->attributedString());
    EXPECT_DOUBLE_EQ(bare->as<ZERI_MMObject_Text>()->layoutManagerUsedRectForWidth(300).height(), used);

    host.element->setEditable(false);
    host.element->setFrame(host.text()->frame());
    TextElementHost::settle();
    ASSERT_NE(host.text()->croppedImageAsset(), nullptr);
    KeyRecorder recorder(host.proxy);
    host.element->textViewPropertiesDidChange();
    TextElementHost::settle();
    EXPECT_FALSE(recorder.keys.contains(QStringLiteral("frame")));
    EXPECT_FALSE(recorder.keys.contains(QStringLiteral("croppedImageAsset")));
    EXPECT_NE(host.text()->croppedImageAsset(), nullptr);
    // Showing the element again keeps the picture too.
    host.makeView();
    TextElementHost::settle();
    EXPECT_NE(host.text()->croppedImageAsset(), nullptr);
}

TEST_F(TextElementView, LeavingEditingStoresOnePictureEqualToTheModelsDrawing)
{
    SpellChecker::shared().hasDictionary();
    TextElementHost host(QStringLiteral("Helo wrld"), {100, 200, 300, 100});
    host.startEditing();
    host.type(QStringLiteral(" agian"));
    TextElementHost::settle();
    const QStringList before = pngsIn(host.document.assetsPath());
    host.element->setFrame(host.text()->frame());
    host.element->setEditable(false);
    const QStringList after = pngsIn(host.document.assetsPath());
    ASSERT_EQ(after.size(), before.size() + 1);
    const auto asset = host.text()->croppedImageAsset();
    ASSERT_NE(asset, nullptr);
    EXPECT_TRUE(asset->localFilePath().endsWith(QStringLiteral(".png")));
    const QImage picture(asset->localFilePath());
    const QRectF frame = host.text()->frame();
    EXPECT_EQ(picture.size(), QSize(int(std::ceil(frame.width())), int(std::ceil(frame.height()))));
    const QImage expected = modelDrawingWithoutPicture(*host.text());
    EXPECT_EQ(picture.convertToFormat(QImage::Format_ARGB32), expected.convertToFormat(QImage::Format_ARGB32));

    host.element->setEditable(false);
    EXPECT_EQ(pngsIn(host.document.assetsPath()).size(), after.size());
}

TEST_F(TextElementView, AMoveMakesANewPictureAndUndoBringsBackTheOldOne)
{
    TextElementHost host;
    host.startEditing();
    host.element->setEditable(false);
    const auto old = host.text()->croppedImageAsset();
    ASSERT_NE(old, nullptr);
    const QString oldFile = old->localFilePath();

    host.flow()->beginUndoableChanges();
    host.element->willBeginFrameChanges();
    EXPECT_EQ(host.text()->croppedImageAsset(), nullptr);
    host.text()->setFrame({150, 250, 300, 100});
    host.element->setFrame(host.text()->frame());
    host.element->didEndFrameChanges();
    host.flow()->endUndoableChanges();
    const auto moved = host.text()->croppedImageAsset();
    ASSERT_NE(moved, nullptr);
    EXPECT_NE(moved->localFilePath(), oldFile);
    EXPECT_TRUE(QFileInfo::exists(moved->localFilePath()));

    host.undo();
    ASSERT_NE(host.text()->croppedImageAsset(), nullptr);
    EXPECT_EQ(QFileInfo(host.text()->croppedImageAsset()->localFilePath()).fileName(), QFileInfo(oldFile).fileName());
    EXPECT_TRUE(QFileInfo::exists(host.text()->croppedImageAsset()->localFilePath()));
}

TEST_F(TextElementView, PreviewModeWritesNothing)
{
    TextElementHost host(QStringLiteral("A\nB\nC"), {100, 200, 300, 40});
    host.text()->setIsThemeText(true);
    host.text()->setFrame({100, 200, 300, 40});
    // As the container does it: the preview flag is set in the turn the view is made.
    delete host.element;
    host.element = new View(host.proxy);
    host.window->scene.addItem(host.element);
    host.element->setFrame(host.text()->frame());
    host.element->textViewPropertiesDidChange();
    host.element->setPreviewMode(true);
    const QStringList files = pngsIn(host.document.assetsPath());
    TextElementHost::settle();
    host.element->setFrame({100, 200, 250, 40});
    host.element->willBeginFrameChanges();
    host.element->didEndFrameChanges();
    host.element->textViewPropertiesDidChange();
    TextElementHost::settle();
    EXPECT_EQ(host.text()->frame(), QRectF(100, 200, 300, 40));
    EXPECT_EQ(host.text()->croppedImageAsset(), nullptr);
    EXPECT_TRUE(host.text()->isThemeText());
    EXPECT_EQ(pngsIn(host.document.assetsPath()), files);
}

TEST_F(TextElementView, NoPictureForAZeroSizedObjectOrOneWithoutAnAssetFolder)
{
    TextElementHost host;
    host.text()->setFrame({100, 200, 0, 0});
    host.element->setFrame(host.text()->frame());
    host.element->makeACroppedAssetFromTextView();
    EXPECT_EQ(host.text()->croppedImageAsset(), nullptr);

    // An object not in any document: typing works, without undo steps, and no picture is made.
    const auto loose = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
    (*loose)->setFrame({0, 0, 200, 60});
    loose->as<ZERI_MMObject_Text>()->setAttributedString(AttributedText(QStringLiteral("x")));
    auto* view = new View(loose);
    host.window->scene.addItem(view);
    view->setFrame({0, 0, 200, 60});
    view->setEditable(true);
    host.type(QStringLiteral("yz"));
    EXPECT_EQ(loose->as<ZERI_MMObject_Text>()->attributedString().string(), QStringLiteral("xyz"));
    view->setEditable(false);
    EXPECT_EQ(loose->as<ZERI_MMObject_Text>()->croppedImageAsset(), nullptr);
    delete view;
    EXPECT_EQ(loose->as<ZERI_MMObject_Text>()->currentAttachedTextView(), nullptr);
}

TEST_F(TextElementView, TabsBecomeFourSpacesAndPastedTextKeepsWhatFollowsTheTab)
{
    TextElementHost host{QString()};
    host.startEditing();
    host.key(Qt::Key_Tab);
    EXPECT_EQ(host.string(), QStringLiteral("    "));
    QApplication::clipboard()->setText(QStringLiteral("\tABC"));
    host.key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(host.string(), QStringLiteral("        ABC"));
}

TEST_F(TextElementView, PastedHtmlComesInAsPlainTextInTheTypingAttributes)
{
    TextElementHost host;
    host.startEditing();
    const TextAttributes typing = host.element->textView()->typingAttributes();
    auto* data = new QMimeData;
    data->setHtml(QStringLiteral("<b style=\"font-family:Courier;color:red\">X</b>"));
    QApplication::clipboard()->setMimeData(data);
    host.key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(host.string(), QStringLiteral("OldX"));
    EXPECT_EQ(*host.text()->attributedString().attributesAtIndex(3), typing);
}

TEST_F(TextElementView, CopyAndPasteOfElementsGoToTheWindowWhenTheTextHasNothingForThem)
{
    TextElementHost host(QStringLiteral("Hello"));
    host.startEditing();
    QApplication::clipboard()->setText(QStringLiteral("untouched"));
    host.key(Qt::Key_C, Qt::ControlModifier);
    QVRMainMenu::validate(host.window->bar);
    QVRMainMenu::action(host.window->bar, QStringLiteral("copy"))->trigger();
    EXPECT_EQ(host.window->calls, (QStringList{QStringLiteral("copy"), QStringLiteral("copy")}));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("untouched"));

    host.element->textView()->setSelectedRange({1, 3});
    host.key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("ell"));
    QApplication::clipboard()->setText(QStringLiteral("other"));
    QVRMainMenu::validate(host.window->bar);
    QVRMainMenu::action(host.window->bar, QStringLiteral("copy"))->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("ell"));
    EXPECT_EQ(host.window->calls.size(), 2);

    auto* image = new QMimeData;
    image->setImageData(QImage(4, 4, QImage::Format_ARGB32));
    QApplication::clipboard()->setMimeData(image);
    host.key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(host.window->calls.last(), QStringLiteral("paste"));
    EXPECT_EQ(host.string(), QStringLiteral("Hello"));
}

TEST_F(TextElementView, TheEditingMenuHoldsOnlyTheTextCommandsAndARightClickOutsideEditingReachesTheParent)
{
    TextElementHost host;
    host.startEditing();
    std::unique_ptr<QMenu> menu(host.element->textView()->makeEditingMenu());
    QStringList commands;
    for (QAction* action : menu->actions())
        commands << QVR_AttributedTextView::commandOf(action);
    EXPECT_EQ(commands, (QStringList{QStringLiteral("cut:"), QStringLiteral("copy:"), QStringLiteral("paste:")}));

    struct Parent : QGraphicsRectItem {
        using QGraphicsRectItem::QGraphicsRectItem;
        void contextMenuEvent(QGraphicsSceneContextMenuEvent* event) override
        {
            ++menus;
            event->accept();
        }
        int menus = 0;
    };
    host.element->setEditable(false);
    auto* parent = new Parent(QRectF(0, 0, 1024, 748));
    host.window->scene.addItem(parent);
    parent->setZValue(-1);
    host.element->setParentItem(parent);
    const QPoint point = host.viewportPoint(1);
    QContextMenuEvent event(QContextMenuEvent::Mouse, point, host.window->view->viewport()->mapToGlobal(point));
    QApplication::sendEvent(host.window->view->viewport(), &event);
    EXPECT_EQ(parent->menus, 1);
    host.element->setParentItem(nullptr);
    delete parent;
}

TEST(TextMenuPruning, DropsForeignCommandsEmptySubmenusAndALeadingSeparator)
{
    QMenu menu;
    const auto add = [](QMenu* into, const char* command) {
        QVR_AttributedTextView::setCommand(into->addAction(QString::fromLatin1(command)), QString::fromLatin1(command));
    };
    add(&menu, "undo:");
    menu.addSeparator();
    QMenu* spelling = menu.addMenu(QStringLiteral("Spelling"));
    add(spelling, "checkSpelling:");
    add(spelling, "foo:");
    QMenu* other = menu.addMenu(QStringLiteral("Other"));
    add(other, "foo:");
    menu.addSeparator();
    add(&menu, "cut:");
    menu.addSeparator();

    QVR_AttributedTextView::pruneMenu(&menu);
    QStringList shape;
    for (QAction* action : menu.actions())
        shape << (action->isSeparator() ? QStringLiteral("-")
                  : action->menu()      ? action->text()
                                        : QVR_AttributedTextView::commandOf(action));
    EXPECT_EQ(shape, (QStringList{QStringLiteral("Spelling"), QStringLiteral("-"), QStringLiteral("cut:"),
                                  QStringLiteral("-")}));
    ASSERT_EQ(spelling->actions().size(), 1);
    EXPECT_EQ(QVR_AttributedTextView::commandOf(spelling->actions().front()), QStringLiteral("checkSpelling:"));
}

TEST_F(TextElementView, KeysMouseAndInputMethodEditAsInAnyTextBox)
{
    TextElementHost host(QStringLiteral("one two three"));
    host.startEditing();
    auto* textView = host.element->textView();
    textView->setSelectedRange({0, 0});
    const int before = host.undoCount();
    host.key(Qt::Key_Right, Qt::ControlModifier);
    host.key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(textView->selectedRange(), (TextRange{8, 0}));
    host.key(Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(textView->selectedRange(), (TextRange{4, 4}));
    host.key(Qt::Key_End);
    EXPECT_EQ(textView->selectedRange(), (TextRange{13, 0}));
    host.key(Qt::Key_Home);
    EXPECT_EQ(textView->selectedRange(), (TextRange{0, 0}));
    host.key(Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(textView->selectedRange(), (TextRange{0, 13}));

    QTest::mouseDClick(host.window->view->viewport(), Qt::LeftButton, {}, host.viewportPoint(5));
    EXPECT_EQ(textView->selectedRange(), (TextRange{4, 3}));
    QTest::mousePress(host.window->view->viewport(), Qt::LeftButton, {}, host.viewportPoint(0));
    QTest::mouseMove(host.window->view->viewport(), host.viewportPoint(7));
    QTest::mouseRelease(host.window->view->viewport(), Qt::LeftButton, {}, host.viewportPoint(7));
    EXPECT_EQ(textView->selectedRange(), (TextRange{0, 7}));
    EXPECT_EQ(host.undoCount(), before);
    EXPECT_FALSE(host.element->creatingUndoBlockFromTextEntry());

    const QImage withoutPreedit = host.window->view->viewport()->grab().toImage();
    QInputMethodEvent preedit(QStringLiteral("ka"), {});
    QApplication::sendEvent(host.window->view, &preedit);
    EXPECT_EQ(textView->preeditString(), QStringLiteral("ka"));
    EXPECT_NE(host.window->view->viewport()->grab().toImage(), withoutPreedit) << "the pre-edit text is drawn";
    EXPECT_EQ(host.string(), QStringLiteral("one two three"));
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("か"));
    QApplication::sendEvent(host.window->view, &commit);
    EXPECT_EQ(host.string(), QStringLiteral("か three"));
    EXPECT_TRUE(textView->preeditString().isEmpty());
    ASSERT_TRUE(host.waitForBurstEnd());
    EXPECT_EQ(host.undoCount() - before, 1);

    // Deletion goes by grapheme: a surrogate pair is one step.
    textView->setSelectedRange({0, 1});
    QInputMethodEvent emoji;
    emoji.setCommitString(QString::fromUtf16(u"\U0001F600"));
    QApplication::sendEvent(host.window->view, &emoji);
    ASSERT_EQ(host.string().size(), 8);
    host.key(Qt::Key_Backspace);
    EXPECT_EQ(host.string(), QStringLiteral(" three"));
}

TEST_F(TextElementView, TypingAttributesOutliveAnEmptiedTextAndDropsAndClicksPlaceText)
{
    TextElementHost host(QStringLiteral("Old"));
    host.startEditing();
    host.key(Qt::Key_A, Qt::ControlModifier);
    host.key(Qt::Key_Backspace);
    ASSERT_EQ(host.string(), QString());
    host.type(QStringLiteral("Z"));
    EXPECT_EQ(host.text()->attributedString().attributesAtIndex(0)->fontSize, 24);
    TextAttributes bigger = host.element->textView()->typingAttributes();
    bigger.fontSize = 50;
    host.element->textView()->setTypingAttributes(bigger);
    host.type(QStringLiteral("Y"));
    EXPECT_EQ(host.text()->attributedString().attributesAtIndex(1)->fontSize, 50);

    // The container's click: the caret goes to the point unless something is selected.
    host.element->textView()->setSelectedRange({0, 0});
    const auto* textView = host.element->textView();
    const QPointF end = textView->layout().caretRect(2).center() + QPointF(5, 8);
    host.element->attemptToPlaceInsertionCursorAtPosition(end);
    EXPECT_EQ(textView->selectedRange(), (TextRange{2, 0}));
    host.element->textView()->setSelectedRange({0, 1});
    host.element->attemptToPlaceInsertionCursorAtPosition(end);
    EXPECT_EQ(textView->selectedRange(), (TextRange{0, 1}));

    // Dropped text goes in as plain text at the drop point.
    QMimeData data;
    data.setHtml(QStringLiteral("<i>ignored</i>"));
    data.setText(QStringLiteral("dd"));
    QGraphicsSceneDragDropEvent drop(QEvent::GraphicsSceneDrop);
    drop.setMimeData(&data);
    drop.setPos(textView->layout().caretRect(1).center() + QPointF(5, 8));
    drop.setPossibleActions(Qt::CopyAction);
    drop.setProposedAction(Qt::CopyAction);
    host.window->scene.sendEvent(host.element->textView(), &drop);
    EXPECT_EQ(host.string(), QStringLiteral("ZddY"));
}

TEST_F(TextElementView, SelectionChangesAreAnnouncedOnlyWhileEditing)
{
    TextElementHost host;
    int posts = 0;
    const void* sender = nullptr;
    NotificationObservation observation(View::kTextViewDidChangeSelectionNotification, nullptr,
                                        [&](const Notification& notification) {
                                            ++posts;
                                            sender = notification.sender;
                                        });
    host.element->textView()->setSelectedRange({0, 1});
    EXPECT_EQ(posts, 0);
    host.startEditing();
    posts = 0;
    host.key(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(sender, static_cast<const void*>(host.text()->currentAttachedTextView()));
    host.key(Qt::Key_Left);
    EXPECT_EQ(posts, 2);
}

TEST_F(TextElementView, MisspeltWordsAreMarkedInRedOnlyOnTheCanvas)
{
    QTemporaryDir dir;
    const QString aff = dir.filePath(QStringLiteral("test.aff"));
    const QString dic = dir.filePath(QStringLiteral("test.dic"));
    ASSERT_TRUE(writeFile(aff, "SET UTF-8\n"));
    ASSERT_TRUE(writeFile(dic, "2\nhello\nworld\n"));
    ASSERT_TRUE(SpellChecker::shared().useDictionary(aff, dic));

    TextElementHost host{QString(), {100, 200, 400, 100}};
    host.startEditing();
    host.type(QStringLiteral("helo world "));
    TextElementHost::settle();
    const auto& marks = host.element->textView()->misspelledRanges();
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks.front(), (TextRange{0, 4}));

    const QImage shot = host.window->view->viewport()->grab().toImage();
    const auto redBelow = [&](qsizetype from, qsizetype to) {
        const QPoint a = host.viewportPoint(from);
        const QPoint b = host.viewportPoint(to);
        for (int y = a.y(); y < a.y() + 40; ++y) {
            for (int x = a.x() + 1; x < b.x(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                if (c.red() > 200 && c.green() < 90 && c.blue() < 90)
                    return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(redBelow(0, 4));
    EXPECT_FALSE(redBelow(5, 10));
    // The stored text carries no mark.
    EXPECT_EQ(host.text()->attributedString().runs().size(), 1u);
}

TEST_F(TextElementView, AfterAnUndoBackToPlainTextTypingStillReachesTheModel)
{
    TextElementHost host;
    const auto plain = host.document.addObject(ZERI_MixedMediaObject::Text, {100, 400, 300, 100});
    plain->as<ZERI_MMObject_Text>()->setText(QStringLiteral("Plain"));
    host.flow()->beginUndoableChanges(); // its snapshot has no attributed text yet
    host.proxy = plain;
    host.makeView();
    host.flow()->endUndoableChanges();
    ASSERT_TRUE(plain->as<ZERI_MMObject_Text>()->hasAttributedString());
    host.undo();
    host.startEditing();
    host.type(QStringLiteral("Q"));
    EXPECT_EQ(host.string(), QStringLiteral("PlainQ"));
    EXPECT_EQ(host.element->textView()->textStorage(), plain->as<ZERI_MMObject_Text>()->textStorage());
}

TEST_F(TextElementView, DestroyedMidBurstTheViewLeavesNothingBehind)
{
    TextElementHost host;
    host.startEditing();
    host.type(QStringLiteral("ab"));
    ASSERT_NE(host.flow()->currentUndoableAction(), nullptr);
    const auto storage = host.text()->textStorage();
    delete host.element;
    host.element = nullptr;
    EXPECT_EQ(host.flow()->currentUndoableAction(), nullptr);
    EXPECT_EQ(host.text()->currentAttachedTextView(), nullptr);
    EXPECT_EQ(storage->layoutObserverCount(), 0);
    QTest::qWait(400); // the burst's timer must not fire into the gone view
    host.undo();
    EXPECT_EQ(host.string(), QStringLiteral("Old"));
}

TEST_F(TextElementView, LargeAndOddInputGoesInAsItIs)
{
    TextElementHost host{QString()};
    host.startEditing();
    QString odd = QStringLiteral("a");
    odd += QChar(0);
    odd += QChar(0xD800); // an unpaired surrogate
    odd += QStringLiteral("שלום");
    QApplication::clipboard()->setText(odd);
    host.key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(host.string(), odd);
    const QString large(1 << 20, u'x');
    QApplication::clipboard()->setText(large);
    host.key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(host.string().size(), odd.size() + large.size());
}

} // namespace

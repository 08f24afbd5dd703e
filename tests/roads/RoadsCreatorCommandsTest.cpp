#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QGraphicsScene>
#include <QMenuBar>
#include <QMimeData>
#include <QTest>

#include "app/QVRMainMenu.h"
#include "creator/addition/QVR_AddElementMenuViewController.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "elements/text/TextEditingItem.h"
#include "roads/RoadsTestSupport.h"
#include "strings/UFM.h"
#include "support/UserInput.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

using namespace roads;

namespace {

using Type = ZERI_MixedMediaObject::Type;
using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;

// The Edit and View menus' commands met in a creator window, as the user gives them.
class CreatorCommandsRoad : public ::testing::Test {
protected:
    void SetUp() override { application(); }
    void TearDown() override { closeDocumentWindows(); }

    static TextEditingItem* editedText(QVR_CreatorWindow* window)
    {
        QGraphicsScene* scene = window->theArtBoard()->theScrollView()->scene();
        if (!scene)
            return nullptr;
        for (QGraphicsItem* each : scene->items())
            if (auto* item = dynamic_cast<TextEditingItem*>(each); item && item->isEditable())
                return item;
        return nullptr;
    }
    // A new text, being edited with only the caret in it.
    static TextEditingItem* newTextBeingEdited(QVR_CreatorWindow* window)
    {
        const int before = countObjects(shownScreen(window), Type::Text);
        if (!insert(window, &QVR_AddElementMenuViewController::textCell) ||
            !waitFor([&] { return countObjects(shownScreen(window), Type::Text) == before + 1; })) {
            return nullptr;
        }
        Proxy text;
        for (const Proxy& object : shownScreen(window)->mixedMediaObjects())
            if ((*object)->type() == Type::Text)
                text = object;
        QVR_ArtBoardScrollView* view = window->theArtBoard()->theScrollView();
        if (!waitFor([&] { return editedText(window) != nullptr; }, 2000)) {
            // A click selects it, the next one (not a double click) edits it.
            view->ensureVisible((*text)->frame());
            QApplication::processEvents();
            const QPoint centre = view->mapFromScene((*text)->frame().center());
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centre);
            waitFor([&] { return window->selectedItemView()->selectedViews().size() == 1; }, 5000);
            QTest::qWait(400);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centre);
        }
        if (!waitFor([&] { return editedText(window) != nullptr; }, 5000)) {
            return nullptr;
        }
        UserInput::pressKey(nullptr, Qt::Key_End);
        TextEditingItem* item = editedText(window);
        return item && item->selectedRange().length == 0 ? item : nullptr;
    }
};

} // namespace

// With only a caret in the text being edited, Cut (its key or the Edit menu) cuts the element, as Copy copies it.
TEST_F(CreatorCommandsRoad, CutWithACaretInTheEditedTextCutsTheElement)
{
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    window->resize(1300, 900);
    UserInput::letRepaintsHappen();
    for (const bool fromMenu : {false, true}) {
        SCOPED_TRACE(fromMenu ? "the Edit menu" : "Ctrl+X");
        ASSERT_TRUE(newTextBeingEdited(window));
        const int texts = countObjects(shownScreen(window), Type::Text);
        QApplication::clipboard()->clear();
        if (fromMenu)
            ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("cut")));
        else
            UserInput::pressKey(nullptr, Qt::Key_X, Qt::ControlModifier);
        EXPECT_TRUE(waitFor([&] { return countObjects(shownScreen(window), Type::Text) == texts - 1; }, 5000))
            << "the element stayed";
        // The copy reaches the clipboard once its files are written.
        EXPECT_TRUE(waitFor(
            [] {
                const QMimeData* copied = QApplication::clipboard()->mimeData();
                return copied && !copied->formats().isEmpty();
            },
            5000))
            << "nothing was copied";
        // Pasted back, it is there again.
        UserInput::pressKey(window, Qt::Key_V, Qt::ControlModifier);
        EXPECT_TRUE(waitFor([&] { return countObjects(shownScreen(window), Type::Text) == texts; }, 5000));
    }
}

// The View menu's palette item says what it does and carries no check that would say the opposite.
TEST_F(CreatorCommandsRoad, ThePaletteItemNamesWhatItDoesWithoutACheck)
{
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    QAction* item = QVRMainMenu::action(window->findChild<QMenuBar*>(), QStringLiteral("toggleXYPalette"));
    ASSERT_TRUE(item);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("toggleXYPalette")));
        QVRMainMenu::validate(window->findChild<QMenuBar*>());
        const bool shown = !window->xyPaletteHidden();
        EXPECT_EQ(QVRMainMenu::plainText(item),
                  shown ? UFM::HIDE_DIMENSIONS_PALETTE_TEXT() : UFM::SHOW_DIMENSIONS_PALETTE_TEXT());
        EXPECT_FALSE(item->isChecked());
    }
}

#include <QApplication>
#include <QColorDialog>
#include <QDoubleSpinBox>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "app/QVRWindowManager.h"
#include "controls/ControlsArtwork.h"
#include "creator/CreatorLibrary.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "inspector/InspectorLibrary.h"
#include "inspector/pickers/ColorPanel.h"
#include "inspector/pickers/QVRColorPicker.h"
#include "inspector/sidemenu/QVR_ContextualMenuView.h"
#include "inspector/sidemenu/QVR_SideMenuOutlets.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "strings/UFM.h"
#include "support/UserInput.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;

struct SideMenuWindow {
    SideMenuWindow()
    {
        UserDefaults::setStoreFileForTesting(settings.filePath(QStringLiteral("defaults.conf")));
        ControlsArtwork::registerNamedImages();
        registerCreatorLibrary();
        registerInspectorLibrary();
        document->setDontSave(true);
        auto flowScreen = ZERI_FlowScreenModel::create();
        document->firstFlowmodel()->addFlowScreen(flowScreen);
        screen = flowScreen;
        red = addShape(Qt::red, QRectF(100, 100, 100, 100));
        blue = addShape(Qt::blue, QRectF(300, 100, 100, 100));
        document->setSideMenuOpen(true);
        window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
        window->resize(1400, 1000);
        window->launchTessarineWithTessarineModel(document);
        window->show();
        settle();
    }
    ~SideMenuWindow()
    {
        ColorPanel::shared()->hide();
        delete window.data();
        UserDefaults::setStoreFileForTesting(QString());
    }
    Proxy addShape(const QColor& color, const QRectF& frame)
    {
        auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
        (*object)->setFrame(frame);
        object->as<ZERI_MMObject_Shape>()->setColor(color);
        screen->addMixedMediaObject(object);
        return object;
    }
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    }
    QVR_ContextualMenuView* menu() const { return qobject_cast<QVR_ContextualMenuView*>(window->sideBarView()); }
    QVR_InteractableViewHandler* handler() const
    {
        return QVR_InteractableViewHandler::handlerForBoard(window->theArtBoard());
    }
    void select(const std::vector<Proxy>& objects)
    {
        std::vector<QVR_MixedMediaElementContainingView*> containers;
        for (const Proxy& object : objects)
            containers.push_back(window->theArtBoard()->singleScreen()->containerForMixedMediaObject(object));
        handler()->setCurrentlySelected(containers);
        settle();
    }
    template <class T> T* outlet() const { return menu()->currentBody()->findChild<T*>(); }
    UndoManager& undo() const { return document->firstFlowmodel()->undoManager(); }

    QTemporaryDir settings;
    std::shared_ptr<ZERI_TessarineModel> document = ZERI_TessarineModel::create();
    std::shared_ptr<ZERI_FlowScreenModel> screen;
    Proxy red, blue;
    QPointer<QVR_CreatorWindow> window;
};

QStringList tabTitles(const QVR_ContextualMenuView* menu)
{
    QStringList titles;
    for (const QVR_SideMenuTab* tab : menu->tabs())
        titles << tab->text();
    return titles;
}

TEST(SideMenuTest, FollowsTheSelectionAndOnlyItsOwnWindowsPosts)
{
    SideMenuWindow f;
    ASSERT_NE(f.menu(), nullptr);
    EXPECT_EQ(f.window->sideBarView()->width(), 240);

    EXPECT_EQ(tabTitles(f.menu()), QStringList{"Screen"});
    // A rebuilt menu shows its body with no tab selected; a press selects one.
    EXPECT_FALSE(f.menu()->tabs().front()->isChecked());
    QTest::mouseClick(f.menu()->tabs().front(), Qt::LeftButton);
    EXPECT_TRUE(f.menu()->tabs().front()->isChecked());
    EXPECT_EQ(f.menu()->selectedTabType(), QStringLiteral("Screen"));
    QWidget* body = f.menu()->currentBody();
    auto* colour = body->findChild<QVR_ColorOutlet*>();
    auto* notes = body->findChild<QVR_BigTextOutlet*>();
    ASSERT_TRUE(colour && notes);
    EXPECT_LT(colour->y(), notes->y());
    QPointer<QWidget> firstBody = body;

    f.select({f.red});
    EXPECT_EQ(tabTitles(f.menu()), QStringList{"Object"});
    EXPECT_TRUE(firstBody.isNull());
    EXPECT_EQ(f.menu()->findChildren<QVR_BigTextOutlet*>().size(), 0);

    // Another window's post rebuilds nothing.
    QPointer<QWidget> objectBody = f.menu()->currentBody();
    QWidget other;
    NotificationCenter::defaultCenter().post(QVR_ContextualMenuView::kUpdateNotification, &other);
    EXPECT_EQ(f.menu()->currentBody(), objectBody.data());

    f.document->setSideMenuOpen(false);
    QApplication::processEvents();
    EXPECT_EQ(f.window->sideBarView()->width(), 0);
}

TEST(SideMenuTest, ColourOutletRecoloursEveryShapeInOneUndoStep)
{
    SideMenuWindow f;
    f.select({f.red, f.blue});
    auto* colour = f.outlet<QVR_ColorOutlet>();
    ASSERT_NE(colour, nullptr);
    EXPECT_EQ(colour->well()->color(), QColor(Qt::red));
    EXPECT_TRUE(colour->opacityRow()->isVisibleTo(colour));
    EXPECT_FALSE(colour->doAllObjectsHaveTheSameColor());
    // The rows are headed with their words, as shown.
    QStringList headings;
    for (const QLabel* label : colour->findChildren<QLabel*>())
        if (label->isVisible())
            headings << label->text();
    EXPECT_TRUE(headings.contains(UFM::OUTLET_TITLE_COLOR())) << headings.join('|').toStdString();
    EXPECT_TRUE(headings.contains(UFM::OUTLET_TITLE_ALPHA())) << headings.join('|').toStdString();

    const int before = f.undo().undoCount();
    // The keyboard reaches the well and opens the panel from it.
    EXPECT_TRUE(colour->well()->focusPolicy() & Qt::TabFocus);
    QTest::keyClick(colour->well(), Qt::Key_Space);
    ASSERT_TRUE(colour->well()->ownsColorPanel());
    ColorPanel::shared()->dialog()->setCurrentColor(Qt::green);
    ColorPanel::shared()->dialog()->setCurrentColor(QColor(0, 200, 0));
    emit ColorPanel::shared()->dragEnded();
    EXPECT_EQ(f.red->as<ZERI_MMObject_Shape>()->color(), QColor(0, 200, 0));
    EXPECT_EQ(f.blue->as<ZERI_MMObject_Shape>()->color(), QColor(0, 200, 0));
    EXPECT_TRUE(colour->doAllObjectsHaveTheSameColor());
    EXPECT_EQ(f.undo().undoCount(), before + 1);
    f.undo().undo();
    f.settle();
    EXPECT_EQ(f.red->as<ZERI_MMObject_Shape>()->color(), QColor(Qt::red));
    EXPECT_EQ(f.blue->as<ZERI_MMObject_Shape>()->color(), QColor(Qt::blue));
    // The undo rebuilt the menu; its well shows the restored colour.
    ASSERT_NE(f.outlet<QVR_ColorOutlet>(), nullptr);
    EXPECT_EQ(f.outlet<QVR_ColorOutlet>()->well()->color(), QColor(Qt::red));
}

TEST(SideMenuTest, OpacitySliderDragIsOneStepAndTheFieldSetsAlpha)
{
    SideMenuWindow f;
    f.select({f.red});
    auto* colour = f.outlet<QVR_ColorOutlet>();
    ASSERT_NE(colour, nullptr);
    const int before = f.undo().undoCount();
    colour->opacitySlider()->setSliderDown(true);
    for (int tick = 0; tick < 20; ++tick)
        colour->opacitySlider()->setValue(99 - tick * 2);
    colour->opacitySlider()->setSliderDown(false);
    EXPECT_EQ(f.undo().undoCount(), before + 1);
    EXPECT_FALSE(colour->isGroupOpen());

    // Typed key by key, the field keeps the text being typed while slider and shape follow it.
    auto* field = colour->opacityField()->findChild<QLineEdit*>();
    ASSERT_NE(field, nullptr);
    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    UserInput::typeText(field, QStringLiteral("0.5"));
    EXPECT_EQ(field->text(), QStringLiteral("0.5"));
    EXPECT_EQ(colour->opacitySlider()->value(), 50);
    const int alpha = f.red->as<ZERI_MMObject_Shape>()->color().alpha();
    EXPECT_TRUE(alpha == 0x7F || alpha == 0x80) << alpha;
    // The field's change closes its group after a pause.
    EXPECT_TRUE(colour->isGroupOpen());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !colour->isGroupOpen(); }, 2000));
    EXPECT_EQ(f.undo().undoCount(), before + 2);
}

// The model's change notice comes a turn of the event loop after each key: what the user types must stay.
TEST(SideMenuTest, OpacityTypedKeyByKeyStaysInTheFieldAndTheShapeFollows)
{
    SideMenuWindow f;
    f.select({f.red});
    auto* colour = f.outlet<QVR_ColorOutlet>();
    ASSERT_NE(colour, nullptr);
    auto* field = colour->opacityField()->findChild<QLineEdit*>();
    ASSERT_NE(field, nullptr);
    const QString point = QLocale().decimalPoint();
    const auto alpha = [&] { return f.red->as<ZERI_MMObject_Shape>()->color().alphaF(); };

    QTest::mouseClick(field, Qt::LeftButton);
    UserInput::pressKey(field, Qt::Key_A, Qt::ControlModifier);
    const QString half = QStringLiteral("0") + point + QStringLiteral("5");
    for (int typed = 1; typed <= half.size(); ++typed) {
        UserInput::typeText(field, half.mid(typed - 1, 1));
        EXPECT_EQ(field->text(), half.left(typed));
    }
    EXPECT_NEAR(alpha(), 0.5, 0.01);
    EXPECT_EQ(colour->opacitySlider()->value(), 50);
    colour->closeUndoGroup();

    // "1", "0", ".", "5": past the largest opacity the field refuses a key and keeps what it had; the shape stays
    // opaque all the way, never cleared by a field rewritten under the keys.
    UserInput::pressKey(field, Qt::Key_A, Qt::ControlModifier);
    for (const QChar key : QString(QStringLiteral("10") + point + QStringLiteral("5"))) {
        UserInput::typeText(field, QString(key));
        EXPECT_NEAR(alpha(), 1.0, 0.01) << "after " << key.toLatin1();
    }
    EXPECT_EQ(field->text(), QStringLiteral("1") + point);
    EXPECT_EQ(colour->opacitySlider()->value(), 100);

    // An undo shows the opacity it restores.
    colour->closeUndoGroup();
    f.undo().undo();
    f.settle();
    UserInput::letRepaintsHappen();
    EXPECT_NEAR(alpha(), 0.5, 0.01);
    ASSERT_NE(f.outlet<QVR_ColorOutlet>(), nullptr);
    EXPECT_NEAR(f.outlet<QVR_ColorOutlet>()->opacityField()->value(), 0.5, 0.01);
}

TEST(SideMenuTest, APickKeepsTheOpacityTheRowShows)
{
    SideMenuWindow f;
    f.select({f.red});
    auto* colour = f.outlet<QVR_ColorOutlet>();
    ASSERT_NE(colour, nullptr);
    colour->opacityField()->setValue(0.4);
    colour->closeUndoGroup();
    colour->well()->presentColorPanel();
    ColorPanel::shared()->dialog()->setCurrentColor(QColor(0, 0, 255, 255));
    const QColor shape = f.red->as<ZERI_MMObject_Shape>()->color();
    EXPECT_EQ(shape.rgb(), QColor(0, 0, 255).rgb());
    EXPECT_NEAR(shape.alphaF(), 0.4, 0.01);
    EXPECT_NEAR(colour->opacityField()->value(), 0.4, 0.01);
}

TEST(SideMenuTest, ColourlessScreenHidesOpacityAndTurnsOpaque)
{
    SideMenuWindow f;
    ASSERT_FALSE(f.screen->backgroundColor().isValid());
    auto* colour = f.outlet<QVR_ColorOutlet>();
    ASSERT_NE(colour, nullptr);
    EXPECT_FALSE(colour->opacityRow()->isVisibleTo(colour));
    EXPECT_DOUBLE_EQ(colour->opacityField()->value(), 1.0);
    colour->applyColor(Qt::red);
    colour->closeUndoGroup();
    EXPECT_EQ(f.screen->backgroundColor(), QColor(255, 0, 0, 255));
}

TEST(SideMenuTest, OutletGoingMidDragClosesItsUndoGroup)
{
    SideMenuWindow f;
    f.select({f.red});
    auto* colour = f.outlet<QVR_ColorOutlet>();
    ASSERT_NE(colour, nullptr);
    colour->applyColor(Qt::yellow);
    EXPECT_EQ(f.undo().groupingLevel(), 1);
    f.select({});
    EXPECT_EQ(f.undo().groupingLevel(), 0);
    EXPECT_EQ(tabTitles(f.menu()), QStringList{"Screen"});
}

TEST(SideMenuTest, NotesSaveEachKeystrokeAndShowOutsideChanges)
{
    SideMenuWindow f;
    auto* notes = f.outlet<QVR_BigTextOutlet>();
    ASSERT_NE(notes, nullptr);
    QStringList seen;
    auto observer = f.screen->updateNotifier().addObservationBlock(
        [&](const void*, const QSet<QString>&) { seen << f.screen->presenterNotes(); },
        QStringLiteral("presenterNotes"));
    for (const QString& text : {QStringLiteral("a"), QStringLiteral("ab"), QStringLiteral("abc")}) {
        notes->textView()->setPlainText(text);
        f.screen->updateNotifier().sendUpdateNotificationsIfNeeded();
    }
    EXPECT_EQ(seen, (QStringList{"a", "ab", "abc"}));

    f.screen->setPresenterNotes(QStringLiteral("from the sheet"));
    f.screen->updateNotifier().sendUpdateNotificationsIfNeeded();
    EXPECT_EQ(notes->textView()->toPlainText(), QStringLiteral("from the sheet"));
}

} // namespace

TEST(SideMenuTest, TabsAndOutletsComeFromTheSetupDictionaries)
{
    SideMenuWindow f;
    auto text = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
    (*text)->setFrame(QRectF(500, 400, 200, 100));
    f.screen->addMixedMediaObject(text);
    f.settle();

    // A text answers nothing for the colour outlet, so with it selected no object tab shows.
    f.select({f.red, text});
    EXPECT_TRUE(f.menu()->tabs().empty());
    f.select({f.red, f.blue});
    EXPECT_EQ(tabTitles(f.menu()), QStringList{"Object"});

    const QString objectKey = QStringLiteral("kQVR_CONTEXTUAL_MENU_OBJECT_KEY");
    const QString colorKey = QStringLiteral("kQVR_CONTEXTUAL_MENU_COLOR_PROPERTY_KEY");
    const QString alphaKey = QStringLiteral("kQVR_CONTEXTUAL_MENU_ALPHA_PROPERTY_KEY");
    const QVariant red = QVariant::fromValue(ModelItemRef(f.red->object()));
    QVariant gone;
    {
        auto transient = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
        gone = QVariant::fromValue(ModelItemRef(transient->object()));
    }
    // Gone objects and unknown properties are skipped; nothing usable gives no outlet.
    EXPECT_EQ(QVR_ContextualMenuView::makeOutlet("Color Picker", {{{objectKey, gone}, {colorKey, "observableColor"}},
                                                                  {{objectKey, red}, {colorKey, "tint"}}}),
              nullptr);
    EXPECT_EQ(QVR_ContextualMenuView::makeOutlet("Time Editor", {{{objectKey, red}}}), nullptr);
    std::unique_ptr<QWidget> outlet(QVR_ContextualMenuView::makeOutlet(
        "Color Picker", {{{objectKey, gone}, {colorKey, "observableColor"}},
                         {{objectKey, red}, {colorKey, "observableColor"}, {alphaKey, false}}}));
    auto* colour = qobject_cast<QVR_ColorOutlet*>(outlet.get());
    ASSERT_NE(colour, nullptr);
    EXPECT_EQ(colour->well()->color(), QColor(Qt::red));
    EXPECT_FALSE(colour->opacityRow()->isVisibleTo(colour)) << "a dictionary said no alpha";
    EXPECT_EQ(
        QVR_ContextualMenuView::makeOutlet(
            "Big Text Field",
            {{{objectKey, red}, {QStringLiteral("kQVR_CONTEXTUAL_MENU_BIG_TEXT_PROPERTY_KEY"), "presenterNotes"}}}),
        nullptr)
        << "a shape has no presenter notes";
}

#include <cmath>

#include <QApplication>
#include <QImage>
#include <QLocale>
#include <QUrl>
#include <QPointer>
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
#include "foundation/Tessutils.h"
#include "creator/window/QVRTopOfWindowDockToolbarView.h"
#include "inspector/InspectorLibrary.h"
#include "inspector/panels/QVRXYPaletteView.h"
#include "platform/AppPaths.h"
#include "platform/NotificationCenter.h"
#include "platform/UndoManager.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/UndoableAction.h"
#include "platform/UserDefaults.h"
#include "support/UserInput.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;
using F = QVRXYPaletteView;

namespace {

// A document of two screens ("S0", "S1") that never saves, and a palette on its own.
struct Palette {
    Palette()
    {
        document->setDontSave(true);
        for (int i = 0; i < 2; ++i) {
            auto s = ZERI_FlowScreenModel::create();
            s->setInternalID(QStringLiteral("S%1").arg(i));
            document->firstFlowmodel()->addFlowScreen(s);
        }
        screen = document->firstFlowmodel()->screenModels().front();
    }
    Proxy add(int type, const QRectF& frame)
    {
        auto object = ZERI_MixedMediaObject::objectWithType(type);
        (*object)->setFrame(frame);
        screen->addMixedMediaObject(object);
        return object;
    }
    Proxy image(const QRectF& frame, double zoom, const QSizeF& offset)
    {
        auto object = add(ZERI_MixedMediaObject::Image, frame);
        (*object)->setOriginalImageAsset(ZERI_ContentAsset::create());
        (*object)->setZoomScale(zoom);
        (*object)->setZoomOffset(offset);
        return object;
    }
    QString text(F::Field f) const { return view.field(f)->text(); }
    bool enabled(F::Field f) const { return view.field(f)->isEnabled(); }
    // Replaces the field's text key by key, as a user selecting it all and typing.
    void type(F::Field f, const QString& keys)
    {
        auto* field = view.field(f);
        field->selectAll();
        if (keys.isEmpty())
            QTest::keyClick(field, Qt::Key_Backspace);
        else
            UserInput::typeText(field, keys);
    }
    void commit(F::Field f) { QTest::keyClick(view.field(f), Qt::Key_Return); }
    UndoManager& undo() { return document->firstFlowmodel()->undoManager(); }
    bool changeOpen() const { return document->firstFlowmodel()->currentUndoableAction() != nullptr; }

    std::shared_ptr<ZERI_TessarineModel> document = ZERI_TessarineModel::create();
    std::shared_ptr<ZERI_FlowScreenModel> screen;
    QVRXYPaletteView view;
};

bool sane(const QRectF& r)
{
    return std::isfinite(r.x()) && std::isfinite(r.width()) && std::isfinite(r.height()) && r.width() > 0 &&
           r.height() > 0;
}

// A creator window on its own document, with the palette the inspector registers; objects are added before open().
struct PaletteWindow {
    PaletteWindow()
    {
        UserDefaults::setStoreFileForTesting(settings.filePath(QStringLiteral("defaults.conf")));
        ControlsArtwork::registerNamedImages();
        registerCreatorLibrary();
        registerInspectorLibrary();
        p = std::make_unique<Palette>();
    }
    ~PaletteWindow()
    {
        delete window.data();
        UserDefaults::setStoreFileForTesting(QString());
    }
    // The window, shown; the palette inside it, or nullptr.
    QVRXYPaletteView* open()
    {
        window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
        if (!window)
            return nullptr;
        window->resize(1400, 1000);
        window->launchTessarineWithTessarineModel(p->document);
        window->show();
        QApplication::processEvents();
        return window->findChild<QVRXYPaletteView*>();
    }

    QTemporaryDir settings;
    std::unique_ptr<Palette> p;
    QPointer<QVR_CreatorWindow> window;
};

} // namespace

TEST(XYPalette, EmptyThenTwoObjectsShowTheirBoundsAndMoveTogetherInOneStep)
{
    Palette p;
    for (int f = 0; f < F::FieldCount; ++f) {
        EXPECT_FALSE(p.enabled(F::Field(f)));
        EXPECT_TRUE(p.text(F::Field(f)).isEmpty());
    }
    const auto a = p.add(ZERI_MixedMediaObject::Shape, QRectF(10, 10, 50, 50));
    const auto b = p.add(ZERI_MixedMediaObject::Image, QRectF(100, 40, 20, 20));
    p.view.setTrackedMixedMediaObjects({a, b});
    EXPECT_EQ(p.text(F::XField), "10");
    EXPECT_EQ(p.text(F::YField), "10");
    EXPECT_EQ(p.text(F::WidthField), "110");
    EXPECT_EQ(p.text(F::HeightField), "50");
    EXPECT_TRUE(p.enabled(F::XField) && p.enabled(F::YField));
    EXPECT_FALSE(p.enabled(F::WidthField) || p.enabled(F::HeightField) || p.enabled(F::PercentField));
    EXPECT_TRUE(p.text(F::PercentField).isEmpty());

    const int steps = p.undo().undoCount();
    p.type(F::XField, QStringLiteral("20"));
    p.commit(F::XField);
    EXPECT_EQ((*a)->frame(), QRectF(20, 10, 50, 50));
    EXPECT_EQ((*b)->frame(), QRectF(110, 40, 20, 20));
    ASSERT_EQ(p.undo().undoCount(), steps + 1);
    EXPECT_FALSE(p.changeOpen());
    // Undoing the step pages back to the objects' screen.
    QString pageTo;
    NotificationObservation undone(
        TessarineDataModelItem::kDidSetPropertiesFromUndoableActionNotification, nullptr,
        [&pageTo](const Notification& n) {
            if (auto action = n.userInfo.value(QStringLiteral("undoableAction")).value<UndoableActionRef>())
                pageTo = action->userInfo().value(QStringLiteral("screenToPageTo")).toString();
        });
    p.undo().undo();
    EXPECT_EQ(pageTo, "S0");
    QApplication::processEvents();
    EXPECT_EQ((*a)->frame(), QRectF(10, 10, 50, 50));
    EXPECT_EQ((*b)->frame(), QRectF(100, 40, 20, 20));
    // The model's change shows in the fields.
    EXPECT_EQ(p.text(F::XField), "10");
}

TEST(XYPalette, ImageWidthAndPercentScaleFrameZoomAndOffsetFromWhereTheEditBegan)
{
    Palette p;
    const auto img = p.image(QRectF(0, 0, 200, 100), 0.5, QSizeF(10, 20));
    p.view.setTrackedMixedMediaObjects({img});
    EXPECT_EQ(p.text(F::PercentField), "50");
    EXPECT_TRUE(p.enabled(F::PercentField));

    const int steps = p.undo().undoCount();
    p.type(F::WidthField, QStringLiteral("300"));
    // While typing, the other field follows; the typed one keeps the user's text.
    EXPECT_EQ(p.text(F::HeightField), "150");
    p.commit(F::WidthField);
    EXPECT_EQ((*img)->frame(), QRectF(0, 0, 300, 150));
    EXPECT_DOUBLE_EQ(*(*img)->zoomScale(), 0.75);
    EXPECT_EQ((*img)->zoomOffset(), QSizeF(15, 30));
    EXPECT_EQ(p.undo().undoCount(), steps + 1);

    p.type(F::PercentField, QStringLiteral("100"));
    p.commit(F::PercentField);
    EXPECT_EQ((*img)->frame(), QRectF(0, 0, 400, 200));
    EXPECT_DOUBLE_EQ(*(*img)->zoomScale(), 1.0);
    EXPECT_EQ((*img)->zoomOffset(), QSizeF(20, 40));
    EXPECT_EQ(p.undo().undoCount(), steps + 2);

    // After an undo with the image still tracked, the next edit scales from the zoom now in the model.
    p.undo().undo();
    QApplication::processEvents();
    EXPECT_DOUBLE_EQ(*(*img)->zoomScale(), 0.75);
    p.type(F::WidthField, QStringLiteral("600"));
    p.commit(F::WidthField);
    EXPECT_DOUBLE_EQ(*(*img)->zoomScale(), 1.5);
    EXPECT_EQ((*img)->frame(), QRectF(0, 0, 600, 300));
}

TEST(XYPalette, InvalidOrEmptiedEntriesWriteNothingAndCancelTheirChange)
{
    Palette p;
    const auto img = p.image(QRectF(0, 0, 200, 100), 0.5, QSizeF(0, 0));
    p.view.setTrackedMixedMediaObjects({img});
    const int steps = p.undo().undoCount();

    // Typed key by key, "0.5" passes through "0" and "0." without writing a zero width.
    auto* width = p.view.field(F::WidthField);
    width->selectAll();
    for (const QChar key : QStringLiteral("0.5")) {
        UserInput::typeText(width, QString(key));
        EXPECT_TRUE(sane((*img)->frame())) << width->text().toStdString();
        EXPECT_TRUE(std::isfinite(*(*img)->zoomScale()) && *(*img)->zoomScale() > 0);
    }
    EXPECT_DOUBLE_EQ((*img)->frame().width(), 0.5);
    p.commit(F::WidthField);
    p.undo().undo();
    QApplication::processEvents();

    // Single keys that are no size leave the frame as it was.
    for (const QString& entry : {QStringLiteral("-"), QStringLiteral("."), QStringLiteral("0")}) {
        p.type(F::WidthField, entry);
        EXPECT_EQ((*img)->frame(), QRectF(0, 0, 200, 100)) << entry.toStdString();
        p.type(F::PercentField, entry);
        EXPECT_EQ((*img)->frame(), QRectF(0, 0, 200, 100)) << entry.toStdString();
        EXPECT_DOUBLE_EQ(*(*img)->zoomScale(), 0.5);
    }
    // Whatever the keys pass through on the way, nothing infinite, negative or zero is written.
    for (const QString& entry :
         {QStringLiteral("1e999"), QStringLiteral("-40"), QStringLiteral("99999999999999999999")}) {
        p.type(F::WidthField, entry);
        EXPECT_TRUE(sane((*img)->frame())) << entry.toStdString();
        p.type(F::PercentField, entry);
        EXPECT_TRUE(sane((*img)->frame())) << entry.toStdString();
        EXPECT_TRUE(std::isfinite(*(*img)->zoomScale()) && *(*img)->zoomScale() > 0);
    }
    p.commit(F::PercentField);
    // Twenty digits is a large but finite number: whatever is written stays finite.
    p.type(F::XField, QStringLiteral("12345678901234567890"));
    EXPECT_TRUE(std::isfinite((*img)->frame().x()));
    p.commit(F::XField);

    // Earlier keystrokes are undone when the field ends empty, and the field shows the model again.
    const int before = p.undo().undoCount();
    const QRectF frame = (*img)->frame();
    p.type(F::YField, QStringLiteral("77"));
    EXPECT_EQ((*img)->frame().y(), 77);
    p.type(F::YField, QString());
    p.commit(F::YField);
    EXPECT_EQ((*img)->frame(), frame);
    EXPECT_EQ(p.undo().undoCount(), before);
    EXPECT_EQ(p.text(F::YField), "0");
    EXPECT_FALSE(p.changeOpen());
    EXPECT_GE(p.undo().undoCount(), steps);
}

TEST(XYPalette, ShapesTextsAndVideosFollowTheirOwnRules)
{
    Palette p;
    const auto shape = p.add(ZERI_MixedMediaObject::Shape, QRectF(0, 0, 100, 100));
    p.view.setTrackedMixedMediaObjects({shape});
    EXPECT_FALSE(p.view.constrainProportions());
    EXPECT_FALSE(p.enabled(F::PercentField));
    p.type(F::WidthField, QStringLiteral("250"));
    p.commit(F::WidthField);
    EXPECT_EQ((*shape)->frame(), QRectF(0, 0, 250, 100));

    // Any single object but a shape or a text scales its content through the percent field.
    const auto video = p.add(ZERI_MixedMediaObject::Video, QRectF(0, 0, 160, 90));
    (*video)->setZoomScale(0.5);
    p.view.setTrackedMixedMediaObjects({video});
    EXPECT_TRUE(p.enabled(F::PercentField));
    EXPECT_EQ(p.text(F::PercentField), "50");
    p.type(F::PercentField, QStringLiteral("100"));
    p.commit(F::PercentField);
    EXPECT_EQ((*video)->frame(), QRectF(0, 0, 320, 180));
    EXPECT_EQ((*video)->zoomScale(), 1.0);

    // Without a zoom scale there is nothing to scale from: the entry writes nothing rather than an endless frame.
    const auto pdf = p.add(ZERI_MixedMediaObject::PDF, QRectF(10, 10, 200, 100));
    p.view.setTrackedMixedMediaObjects({pdf});
    EXPECT_TRUE(p.enabled(F::PercentField));
    EXPECT_EQ(p.text(F::PercentField), " 0");
    const int steps = p.undo().undoCount();
    p.type(F::PercentField, QStringLiteral("50"));
    p.commit(F::PercentField);
    EXPECT_EQ((*pdf)->frame(), QRectF(10, 10, 200, 100));
    EXPECT_FALSE((*pdf)->zoomScale().has_value());
    EXPECT_EQ(p.undo().undoCount(), steps);

    const auto text = p.add(ZERI_MixedMediaObject::Text, QRectF(0, 0, 400, 100));
    auto model = text->as<ZERI_MMObject_Text>();
    ASSERT_TRUE(model);
    model->setText(QStringLiteral("A line of words long enough to wrap when the box narrows a good deal"));
    p.view.setTrackedMixedMediaObjects({text});
    EXPECT_FALSE(p.enabled(F::HeightField));
    EXPECT_FALSE(p.enabled(F::PercentField));
    p.type(F::WidthField, QStringLiteral("150"));
    p.commit(F::WidthField);
    // The height follows the width by the same factor.
    EXPECT_EQ((*text)->frame(), QRectF(0, 0, 150, 37.5));
    EXPECT_FALSE((*text)->zoomScale().has_value());
}

TEST(XYPalette, NewObjectsOrTheObjectsDeletionMidEditLeaveNoOpenChange)
{
    Palette p;
    const auto a = p.add(ZERI_MixedMediaObject::Shape, QRectF(0, 0, 100, 100));
    const auto b = p.add(ZERI_MixedMediaObject::Shape, QRectF(5, 5, 10, 10));
    p.view.setTrackedMixedMediaObjects({a});
    p.type(F::XField, QStringLiteral("30"));
    EXPECT_TRUE(p.changeOpen());
    p.view.setTrackedMixedMediaObjects({b});
    EXPECT_FALSE(p.changeOpen());
    EXPECT_EQ((*a)->frame().x(), 30);
    EXPECT_EQ(p.text(F::XField), "5");

    p.type(F::XField, QStringLiteral("8"));
    p.screen->removeMixedMediaObject(b);
    p.view.setTrackedMixedMediaObjects({});
    EXPECT_FALSE(p.changeOpen());
    EXPECT_FALSE(p.enabled(F::XField));
}

TEST(XYPalette, CreatorWindowHandsTheSelectionToTheRegisteredPalette)
{
    PaletteWindow w;
    const auto a = w.p->add(ZERI_MixedMediaObject::Shape, QRectF(10, 20, 30, 40));
    auto* palette = w.open();
    ASSERT_NE(palette, nullptr);
    auto* board = w.window->theArtBoard();
    auto* handler = QVR_InteractableViewHandler::handlerForBoard(board);
    ASSERT_NE(handler, nullptr);
    handler->setCurrentlySelected({board->singleScreen()->containerForMixedMediaObject(a)});
    QApplication::processEvents();
    EXPECT_EQ(palette->field(F::XField)->text(), "10");
    EXPECT_EQ(palette->field(F::HeightField)->text(), "40");
    handler->deselectAll();
    QApplication::processEvents();
    EXPECT_FALSE(palette->field(F::XField)->isEnabled());
}

TEST(XYPalette, SizeEditsRebuildTheCroppedPictureOnceWhenTheEditEnds)
{
    QTemporaryDir support, temporary;
    AppPaths::setApplicationSupportForTesting(support.path());
    AppPaths::setTemporaryForTesting(temporary.path());
    ZERI_qvdFilePackage::resetForTesting();
    ZERI_qvdFilePackage::registerWithDocumentModel();
    {
        Palette p;
        p.document->setDontSave(false);
        Error error;
        ASSERT_TRUE(ZERI_qvdFilePackage::saveModelToFile(p.document, &error)) << error.message.toStdString();
        const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(p.document->filePackage());
        ASSERT_TRUE(package);
        const QString original = package->assetsPath() + QStringLiteral("/original.png");
        QImage picture(400, 200, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        ASSERT_TRUE(picture.save(original));
        auto asset = ZERI_ContentAsset::create();
        asset->setExternalURL(QUrl::fromLocalFile(original));
        const auto img = p.add(ZERI_MixedMediaObject::Image, QRectF(0, 0, 200, 100));
        (*img)->setOriginalImageAsset(asset);
        (*img)->setZoomScale(0.5);
        p.view.setTrackedMixedMediaObjects({img});

        const auto before = (*img)->croppedImageAsset();
        p.type(F::WidthField, QStringLiteral("300"));
        QApplication::processEvents();
        EXPECT_EQ((*img)->croppedImageAsset(), before) << "no picture is cut while typing";
        p.commit(F::WidthField);
        EXPECT_TRUE(QTest::qWaitFor([&] { return (*img)->croppedImageAsset() != before; }, 2000));

        // A picture with only its original is drawn filling its frame: the percent is that scale's, and typed,
        // it scales the picture from there.
        const auto plain = p.add(ZERI_MixedMediaObject::Image, QRectF(0, 0, 100, 100));
        (*plain)->setOriginalImageAsset(asset);
        p.view.setTrackedMixedMediaObjects({plain});
        EXPECT_EQ(p.text(F::PercentField), "50");
        p.type(F::PercentField, QStringLiteral("100"));
        p.commit(F::PercentField);
        EXPECT_EQ((*plain)->frame(), QRectF(0, 0, 200, 200));
        EXPECT_DOUBLE_EQ((*plain)->zoomScale().value_or(0), 1.0);
    }
    ZERI_qvdFilePackage::resetForTesting();
    AppPaths::setApplicationSupportForTesting(QString());
    AppPaths::setTemporaryForTesting(QString());
}

TEST(XYPalette, OneClickFocusesAFieldSoItsKeysEditItAndNotTheSelection)
{
    PaletteWindow w;
    const auto shape = w.p->add(ZERI_MixedMediaObject::Shape, QRectF(10, 20, 30, 40));
    auto* palette = w.open();
    ASSERT_NE(palette, nullptr);
    QVR_CreatorWindow* window = w.window;
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    auto* board = window->theArtBoard();
    QVR_InteractableViewHandler::handlerForBoard(board)->setCurrentlySelected(
        {board->singleScreen()->containerForMixedMediaObject(shape)});
    QApplication::processEvents();

    auto* width = palette->field(F::WidthField);
    QTest::mouseClick(width, Qt::LeftButton, {}, QPoint(width->width() - 4, width->height() / 2));
    EXPECT_EQ(QApplication::focusWidget(), width);
    // Keys go where the keyboard focus is, as the user's do.
    const auto press = [&](Qt::Key key) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window;
        QTest::keyClick(target, key);
    };
    press(Qt::Key_Backspace);
    press(Qt::Key_Backspace);
    press(Qt::Key_8);
    press(Qt::Key_5);
    press(Qt::Key_Return);
    EXPECT_EQ(w.p->screen->mixedMediaObjects().size(), 1u) << "Backspace deleted the selected object";
    EXPECT_EQ(shape->object()->frame().width(), 85);
    EXPECT_EQ(width->text(), "85");
}

TEST(XYPalette, EntriesTakeTheLocalesDecimalSeparator)
{
    const QLocale previous;
    for (const QLocale& locale : {QLocale(QLocale::German), QLocale(QLocale::English)}) {
        QLocale::setDefault(locale);
        Palette p;
        const auto shape = p.add(ZERI_MixedMediaObject::Shape, QRectF(10, 20, 30, 40));
        p.view.setTrackedMixedMediaObjects({shape});
        p.type(F::WidthField, locale.decimalPoint() == "," ? QStringLiteral("12,5") : QStringLiteral("12.5"));
        p.commit(F::WidthField);
        EXPECT_EQ(shape->object()->frame().width(), 12.5) << locale.name().toStdString();
    }
    QLocale::setDefault(previous);
}

TEST(XYPalette, BesideTheDockedPopoverNeitherLiesOverTheOtherAtAnyWidth)
{
    PaletteWindow w;
    ASSERT_TRUE(w.open());
    const bool dockedBefore = Tessutils::isPopoverDocked();
    Tessutils::setIsPopoverDocked(false);
    QVRTopOfWindowDockToolbarView* strip = w.window->topDockBar();
    const auto apart = [&] {
        QWidget* palette = strip->xyPalette();
        QWidget* docked = strip->dockedPopoverView();
        return strip->isVisible() && palette->isVisible() && docked->isVisible() &&
               !palette->geometry().intersects(docked->geometry()) && strip->rect().contains(palette->geometry()) &&
               strip->rect().contains(docked->geometry());
    };
    // Shown at 900 × 650, and with the side menu open.
    w.window->resize(900, 650);
    QApplication::processEvents();
    w.window->performToggleXYPalette(0);
    w.window->performToggleDockedPopover(0);
    EXPECT_TRUE(QTest::qWaitFor(apart, 3000)) << w.window->width();
    w.p->document->setSideMenuOpen(true);
    EXPECT_TRUE(QTest::qWaitFor(apart, 3000)) << w.window->width();
    // Made as narrow as it goes, the window stops where both still fit.
    w.window->resize(200, 650);
    QApplication::processEvents();
    EXPECT_TRUE(QTest::qWaitFor(apart, 3000)) << w.window->width();
    w.p->document->setSideMenuOpen(false);
    w.window->performToggleDockedPopover(0);
    w.window->performToggleXYPalette(0);
    Tessutils::setIsPopoverDocked(dockedBefore);
}

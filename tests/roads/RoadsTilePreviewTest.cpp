#include <gtest/gtest.h>

#include <functional>

#include <QAbstractButton>
#include <QApplication>
#include <QColor>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "app/QVRAppDelegate.h"
#include "controls/AsynchronousRenderImageView.h"
#include "creator/addition/QVR_AddElementMenuViewController.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "elements/video/MediaTestClips.h"
#include "elements/views/QVRCompressionSelectionViewController.h"
#include "library/lists/QVRMyTessarinesViewController.h"
#include "library/lists/QVRTessarineTileGridItemView.h"
#include "roads/RoadsTestSupport.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"
#include "support/UserInput.h"
#include "tessarine_data_model/VideoCompressionManager.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using namespace roads;

namespace {

using Type = ZERI_MixedMediaObject::Type;

class TilePreviewRoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        application();
        ASSERT_TRUE(inputs.isValid());
        ASSERT_TRUE(leaveFirstLaunchTour());
    }
    void TearDown() override
    {
        closeDocumentWindows();
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && (qobject_cast<QMessageBox*>(widget) || qobject_cast<QFileDialog*>(widget)))
                widget->close();
        }
    }

    QTemporaryDir inputs;
};

bool isRed(const QColor& color)
{
    return color.red() > 200 && color.green() < 60 && color.blue() < 60;
}

// The tile of a package in My Documents, once shown.
QVRTessarineTileGridItemView* tileOf(const QString& packageID)
{
    QVRTessarineTileGridItemView* tile = nullptr;
    waitFor([&] {
        for (auto* candidate : application().listsWindow()->findChildren<QVRTessarineTileGridItemView*>()) {
            if (candidate->isVisible() && candidate->filePackage() &&
                candidate->filePackage()->packageID() == packageID)
                tile = candidate;
        }
        return tile != nullptr;
    });
    return tile;
}

// Waits until the tile shows `wanted` where its picture shows the screen's point `at` (model units), read from what
// the window put on screen; false (with what it showed) when it never does.
bool tileShows(QVRTessarineTileGridItemView* tile, QPointF at, const std::function<bool(const QColor&)>& wanted,
               QColor* shown)
{
    auto* picture = tile->findChild<AsynchronousRenderImageView*>();
    if (!picture)
        return false;
    const QPoint inside =
        picture->mapTo(tile, QPoint(int(at.x() * picture->width() / 1024.0), int(at.y() * picture->height() / 748.0)));
    return waitFor(
        [&] {
            UserInput::letRepaintsHappen();
            *shown = UserInput::shownColor(tile, inside);
            return wanted(*shown);
        },
        20000);
}

} // namespace

// A new document from the + tile, a red picture put on its first screen through Insert › Image, the creator
// window closed: the document's tile in My Documents shows that first screen, red picture included.
TEST_F(TilePreviewRoad, TheTileShowsThePictureInsertedBeforeTheCreatorWindowClosed)
{
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    const auto document = shownScreen(window)->tessarineModel();
    ASSERT_TRUE(document && document->filePackage());
    const QString packageID = document->filePackage()->packageID();

    const QString red = makePicture(inputs.filePath(QStringLiteral("red.png")), "PNG", Qt::red);
    ASSERT_FALSE(red.isEmpty());
    ASSERT_TRUE(insert(window, &QVR_AddElementMenuViewController::imageCell));
    ASSERT_TRUE(answerFileDialog(red));
    ASSERT_TRUE(waitFor([&] { return countObjects(shownScreen(window), Type::Image) == 1; }));
    ASSERT_TRUE(waitFor([&] { return window->theToolBarView()->insertButton()->isEnabled(); }));

    window->close();
    ASSERT_TRUE(waitFor([&] { return creatorWindows().isEmpty(); }));

    QWidget* lists = application().listsWindow();
    ASSERT_TRUE(lists);
    QVRTessarineTileGridItemView* tile = nullptr;
    ASSERT_TRUE(waitFor([&] {
        for (auto* candidate : lists->findChildren<QVRTessarineTileGridItemView*>()) {
            if (candidate->isVisible() && candidate->filePackage() &&
                candidate->filePackage()->packageID() == packageID)
                tile = candidate;
        }
        return tile != nullptr;
    }));
    auto* picture = tile->findChild<AsynchronousRenderImageView*>();
    ASSERT_TRUE(picture);

    // The picture lies over the screen's top left: a quarter of the way in, the tile shows red, read from what
    // the window put on screen.
    const QPoint inside = picture->mapTo(tile, QPoint(picture->width() / 4, picture->height() / 4));
    QColor shown;
    const bool sawRed = waitFor(
        [&] {
            UserInput::letRepaintsHappen();
            shown = UserInput::shownColor(tile, inside);
            return isRed(shown);
        },
        20000);
    EXPECT_TRUE(sawRed) << "the tile shows " << shown.name().toStdString() << " where the red picture lies; its "
                        << "preview is " << tile->filePackage()->metaData().previewScreenshotFilePath().toStdString();
}

// A video inserted into a new document is being re-encoded when its creator window closes; the user answers the
// question with Close, which stops the run. The document's tile shows its first screen, the red picture put on
// top of the video included, not a blank picture.
TEST_F(TilePreviewRoad, TheTileOfADocumentWhoseVideoRunWasStoppedShowsItsFirstScreen)
{
    if (!MediaTestClips::toolsAvailable())
        GTEST_SKIP() << "no tools to make a video here";
    const QString mp4 = inputs.filePath(QStringLiteral("long.mp4"));
    ASSERT_TRUE(MediaTestClips::makeVideo(mp4, 1280, 720, 20.0, 44100));
    const QString red = makePicture(inputs.filePath(QStringLiteral("red.png")), "PNG", Qt::red);
    ASSERT_FALSE(red.isEmpty());
    // The clip stays under way until the close stops it, however fast or busy the machine.
    HeldReencodings held;

    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    const auto document = window->currentModel();
    ASSERT_TRUE(document && document->filePackage());
    const QString packageID = document->filePackage()->packageID();

    ASSERT_TRUE(insert(window, &QVR_AddElementMenuViewController::videoCell));
    ASSERT_TRUE(answerFileDialog(mp4));
    QVRCompressionSelectionViewController* presets = nullptr;
    ASSERT_TRUE(waitFor([&] { return (presets = openedMenu<QVRCompressionSelectionViewController>()) != nullptr; }));
    click(presets->smallButton());
    ASSERT_TRUE(waitFor([&] { return countObjects(shownScreen(window), Type::Video) == 1; }));
    ASSERT_TRUE(waitFor([&] { return window->theToolBarView()->insertButton()->isEnabled(); }));
    ASSERT_TRUE(insert(window, &QVR_AddElementMenuViewController::imageCell));
    ASSERT_TRUE(answerFileDialog(red));
    ASSERT_TRUE(waitFor([&] { return countObjects(shownScreen(window), Type::Image) == 1; }));
    ASSERT_TRUE(waitFor([&] { return window->theToolBarView()->insertButton()->isEnabled(); }));
    const auto compression = document->documentVideoCompressionManager();
    ASSERT_TRUE(waitFor([&] { return compression && compression->currentlyCompressingAsset(); }))
        << "the clip is not being re-encoded";
    QRectF picture;
    for (const auto& object : shownScreen(window)->mixedMediaObjects())
        if ((*object)->type() == Type::Image)
            picture = (*object)->frame();

    // The question is answered from a timer: the close waits in its own loop for the answer.
    bool asked = false;
    QTimer answer;
    answer.setInterval(20);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* alert = visibleTopLevel<QMessageBox>();
        if (!alert || asked)
            return;
        for (QAbstractButton* button : alert->buttons())
            if (button->text() == UFM::SAYS_CLOSE()) {
                asked = true;
                button->click();
            }
    });
    answer.start();
    window->activateWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == window; }));
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("closeWindow")));
    ASSERT_TRUE(waitFor([&] { return creatorWindows().isEmpty(); }));
    answer.stop();
    ASSERT_TRUE(asked) << "closing stops the run, so the user is asked";

    QVRTessarineTileGridItemView* tile = tileOf(packageID);
    ASSERT_TRUE(tile);
    QColor shown;
    // Away from the yellow patch of the picture.
    const QPointF inRed = picture.topLeft() + QPointF(picture.width() * 0.1, picture.height() * 0.85);
    EXPECT_TRUE(tileShows(tile, inRed, isRed, &shown))
        << "the tile shows " << shown.name().toStdString() << " where the red picture lies; its preview is "
        << tile->filePackage()->metaData().previewScreenshotFilePath().toStdString();
}

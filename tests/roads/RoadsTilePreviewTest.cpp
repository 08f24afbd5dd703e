#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>

#include "app/QVRAppDelegate.h"
#include "controls/AsynchronousRenderImageView.h"
#include "creator/addition/QVR_AddElementMenuViewController.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "library/lists/QVRMyTessarinesViewController.h"
#include "library/lists/QVRTessarineTileGridItemView.h"
#include "roads/RoadsTestSupport.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "support/UserInput.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
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

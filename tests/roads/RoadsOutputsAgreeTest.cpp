#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <typeinfo>

#include <QApplication>
#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonObject>
#include <QMessageBox>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "app/QVRAppDelegate.h"
#include "controls/HoverAreaView.h"
#include "controls/NavigationController.h"
#include "controls/QVR_AsynchronousRenderWebImageView.h"
#include "controls/SheetLikePanelViewController.h"
#include "creator/addition/QVR_AddElementMenuViewController.h"
#include "creator/addition/QVR_AddShapeMenuViewController.h"
#include "creator/addition/QVR_AddStreamingVideoViewController.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/crop/QVR_CropHandle.h"
#include "creator/crop/QVR_CropPopoverButtonsView.h"
#include "creator/crop/QVR_CropView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/thumbnails/QVRThumbnailBar.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "elements/gallery/QVRGalleryEditorViewController.h"
#include "elements/video/MediaTestClips.h"
#include "elements/views/QVRCompressionSelectionViewController.h"
#include "foundation/Tessutils.h"
#include "inspector/links/QVR_ExternalLinkSelectionViewController.h"
#include "inspector/links/QVR_FlowEmbedLinkSelectionViewController.h"
#include "inspector/links/QVR_LinkTypeSelectionViewController.h"
#include "inspector/links/QVR_ScreenLinkSelectionViewController.h"
#include "inspector/popovers/QVRMMObjToolbarPopoverBase.h"
#include "library/lists/QVRMyTessarinesViewController.h"
#include "library/lists/QVRTessarineTileGridItemView.h"
#include "library/lists/TilePreviews.h"
#include "library/themes/QVRTemplateChooserWindowController.h"
#include "library/themes/QVR_TemplateChooserThumbnailController.h"
#include "library/themes/QVR_TemplateChooserViewController.h"
#include "library/themes/QVR_TemplateCollectionViewObject.h"
#include "roads/RoadsMatrix.h"
#include "roads/RoadsTestSupport.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "storage/ZERI_qvdFilePackageMetadata.h"
#include "strings/UFM.h"
#include "support/TestEnvironment.h"
#include "support/TestPictures.h"
#include "support/UserInput.h"
#include "support/fakeservice/FakeWebService.h"
#include "pptx/TestDeck.h"
#include "pptx/import/QVRPowerpointOverviewWindowController.h"
#include "tessarine_data_model/ObjectPicture.h"
#include "tessarine_data_model/QVB_GalleryAssetManager.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/QVRViewerTitleBarButtonsHolderView.h"
#include "viewer/QVRViewerViewController.h"
#include "viewer/QVRViewerWindow.h"
#include "viewer/QVR_TessarineViewerView.h"
#include "viewer/QVRiPadPreviewWindow.h"

using namespace roads;
using namespace roads::matrix;

namespace {

using Type = ZERI_MixedMediaObject::Type;
using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;

enum class Kind {
    Text,
    Shape,
    Picture,
    CroppedPicture,
    TurnedPicture,
    VideoFile,
    PhoneClip,
    YouTube,
    Vimeo,
    Audio,
    Pdf,
    Gallery,
    ScreenLink,
    WebLink,
    FlowLink
};

struct KindCase {
    Kind kind;
    const char* name;
    int type;
    // Drawn from a picture of four coloured quarters (or a clip of two colours): each output must show them the
    // way the canvas does. The other kinds must only show something where the object stands.
    bool oriented;
};

const KindCase kKinds[] = {
    {Kind::ScreenLink, "ScreenLink", Type::Shape, false}, // first: its second screen is a copy of an empty one
    {Kind::Text, "Text", Type::Text, false},
    {Kind::Shape, "Shape", Type::Shape, false},
    {Kind::Picture, "Picture", Type::Image, true},
    {Kind::CroppedPicture, "CroppedPicture", Type::Image, true},
    {Kind::TurnedPicture, "TurnedPicture", Type::Image, true},
    {Kind::VideoFile, "VideoFile", Type::Video, true},
    {Kind::PhoneClip, "PhoneClip", Type::Video, true},
    {Kind::YouTube, "YouTubeVideo", Type::Video, false},
    {Kind::Vimeo, "VimeoVideo", Type::Video, false},
    {Kind::Audio, "Audio", Type::Audio, false},
    {Kind::Pdf, "Pdf", Type::PDF, false},
    {Kind::Gallery, "Gallery", Type::Gallery, true},
    {Kind::WebLink, "WebLink", Type::Shape, false},
    {Kind::FlowLink, "FlowLink", Type::Shape, false},
};

int indexOf(Kind kind)
{
    for (int index = 0; index < int(std::size(kKinds)); ++index)
        if (kKinds[index].kind == kind)
            return index;
    return -1;
}

const char* const kOutputs[] = {"canvas", "player", "strip", "tile", "pdf", "print"};

// The screen's cells: 6 across, 3 down; the kinds take the first ones, an edit made later the last.
constexpr int kColumns = 6;
constexpr int kRows = 3;
constexpr QSize kScreen(1024, 748);
constexpr int kEditCell = kColumns * kRows - 1;

QRectF cell(int index)
{
    const double w = double(kScreen.width()) / kColumns;
    const double h = double(kScreen.height()) / kRows;
    return QRectF((index % kColumns) * w, (index / kColumns) * h, w, h);
}

// The document linked to by the flow link.
constexpr const char* kLinkedDocument = "agreelinked";

// A picture of four coloured quarters: which way up it shows can be told.
QString makeQuartersPicture(const QString& path)
{
    QImage image(160, 120, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, 80, 60, QColor(220, 30, 30));
    painter.fillRect(80, 0, 80, 60, QColor(30, 180, 40));
    painter.fillRect(0, 60, 80, 60, QColor(30, 40, 220));
    painter.fillRect(80, 60, 80, 60, QColor(240, 220, 20));
    painter.end();
    return image.save(path) ? path : QString();
}

// A PDF of two pages, the first orange above purple: its picture shows where it stands.
QString makeColouredPdf(const QString& path)
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A5));
    writer.setResolution(72);
    QPainter painter(&writer);
    const QRect page = painter.viewport();
    painter.fillRect(QRect(page.topLeft(), QSize(page.width(), page.height() / 2)), QColor(240, 140, 20));
    painter.fillRect(QRect(QPoint(0, page.height() / 2), QSize(page.width(), page.height() / 2)), QColor(120, 40, 160));
    writer.newPage();
    painter.fillRect(page, QColor(40, 140, 60));
    painter.end();
    return path;
}

// ---- Looking at outputs --------------------------------------------------------------------------------------

int distance(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

QColor meanColor(const QImage& image, const QRectF& area)
{
    const QRect r = area.toAlignedRect().intersected(image.rect());
    if (r.isEmpty())
        return {};
    qint64 red = 0, green = 0, blue = 0, count = 0;
    const int step = std::max(1, std::min(r.width(), r.height()) / 12);
    for (int y = r.top(); y <= r.bottom(); y += step)
        for (int x = r.left(); x <= r.right(); x += step) {
            const QRgb pixel = image.pixel(x, y);
            red += qRed(pixel);
            green += qGreen(pixel);
            blue += qBlue(pixel);
            ++count;
        }
    return QColor(int(red / count), int(green / count), int(blue / count));
}

// The colour around a frame: the screen's own there.
QColor backgroundAround(const QImage& image, const QRectF& frame)
{
    QList<QColor> ring;
    const QRectF outer = frame.adjusted(-10, -10, 10, 10);
    for (int i = 0; i < 8; ++i) {
        const double t = (i + 0.5) / 8;
        for (const QPointF& point : {QPointF(outer.left() + 3, outer.top() + t * outer.height()),
                                     QPointF(outer.right() - 3, outer.top() + t * outer.height()),
                                     QPointF(outer.left() + t * outer.width(), outer.top() + 3),
                                     QPointF(outer.left() + t * outer.width(), outer.bottom() - 3)}) {
            if (image.rect().contains(point.toPoint()))
                ring << image.pixelColor(point.toPoint());
        }
    }
    if (ring.isEmpty())
        return Qt::white;
    std::sort(ring.begin(), ring.end(), [](const QColor& a, const QColor& b) { return a.lightness() < b.lightness(); });
    return ring.at(ring.size() / 2);
}

struct Look {
    bool shown = false;
    bool inPlace = false;
    QColor quarters[4];
};

// What an output shows of the object whose frame is `frame` (screen units; the image is the screen at 1024 × 748).
Look look(const QImage& image, const QRectF& frame)
{
    Look seen;
    const QColor background = backgroundAround(image, frame);
    const QRectF inner =
        frame.adjusted(frame.width() * 0.06, frame.height() * 0.06, -frame.width() * 0.06, -frame.height() * 0.06);
    int drawn = 0, total = 0;
    QRectF marked;
    for (int row = 0; row < 10; ++row)
        for (int column = 0; column < 12; ++column) {
            const QPointF point(inner.left() + (column + 0.5) * inner.width() / 12,
                                inner.top() + (row + 0.5) * inner.height() / 10);
            ++total;
            if (!image.rect().contains(point.toPoint()))
                continue;
            if (distance(image.pixelColor(point.toPoint()), background) > 60) {
                ++drawn;
                marked = marked.isNull() ? QRectF(point, QSizeF(1, 1)) : marked.united(QRectF(point, QSizeF(1, 1)));
            }
        }
    seen.shown = drawn >= 2;
    // Something drawn across the middle of the frame, not only at one edge: the object stands where it should.
    seen.inPlace = seen.shown && marked.intersects(frame.adjusted(frame.width() * 0.3, frame.height() * 0.3,
                                                                  -frame.width() * 0.3, -frame.height() * 0.3));
    const QRectF q =
        inner.adjusted(inner.width() * 0.1, inner.height() * 0.1, -inner.width() * 0.1, -inner.height() * 0.1);
    const double w = q.width() / 2, h = q.height() / 2;
    seen.quarters[0] = meanColor(image, QRectF(q.left(), q.top(), w, h));
    seen.quarters[1] = meanColor(image, QRectF(q.left() + w, q.top(), w, h));
    seen.quarters[2] = meanColor(image, QRectF(q.left(), q.top() + h, w, h));
    seen.quarters[3] = meanColor(image, QRectF(q.left() + w, q.top() + h, w, h));
    return seen;
}

// The verdict of one cell of the table: empty when the output agrees with the canvas of reference.
QString judge(const QImage& image, const QImage& reference, const KindCase& kind, const QRectF& frame)
{
    if (image.isNull())
        return QStringLiteral("no picture");
    const Look seen = look(image, frame);
    if (!seen.shown)
        return QStringLiteral("not shown");
    if (!seen.inPlace && kind.kind != Kind::Text)
        return QStringLiteral("not in its place");
    if (kind.oriented && !reference.isNull()) {
        const Look expected = look(reference, frame);
        for (int i = 0; i < 4; ++i) {
            if (distance(seen.quarters[i], expected.quarters[i]) > 150)
                return QStringLiteral("turned or changed (quarter %1 %2, canvas %3)")
                    .arg(i)
                    .arg(seen.quarters[i].name(), expected.quarters[i].name());
        }
    }
    return {};
}

QImage normalised(const QImage& image)
{
    if (image.isNull())
        return {};
    return image.convertToFormat(QImage::Format_RGB32).scaled(kScreen, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// The screen as a scroll view of an art board shows it (canvas, player).
QImage boardImage(QVR_ArtBoardScrollView* scroll)
{
    UserInput::letRepaintsHappen(150);
    const QRect area = scroll->mapFromScene(QRectF(QPointF(0, 0), QSizeF(kScreen))).boundingRect();
    if (!scroll->viewport()->rect().contains(area.adjusted(1, 1, -1, -1))) {
        ADD_FAILURE() << "the screen does not show whole: " << area.width() << "x" << area.height() << " in "
                      << scroll->viewport()->width() << "x" << scroll->viewport()->height();
        return {};
    }
    return normalised(scroll->viewport()->grab(area).toImage());
}

QImage pdfPageImage(const QString& path, bool printed)
{
    QPdfDocument pdf;
    if (pdf.load(path) != QPdfDocument::Error::None || pdf.pageCount() < 1)
        return {};
    const QSizeF paper = pdf.pagePointSize(0);
    QRectF screen(QPointF(0, 0), paper);
    if (printed) {
        // Printed: the screen fitted into 95 % of the paper, centred.
        const QSizeF box(std::trunc(paper.width()) * 0.95, std::trunc(paper.height()) * 0.95);
        const QSizeF fitted = QSizeF(kScreen).scaled(box, Qt::KeepAspectRatio);
        screen = QRectF(QPointF((paper.width() - fitted.width()) / 2, (paper.height() - fitted.height()) / 2), fitted);
    }
    const double scale = kScreen.width() / screen.width();
    const QImage page = pdf.render(0, (paper * scale).toSize());
    const QRectF inPixels(screen.topLeft() * scale, screen.size() * scale);
    return normalised(page.copy(inPixels.toAlignedRect()));
}

QVR_TessarineViewerView* playerView(QVRViewerWindow* viewer)
{
    return viewer->windowController()->tessarineViewerViewController()->viewerView();
}

QImage playerImage(QVRViewerWindow* viewer)
{
    QVR_TessarineViewerView* view = playerView(viewer);
    if (!waitFor([&] { return view->numScreens() > 0; }, 30000))
        return {};
    if (view->currentPage() != 0)
        view->scrollToPage(0, false);
    waitFor([&] { return view->currentPage() == 0 && !view->isAnimating(); }, 5000);
    QTest::qWait(500); // the pictures of the page are read a moment after it shows
    return boardImage(view->singleScreensArray().at(0)->theScrollView());
}

// ---- Making the document ------------------------------------------------------------------------------------

Proxy addedObject(QVR_CreatorWindow* window, int type, int before, int timeoutMs = 20000)
{
    if (!waitFor([&] { return countObjects(shownScreen(window), type) == before + 1; }, timeoutMs))
        return nullptr;
    if (!waitFor([&] { return window->theToolBarView()->insertButton()->isEnabled(); }, timeoutMs))
        return nullptr;
    Proxy last;
    for (const Proxy& object : shownScreen(window)->mixedMediaObjects())
        if ((*object)->type() == type)
            last = object;
    return last;
}

Proxy insertShape(QVR_CreatorWindow* window)
{
    const int before = countObjects(shownScreen(window), Type::Shape);
    if (!insert(window, &QVR_AddElementMenuViewController::shapeCell))
        return nullptr;
    QVR_AddShapeMenuViewController* shapes = nullptr;
    if (!waitFor([&] { return (shapes = openedMenu<QVR_AddShapeMenuViewController>()) != nullptr; }))
        return nullptr;
    click(shapes->menuView()->buttons().first());
    return addedObject(window, Type::Shape, before);
}

template <class T> T* sheetPage(QVR_CreatorWindow* window)
{
    T* page = nullptr;
    waitFor(
        [&] {
            SheetLikePanelViewController* panel = window->sheetLikeViewController();
            page = panel ? qobject_cast<T*>(panel->navigationController()->topViewController()) : nullptr;
            return page && page->view()->isVisible();
        },
        5000);
    return page;
}

void clickObject(QVR_CreatorWindow* window, const Proxy& object)
{
    QVR_ArtBoardScrollView* view = window->theArtBoard()->theScrollView();
    QTest::qWait(400); // not a double click on what was clicked before
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->mapFromScene((*object)->frame().center()));
}

// The object clicked until it is the one selected.
bool selectObject(QVR_CreatorWindow* window, const Proxy& object)
{
    auto* container = window->theArtBoard()->singleScreen()->containerForMixedMediaObject(object);
    const auto selected = [&] {
        const auto views = window->selectedItemView()->selectedViews();
        return views.size() == 1 && views.front() == container;
    };
    for (int attempt = 0; attempt < 3 && !selected(); ++attempt) {
        clickObject(window, object);
        waitFor(selected, 2000);
    }
    return selected();
}

template <class Editor>
Editor* openLinkEditor(QVR_CreatorWindow* window, const Proxy& object,
                       QPushButton* (QVR_LinkTypeSelectionViewController::*type)() const)
{
    clickObject(window, object);
    if (!waitFor([&] { return window->selectedItemView()->selectedViews().size() == 1; }, 5000))
        return nullptr;
    auto* container = window->theArtBoard()->singleScreen()->containerForMixedMediaObject(object);
    QVRMMObjToolbarPopoverBase* popover = nullptr;
    if (!waitFor(
            [&] {
                popover =
                    container ? dynamic_cast<QVRMMObjToolbarPopoverBase*>(container->popoverController()) : nullptr;
                QWidget* link = popover ? popover->toolbarViewWithTag(QVRToolbarPopoverController::LinkTag) : nullptr;
                return link && link->isVisible();
            },
            5000))
        return nullptr;
    click(popover->toolbarViewWithTag(QVRToolbarPopoverController::LinkTag));
    QVR_LinkTypeSelectionViewController* chooser = nullptr;
    if (!waitFor(
            [&] {
                chooser = window->findChild<QVR_LinkTypeSelectionViewController*>();
                return chooser && (chooser->*type)() && (chooser->*type)()->isVisible();
            },
            5000))
        return nullptr;
    click((chooser->*type)());
    return sheetPage<Editor>(window);
}

// Drags on the canvas's viewport from `from` by `by`, as a hand does.
void dragOnCanvas(QVR_CreatorWindow* window, QPoint from, QPoint by)
{
    QWidget* viewport = window->theArtBoard()->theScrollView()->viewport();
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    for (const QPoint step : {by / 2, by}) {
        QMouseEvent move(QEvent::MouseMove, QPointF(from + step), viewport->mapToGlobal(QPointF(from + step)),
                         Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &move);
    }
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, from + by);
}

// The picture's popover Crop, its top left crop handle dragged in, then Crop. False, with the step that failed
// added, when it could not be done.
bool cropPicture(QVR_CreatorWindow* window, const Proxy& picture)
{
    QVR_ArtBoardScrollView* view = window->theArtBoard()->theScrollView();
    if (!selectObject(window, picture)) {
        auto* container = window->theArtBoard()->singleScreen()->containerForMixedMediaObject(picture);
        QVR_ArtBoardScrollView* scroll = window->theArtBoard()->theScrollView();
        const QPoint at = scroll->mapFromScene((*picture)->frame().center());
        QGraphicsItem* hit = scroll->itemAt(at);
        ADD_FAILURE() << "the picture is not selected by a click: "
                      << window->selectedItemView()->selectedViews().size() << " selected; container "
                      << (container ? "found" : "missing") << " at "
                      << (container ? container->sceneBoundingRect().x() : -1) << ","
                      << (container ? container->sceneBoundingRect().y() : -1) << " frame " << (*picture)->frame().x()
                      << "," << (*picture)->frame().y() << " click " << at.x() << "," << at.y() << " viewport "
                      << scroll->viewport()->width() << "x" << scroll->viewport()->height() << " hit "
                      << (hit ? typeid(*hit).name() : "nothing");
        return false;
    }
    auto* container = window->theArtBoard()->singleScreen()->containerForMixedMediaObject(picture);
    QWidget* cropButton = nullptr;
    if (!waitFor([&] {
            auto* popover =
                container ? dynamic_cast<QVRMMObjToolbarPopoverBase*>(container->popoverController()) : nullptr;
            cropButton = popover ? popover->toolbarViewWithTag(QVRToolbarPopoverController::CropTag) : nullptr;
            return cropButton && cropButton->isVisible();
        })) {
        ADD_FAILURE() << "no Crop in the picture's popover";
        return false;
    }
    auto* handler = QVR_InteractableViewHandler::handlerForBoard(window->theArtBoard());
    // The popover takes clicks once it has faded in; a click before then is tried again, as a person would.
    bool cropping = false;
    for (int attempt = 0; attempt < 4 && !cropping; ++attempt) {
        QTest::qWait(300);
        click(cropButton);
        cropping = waitFor([&] { return handler->isCropping() && handler->cropView(); }, 2000);
    }
    if (!cropping) {
        ADD_FAILURE() << "Crop did not start cropping";
        return false;
    }
    QVR_CropView* crop = handler->cropView();
    const QGraphicsItem* handle = crop->handleAtPosition(0);
    const QPoint from =
        handle->deviceTransform(view->viewportTransform()).mapRect(handle->boundingRect()).center().toPoint();
    const QRectF before = (*picture)->frame();
    dragOnCanvas(window, from, QPoint(20, 15));
    if (!waitFor([&] { return crop->cropPopoverButtonsView() != nullptr; }, 5000)) {
        ADD_FAILURE() << "no crop buttons after the handle was dragged";
        return false;
    }
    click(crop->cropPopoverButtonsView()->cropButton());
    if (!waitFor([&] { return !handler->isCropping(); }) || !waitFor([&] { return !handler->isBusy(); })) {
        ADD_FAILURE() << "the crop did not end";
        return false;
    }
    if ((*picture)->frame() == before) {
        ADD_FAILURE() << "the crop left the frame as it was";
        return false;
    }
    return true;
}

// The picture selected and turned a quarter by its rotate handle.
bool turnPicture(QVR_CreatorWindow* window, const Proxy& picture)
{
    QVR_ArtBoardScrollView* view = window->theArtBoard()->theScrollView();
    QVR_SelectedItemView* selection = window->selectedItemView();
    if (!selectObject(window, picture))
        return false;
    selection->selectedViewsDidChange();
    auto* handler = QVR_InteractableViewHandler::handlerForBoard(window->theArtBoard());
    const auto area = [&](bool rotate) {
        const QGraphicsItem* handle = selection->handle(1, rotate);
        return handle->deviceTransform(view->viewportTransform()).mapRect(handle->boundingRect());
    };
    const QRectF outer = area(true);
    const QPointF inner = area(false).center();
    const QPoint from = QPointF(inner.x() < outer.center().x() ? outer.right() - 3 : outer.left() + 3,
                                inner.y() < outer.center().y() ? outer.bottom() - 3 : outer.top() + 3)
                            .toPoint();
    dragOnCanvas(window, from, QPoint(-50, 150));
    return waitFor([&] { return !handler->isBusy(); }) && waitFor([&] { return (*picture)->rotation() != 0; }, 5000);
}

// Moves the object into its cell, kept at its shape and no larger than the cell allows.
void placeInCell(const Proxy& object, int index)
{
    const QRectF target = cell(index).adjusted(14, 30, -14, -30);
    QSizeF size = (*object)->frame().size();
    if (size.width() > target.width() || size.height() > target.height())
        size.scale(target.size(), Qt::KeepAspectRatio);
    QRectF frame(QPointF(0, 0), size);
    frame.moveCenter(target.center());
    // Scaled as a corner handle scales it: its picture's zoom and offset go with the frame.
    const double factor = (*object)->frame().width() > 0 ? size.width() / (*object)->frame().width() : 1.0;
    if (const auto zoom = (*object)->zoomScale(); zoom && factor != 1.0) {
        (*object)->setZoomScale(*zoom * factor);
        (*object)->setZoomOffset((*object)->zoomOffset() * factor);
    }
    (*object)->setFrame(frame);
    object->updateNotifier().sendUpdateNotificationsIfNeeded();
}

// The package's tile in My Documents clicked: its creator window, shown. The tile is looked up for each click (the
// grid makes its tiles anew when their texts change).
QVR_CreatorWindow* openFromTile(const QString& packageID)
{
    QVR_CreatorWindow* window = nullptr;
    for (int attempt = 0; attempt < 3 && !window; ++attempt) {
        if (!bringHomeWindowToFront())
            continue;
        QVRTessarineTileGridItemView* tile = nullptr;
        if (!waitFor([&] { return (tile = tileOf(packageID)) != nullptr && !tile->isOpening(); }))
            continue;
        click(tile);
        waitFor([&] { return (window = creatorShowing(packageID)) && shownScreen(window); }, 15000);
    }
    if (!window) {
        QWidget* active = QApplication::activeWindow();
        ADD_FAILURE() << "the tile did not open its document; in front: "
                      << (active ? active->metaObject()->className() : "nothing");
        return nullptr;
    }
    window->resize(1100, 1150);
    return window;
}

// The template the service offers beside the scratch one: a coloured background and a picture of its own, the
// picture in a cell the kinds leave free.
constexpr const char* kTemplateID = "agreetemplate";
const QColor kTemplateBackground(255, 236, 179);
const QColor kTemplatePicture(20, 120, 60);
constexpr int kTemplateCell = kColumns * kRows - 2;

void offerTemplate()
{
    FakeWebService* fake = matrix::service();
    const QString id = QString::fromLatin1(kTemplateID);
    auto sample = ZERI_TessarineModel::create();
    sample->firstFlowmodel()->setTitle(id);
    auto screen = ZERI_FlowScreenModel::create();
    screen->setBackgroundColor(kTemplateBackground);
    sample->firstFlowmodel()->addFlowScreen(screen);
    auto picture = ZERI_MixedMediaObject::objectWithType(Type::Image);
    (*picture)->setFrame(cell(kTemplateCell).adjusted(20, 60, -20, -60));
    auto asset = ZERI_ContentAsset::create();
    asset->setExternalURL(fake->addContent(QStringLiteral("template-picture"),
                                           pictureBytes(QSize(240, 160), kTemplatePicture, "PNG"),
                                           QStringLiteral("picture.png")));
    (*picture)->setOriginalImageAsset(asset);
    screen->addMixedMediaObject(picture);
    const QUrl sampleURL =
        fake->addContent(QStringLiteral("template-sample"), sample->jsonData(), QStringLiteral("sample.json"));
    const QUrl iconURL =
        fake->addContent(QStringLiteral("template-icon"), pictureBytes(QSize(200, 150), kTemplateBackground, "PNG"),
                         QStringLiteral("icon.png"));
    const QJsonObject entry{{"themeId", id},
                            {"id", "api-" + id},
                            {"themePriority", 5},
                            {"themeTextColors", QJsonArray{"0x0E4D64"}},
                            {"themeBackgroundColors", QJsonArray{"0xFFECB3FF"}},
                            {"themeIconImage", QJsonObject{{"icon", QJsonObject{{"url", ""}}},
                                                           {"icon2x", QJsonObject{{"url", iconURL.toString()}}}}},
                            {"themeSampleJSON", QJsonObject{{"url", sampleURL.toString()}}}};
    fake->withState([&](FakeWebService::State& state) { state.templates = QJsonArray{entry}; });
}

// File › New in the home window, then Choose on the tile of `templateID` once the service's list has brought it:
// the new document's creator window, shown.
QVR_CreatorWindow* createDocumentFromTemplate(const QString& templateID)
{
    QWidget* lists = application().listsWindow();
    if (!lists || !bringHomeWindowToFront() || !chooseMenuItem(lists, QStringLiteral("new")))
        return nullptr;
    const QList<QVR_CreatorWindow*> before = creatorWindows();
    QVR_TemplateCollectionViewObject* chosen = nullptr;
    if (!waitFor(
            [&] {
                auto* controller = QVRTemplateChooserWindowController::existingInstance();
                if (!controller || !controller->myWindow() || !controller->myWindow()->isVisible())
                    return false;
                chosen = nullptr;
                for (QVR_TemplateCollectionViewObject* tile :
                     controller->templateChooserViewController()->templateThumbnailController()->templatesArray())
                    if (tile->templateId() == templateID)
                        chosen = tile;
                return chosen && chosen->hoverView() && chosen->hoverView()->isVisible();
            },
            15000)) {
        ADD_FAILURE() << "the Templates window did not offer " << templateID.toStdString();
        return nullptr;
    }
    // The pointer enters the tile from outside it: Choose shows.
    QWidget* hover = chosen->hoverView();
    if (!waitFor(
            [&] {
                QWindow* chooser = hover->window()->windowHandle();
                QTest::mouseMove(chooser, QPoint(1, 1));
                QTest::mouseMove(chooser, hover->mapTo(hover->window(), hover->rect().center()));
                return chosen->chooseButton()->isVisible();
            },
            5000))
        return nullptr;
    click(chosen->chooseButton());
    // Its sample and the sample's picture come from the service first.
    QVR_CreatorWindow* created = nullptr;
    waitFor(
        [&] {
            for (QVR_CreatorWindow* window : creatorWindows())
                if (!before.contains(window) && window->currentModel() && shownScreen(window))
                    created = window;
            return created && QApplication::activeWindow() == created;
        },
        30000);
    return created;
}

struct MadeDocument {
    QVR_CreatorWindow* window = nullptr;
    QString packageID;
    QMap<int, QString> skipped; // kinds left out, by index, with the reason
};

class OutputsAgree : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsSet("TESS_AGREE_OUT")) {
            pointServicesAt(QUrl(qEnvironmentVariable("TESS_API_URL")));
            if (qEnvironmentVariableIsSet("TESS_AGREE_SIGNED_IN"))
                Tessutils::setCorvikAuthToken(qEnvironmentVariable("TESS_AGREE_SIGNED_IN"));
        } else {
            ASSERT_TRUE(matrix::service());
            addPublishedDocument(QString::fromLatin1(kLinkedDocument), QStringLiteral("bob"), 3, false);
        }
        application();
        ASSERT_TRUE(leaveFirstLaunchTour());
        ASSERT_TRUE(inputs.isValid());
    }
    void TearDown() override
    {
        closeDocumentWindows();
        if (!qEnvironmentVariableIsSet("TESS_AGREE_OUT"))
            matrix::service()->withState([](FakeWebService::State& state) { state.templates = QJsonArray(); });
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && (qobject_cast<QMessageBox*>(widget) || qobject_cast<QFileDialog*>(widget) ||
                                        qobject_cast<QVRiPadPreviewWindow*>(widget)))
                widget->close();
        }
        if (!qEnvironmentVariableIsSet("TESS_AGREE_OUT") &&
            Tessutils::corvikUserDict().stringForKey(QStringLiteral("username")) != u"ann") {
            EXPECT_TRUE(signOut());
            EXPECT_TRUE(signInThroughWall(application().listsWindow(), QStringLiteral("ann"), QStringLiteral("pw")));
        }
    }

    QString input(const QString& name) const { return inputs.filePath(name); }

    Proxy insertKind(QVR_CreatorWindow* window, const KindCase& kind, QString* skip);
    // The document made from `window` (a new one from the + tile when none).
    bool makeDocument(MadeDocument& made, QVR_CreatorWindow* window = nullptr);

    // Every output of one origin of the document, each judged against the reference canvas, and the table's rows.
    void outputsOf(const QString& origin, const QMap<QString, QImage>& shots, const MadeDocument& made);
    void canvasAndStrip(QVR_CreatorWindow* window, QMap<QString, QImage>& shots);
    void exportAndPrint(QWidget* window, QMap<QString, QImage>& shots, bool exportToo);
    QImage tileImage(const QString& packageID);
    // The document's outputs from a window that edits it (canvas, strip, PDF, print), its viewer and its tile.
    QMap<QString, QImage> allOutputs(QVR_CreatorWindow* window, bool edit);

    QTemporaryDir inputs;
    QImage m_reference;
    QMap<int, QRectF> m_frames;
    int m_shotCount = 0;
};

Proxy OutputsAgree::insertKind(QVR_CreatorWindow* window, const KindCase& kind, QString* skip)
{
    const int before = countObjects(shownScreen(window), kind.type);
    switch (kind.kind) {
    case Kind::Text:
        if (!insert(window, &QVR_AddElementMenuViewController::textCell))
            return nullptr;
        return addedObject(window, kind.type, before);
    case Kind::Shape:
        return insertShape(window);
    case Kind::Picture:
    case Kind::CroppedPicture:
    case Kind::TurnedPicture: {
        const QString picture = makeQuartersPicture(input(QStringLiteral("%1.png").arg(QLatin1String(kind.name))));
        if (!insert(window, &QVR_AddElementMenuViewController::imageCell) || !answerFileDialog(picture))
            return nullptr;
        return addedObject(window, kind.type, before);
    }
    case Kind::VideoFile:
    case Kind::PhoneClip: {
        if (!MediaTestClips::toolsAvailable()) {
            *skip = QStringLiteral("no media tools");
            return nullptr;
        }
        // Red over blue; the phone's clip is stored sideways with a quarter turn in its metadata.
        const QString clip = input(QStringLiteral("%1.mp4").arg(QLatin1String(kind.name)));
        const bool phone = kind.kind == Kind::PhoneClip;
        const QString stored = input(QStringLiteral("stored.mp4"));
        if (!MediaTestClips::make(phone ? stored : clip,
                                  {QStringLiteral("-filter_complex"),
                                   QStringLiteral("color=c=red:s=160x120:d=1:r=5[a];color=c=blue:s=160x120:d=1:r=5[b];"
                                                  "[a][b]%1")
                                       .arg(phone ? QStringLiteral("hstack") : QStringLiteral("vstack")),
                                   QStringLiteral("-c:v"), QStringLiteral("mpeg4")}))
            return nullptr;
        if (phone &&
            !MediaTestClips::make(clip, {QStringLiteral("-i"), stored, QStringLiteral("-c"), QStringLiteral("copy"),
                                         QStringLiteral("-metadata:s:v:0"), QStringLiteral("rotate=90")}))
            return nullptr;
        if (!insert(window, &QVR_AddElementMenuViewController::videoCell) || !answerFileDialog(clip))
            return nullptr;
        QVRCompressionSelectionViewController* presets = nullptr;
        if (!waitFor([&] { return (presets = openedMenu<QVRCompressionSelectionViewController>()) != nullptr; }))
            return nullptr;
        click(presets->smallButton());
        return addedObject(window, kind.type, before, 60000);
    }
    case Kind::YouTube:
    case Kind::Vimeo: {
        if (!insert(window, &QVR_AddElementMenuViewController::youTubeCell))
            return nullptr;
        auto* dialog = sheetPage<QVR_AddStreamingVideoViewController>(window);
        if (!dialog)
            return nullptr;
        const QString address = kind.kind == Kind::YouTube
                                    ? QStringLiteral("https://www.youtube.com/watch?v=") + QLatin1String(kYouTubeID)
                                    : QStringLiteral("https://vimeo.com/") + QLatin1String(kVimeoID);
        dialog->urlFeild()->setFocus();
        UserInput::typeText(dialog->urlFeild(), address, 5);
        if (!waitFor([&] { return dialog->insertButton()->isEnabled(); }, 10000))
            return nullptr;
        click(dialog->insertButton());
        return addedObject(window, kind.type, before);
    }
    case Kind::Audio: {
        if (!MediaTestClips::toolsAvailable()) {
            *skip = QStringLiteral("no media tools");
            return nullptr;
        }
        const QString tone = input(QStringLiteral("tone.mp3"));
        if (!MediaTestClips::make(tone, {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                         QStringLiteral("sine=frequency=440:duration=2")}) ||
            !insert(window, &QVR_AddElementMenuViewController::audioCell) || !answerFileDialog(tone))
            return nullptr;
        return addedObject(window, kind.type, before);
    }
    case Kind::Pdf:
        if (!insert(window, &QVR_AddElementMenuViewController::pdfCell) ||
            !answerFileDialog(makeColouredPdf(input(QStringLiteral("pages.pdf")))))
            return nullptr;
        return addedObject(window, kind.type, before);
    case Kind::Gallery: {
        if (!insert(window, &QVR_AddElementMenuViewController::galleryCell))
            return nullptr;
        QVRGalleryEditorViewController* gallery = nullptr;
        if (!waitFor([&] {
                for (QWidget* top : QApplication::topLevelWidgets()) {
                    if (auto* editor = top->findChild<QVRGalleryEditorViewController*>(); editor && top->isVisible())
                        gallery = editor;
                }
                return gallery && gallery->chooseImagesButton() && gallery->chooseImagesButton()->isVisible();
            }))
            return nullptr;
        click(gallery->chooseImagesButton());
        const QString one = makeQuartersPicture(input(QStringLiteral("gallery-one.png")));
        const QString two = makePicture(input(QStringLiteral("gallery-two.jpg")), "JPEG", Qt::red);
        if (!answerFileDialog(QStringLiteral("\"%1\" \"%2\"").arg(one, two)) ||
            !waitFor([&] { return gallery->saveButton()->isEnabled(); }))
            return nullptr;
        click(gallery->saveButton());
        return addedObject(window, kind.type, before);
    }
    case Kind::ScreenLink: {
        if (!chooseMenuItem(window, QStringLiteral("duplicateScreen")) ||
            !waitFor([&] { return window->currentModel()->firstFlowmodel()->screenModels().size() == 2; }))
            return nullptr;
        window->setCurrentIndex(0);
        if (!waitFor(
                [&] { return shownScreen(window) == window->currentModel()->firstFlowmodel()->screenModels()[0]; }))
            return nullptr;
        const Proxy shape = insertShape(window);
        if (!shape)
            return nullptr;
        auto* editor = openLinkEditor<QVR_ScreenLinkSelectionViewController>(
            window, shape, &QVR_LinkTypeSelectionViewController::screenLinkButton);
        if (!editor || !waitFor([&] { return editor->thumbnailBar()->selectionIndexes() == QList<int>{0}; }, 5000))
            return nullptr;
        QVRThumbnailBar* bar = editor->thumbnailBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->frameForItemAtIndex(1).center());
        if (!waitFor([&] { return bar->selectionIndexes() == QList<int>{1}; }, 5000))
            return nullptr;
        click(editor->saveButton());
        return waitFor([&] { return (*shape)->action() != nullptr; }, 5000) ? shape : nullptr;
    }
    case Kind::WebLink: {
        const Proxy shape = insertShape(window);
        auto* editor = shape ? openLinkEditor<QVR_ExternalLinkSelectionViewController>(
                                   window, shape, &QVR_LinkTypeSelectionViewController::webLinkButton)
                             : nullptr;
        if (!editor)
            return nullptr;
        QTest::mouseClick(editor->urlField(), Qt::LeftButton);
        UserInput::typeText(editor->urlField(), QStringLiteral("example.org/spring"), 5);
        click(editor->saveButton());
        return waitFor([&] { return (*shape)->action() != nullptr; }, 5000) ? shape : nullptr;
    }
    case Kind::FlowLink: {
        const Proxy shape = insertShape(window);
        auto* editor = shape ? openLinkEditor<QVR_FlowEmbedLinkSelectionViewController>(
                                   window, shape, &QVR_LinkTypeSelectionViewController::flowEmbedLinkButton)
                             : nullptr;
        if (!editor)
            return nullptr;
        QTest::mouseClick(editor->stringIDTextField(), Qt::LeftButton);
        UserInput::typeText(editor->stringIDTextField(), QString::fromLatin1(kLinkedDocument), 5);
        QTest::mouseClick(editor->screenIDTextField(), Qt::LeftButton);
        UserInput::typeText(editor->screenIDTextField(), QStringLiteral("2"), 5);
        click(editor->saveLinkButton());
        return waitFor([&] { return (*shape)->action() != nullptr; }, 5000) ? shape : nullptr;
    }
    }
    return nullptr;
}

// Every kind through the Insert menu, each moved into its own cell of the first screen; the cropped and the turned
// picture then cropped and turned by hand. The canvas of the result is the reference every output is held to.
bool OutputsAgree::makeDocument(MadeDocument& made, QVR_CreatorWindow* window)
{
    made.window = window ? window : createDocumentFromPlusTile();
    if (!made.window) {
        ADD_FAILURE() << "no creator window";
        return false;
    }
    made.window->resize(1100, 1150);
    made.packageID = made.window->currentModel()->qvdID();
    for (int index = 0; index < int(std::size(kKinds)); ++index) {
        const KindCase& kind = kKinds[index];
        QString skip;
        const Proxy object = insertKind(made.window, kind, &skip);
        if (!object) {
            if (!skip.isEmpty()) {
                made.skipped.insert(index, skip);
                continue;
            }
            ADD_FAILURE() << "the Insert menu did not add " << kind.name;
            return false;
        }
        // The next step waits, as a person does, for the window to have the keyboard back from the file dialog
        // that may just have closed.
        waitFor([&] { return QApplication::activeWindow() == made.window; }, 5000);
        // Cropped and turned where it was put in (the middle of the screen, free until then), then moved.
        if (kind.kind == Kind::CroppedPicture && !cropPicture(made.window, object)) {
            ADD_FAILURE() << "the picture was not cropped";
            return false;
        }
        if (kind.kind == Kind::TurnedPicture && !turnPicture(made.window, object)) {
            ADD_FAILURE() << "the picture was not turned";
            return false;
        }
        made.window->selectedItemView()->setSelectedViews({});
        placeInCell(object, index);
        m_frames.insert(index, (*object)->frame());
    }
    // The draft holds it all.
    const auto package = ZERI_qvdFilePackage::packageForID(made.packageID);
    if (!package || !waitFor([&] { return !package->model() || !package->model()->isSaveScheduled(); }, 15000))
        ADD_FAILURE() << "the draft was not written";
    QMap<QString, QImage> canvas;
    canvasAndStrip(made.window, canvas);
    m_reference = canvas.value(QStringLiteral("canvas"));
    if (const QString debug = qEnvironmentVariable("TESS_AGREE_DEBUG"); !debug.isEmpty())
        m_reference.save(QDir(debug).filePath(QStringLiteral("reference.png")));
    // The reference itself: every kind is on it, and the pictures and clips stand as made: the quarters' top left
    // red, a clip red over blue, the phone's clip blue over red, the turned picture with its top left turned away.
    const auto reddish = [](const QColor& c) {
        return c.red() > 150 && c.red() > c.green() + 60 && c.red() > c.blue() + 60;
    };
    const auto bluish = [](const QColor& c) {
        return c.blue() > 150 && c.blue() > c.red() + 60 && c.blue() > c.green() + 60;
    };
    for (auto it = m_frames.cbegin(); it != m_frames.cend(); ++it) {
        const KindCase& kind = kKinds[it.key()];
        const Look seen = look(m_reference, it.value());
        EXPECT_TRUE(seen.shown && (seen.inPlace || kind.kind == Kind::Text)) << kind.name << " on the canvas";
        const QColor topLeft = seen.quarters[0];
        switch (kind.kind) {
        case Kind::Picture:
        case Kind::CroppedPicture:
        case Kind::Gallery:
        case Kind::VideoFile:
            EXPECT_TRUE(reddish(topLeft)) << kind.name << " on the canvas: " << topLeft.name().toStdString();
            break;
        case Kind::PhoneClip:
        case Kind::TurnedPicture:
            EXPECT_FALSE(reddish(topLeft)) << kind.name << " on the canvas: " << topLeft.name().toStdString();
            if (kind.kind == Kind::PhoneClip) {
                EXPECT_TRUE(bluish(topLeft)) << kind.name << " on the canvas: " << topLeft.name().toStdString();
            }
            break;
        default:
            break;
        }
    }
    return !m_reference.isNull();
}

void OutputsAgree::canvasAndStrip(QVR_CreatorWindow* window, QMap<QString, QImage>& shots)
{
    window->setCurrentIndex(0);
    waitFor([&] { return shownScreen(window) == window->currentModel()->firstFlowmodel()->screenModels()[0]; });
    window->selectedItemView()->setSelectedViews({});
    QTest::qWait(500);
    shots.insert(QStringLiteral("canvas"), boardImage(window->theArtBoard()->theScrollView()));
    // The strip's picture of the first screen, once it has been drawn for the screen as it is.
    const auto screen = window->currentModel()->firstFlowmodel()->screenModels()[0];
    QImage strip;
    waitFor(
        [&] {
            // A picture drawn while some of the screen's pictures cannot be had stays marked as not current.
            const auto asset = screen->previewScreenShotAsset();
            if (!asset || screen->gettingScreenPreview() ||
                (screen->previewInvalidated() && !ObjectPicture::screenLacksPictures(*screen)))
                return false;
            QImageReader reader(asset->storedFilePath());
            strip = reader.read();
            return !strip.isNull();
        },
        20000);
    shots.insert(QStringLiteral("strip"), normalised(strip));
}

void OutputsAgree::exportAndPrint(QWidget* window, QMap<QString, QImage>& shots, bool exportToo)
{
    const QString name = QString::number(++m_shotCount);
    if (exportToo) {
        const QString pdf = input(QStringLiteral("exported-%1.pdf").arg(name));
        if (chooseMenuItem(window, QStringLiteral("exportToPDF")) && answerFileDialog(pdf) && writtenPdfPages(pdf) > 0)
            shots.insert(QStringLiteral("pdf"), pdfPageImage(pdf, false));
    }
    const QString printed = input(QStringLiteral("printed-%1.pdf").arg(name));
    if (chooseMenuItem(window, QStringLiteral("print")) && printToFile(printed) && writtenPdfPages(printed) > 0)
        shots.insert(QStringLiteral("print"), pdfPageImage(printed, true));
}

QImage OutputsAgree::tileImage(const QString& packageID)
{
    if (!bringHomeWindowToFront())
        return {};
    QVRTessarineTileGridItemView* tile = nullptr;
    QImage shown;
    waitFor(
        [&] {
            tile = tileOf(packageID);
            auto* picture = tile ? tile->findChild<QVR_AsynchronousRenderWebImageView*>() : nullptr;
            if (!picture || TilePreviews::pendingCount() > 0)
                return false;
            shown = picture->renderedImage();
            return !shown.isNull();
        },
        20000);
    return normalised(shown);
}

QMap<QString, QImage> OutputsAgree::allOutputs(QVR_CreatorWindow* window, bool edit)
{
    QMap<QString, QImage> shots;
    const QString packageID = window->currentModel()->qvdID();
    if (edit) {
        // An edit made here, away from the kinds: the strip's and the tile's pictures are drawn here again.
        window->activateWindow();
        waitFor([&] { return QApplication::activeWindow() == window; }, 5000);
        window->setCurrentIndex(0);
        if (const Proxy shape = insertShape(window)) {
            window->selectedItemView()->setSelectedViews({});
            placeInCell(shape, kEditCell);
        } else {
            ADD_FAILURE() << "the edit was not made";
        }
    }
    canvasAndStrip(window, shots);
    exportAndPrint(window, shots, true);
    if (QVRViewerWindow* viewer = play(window)) {
        viewer->resize(1100, 800);
        shots.insert(QStringLiteral("player"), playerImage(viewer));
        QPointer<QVRViewerWindow> closing(viewer);
        viewer->close();
        waitFor([&] { return !closing || !closing->isVisible(); }, 5000);
    }
    // The tile's picture follows the draft once the draft has been written.
    const auto package = ZERI_qvdFilePackage::packageForID(packageID);
    waitFor([&] { return !package || !package->model() || !package->model()->isSaveScheduled(); }, 15000);
    shots.insert(QStringLiteral("tile"), tileImage(packageID));
    return shots;
}

void OutputsAgree::outputsOf(const QString& origin, const QMap<QString, QImage>& shots, const MadeDocument& made)
{
    // For a person looking into a failure: every output as a picture in the folder TESS_AGREE_DEBUG names.
    if (const QString debug = qEnvironmentVariable("TESS_AGREE_DEBUG"); !debug.isEmpty()) {
        for (auto it = shots.cbegin(); it != shots.cend(); ++it)
            it.value().save(QDir(debug).filePath(QStringLiteral("%1-%2.png").arg(origin, it.key())));
    }
    for (int index = 0; index < int(std::size(kKinds)); ++index) {
        const KindCase& kind = kKinds[index];
        QStringList row;
        for (const char* output : kOutputs) {
            const QString key = QString::fromLatin1(output);
            QString verdict;
            if (made.skipped.contains(index)) {
                verdict = QStringLiteral("skip (%1)").arg(made.skipped.value(index));
            } else if (!shots.contains(key)) {
                verdict = QStringLiteral("n/a");
            } else if (const QString fault = judge(shots.value(key), m_reference, kind, m_frames.value(index));
                       !fault.isEmpty()) {
                verdict = QStringLiteral("FAIL: ") + fault;
                ADD_FAILURE() << QStringLiteral("%1 × %2 × %3: %4")
                                     .arg(QLatin1String(kind.name), origin, key, fault)
                                     .toStdString();
            } else {
                verdict = QStringLiteral("pass");
            }
            row << key + QLatin1Char('=') + verdict;
        }
        std::cout << "[ AGREE    ] "
                  << QStringLiteral("%1 × %2: %3")
                         .arg(QLatin1String(kind.name), origin, row.join(QStringLiteral(", ")))
                         .toStdString()
                  << std::endl;
    }
}

// The document made here, the same reopened from its tile, duplicated from its tile, and copied with the viewer's
// and the tablet preview's download buttons: every output of each shows every kind as the canvas does.
TEST_F(OutputsAgree, MadeHereReopenedDuplicatedAndRemixed)
{
    MadeDocument made;
    ASSERT_TRUE(makeDocument(made));
    outputsOf(QStringLiteral("made here"), allOutputs(made.window, false), made);

    // Reopened from its tile.
    made.window->close();
    ASSERT_TRUE(waitFor([] { return creatorWindows().isEmpty(); }));
    QVR_CreatorWindow* reopened = openFromTile(made.packageID);
    ASSERT_TRUE(reopened);
    outputsOf(QStringLiteral("reopened from its tile"), allOutputs(reopened, false), made);

    const auto copyBy = [&](const std::function<void()>& make) -> QVR_CreatorWindow* {
        QSet<QString> before;
        for (const auto& package : ZERI_qvdFilePackage::allPackages())
            before.insert(package->packageID());
        make();
        QString copy;
        if (!waitFor(
                [&] {
                    for (const auto& package : ZERI_qvdFilePackage::allPackages())
                        if (!before.contains(package->packageID()))
                            copy = package->packageID();
                    return !copy.isEmpty();
                },
                15000))
            return nullptr;
        return openFromTile(copy);
    };

    // Duplicated from its tile's menu.
    QVR_CreatorWindow* duplicate = copyBy([&] {
        QVRTessarineTileGridItemView* original = tileOf(made.packageID);
        ASSERT_TRUE(original);
        original->duplicateTessarine();
    });
    ASSERT_TRUE(duplicate) << "no duplicate";
    outputsOf(QStringLiteral("duplicated from its tile"), allOutputs(duplicate, false), made);
    duplicate->close();

    // Copied with the viewer's download button: offered for the user's own posted document.
    reopened->activateWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == reopened; }, 5000));
    ASSERT_TRUE(publish(reopened, QStringLiteral("Outputs agree, remixed")));
    QVR_CreatorWindow* remixed = copyBy([&] {
        QVRViewerWindow* viewer = play(reopened);
        ASSERT_TRUE(viewer);
        QToolButton* download = viewer->windowController()->titleBarButtonsHolderView()->downloadButton();
        ASSERT_TRUE(waitFor([&] { return download->isVisible(); }, 10000));
        click(download);
        QTest::qWait(300);
        viewer->close();
    });
    ASSERT_TRUE(remixed) << "no copy from the viewer";
    outputsOf(QStringLiteral("copied with the viewer's download"), allOutputs(remixed, false), made);
    remixed->close();

    // Copied with the tablet preview's download button.
    QVR_CreatorWindow* tabletCopy = copyBy([&] {
        reopened->activateWindow();
        ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == reopened; }, 5000));
        ASSERT_TRUE(chooseMenuItem(reopened, QStringLiteral("showiPadPreview")));
        QVRiPadPreviewWindow* tablet = nullptr;
        ASSERT_TRUE(waitFor([&] { return (tablet = visibleTopLevel<QVRiPadPreviewWindow>()) != nullptr; }, 15000));
        QToolButton* download = tablet->windowController()->titleBarButtonsHolderView()->downloadButton();
        ASSERT_TRUE(waitFor([&] { return download->isVisible(); }, 10000));
        click(download);
        QTest::qWait(300);
        tablet->close();
    });
    ASSERT_TRUE(tabletCopy) << "no copy from the tablet preview";
    outputsOf(QStringLiteral("copied with the tablet preview's download"), allOutputs(tabletCopy, false), made);
}

// A document made from a template the service offers, through File › New: the kinds added to it show in every
// output as its canvas shows them, over the template's background and beside its picture.
TEST_F(OutputsAgree, MadeFromATemplate)
{
    offerTemplate();
    MadeDocument made;
    ASSERT_TRUE(makeDocument(made, createDocumentFromTemplate(QString::fromLatin1(kTemplateID))));
    // The template's own content is on the canvas: its background around the kinds, its picture in its cell.
    EXPECT_LT(distance(backgroundAround(m_reference, m_frames.value(0)), kTemplateBackground), 60)
        << backgroundAround(m_reference, m_frames.value(0)).name().toStdString();
    const QRectF templatePicture = cell(kTemplateCell).adjusted(20, 60, -20, -60);
    EXPECT_LT(distance(meanColor(m_reference, templatePicture.adjusted(20, 20, -20, -20)), kTemplatePicture), 60)
        << meanColor(m_reference, templatePicture).name().toStdString();
    const QMap<QString, QImage> shots = allOutputs(made.window, false);
    outputsOf(QStringLiteral("made from a template"), shots, made);
    // The template's picture, too, shows in every output where the canvas shows it.
    const KindCase own{Kind::Picture, "TemplatePicture", Type::Image, false};
    for (const char* output : kOutputs) {
        const QString key = QString::fromLatin1(output);
        EXPECT_EQ(judge(shots.value(key), m_reference, own, templatePicture).toStdString(), "") << output;
    }
}

// The document posted, then: opened by its address in a fresh home folder (player, print), synced into My
// Documents of a fresh home folder where its owner signed in, and brought back by a sign-out and a sign-in here.
// A copy from the service draws the pictures it downloaded; its tile shows the service's picture until it is
// edited here, then the drawing made here.
TEST_F(OutputsAgree, PostedAndBroughtBackFromTheService)
{
    MadeDocument made;
    ASSERT_TRUE(makeDocument(made));
    ASSERT_TRUE(publish(made.window, QStringLiteral("Outputs agree")));
    const auto document = made.window->currentModel();
    const QString stringID = document->stringID();
    const QString apiID = document->apiID();
    ASSERT_FALSE(stringID.isEmpty());
    // The service's own picture of the document: what its preview server draws, the document as posted.
    {
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        m_reference.save(&buffer, "JPEG", 90);
        matrix::service()->setPage(QStringLiteral("/previews/%1.jpg").arg(apiID), "image/jpeg", jpeg);
    }
    made.window->close();
    ASSERT_TRUE(waitFor([] { return creatorWindows().isEmpty(); }));

    // In fresh home folders, in processes of their own; each leaves its outputs as pictures here.
    const auto childOutputs = [&](const QString& test, bool signedIn) {
        QTemporaryDir out;
        QMap<QString, QString> environment{{QStringLiteral("TESS_AGREE_STRING_ID"), stringID},
                                           {QStringLiteral("TESS_AGREE_OUT"), out.path()}};
        if (signedIn)
            environment.insert(QStringLiteral("TESS_AGREE_SIGNED_IN"), Tessutils::corvikAuthToken());
        const auto child = TestEnvironment::runTestsInChildProcess(test, environment, 150000);
        EXPECT_TRUE(child.finished && child.exitCode == 0) << child.output.toStdString();
        QMap<QString, QImage> shots;
        for (const char* output : kOutputs) {
            const QImage shot(QDir(out.path()).filePath(QString::fromLatin1(output) + QStringLiteral(".png")));
            if (!shot.isNull())
                shots.insert(QString::fromLatin1(output), shot);
        }
        return shots;
    };
    outputsOf(QStringLiteral("opened by address in a fresh home"),
              childOutputs(QStringLiteral("OutputsAgree.DISABLED_OpenedByAddressInAFreshHome"), false), made);
    outputsOf(QStringLiteral("synced into My Documents"),
              childOutputs(QStringLiteral("OutputsAgree.DISABLED_SyncedIntoMyDocuments"), true), made);

    // Signed out (the user's own packages go) and in again (they come back from the service).
    ASSERT_TRUE(signOut());
    ASSERT_TRUE(waitFor([&] { return !ZERI_qvdFilePackage::packageForID(made.packageID); }))
        << "the package stayed after the sign-out";
    ASSERT_TRUE(signInThroughWall(application().listsWindow(), QStringLiteral("ann"), QStringLiteral("pw")));
    QString back;
    const auto cameBack = [&] {
        for (const auto& package : ZERI_qvdFilePackage::allPackages())
            if (package->metaData().stringID() == stringID)
                back = package->packageID();
        return !back.isEmpty() && tileOf(back);
    };
    // A list still on its way from before the sign-out may answer first: the user refreshes, as one would.
    if (!waitFor(cameBack, 20000))
        chooseMenuItem(application().listsWindow(), QStringLiteral("refresh"));
    ASSERT_TRUE(waitFor(cameBack, 30000)) << "the document did not come back";
    QMap<QString, QImage> shots;
    shots.insert(QStringLiteral("tile"), tileImage(back));
    QVR_CreatorWindow* window = openFromTile(back);
    ASSERT_TRUE(window);
    // Its media arrive from the service.
    QTest::qWait(1500);
    const QMap<QString, QImage> edited = allOutputs(window, true);
    for (auto it = edited.cbegin(); it != edited.cend(); ++it)
        if (it.key() != QStringLiteral("tile"))
            shots.insert(it.key(), it.value());
    outputsOf(QStringLiteral("brought back by a sign-out and sign-in"), shots, made);
    {
        QMap<QString, QImage> tileAfterEdit{{QStringLiteral("tile"), edited.value(QStringLiteral("tile"))}};
        outputsOf(QStringLiteral("brought back, then edited here"), tileAfterEdit, made);
    }
}

// A PowerPoint deck of a picture and a text, imported: every output shows each as the imported document's canvas
// does.
TEST_F(OutputsAgree, ImportedFromPowerPoint)
{
    const QString picture = makeQuartersPicture(input(QStringLiteral("deck-picture.png")));
    QFile pictureFile(picture);
    ASSERT_TRUE(pictureFile.open(QIODevice::ReadOnly));
    TestDeck deck = TestDeck::minimal(1);
    deck.parts["ppt/media/p.png"] = pictureFile.readAll().toStdString();
    deck.addRelation("ppt/slides/slide1.xml", "rId2", "image", "../media/p.png");
    const long long px = 9525;
    const std::string pictureXml =
        "<p:pic><p:nvPicPr><p:cNvPr id=\"9\" name=\"p\"/><p:cNvPicPr/><p:nvPr/></p:nvPicPr><p:blipFill>"
        "<a:blip r:embed=\"rId2\"/></p:blipFill><p:spPr>" +
        TestDeck::xfrm(60 * px, 220 * px, 240 * px, 180 * px) + "</p:spPr></p:pic>";
    const std::string textXml =
        TestDeck::textShape("", TestDeck::xfrm(660 * px, 220 * px, 240 * px, 180 * px),
                            "<a:p><a:r><a:rPr lang=\"en\" sz=\"4400\"/><a:t>Spring</a:t></a:r></a:p>");
    deck.setSlideTree(1, pictureXml + textXml);
    const QString deckPath = input(QStringLiteral("deck.pptx"));
    ASSERT_TRUE(deck.writeTo(deckPath.toStdString()));

    QVRPowerpointOverviewWindowController* overview = openImportOverview();
    ASSERT_TRUE(overview);
    click(overview->getStartedButton());
    ASSERT_TRUE(answerFileDialog(deckPath));
    QVR_CreatorWindow* window = nullptr;
    ASSERT_TRUE(waitFor(
        [&] { return (window = creatorWindows().value(0, nullptr)) != nullptr && window->currentModel(); }, 45000));
    window->resize(1100, 1150);
    ASSERT_TRUE(waitFor([&] { return shownScreen(window) != nullptr; }));

    // The kinds the deck carries, where the import put them: found by their place on the slide (the picture on the
    // left, the text on the right), whatever type the import gave each.
    MadeDocument made;
    made.window = window;
    made.packageID = window->currentModel()->qvdID();
    const auto screen = window->currentModel()->firstFlowmodel()->screenModels().front();
    const double slideScale = double(kScreen.width()) / 960.0;
    const QMap<Kind, double> centres{{Kind::Picture, 180 * slideScale}, {Kind::Text, 780 * slideScale}};
    for (int index = 0; index < int(std::size(kKinds)); ++index) {
        const KindCase& kind = kKinds[index];
        if (!centres.contains(kind.kind)) {
            made.skipped.insert(index, QStringLiteral("not in a deck"));
            continue;
        }
        Proxy found;
        for (const Proxy& object : screen->mixedMediaObjects())
            if (std::abs((*object)->frame().center().x() - centres.value(kind.kind)) < 80)
                found = object;
        if (!found) {
            made.skipped.insert(index, QStringLiteral("not imported"));
            ADD_FAILURE() << "the import put nothing where the deck's " << kind.name << " stands";
            continue;
        }
        m_frames.insert(index, (*found)->frame());
    }
    const QMap<QString, QImage> shots = allOutputs(window, false);
    m_reference = shots.value(QStringLiteral("canvas"));
    ASSERT_FALSE(m_reference.isNull());
    if (const int pictureIndex = indexOf(Kind::Picture); m_frames.contains(pictureIndex)) {
        const QColor topLeft = look(m_reference, m_frames.value(pictureIndex)).quarters[0];
        EXPECT_GT(topLeft.red(), 150) << "the imported picture on the canvas: " << topLeft.name().toStdString();
    }
    outputsOf(QStringLiteral("imported from PowerPoint"), shots, made);
}

// ---- The shapes of pictures the service sends -----------------------------------------------------------------

// Generated combinations: each picture-bearing kind × the assets it carries × where its files are on this computer,
// in documents whose service picture is there, missing (404) or out of reach with the rest of their media.
enum class PictureAssets { CroppedAndOriginal, OriginalOnly, CroppedOnly };
enum class FilesAt { Assets, PublishedAssets, NotDownloaded };
enum class ServiceState { PicturePresent, Picture404, Down };

struct PictureCase {
    int type;
    PictureAssets assets;
    FilesAt files;
    QRectF frame;
    QString name;
};

// 4 kinds × 3 asset sets × 3 places: 36 objects, each 140 × 105 (the pictures' own shape) in a cell of 6 × 6.
std::vector<PictureCase> pictureCases()
{
    std::vector<PictureCase> cases;
    const int types[] = {Type::Image, Type::Gallery, Type::PDF, Type::Video};
    const char* typeNames[] = {"Image", "Gallery", "Pdf", "Video"};
    const char* assetNames[] = {"cropped+original", "original only", "cropped only"};
    const char* fileNames[] = {"in assets/", "in published_assets/", "not downloaded"};
    for (int t = 0; t < 4; ++t)
        for (int a = 0; a < 3; ++a)
            for (int f = 0; f < 3; ++f) {
                const int index = int(cases.size());
                const QRectF slot((index % 6) * kScreen.width() / 6.0, (index / 6) * kScreen.height() / 6.0,
                                  kScreen.width() / 6.0, kScreen.height() / 6.0);
                const QRectF frame(slot.center() - QPointF(70, 52.5), QSizeF(140, 105));
                cases.push_back(
                    {types[t], PictureAssets(a), FilesAt(f), frame,
                     QStringLiteral("%1 %2 %3")
                         .arg(QLatin1String(typeNames[t]), QLatin1String(assetNames[a]), QLatin1String(fileNames[f]))});
            }
    return cases;
}

QByteArray quartersBytes(const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    const int w = size.width() / 2, h = size.height() / 2;
    painter.fillRect(0, 0, w, h, QColor(220, 30, 30));
    painter.fillRect(w, 0, size.width() - w, h, QColor(30, 180, 40));
    painter.fillRect(0, h, w, size.height() - h, QColor(30, 40, 220));
    painter.fillRect(w, h, size.width() - w, size.height() - h, QColor(240, 220, 20));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A file of a document made for the service: where the service keeps it, and where this computer has it.
struct PlacedFile {
    QUrl address;
    FilesAt files;
    QByteArray bytes;
};

// The document of one service state as the service sends it (web addresses only, as its own sample documents), with
// the files the test puts into its package once it arrived. A file this computer holds is one the service no longer
// serves: only the folder it lies in can give it.
QString matrixDocumentJson(ServiceState state, const QString& tag, QList<PlacedFile>& placed)
{
    FakeWebService* fake = service();
    const QByteArray original = quartersBytes(QSize(640, 480));
    const QByteArray cropped = quartersBytes(QSize(140, 105));
    QByteArray pdf;
    {
        const QString path = QDir::temp().filePath(QStringLiteral("agree-matrix-%1.pdf").arg(tag));
        makeColouredPdf(path);
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            pdf = file.readAll();
        file.remove();
    }
    const QUrl down = FakeWebService::unreachableBaseUrl();
    int serial = 0;
    const auto address = [&](const QByteArray& bytes, const QString& extension, FilesAt files) {
        const QString id = QStringLiteral("agree-%1-%2").arg(tag).arg(++serial);
        const QString name = QStringLiteral("file.") + extension;
        QUrl url;
        if (state == ServiceState::Down)
            url = QUrl(down.toString() + QStringLiteral("/content/%1/%2").arg(id, name));
        else if (files == FilesAt::NotDownloaded)
            url = fake->addContent(id, bytes, name, QStringLiteral("ann"));
        else
            url = fake->contentURL(id, name);
        if (files != FilesAt::NotDownloaded)
            placed.append({url, files, bytes});
        return url;
    };
    const auto asset = [](const QUrl& url) {
        auto made = ZERI_ContentAsset::create();
        made->setExternalURL(url);
        return made;
    };
    auto document = ZERI_TessarineModel::create();
    document->firstFlowmodel()->setTitle(QStringLiteral("Agree matrix %1").arg(tag));
    auto screen = ZERI_FlowScreenModel::create();
    screen->setBackgroundColor(Qt::white);
    document->firstFlowmodel()->addFlowScreen(screen);
    for (const PictureCase& c : pictureCases()) {
        auto object = ZERI_MixedMediaObject::objectWithType(c.type);
        (*object)->setFrame(c.frame);
        if (c.assets != PictureAssets::OriginalOnly)
            (*object)->setCroppedImageAsset(asset(address(cropped, QStringLiteral("png"), c.files)));
        if (c.assets != PictureAssets::CroppedOnly)
            (*object)->setOriginalImageAsset(asset(address(original, QStringLiteral("png"), c.files)));
        if (c.type == Type::PDF)
            (*object)->setPdfAsset(asset(address(pdf, QStringLiteral("pdf"), c.files)));
        if (c.type == Type::Gallery)
            (*object)->galleryAssetManager()->insertImageAsset(asset(address(original, QStringLiteral("png"), c.files)),
                                                               0);
        if (c.type == Type::Video)
            (*object)->setVideoAsset(asset(fake->contentURL(QStringLiteral("agree-%1-film").arg(tag), "film.mp4")));
        screen->addMixedMediaObject(object);
    }
    return QString::fromUtf8(document->jsonData());
}

// Clicks the first button (go on) of the question an output asks when pictures could not be fetched, whenever it
// shows while it lives.
class LackingPicturesAnswer : public QObject {
public:
    LackingPicturesAnswer()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(top);
                if (box && box->isVisible() && box->text() == UFM::OUTPUT_LACKS_PICTURES_TEXT() &&
                    !box->buttons().isEmpty()) {
                    ++asked;
                    for (QAbstractButton* button : box->buttons())
                        if (button->text() == UFM::PRINT_ANYWAY_TEXT() || button->text() == UFM::EXPORT_ANYWAY_TEXT())
                            click(button);
                }
            }
        });
        m_timer.start(100);
    }
    int asked = 0;

private:
    QTimer m_timer;
};

// The document, sent by the service as it sends documents (web addresses, mostly originals only), in every folder a
// copy of it may hold its files, with the service's picture of it there, missing or out of reach: every output of
// every picture shows what its canvas shows, and the canvas shows every picture this computer has or can fetch.
TEST_F(OutputsAgree, EveryShapeOfPictureTheServiceSendsInEveryFolderAndServiceState)
{
    const std::vector<PictureCase> cases = pictureCases();
    const ServiceState states[] = {ServiceState::PicturePresent, ServiceState::Picture404, ServiceState::Down};
    const char* stateNames[] = {"service picture present", "service picture 404", "service down"};
    QMap<QString, QList<PlacedFile>> filesByDocument;
    QMap<QString, ServiceState> stateByDocument;
    for (int s = 0; s < 3; ++s) {
        const QString tag = QStringLiteral("s%1-%2").arg(s).arg(QDateTime::currentMSecsSinceEpoch());
        QList<PlacedFile> placed;
        FakeWebService::Document record;
        record.owner = QStringLiteral("ann");
        record.title = QStringLiteral("Agree matrix %1").arg(tag);
        record.documentJson = matrixDocumentJson(states[s], tag, placed);
        if (states[s] == ServiceState::Down)
            record.previewURL = FakeWebService::unreachableBaseUrl().toString() + QStringLiteral("/previews/x.jpg");
        record = service()->addDocument(record);
        if (states[s] == ServiceState::PicturePresent) {
            // What the service's preview maker draws of it: every picture in its place.
            QImage drawn(kScreen, QImage::Format_RGB32);
            drawn.fill(Qt::white);
            QPainter painter(&drawn);
            QImage quarters;
            quarters.loadFromData(quartersBytes(QSize(140, 105)));
            for (const PictureCase& c : cases)
                painter.drawImage(c.frame, quarters);
            painter.end();
            QByteArray jpeg;
            QBuffer buffer(&jpeg);
            buffer.open(QIODevice::WriteOnly);
            drawn.scaledToWidth(464, Qt::SmoothTransformation).save(&buffer, "JPEG", 90);
            service()->setPage(QStringLiteral("/previews/%1.jpg").arg(record.id), "image/jpeg", jpeg);
        }
        filesByDocument.insert(record.title, placed);
        stateByDocument.insert(record.title, states[s]);
    }

    // Synced into My Documents; the files this computer holds go where a copy of the document keeps them, as soon
    // as its package is there.
    ASSERT_TRUE(bringHomeWindowToFront());
    QMap<QString, QString> packageByTitle;
    ASSERT_TRUE(chooseMenuItem(application().listsWindow(), QStringLiteral("refresh")));
    ASSERT_TRUE(waitFor(
        [&] {
            for (const auto& package : ZERI_qvdFilePackage::allPackages()) {
                const QString title = package->metaData().tessarineName();
                if (!filesByDocument.contains(title) || packageByTitle.contains(title))
                    continue;
                packageByTitle.insert(title, package->packageID());
                for (const PlacedFile& file : filesByDocument.value(title)) {
                    const QString folder =
                        file.files == FilesAt::Assets ? package->assetsPath() : package->publishedAssetsPath();
                    QDir().mkpath(folder);
                    QFile out(ZERI_ContentAsset::fileForUrlInFolder(file.address, folder));
                    EXPECT_TRUE(out.open(QIODevice::WriteOnly) && out.write(file.bytes) == file.bytes.size());
                }
            }
            return packageByTitle.size() == filesByDocument.size();
        },
        30000))
        << "synced " << packageByTitle.size() << " of " << filesByDocument.size();

    LackingPicturesAnswer answer;
    for (auto it = packageByTitle.cbegin(); it != packageByTitle.cend(); ++it) {
        const ServiceState state = stateByDocument.value(it.key());
        const QString origin = QString::fromLatin1(stateNames[int(state)]);
        QMap<QString, QImage> shots;
        // The service's picture, or the drawing made here without it, before the document is opened.
        if (state == ServiceState::PicturePresent)
            shots.insert(QStringLiteral("tile"), tileImage(it.value()));
        QVR_CreatorWindow* window = openFromTile(it.value());
        ASSERT_TRUE(window) << origin.toStdString();
        // Its pictures arrive from the service, or do not.
        waitFor([] { return false; }, 1500);
        const QMap<QString, QImage> opened = allOutputs(window, false);
        for (auto shot = opened.cbegin(); shot != opened.cend(); ++shot)
            if (!shots.contains(shot.key()))
                shots.insert(shot.key(), shot.value());
        window->close();
        waitFor([&] { return creatorWindows().isEmpty(); }, 10000);
        const QImage canvas = shots.value(QStringLiteral("canvas"));
        ASSERT_FALSE(canvas.isNull()) << origin.toStdString();
        if (const QString debug = qEnvironmentVariable("TESS_AGREE_DEBUG"); !debug.isEmpty()) {
            for (auto shot = shots.cbegin(); shot != shots.cend(); ++shot)
                shot.value().save(
                    QDir(debug).filePath(QStringLiteral("matrix-%1-%2.png").arg(int(state)).arg(shot.key())));
        }
        for (const PictureCase& c : cases) {
            // The canvas marks a gallery, PDF or video by a badge in its lower right corner: the picture is looked
            // at above and left of it.
            const QRectF area = c.frame.adjusted(0, 0, -c.frame.width() * 0.3, -c.frame.height() * 0.3);
            const Look reference = look(canvas, area);
            const bool reachable = c.files != FilesAt::NotDownloaded || state != ServiceState::Down;
            EXPECT_EQ(reference.shown, reachable) << c.name.toStdString() << " × " << origin.toStdString()
                                                  << ": the canvas " << (reference.shown ? "shows" : "lacks") << " it";
            QStringList row;
            for (const char* output : kOutputs) {
                const QString key = QString::fromLatin1(output);
                if (key == QStringLiteral("canvas") || !shots.contains(key))
                    continue;
                const Look seen = look(shots.value(key), area);
                QString verdict = QStringLiteral("pass");
                if (seen.shown != reference.shown) {
                    verdict = seen.shown ? QStringLiteral("shown, the canvas lacks it") : QStringLiteral("not shown");
                } else if (seen.shown) {
                    for (int q = 0; q < 4; ++q)
                        if (distance(seen.quarters[q], reference.quarters[q]) > 150)
                            verdict = QStringLiteral("turned or changed");
                }
                if (verdict != QStringLiteral("pass"))
                    ADD_FAILURE() << QStringLiteral("%1 × %2 × %3: %4").arg(c.name, origin, key, verdict).toStdString();
                row << key + QLatin1Char('=') + verdict;
            }
            std::cout << "[ AGREE    ] "
                      << QStringLiteral("%1 × %2: %3").arg(c.name, origin, row.join(", ")).toStdString() << std::endl;
        }
    }
    EXPECT_GT(answer.asked, 0) << "printing without the pictures out of reach asked nothing";
}

// The pictures of one child's outputs, for the parent to judge.
void saveShots(const QMap<QString, QImage>& shots)
{
    const QDir out(qEnvironmentVariable("TESS_AGREE_OUT"));
    for (auto it = shots.cbegin(); it != shots.cend(); ++it)
        if (!it.value().isNull())
            it.value().save(out.filePath(it.key() + QStringLiteral(".png")));
}

TEST_F(OutputsAgree, DISABLED_OpenedByAddressInAFreshHome)
{
    const QString stringID = qEnvironmentVariable("TESS_AGREE_STRING_ID");
    if (stringID.isEmpty())
        GTEST_SKIP() << "run by the road of the posted document";
    ASSERT_TRUE(openAddress(stringID));
    QVRViewerWindow* viewer = nullptr;
    ASSERT_TRUE(waitFor([&] { return (viewer = viewerShowing(stringID)) != nullptr; }, 30000)) << "no viewer";
    viewer->resize(1100, 800);
    settledOnDocument(viewer);
    ASSERT_TRUE(waitFor([&] { return whatCovers(workArea(viewer)).isEmpty(); }, 30000))
        << whatCovers(workArea(viewer)).toStdString();
    QMap<QString, QImage> shots;
    shots.insert(QStringLiteral("player"), playerImage(viewer));
    exportAndPrint(viewer, shots, false);
    saveShots(shots);
}

TEST_F(OutputsAgree, DISABLED_SyncedIntoMyDocuments)
{
    const QString stringID = qEnvironmentVariable("TESS_AGREE_STRING_ID");
    if (stringID.isEmpty())
        GTEST_SKIP() << "run by the road of the posted document";
    QString synced;
    ASSERT_TRUE(waitFor(
        [&] {
            for (const auto& package : ZERI_qvdFilePackage::allPackages())
                if (package->metaData().stringID() == stringID)
                    synced = package->packageID();
            return !synced.isEmpty() && tileOf(synced);
        },
        30000))
        << "the document was not synced";
    QMap<QString, QImage> shots;
    shots.insert(QStringLiteral("tile"), tileImage(synced));
    QVR_CreatorWindow* window = openFromTile(synced);
    ASSERT_TRUE(window);
    QTest::qWait(1500); // its media arrive from the service
    const QMap<QString, QImage> edited = allOutputs(window, true);
    for (auto it = edited.cbegin(); it != edited.cend(); ++it)
        if (it.key() != QStringLiteral("tile"))
            shots.insert(it.key(), it.value());
    saveShots(shots);
}

} // namespace

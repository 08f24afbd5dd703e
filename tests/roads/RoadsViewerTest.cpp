#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>

#include "creator/addition/QVR_AddElementMenuViewController.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "roads/RoadsTestSupport.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "viewer/QVRViewerViewController.h"
#include "viewer/QVRViewerWindow.h"
#include "viewer/QVR_PDFViewerView.h"
#include "viewer/QVR_TessarineViewerView.h"

using namespace roads;

namespace {

class RoadViewer : public ::testing::Test {
protected:
    void SetUp() override
    {
        application();
        ASSERT_TRUE(inputs.isValid());
    }
    void TearDown() override { closeDocumentWindows(); }

    QTemporaryDir inputs;
};

// A PDF inserted through its dialog lies in the document's package, so it is on disk before its view is made;
// Return in the player opens it over the whole window, fitted to the window's width.
TEST_F(RoadViewer, APdfOnDiskOpensFromThePlayerFittedToTheWindow)
{
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    ASSERT_TRUE(insert(window, &QVR_AddElementMenuViewController::pdfCell));
    ASSERT_TRUE(answerFileDialog(makePdf(inputs.filePath(QStringLiteral("pages.pdf")), 3)));
    ASSERT_TRUE(waitFor([&] { return countObjects(shownScreen(window), ZERI_MixedMediaObject::PDF) == 1; }));
    ASSERT_TRUE(waitFor([&] { return window->theToolBarView()->insertButton()->isEnabled(); }));

    QVRViewerWindow* player = play(window);
    ASSERT_TRUE(player);
    player->resize(900, 640);
    QVRViewerViewController* viewer = player->windowController()->tessarineViewerViewController();
    QTest::keyClick(viewer->viewerView(), Qt::Key_Return);
    QVR_PDFViewerView* pdf = nullptr;
    ASSERT_TRUE(waitFor([&] { return (pdf = viewer->pdfViewerView()) != nullptr && pdf->hasImageForPage(0); }));
    const int width = pdf->scrollArea()->viewport()->width();
    EXPECT_GT(width, 800);
    EXPECT_EQ(pdf->pageRect(0).width(), width);

    // The white page reaches across the window, far from where a page of the viewport's first size would end; the
    // page's unpainted paper shows white, not the grey between pages.
    const QImage shot = player->grab().toImage();
    const QPoint nearRightEdge = pdf->scrollArea()->viewport()->mapTo(player, QPoint(width - 20, 60));
    EXPECT_GT(shot.pixelColor(nearRightEdge).lightness(), 240);

    // Escape closes the PDF, then the player.
    QPointer<QVR_PDFViewerView> closingPdf(pdf);
    QTest::keyClick(pdf->scrollArea(), Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return viewer->pdfViewerView() == nullptr; }, 5000));
    // The view and its page renderer go on the next event-loop turns; the application must not end before.
    EXPECT_TRUE(waitFor(
        [&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return !closingPdf;
        },
        5000));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QPointer<QVRViewerWindow> closing(player);
    QTest::keyClick(viewer->viewerView(), Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !closing || !closing->isVisible(); }, 5000));
}

} // namespace

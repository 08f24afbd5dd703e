#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "CreatorTestSupport.h"
#include "controls/ControlsArtwork.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/interaction/QVR_InteractionModelUtils.h"
#include "elements/views/QVR_AttributedTextMixedMediaElementView.h"
#include "platform/UserDefaults.h"
#include "support/UserInput.h"
#include "tessarine_data_model/AttributedText.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using namespace creator_test;

namespace {

// A text of spaces being edited on a board at `zoom`: the only ink inside its box is the caret.
struct CaretBoard {
    explicit CaretBoard(double zoom)
    {
        UserDefaults::setStoreFileForTesting(settings.filePath(QStringLiteral("defaults.conf")));
        QVR_InteractionModelUtils::setClickDetectionTimeDelay(0.2);
        ControlsArtwork::registerNamedImages();
        text = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
        (*text)->setFrame(QRectF(100, 200, 400, 120));
        text->as<ZERI_MMObject_Text>()->setAttributedString(AttributedText(QString(kSpaces, QLatin1Char(' '))));
        screen->addMixedMediaObject(text);
        screen->updateNotifier().sendUpdateNotificationsIfNeeded();
        board.setScreenModel(screen);
        board.show();
        // Resized once shown, as a window the user sizes.
        setViewportSize(board, 1000, 760);
        board.setZoomLevelWithoutNotification(zoom);
        QApplication::processEvents();
        handler = new QVR_InteractableViewHandler(&board);
    }
    ~CaretBoard()
    {
        UserDefaults::setStoreFileForTesting(QString());
        QVR_InteractionModelUtils::resetClickDetectionTimeDelayCache();
    }
    QWidget* viewport() const { return board.theScrollView()->viewport(); }
    QRect textBox() const { return board.theScrollView()->mapFromScene((*text)->frame()).boundingRect(); }
    void click(const QPoint& at)
    {
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, at);
        UserInput::letRepaintsHappen();
    }
    bool editing() const
    {
        auto* container = board.singleScreen()->containerForMixedMediaObject(text);
        auto* view = container
                         ? qobject_cast<QVR_AttributedTextMixedMediaElementView*>(container->mixedMediaElementView())
                         : nullptr;
        return view && view->editable();
    }
    // The device-pixel columns inside the text's box (its outline and handles left out) where the shown window has
    // ink on the first line.
    QList<int> inkedColumns() const
    {
        QImage shown = UserInput::shownImage(viewport());
        // The offscreen platform's backing store keeps one pixel per unit whatever the ratio: at a ratio above
        // one the viewport is drawn afresh at its ratio instead.
        if (shown.size() != viewport()->size() * viewport()->devicePixelRatioF())
            shown = viewport()->grab().toImage();
        const qreal ratio = shown.devicePixelRatio();
        const QRect box = textBox();
        const QRect inside(qRound((box.left() + 1) * ratio), qRound((box.top() + 6) * ratio),
                           qRound((box.width() - 2) * ratio), qRound(14 * ratio));
        QList<int> columns;
        for (int x = inside.left(); x <= inside.right(); ++x) {
            for (int y = inside.top(); y <= inside.bottom(); ++y) {
                const QColor c = shown.pixelColor(x, y);
                if (c.red() < 110 && c.green() < 110 && c.blue() < 110) {
                    columns << x;
                    break;
                }
            }
        }
        return columns;
    }

    static constexpr int kSpaces = 12;
    QTemporaryDir settings;
    std::shared_ptr<ZERI_TessarineModel> document = makeDocument(1);
    std::shared_ptr<ZERI_FlowScreenModel> screen = document->firstFlowmodel()->screenModels().front();
    std::shared_ptr<ZERI_MixedMediaObjectProxy> text;
    QVR_SingleScreenArtBoardView board;
    QVR_InteractableViewHandler* handler = nullptr;
};

// Walks the caret through every position of the text and reads each from what the window shows.
void expectCaretAtEveryPosition(double zoom)
{
    CaretBoard b(zoom);
    const QRect box = b.textBox();
    const QPoint inText(box.left() + 2, box.top() + 16);
    b.click(inText);
    QTest::qWait(250); // not a double click
    b.click(inText);
    ASSERT_TRUE(b.editing());
    int previous = -1;
    for (int position = 0; position <= CaretBoard::kSpaces; ++position) {
        const QList<int> columns = b.inkedColumns();
        ASSERT_FALSE(columns.isEmpty()) << "no caret shown at position " << position << " at zoom " << zoom;
        EXPECT_LE(columns.size(), 3) << "at position " << position;
        EXPECT_GT(columns.first(), previous) << "the caret did not move at position " << position;
        previous = columns.first();
        UserInput::pressKey(b.viewport(), Qt::Key_Right, Qt::NoModifier, 10);
        UserInput::letRepaintsHappen(20);
    }
}

} // namespace

TEST(TextCaret, ShowsAtEveryPositionBelowFullZoom)
{
    expectCaretAtEveryPosition(0.72);
    expectCaretAtEveryPosition(0.75);
    expectCaretAtEveryPosition(0.5);
    // Below half size a unit is less than a pixel even at a ratio of two.
    expectCaretAtEveryPosition(0.3);
    expectCaretAtEveryPosition(1.0);
}

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>
#include <QTest>

#include "elements/text/QVRTextMMObjTextView.h"
#include "elements/text/QVR_TextMixedMediaElementView.h"
#include "platform/UndoManager.h"
#include "support/QtPrinters.h"
#include "tessarine_data_model/QVR_TextStorage.h"
#include "tessarine_data_model/TextLayout.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// A text object with only plain properties on a one-screen flow, and its plain view in a scene.
struct PlainHost {
    explicit PlainHost(const QString& text, const QString& font = QStringLiteral("Courier"), double size = 40,
                       const QRectF& frame = {0, 0, 400, 100})
    {
        document = ZERI_TessarineModel::create();
        document->setDontSave(true);
        if (document->flowModels().empty())
            document->addFlowModel(ZERI_FlowModel::create());
        flow = document->flowModels().front();
        if (flow->screenModels().empty())
            flow->addFlowScreen(ZERI_FlowScreenModel::create());
        proxy = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
        (*proxy)->setFrame(frame);
        flow->screenModels().front()->addMixedMediaObject(proxy);
        object()->setText(text);
        object()->setFont(font, size);
        object()->setTextColor(Qt::black);
        object()->setBackgroundColor(Qt::white);
        settle();
        view = new QVR_TextMixedMediaElementView(object());
        scene.addItem(view);
        view->setFrame(QRectF(QPointF(0, 0), frame.size()));
        settle();
    }
    ~PlainHost() { delete view; }

    std::shared_ptr<ZERI_MMObject_Text> object() const { return proxy->as<ZERI_MMObject_Text>(); }
    QRectF textViewFrame() const { return QRectF(view->textView()->pos(), view->textView()->size()); }
    TextAttributes viewAttributes() const { return *view->textView()->textStorage()->attributesAtIndex(0); }
    // The height the object takes for `text`.
    double measuredHeight(const QString& text)
    {
        object()->setText(text);
        view->setAppropriatelyScaledTextProperties();
        return object()->frame().height();
    }

    std::shared_ptr<ZERI_TessarineModel> document;
    std::shared_ptr<ZERI_FlowModel> flow;
    std::shared_ptr<ZERI_MixedMediaObjectProxy> proxy;
    QGraphicsScene scene;
    QVR_TextMixedMediaElementView* view = nullptr;
};

void press(QGraphicsItem* item, const QPointF& point)
{
    QGraphicsSceneMouseEvent event(QEvent::GraphicsSceneMousePress);
    event.setButton(Qt::LeftButton);
    event.setButtons(Qt::LeftButton);
    event.setPos(point);
    event.setScenePos(item->mapToScene(point));
    event.setAccepted(false);
    item->scene()->sendEvent(item, &event);
    QGraphicsSceneMouseEvent release(QEvent::GraphicsSceneMouseRelease);
    release.setButton(Qt::LeftButton);
    release.setPos(point);
    release.setScenePos(item->mapToScene(point));
    item->scene()->sendEvent(item, &release);
}

} // namespace

TEST(PlainTextElementView, TheTextViewIsInsetByThePaddingOfTheFontSize)
{
    const std::pair<double, QRectF> cases[] = {
        {40, QRectF(8, 8, 384, 84)},
        {12, QRectF(12, 4, 376, 92)},
        {14, QRectF(10, 6, 380, 88)},
    };
    for (const auto& [size, expected] : cases) {
        PlainHost host(QStringLiteral("One"), QStringLiteral("Courier"), size);
        EXPECT_EQ(host.textViewFrame(), expected) << size;
    }
}

TEST(PlainTextElementView, TheFontScalesWithTheViewAndKeepsTheLineBreaks)
{
    // About sixteen Courier characters fit a line of the 384-point column at 40 points.
    PlainHost host(QStringLiteral("aaaa bbbb cccc dddd eeee ffff gggg hhhh iiii"));
    auto lines = [&](double size) {
        const double line = TextLayout::lineHeightForFont("Courier", size) * 0.84;
        return int(std::lround(host.view->textView()->layout().usedRect().height() / line));
    };
    EXPECT_DOUBLE_EQ(host.viewAttributes().fontSize, 40);
    EXPECT_EQ(lines(40), 3);

    host.view->setFrame(QRectF(0, 0, 800, 200));
    EXPECT_DOUBLE_EQ(host.view->scale(), 2);
    EXPECT_DOUBLE_EQ(host.viewAttributes().fontSize, 80);
    EXPECT_EQ(lines(80), 3);
    // The object keeps its own size; only the view scaled.
    EXPECT_DOUBLE_EQ(host.object()->frame().width(), 400);
}

TEST(PlainTextElementView, LinesFollowTheFontsLineHeightMultiple)
{
    PlainHost host(QStringLiteral("one\ntwo\nthree"));
    const TextLayout& layout = host.view->textView()->layout();
    const double plain =
        TextLayout(AttributedText(QStringLiteral("one\ntwo\nthree"), host.viewAttributes()), 1000).usedRect().height();
    EXPECT_NEAR(layout.usedRect().height(), 0.84 * plain, 0.5);
    EXPECT_DOUBLE_EQ(host.view->textView()->frameAttributes().lineHeightMultiple, 0.84);

    host.object()->setFont(QStringLiteral("Lobster1.4"), 40);
    settle();
    EXPECT_DOUBLE_EQ(host.view->textView()->frameAttributes().lineHeightMultiple, 1.01);
    EXPECT_EQ(host.viewAttributes().fontName, "Lobster1.4");
}

TEST(PlainTextElementView, TheObjectsHeightIsItsTextMeasuredAtTheDrawnColumn)
{
    PlainHost host(QStringLiteral("abc"), QStringLiteral("ArialMT"), 40);
    const double line = TextLayout::lineHeightForFont("ArialMT", 40);
    const double abc = host.measuredHeight(QStringLiteral("abc"));
    EXPECT_NEAR(abc, line + 16, 0.01);
    EXPECT_NEAR(host.measuredHeight(QStringLiteral("abc\n")), abc + line, 0.01);
    EXPECT_NEAR(host.measuredHeight(QStringLiteral("abc ")), abc, 0.01);
    EXPECT_NEAR(host.measuredHeight(QString()), line + 16, 0.01);

    // A line wider than the 384-point column but narrower than the element wraps where it is drawn.
    TextAttributes attributes = host.viewAttributes();
    QString wide = QStringLiteral("m");
    while (TextLayout(AttributedText(wide + QStringLiteral("m"), attributes), 1e6).usedRect().width() <= 384)
        wide += QStringLiteral("m");
    wide += QStringLiteral(" i");
    const double width = TextLayout(AttributedText(wide, attributes), 1e6).usedRect().width();
    ASSERT_GT(width, 384);
    ASSERT_LT(width, 400);
    EXPECT_NEAR(host.measuredHeight(wide), 2 * line + 16, 0.01);
    // Only the height changes.
    EXPECT_EQ(host.object()->frame().topLeft(), QPointF(0, 0));
    EXPECT_DOUBLE_EQ(host.object()->frame().width(), 400);
}

TEST(PlainTextElementView, DegenerateFramesAndSizesStayFinite)
{
    PlainHost host(QStringLiteral("abc"), QStringLiteral("Courier"), 40, {0, 0, 400, 100});
    const double nan = std::numeric_limits<double>::quiet_NaN();
    host.view->setFrame(QRectF(0, 0, nan, 100));
    EXPECT_EQ(host.view->frame(), QRectF(0, 0, 400, 100));
    host.view->setFrame(QRectF(0, 0, 0, 0));
    EXPECT_TRUE(std::isfinite(host.viewAttributes().fontSize));
    EXPECT_GE(host.textViewFrame().width(), 0);

    host.object()->setFrame(QRectF(0, 0, 0, 100));
    host.view->setFrame(QRectF(0, 0, 400, 100));
    EXPECT_DOUBLE_EQ(host.view->scale(), 1);
    EXPECT_DOUBLE_EQ(host.viewAttributes().fontSize, 40);
    EXPECT_TRUE(std::isfinite(host.object()->frame().height()));

    host.object()->setFrame(QRectF(0, 0, 400, 100));
    for (double size : {0.0, 2000.0}) {
        host.object()->setFont(QStringLiteral("Courier"), size);
        settle();
        const double drawn = host.viewAttributes().fontSize;
        EXPECT_GE(drawn, QVR_TextMixedMediaElementView::kMinimumPointSize) << size;
        EXPECT_LE(drawn, QVR_TextMixedMediaElementView::kMaximumPointSize) << size;
        EXPECT_TRUE(std::isfinite(host.object()->frame().height())) << size;
    }
}

TEST(PlainTextElementView, EnteringEditingSelectsAllOfAThemeTextOnly)
{
    PlainHost host(QStringLiteral("Hello"));
    host.view->textView()->setSelectable(true);
    host.view->textView()->setSelectedRange({1, 2});
    host.view->setEditable(true);
    EXPECT_EQ(host.view->textView()->selectedRange(), (TextRange{1, 2}));
    host.view->setEditable(false);
    EXPECT_EQ(host.view->textView()->selectedRange(), (TextRange{5, 0}));

    host.object()->setIsThemeText(true);
    host.view->setEditable(true);
    EXPECT_EQ(host.view->textView()->selectedRange(), (TextRange{0, 5}));
}

TEST(PlainTextElementView, TypingIsOneUndoStepClosedAfterThePause)
{
    QVR_TextMixedMediaElementView::setTypingPauseForTesting(0.3);
    PlainHost host(QStringLiteral("abc"));
    host.object()->setIsThemeText(true);
    host.view->setEditable(true);
    host.view->textView()->setSelectedRange({3, 0});
    const int before = host.flow->undoManager().undoCount();
    int changes = 0;
    host.view->onTextDidChange = [&] { ++changes; };

    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(host.view->textView()->insertText(QStringLiteral("x")));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(host.object()->text(), "abcx");
    EXPECT_FALSE(host.object()->isThemeText());
    EXPECT_TRUE(host.view->creatingUndoBlockFromTextEntry());
    QTest::qWait(150);
    if (clock.elapsed() < 280) {
        EXPECT_TRUE(host.view->creatingUndoBlockFromTextEntry());
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return !host.view->creatingUndoBlockFromTextEntry(); }, 2000));
    EXPECT_GE(clock.elapsed(), 290);
    EXPECT_EQ(host.flow->undoManager().undoCount(), before + 1);

    host.flow->undoManager().undo();
    settle();
    EXPECT_EQ(host.object()->text(), "abc");
    EXPECT_EQ(host.view->textView()->textStorage()->string(), "abc");
    QVR_TextMixedMediaElementView::setTypingPauseForTesting(QVR_TextMixedMediaElementView::kTypingPauseSeconds);
}

TEST(PlainTextElementView, ModelChangesReachTheViewOncePerTurnWithoutAnUndoStep)
{
    PlainHost host(QStringLiteral("abc"));
    const int before = host.flow->undoManager().undoCount();
    int frameChanges = 0;
    const auto observer = host.object()->updateNotifier().addObservationBlock(
        [&](const void*, const QSet<QString>&) { ++frameChanges; }, QStringLiteral("frame"));

    int storageEdits = 0;
    const auto storage = host.view->textView()->textStorage();
    const int storageObserver = storage->addLayoutObserver([&](int, TextRange, qsizetype) { ++storageEdits; });
    host.object()->setTextColor(Qt::red);
    host.object()->setTextColor(Qt::green);
    host.object()->setTextColor(Qt::blue);
    settle();
    storage->removeLayoutObserver(storageObserver);
    EXPECT_EQ(storageEdits, 1);
    EXPECT_EQ(host.viewAttributes().foregroundColor, QColor(Qt::blue));

    host.object()->setText(QStringLiteral("abc\n"));
    settle();
    EXPECT_EQ(host.viewAttributes().foregroundColor, QColor(Qt::blue));
    EXPECT_EQ(host.view->textView()->textStorage()->string(), "abc\n");
    EXPECT_LE(frameChanges, 1);
    EXPECT_FALSE(host.view->creatingUndoBlockFromTextEntry());
    EXPECT_EQ(host.flow->undoManager().undoCount(), before);

    host.object()->setTextAlignment(TextAttributes::Center);
    settle();
    EXPECT_EQ(host.viewAttributes().alignment, TextAttributes::Center);
}

TEST(PlainTextElementView, ClicksNearTheEdgesOfAnEditedTextDoNotMoveTheCaret)
{
    PlainHost host(QStringLiteral("abcdefghij"), QStringLiteral("Courier"), 40);
    QVRTextMMObjTextView* textView = host.view->textView();
    host.view->setEditable(true);
    textView->setSelectedRange({5, 0});
    press(textView, QPointF(9, 30));
    EXPECT_EQ(textView->selectedRange(), (TextRange{5, 0}));
    EXPECT_FALSE(textView->contains(QPointF(9, 30)));
    press(textView, QPointF(10, 30));
    EXPECT_EQ(textView->selectedRange(), (TextRange{0, 0}));

    // Not editing: the whole view is the text's.
    host.view->setEditable(false);
    EXPECT_TRUE(textView->contains(QPointF(5, 30)));
}

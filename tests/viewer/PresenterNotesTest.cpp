#include <algorithm>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include <QDrag>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QPaintEvent>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>

#include "PresenterNotesTestSupport.h"
#include "controls/ViewControllerWindowController.h"
#include "creator/thumbnails/PasteboardFriendlyIndexSet.h"
#include "creator/thumbnails/QVRThumbnailController.h"
#include "storage/ContentAssetStorage.h"
#include "storage/ZERI_WebDownloader.h"
#include "strings/UFM.h"
#include "viewer/QVRPresentationNotesView.h"
#include "viewer/QVRScreenLinkThumbnailBar.h"

using namespace notestest;

namespace {

using Notes = QVRPresentationNotesViewController;

// Records, for a view and everything in it, the areas painted (in the view's coordinates) and the layout requests.
class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(QWidget* view)
        : m_view(view)
    {
        view->installEventFilter(this);
        for (QWidget* child : view->findChildren<QWidget*>())
            child->installEventFilter(this);
    }
    void clear()
    {
        painted = QRegion();
        layoutRequests = 0;
    }
    QRegion painted;
    int layoutRequests = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(event)->region().translated(widget->mapTo(m_view, QPoint()));
        if (event->type() == QEvent::LayoutRequest)
            ++layoutRequests;
        return false;
    }

private:
    QWidget* m_view;
};

class PresenterNotesOneScreen : public PresenterNotesTest {
protected:
    // Notes started from the window's button, shown.
    Notes* startFromButton(QVRViewerWindow* window)
    {
        EXPECT_NE(window->presenterNotesButton(), nullptr);
        if (!window->presenterNotesButton())
            return nullptr;
        QTest::mouseClick(window->presenterNotesButton(), Qt::LeftButton);
        Notes* notes = controller(window)->presentationNotesViewController();
        EXPECT_NE(notes, nullptr);
        if (notes) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(notes->view()->window()));
        }
        return notes;
    }

    // Notes on their own, shown at the window's size, for the clock and the countdown.
    std::unique_ptr<Notes> standaloneNotes()
    {
        auto notes = std::make_unique<Notes>();
        notes->view()->resize(1024, 600);
        notes->view()->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(notes->view()));
        return notes;
    }

    // Notes on their own showing the first of the screens, given a 10 s auto-advance.
    std::unique_ptr<Notes> notesOnATenSecondScreen(const std::vector<std::shared_ptr<ZERI_FlowScreenModel>>& screens)
    {
        screens[0]->setAutoAdvanceSlideDuration(10.0);
        auto notes = standaloneNotes();
        notes->setCurrentScreen(screens[0]);
        return notes;
    }

    static double fillShare(Notes* notes)
    {
        const int holder = notes->countdownBarHolderView()->width();
        return holder > 0 ? double(notes->progressBarFillView()->width()) / holder : -1;
    }
    // Whether the fill comes to rest at `pixels` wide (a shrinking fill glides there).
    static bool fillSettlesAt(Notes* notes, double pixels)
    {
        return QTest::qWaitFor([&] { return std::abs(notes->progressBarFillView()->width() - pixels) <= 1.0; }, 2000);
    }
};

TEST_F(PresenterNotesOneScreen, WithOneDisplayOnlyTheButtonStartsNotesInAWindowOnTheShownScreen)
{
    ASSERT_EQ(QGuiApplication::screens().size(), 1);
    auto document = makeDocument();
    QVRViewerWindow* window = open(document);
    ASSERT_NE(window, nullptr);
    QVRViewerViewController* c = controller(window);

    c->showPresentationNotesIfAble();
    EXPECT_EQ(c->presentationNotesViewController(), nullptr);
    EXPECT_TRUE(env.events(QVRViewerViewController::kPresenterNotesShownOnSecondMonitorEvent).isEmpty());

    Notes* notes = startFromButton(window);
    ASSERT_NE(notes, nullptr);
    ASSERT_NE(c->presenterNotesWindowController(), nullptr);
    QWidget* notesWindow = c->presenterNotesWindowController()->window();
    EXPECT_EQ(notesWindow->size(), QSize(1024, 600));
    EXPECT_EQ(notesWindow->windowTitle(), QStringLiteral("%1 (Title)").arg(UFM::PRESENTER_NOTES_TEXT()));
    EXPECT_FALSE(notes->notesView()->swapDisplaysButton()->isVisible());

    EXPECT_TRUE(near(pictureColour(notes->currentPreview()), kScreenColours[0]));
    EXPECT_TRUE(near(pictureColour(notes->nextPreview()), kScreenColours[1]));
    EXPECT_EQ(notes->notesTextView()->toPlainText(), QStringLiteral("Notes 1"));
    EXPECT_FALSE(notes->endLabel()->isVisible());
    EXPECT_EQ(notes->thumbnailBar()->screenItemCount(), 4);
    EXPECT_EQ(notes->thumbnailBar()->currentIndex(), 0);

    // The player goes to the last screen: no next screen, the end shows, Next does nothing.
    c->viewerView()->scrollToPage(3, false);
    EXPECT_EQ(notes->notesTextView()->toPlainText(), QStringLiteral("Notes 4"));
    EXPECT_EQ(notes->nextPreview(), nullptr);
    EXPECT_TRUE(notes->endLabel()->isVisible());
    EXPECT_TRUE(near(pictureColour(notes->currentPreview()), kScreenColours[3]));
    const auto last = notes->currentScreen();
    QTest::mouseClick(notes->nextSlideImageOverlayButton(), Qt::LeftButton);
    EXPECT_EQ(notes->currentScreen(), last);

    // The button again brings the same notes forward.
    QTest::mouseClick(window->presenterNotesButton(), Qt::LeftButton);
    EXPECT_EQ(c->presentationNotesViewController(), notes);
    EXPECT_TRUE(notesWindow->isVisible());
}

TEST_F(PresenterNotesOneScreen, ASmallNotesWindowShrinksThePreviewsAndDrawsNoPanelOverAnother)
{
    QVRViewerWindow* window = open(makeDocument());
    ASSERT_NE(window, nullptr);
    QVRViewerViewController* c = controller(window);
    Notes* notes = startFromButton(window);
    ASSERT_NE(notes, nullptr);
    QWidget* notesWindow = c->presenterNotesWindowController()->window();
    const QSize fullPreview = notes->currentPreview()->size();

    const auto inWindow = [&](QWidget* widget) {
        return QRect(widget->mapTo(notesWindow, QPoint(0, 0)), widget->size());
    };
    const auto checkLayout = [&](const char* what) {
        SCOPED_TRACE(what);
        QApplication::processEvents();
        TessarineBackgroundedScreenPreview* current = notes->currentPreview();
        TessarineBackgroundedScreenPreview* next = notes->nextPreview();
        ASSERT_TRUE(current && next);
        const QRect shownCurrent = inWindow(current);
        const QRect shownNext = inWindow(next);
        const QRect strip = inWindow(notes->thumbnailBar()->parentWidget()->parentWidget());
        const QRect text = inWindow(notes->notesTextView());
        QPushButton* nextText = nullptr;
        for (auto* button : notes->view()->findChildren<QPushButton*>())
            if (button->text() == UFM::NEXT_TEXT())
                nextText = button;
        ASSERT_TRUE(nextText);
        const QRect nextRow = inWindow(nextText);
        for (const QRect& panel : {shownCurrent, shownNext, strip})
            EXPECT_FALSE(nextRow.intersects(panel)) << "the Next row lies over a panel";
        EXPECT_FALSE(shownCurrent.intersects(shownNext)) << "the two previews";
        EXPECT_FALSE(shownCurrent.intersects(strip)) << "the current preview and the strip";
        EXPECT_FALSE(shownNext.intersects(strip)) << "the next preview and the strip";
        EXPECT_FALSE(shownCurrent.intersects(text)) << "the current preview and the notes";
        EXPECT_TRUE(notesWindow->rect().contains(strip)) << "the strip is within the window";
        // What the window shows: each preview's own screen at its centre, the Next button where it is.
        const QImage shot = notesWindow->grab().toImage();
        EXPECT_TRUE(near(shot.pixelColor(shownCurrent.center()), kScreenColours[0]));
        EXPECT_TRUE(near(shot.pixelColor(shownNext.center()), kScreenColours[1]));
        EXPECT_GT(shot.pixelColor(nextRow.center().x(), nextRow.top() + 2).lightness(), 200) << "the Next button";
    };

    ASSERT_TRUE(near(pictureColour(notes->currentPreview()), kScreenColours[0]));
    ASSERT_TRUE(near(pictureColour(notes->nextPreview()), kScreenColours[1]));
    checkLayout("at the window's first size");

    notesWindow->resize(700, 450);
    EXPECT_EQ(notesWindow->size(), QSize(700, 450));
    checkLayout("at 700 x 450");
    EXPECT_LT(notes->currentPreview()->width(), fullPreview.width()) << "the preview gave way";
    EXPECT_NEAR(double(notes->currentPreview()->height()) / notes->currentPreview()->width(), 748.0 / 1024.0, 0.02);

    notesWindow->resize(200, 150);
    EXPECT_GE(notesWindow->width(), notesWindow->minimumWidth());
    EXPECT_GT(notesWindow->minimumHeight(), 150) << "the window keeps the room its panels need";
    checkLayout("made as small as it goes");
}

TEST_F(PresenterNotesOneScreen, NotesOpenOnTheScreenThePlayerShows)
{
    QVRViewerWindow* window = open(makeDocument());
    ASSERT_NE(window, nullptr);
    QVRViewerViewController* c = controller(window);
    c->viewerView()->scrollToPage(2, false);
    c->showPresentationNotesIfAbleOverride(true);
    Notes* notes = c->presentationNotesViewController();
    ASSERT_NE(notes, nullptr);
    EXPECT_EQ(notes->notesTextView()->toPlainText(), QStringLiteral("Notes 3"));
    EXPECT_EQ(notes->thumbnailBar()->currentIndex(), 2);
    EXPECT_TRUE(near(pictureColour(notes->currentPreview()), kScreenColours[2]));
    // The clock runs from the start.
    clockMs += 1000 + 5000;
    notes->updateTimeField();
    EXPECT_EQ(notes->timeField()->text(), QStringLiteral("00:05"));
}

TEST_F(PresenterNotesOneScreen, KeysInTheNotesDriveThePlayerAndSpacePausesIt)
{
    QVRViewerWindow* window = open(makeDocument(30.0));
    ASSERT_NE(window, nullptr);
    QVRViewerViewController* c = controller(window);
    QVR_TessarineViewerView* player = c->viewerView();
    Notes* notes = startFromButton(window);
    ASSERT_NE(notes, nullptr);
    EXPECT_FALSE(notes->playPauseButtonHidden());

    QTest::keyClick(notes->notesView(), Qt::Key_Right);
    ASSERT_TRUE(settles(player, 1));
    EXPECT_EQ(notes->notesTextView()->toPlainText(), QStringLiteral("Notes 2"));
    QTest::keyClick(notes->thumbnailBar(), Qt::Key_Right);
    ASSERT_TRUE(settles(player, 2));
    QTest::keyClick(notes->notesView(), Qt::Key_Left);
    ASSERT_TRUE(settles(player, 1));

    ASSERT_FALSE(player->autoAdvancePaused());
    EXPECT_EQ(notes->playPauseImageName(), Notes::kPauseImageName);
    QTest::keyClick(notes->notesView(), Qt::Key_Space);
    EXPECT_TRUE(player->autoAdvancePaused());
    EXPECT_TRUE(notes->isPaused());
    EXPECT_EQ(notes->playPauseImageName(), Notes::kPlayImageName);
    QTest::keyClick(notes->notesView(), Qt::Key_Space);
    EXPECT_FALSE(player->autoAdvancePaused());
    EXPECT_FALSE(notes->isPaused());
    EXPECT_EQ(notes->playPauseImageName(), Notes::kPauseImageName);

    // The notes' own button pauses the player, and the title bar's pause reaches the notes.
    QTest::mouseClick(notes->playPauseButton(), Qt::LeftButton);
    EXPECT_TRUE(player->autoAdvancePaused());
    EXPECT_TRUE(notes->isPaused());
    player->setAutoAdvancePaused(false);
    EXPECT_FALSE(notes->isPaused());
}

TEST_F(PresenterNotesOneScreen, PickingAStripItemMovesThePlayerAndClosesAGallery)
{
    QVRViewerWindow* window = open(makeDocument());
    ASSERT_NE(window, nullptr);
    QVRViewerViewController* c = controller(window);
    Notes* notes = startFromButton(window);
    ASSERT_NE(notes, nullptr);
    c->openGalleryObject(viewertest::makeGallery(
        {env.service.addContent(QStringLiteral("one"), viewertest::imageBytes(Qt::red), QStringLiteral("one.png"))}));
    ASSERT_NE(c->galleryViewerView(), nullptr);

    QVRScreenLinkThumbnailBar* bar = notes->thumbnailBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->frameForItemAtIndex(2).center());
    ASSERT_TRUE(settles(c->viewerView(), 2));
    EXPECT_TRUE(QTest::qWaitFor([&] { return c->galleryViewerView() == nullptr; }, 2000));
    EXPECT_EQ(notes->notesTextView()->toPlainText(), QStringLiteral("Notes 3"));

    // Following the player selects its screen in the strip and moves the player nowhere.
    c->viewerView()->scrollToPage(1, false);
    QApplication::processEvents();
    EXPECT_EQ(bar->currentIndex(), 1);
    EXPECT_EQ(c->viewerView()->currentPage(), 1);
}

TEST_F(PresenterNotesOneScreen, TheStripStartsNoDragAndRefusesEveryDrop)
{
    QVRViewerWindow* window = open(makeDocument());
    ASSERT_NE(window, nullptr);
    Notes* notes = startFromButton(window);
    ASSERT_NE(notes, nullptr);
    QVRScreenLinkThumbnailBar* bar = notes->thumbnailBar();

    EXPECT_FALSE(bar->canDragItemsAtIndexes({0, 1}));
    EXPECT_EQ(bar->writeItemsAtIndexes({1}), nullptr);
    const QPoint start = bar->frameForItemAtIndex(1).center();
    QTest::mousePress(bar, Qt::LeftButton, {}, start);
    QMouseEvent move(QEvent::MouseMove, QPointF(start + QPoint(60, 0)),
                     bar->mapToGlobal(QPointF(start + QPoint(60, 0))), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &move);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, start + QPoint(60, 0));
    EXPECT_TRUE(bar->draggingIndexes().isEmpty());

    // A reorder from this very bar and an object drop are both refused.
    QMimeData mime;
    PasteboardFriendlyIndexSet({0}, bar->dragToken()).writeTo(mime);
    mime.setData(QVRThumbnailBar::kObjectPasteboardType, QByteArray("x"));
    const QPointF target = bar->frameForItemAtIndex(2).center();
    QDragEnterEvent enter(target.toPoint(), Qt::MoveAction | Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &enter);
    EXPECT_FALSE(enter.isAccepted());
    QDropEvent drop(target, Qt::MoveAction | Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &drop);
    EXPECT_FALSE(drop.isAccepted());
    EXPECT_EQ(notes->flowModel()->screenModels()[2]->presenterNotes(), QStringLiteral("Notes 3"));
}

TEST_F(PresenterNotesOneScreen, TheClockReadsMinutesAndSecondsThenHours)
{
    EXPECT_EQ(Notes::timeFieldString(59), QStringLiteral("00:59"));
    EXPECT_EQ(Notes::timeFieldString(3599), QStringLiteral("59:59"));
    EXPECT_EQ(Notes::timeFieldString(3600), QStringLiteral("1:00:00"));
    EXPECT_EQ(Notes::timeFieldString(3725), QStringLiteral("1:02:05"));
    EXPECT_EQ(Notes::timeFieldString(-3), QStringLiteral("00:00"));

    auto document = makeDocument();
    auto notes = standaloneNotes();
    notes->setCurrentScreen(document->firstFlowmodel()->screenModels()[0]);
    // The first screen's time starts a second late: before that it reads 00:00, not a negative time.
    notes->updateTimeField();
    EXPECT_EQ(notes->timeField()->text(), QStringLiteral("00:00"));
    clockMs += 1000 + 3725 * 1000 + 900;
    notes->updateTimeField();
    EXPECT_EQ(notes->timeField()->text(), QStringLiteral("1:02:05"));

    // Time on the screen restarts on the next screen; total time does not.
    notes->setCurrentScreen(document->firstFlowmodel()->screenModels()[1]);
    EXPECT_EQ(notes->timeField()->text(), QStringLiteral("00:00"));
    clockMs += 59 * 1000;
    notes->updateTimeField();
    EXPECT_EQ(notes->timeField()->text(), QStringLiteral("00:59"));
    Notes::setShouldUseTotalTime(true);
    notes->updateTimeField();
    EXPECT_EQ(notes->timeField()->text(), QStringLiteral("1:03:04"));
}

TEST_F(PresenterNotesOneScreen, TheCountdownStopsWhilePausedAndNeverOverflowsItsHolder)
{
    auto document = makeDocument();
    const auto screens = document->firstFlowmodel()->screenModels();
    auto notes = notesOnATenSecondScreen(screens);
    const int holder = notes->countdownBarHolderView()->width();
    ASSERT_GT(holder, 100);
    EXPECT_EQ(notes->countdownBarHolderView()->height(), Notes::kCountdownBarHeight);

    // The first second: the countdown starts late, and the fill stays within its holder.
    const qint64 loaded = clockMs;
    for (qint64 t = 0; t <= 1000; t += 100) {
        clockMs = loaded + t;
        notes->updateCountdownBarPercentage();
        EXPECT_LE(notes->progressBarFillView()->width(), holder) << t;
        EXPECT_LE(notes->lastPercent(), 1.0) << t;
    }

    clockMs = loaded + 1000 + 4000;
    notes->updateCountdownBarPercentage();
    notes->pause();
    for (int i = 1; i <= 3; ++i) {
        clockMs += 1000;
        notes->updateCountdownBarPercentage();
        EXPECT_TRUE(fillSettlesAt(notes.get(), 0.6 * holder)) << i;
    }
    notes->resume();
    clockMs += 1000;
    notes->updateCountdownBarPercentage();
    EXPECT_TRUE(fillSettlesAt(notes.get(), 0.5 * holder));

    // A screen change restarts the clock and fills the bar, keeping the pause.
    notes->pause();
    clockMs += 2000;
    notes->setCurrentScreen(screens[1]);
    EXPECT_TRUE(notes->isPaused());
    EXPECT_EQ(notes->timeField()->text(), QStringLiteral("00:00"));
    EXPECT_EQ(notes->progressBarFillView()->width(), holder);
    clockMs += 5000;
    notes->updateCountdownBarPercentage();
    EXPECT_EQ(notes->progressBarFillView()->width(), holder);
}

TEST_F(PresenterNotesOneScreen, TheCountdownGlidesWhenItShrinksAndFillsAtOnce)
{
    auto document = makeDocument();
    const auto screens = document->firstFlowmodel()->screenModels();
    auto notes = notesOnATenSecondScreen(screens);
    const int holder = notes->countdownBarHolderView()->width();
    ASSERT_GT(holder, 100);

    // Half the time gone at once: the fill starts where it was and comes down over a moment.
    clockMs += 1000 + 5000;
    QElapsedTimer clock;
    clock.start();
    notes->updateCountdownBarPercentage();
    EXPECT_EQ(notes->lastPercent(), 0.5);
    EXPECT_EQ(notes->progressBarFillView()->width(), holder);
    int least = holder;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const int width = notes->progressBarFillView()->width();
            EXPECT_LE(width, least) << "the fill only ever shrinks on its way down";
            least = std::min(least, width);
            return std::abs(width - 0.5 * holder) <= 1.0;
        },
        2000));
    EXPECT_GE(clock.elapsed(), 150);

    // A new screen fills the bar at once.
    notes->setCurrentScreen(screens[1]);
    EXPECT_EQ(notes->progressBarFillView()->width(), holder);
}

TEST_F(PresenterNotesOneScreen, MissingPreviewFilesAreFetchedForTheShownAndTheNextScreen)
{
    auto document = makeDocument();
    const auto screens = document->firstFlowmodel()->screenModels();
    std::vector<std::shared_ptr<ZERI_WebDownloader>> downloaders;
    for (int i = 0; i < 3; ++i) {
        const QString id = QStringLiteral("preview%1").arg(i);
        auto asset = ZERI_ContentAsset::create();
        asset->setExternalURL(env.service.addContent(id, viewertest::imageBytes(QColor(250, 250, 0)), id + ".png"));
        screens[std::size_t(i)]->setPreviewScreenShotAsset(asset);
        downloaders.push_back(ContentAssetStorage::downloader(*asset));
        ASSERT_TRUE(downloaders.back());
    }
    auto notes = standaloneNotes();

    // The shown screen's file and the next one's are asked for at once; the third screen's is not.
    notes->setCurrentScreen(screens[0]);
    EXPECT_EQ(downloaders[0]->downloadStatus(), ZERI_WebDownloader::Downloading);
    EXPECT_EQ(downloaders[1]->downloadStatus(), ZERI_WebDownloader::Downloading);
    EXPECT_EQ(downloaders[2]->downloadStatus(), ZERI_WebDownloader::Idle);
    EXPECT_TRUE(QTest::qWaitFor([&] { return downloaders[0]->fileExists() && downloaders[1]->fileExists(); }, 5000));
    EXPECT_EQ(env.service.contentRequestCount(QStringLiteral("/content/preview0/")), 1);
    EXPECT_EQ(env.service.contentRequestCount(QStringLiteral("/content/preview1/")), 1);
}

TEST_F(PresenterNotesOneScreen, WithoutADurationTheBarIsFullAndPlayPauseHidden)
{
    QVRViewerWindow* window = open(makeDocument());
    ASSERT_NE(window, nullptr);
    Notes* notes = startFromButton(window);
    ASSERT_NE(notes, nullptr);
    EXPECT_TRUE(notes->playPauseButtonHidden());
    EXPECT_FALSE(notes->playPauseButton()->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return notes->countdownBarHolderView()->height() == 0; }, 1000));
    clockMs += 20'000;
    notes->updateCountdownBarPercentage();
    EXPECT_EQ(notes->lastPercent(), 1.0);
    EXPECT_EQ(notes->totalSlideTime(), 0.0);
}

TEST_F(PresenterNotesOneScreen, TextSizeAndTimeChoicesAreKeptForTheNextNotes)
{
    auto document = makeDocument();
    {
        auto notes = standaloneNotes();
        notes->setCurrentScreen(document->firstFlowmodel()->screenModels()[0]);
        EXPECT_EQ(notes->notesTextView()->font().pointSizeF(), 24.0);
        QTest::mouseClick(notes->bigTextButton(), Qt::LeftButton);
        EXPECT_EQ(notes->notesTextView()->font().pointSizeF(), 36.0);
        EXPECT_EQ(UserDefaults::standard().doubleValue(Notes::kFontSizeKey), 36.0);
        EXPECT_NEAR(notes->notesTextView()->document()->documentMargin(), 10.0, 1e-9);

        EXPECT_EQ(notes->timeFieldHeader()->text(), UFM::TIME_ON_SCREEN_TEXT());
        QTest::mouseClick(notes->timeToggleButton(), Qt::LeftButton);
        EXPECT_EQ(notes->timeFieldHeader()->text(), UFM::TOTAL_TIME_TEXT());
        EXPECT_TRUE(UserDefaults::standard().boolValue(Notes::kUseTotalTimeKey));
        const auto toggled = env.events(QStringLiteral("Presenter Time Toggled"));
        ASSERT_EQ(toggled.size(), 1);
        EXPECT_EQ(toggled.first()
                      .value(QStringLiteral("parameters"))
                      .toObject()
                      .value(QStringLiteral("DidSwitchToTotalTime"))
                      .toString(),
                  QStringLiteral("YES"));
    }
    auto again = standaloneNotes();
    EXPECT_EQ(again->notesTextView()->font().pointSizeF(), 36.0);
    EXPECT_EQ(again->timeFieldHeader()->text(), UFM::TOTAL_TIME_TEXT());
    QTest::mouseClick(again->smallTextButton(), Qt::LeftButton);
    EXPECT_EQ(UserDefaults::standard().doubleValue(Notes::kFontSizeKey), 18.0);

    for (const QVariant& stored : {QVariant(0.0), QVariant(-5.0), QVariant(std::numeric_limits<double>::quiet_NaN()),
                                   QVariant(std::numeric_limits<double>::infinity()), QVariant(500.0),
                                   QVariant(QStringLiteral("large")), QVariant()}) {
        UserDefaults::standard().setValue(Notes::kFontSizeKey, stored);
        EXPECT_EQ(Notes::savedPresenterNotesFontSize(), 24.0) << stored.toString().toStdString();
    }
    UserDefaults::standard().setValue(Notes::kFontSizeKey, 0.0);
    EXPECT_EQ(standaloneNotes()->notesTextView()->font().pointSizeF(), 24.0);
}

TEST_F(PresenterNotesOneScreen, OddScreensAndFlowsNeitherCrashNorInventACountdown)
{
    auto notes = standaloneNotes();

    // A screen of no flow: no next screen, no strip, only its own duration counts.
    auto lone = ZERI_FlowScreenModel::create();
    lone->setPresenterNotes(QStringLiteral("alone"));
    notes->setCurrentScreen(lone);
    EXPECT_EQ(notes->nextScreen(), nullptr);
    EXPECT_EQ(notes->thumbnailBar()->count(), 0);
    EXPECT_EQ(notes->totalSlideTime(), 0.0);
    EXPECT_FALSE(notes->endLabel()->isVisible());
    EXPECT_EQ(notes->notesTextView()->toPlainText(), QStringLiteral("alone"));

    // Durations that are no durations leave the bar full.
    auto flow = ZERI_FlowModel::create();
    for (double bad : {-4.0, 0.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        auto screen = ZERI_FlowScreenModel::create();
        screen->setAutoAdvanceSlideDuration(bad);
        flow->addFlowScreen(screen);
        notes->setCurrentScreen(screen);
        clockMs += 3000;
        notes->updateCountdownBarPercentage();
        EXPECT_EQ(notes->totalSlideTime(), 0.0) << bad;
        EXPECT_EQ(notes->lastPercent(), 1.0) << bad;
    }
    notes->setPercentAutoplayLeft(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(notes->lastPercent(), 1.0);
    notes->setPercentAutoplayLeft(-2);
    EXPECT_EQ(notes->lastPercent(), 0.0);

    // An empty flow and no screen at all.
    notes->setFlowModel(ZERI_FlowModel::create());
    EXPECT_EQ(notes->thumbnailBar()->count(), 0);
    notes->setCurrentScreen(nullptr);
    EXPECT_TRUE(notes->notesTextView()->toPlainText().isEmpty());
    EXPECT_EQ(notes->currentPreview(), nullptr);
    notes->updateTimeField();
    notes->updateCountdownBarPercentage();
}

TEST_F(PresenterNotesOneScreen, NotesClosedWhilePreviewsAreBeingMadeLeaveNothingBehind)
{
    auto document = makeDocument();
    for (int round = 0; round < 3; ++round) {
        auto notes = standaloneNotes();
        notes->setCurrentScreen(document->firstFlowmodel()->screenModels()[std::size_t(round)]);
        QApplication::processEvents();
    }
    // The previews' requests finish after their views went.
    QTest::qWait(300);
    SUCCEED();
}

TEST_F(PresenterNotesOneScreen, ClosingTheViewerWindowClosesTheNotesWindow)
{
    QVRViewerWindow* window = open(makeDocument());
    ASSERT_NE(window, nullptr);
    QVRViewerViewController* c = controller(window);
    Notes* notes = startFromButton(window);
    ASSERT_NE(notes, nullptr);
    QPointer<QWidget> notesWindow = c->presenterNotesWindowController()->window();
    ASSERT_TRUE(notesWindow->isVisible());
    window->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !notesWindow || !notesWindow->isVisible(); }, 2000));
    EXPECT_EQ(c->presentationNotesViewController(), nullptr);
}

// Screen › Presenter Notes opens the notes from the player; Ctrl+W and Escape in their window close that window only.
TEST_F(PresenterNotesOneScreen, TheMenuOpensTheNotesAndTheirWindowsKeysCloseOnlyIt)
{
    QVRViewerWindow* window = open(makeDocument());
    ASSERT_NE(window, nullptr);
    QVRViewerViewController* c = controller(window);
    auto& manager = QVRWindowManager::sharedInstance();
    EXPECT_TRUE(manager.validateMenuItem(QStringLiteral("setPresenterNote"), window));
    for (const auto& [key, modifiers] : {std::pair{Qt::Key_W, Qt::ControlModifier}, {Qt::Key_Escape, Qt::NoModifier}}) {
        ASSERT_TRUE(manager.performMenuAction(QStringLiteral("setPresenterNote"), 0, window));
        Notes* notes = c->presentationNotesViewController();
        ASSERT_NE(notes, nullptr);
        QWidget* notesWindow = c->presenterNotesWindowController()->window();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(notesWindow));
        QTest::keyClick(notes->notesView(), key, modifiers);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !notesWindow->isVisible(); }, 2000)) << int(key);
        QTest::qWait(100);
        EXPECT_TRUE(window->isVisible()) << "a key in the notes closed the presentation";
    }
}

TEST_F(PresenterNotesOneScreen, APageChangeDecodesThePreviewsAwayFromTheMainThreadAndNeverShowsAnEmptyFrame)
{
    auto document = makeDocument();
    const auto& screens = document->firstFlowmodel()->screenModels();
    // Every screen has its stored preview, as a saved and played document has.
    for (const auto& screen : screens)
        screen->getScreenPreviewImages();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return std::all_of(screens.begin(), screens.end(),
                               [](const auto& screen) { return screen->previewScreenShotAsset() != nullptr; });
        },
        10000));
    auto notes = standaloneNotes();
    notes->setCurrentScreen(screens[0]);
    ASSERT_TRUE(near(pictureColour(notes->currentPreview()), kScreenColours[0]));
    QWidget* holder = notes->currentSlidePreviewHolder();
    const QPoint middle = holder->rect().center();

    for (int page = 1; page < 4; ++page) {
        notes->setCurrentScreen(screens[std::size_t(page)]);
        // The new picture is still being decoded elsewhere; the frame meanwhile shows the screen before.
        EXPECT_TRUE(notes->currentPreview()->isDecodingStoredPicture());
        EXPECT_TRUE(notes->currentPreview()->currentPreviewImage().isNull());
        const QColor meanwhile = holder->grab().toImage().pixelColor(middle);
        EXPECT_TRUE(near(meanwhile, kScreenColours[page - 1]) || near(meanwhile, kScreenColours[page]))
            << meanwhile.name().toStdString();
        // Then the new screen alone.
        EXPECT_TRUE(near(pictureColour(notes->currentPreview()), kScreenColours[page]));
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return holder->findChildren<TessarineBackgroundedScreenPreview*>().size() == 1; }, 2000));
        EXPECT_TRUE(near(holder->grab().toImage().pixelColor(middle), kScreenColours[page]));
    }
    // The last screen has no next one: its frame is emptied at once.
    EXPECT_EQ(notes->nextPreview(), nullptr);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return notes->nextSlidePreviewHolder()->findChildren<TessarineBackgroundedScreenPreview*>().empty(); },
        2000));
}

TEST_F(PresenterNotesOneScreen, PageChangesReachTheShownNotesAndStripWithoutAnyoneAsking)
{
    QVRViewerWindow* window = open(makeDocument());
    ASSERT_NE(window, nullptr);
    QVRViewerViewController* c = controller(window);
    Notes* notes = startFromButton(window);
    ASSERT_NE(notes, nullptr);
    // The widgets as a screen reader or a paint sees them, taken once: nothing below asks the notes again.
    QTextEdit* text = notes->notesTextView();
    QVRScreenLinkThumbnailBar* strip = notes->thumbnailBar();
    QWidget* currentHolder = notes->currentSlidePreviewHolder();
    ASSERT_EQ(text->toPlainText(), QStringLiteral("Notes 1"));
    QVR_TessarineViewerView* player = c->viewerView();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !player->isTransitioning() && !player->isAnimating(); }, 3000));

    for (const int page : {2, 1, 3, 0}) {
        player->scrollToPage(page, false);
        ASSERT_EQ(player->currentPage(), page);
        const auto shows = [&] {
            const auto previews = currentHolder->findChildren<TessarineBackgroundedScreenPreview*>();
            return text->toPlainText() == QStringLiteral("Notes %1").arg(page + 1) &&
                   strip->selectionIndexes() == QList<int>{page} &&
                   std::any_of(previews.begin(), previews.end(), [&](const auto* preview) {
                       return preview->screenModel() == player->flowModel()->screenModels()[size_t(page)];
                   });
        };
        EXPECT_TRUE(QTest::qWaitFor(shows, 2000)) << page << ": " << text->toPlainText().toStdString();
        // The strip catching up is no pick of the screen it showed before.
        EXPECT_EQ(player->currentPage(), page);
    }
    // Two changes in one turn end on the later screen.
    player->scrollToPage(1, false);
    player->scrollToPage(2, false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return text->toPlainText() == QStringLiteral("Notes 3"); }, 2000));
    EXPECT_EQ(strip->selectionIndexes(), QList<int>{2});
    EXPECT_EQ(player->currentPage(), 2);
}

TEST_F(PresenterNotesOneScreen, TheCountdownAndTheClockRepaintTheirOwnAreaAndLayNothingOut)
{
    auto document = makeDocument();
    const auto screens = document->firstFlowmodel()->screenModels();
    screens[0]->setAutoAdvanceSlideDuration(10.0);
    auto notes = standaloneNotes();
    notes->setCurrentScreen(screens[0]);
    QWidget* view = notes->view();
    QWidget* bar = notes->countdownBarHolderView();
    QLabel* clock = notes->timeField();
    const QRect barArea(bar->mapTo(view, QPoint()), bar->size());
    const QRect clockArea(clock->mapTo(view, QPoint()), clock->size());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !notes->currentPreview()->currentPreviewImage().isNull(); }, 5000));
    // Both previews are in and drawn before the ticks are watched.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !notes->nextPreview() || !notes->nextPreview()->currentPreviewImage().isNull(); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (QWidget* holder : {notes->currentPreview()->parentWidget(), notes->nextSlidePreviewHolder()}) {
                if (holder && holder->findChildren<TessarineBackgroundedScreenPreview*>().size() > 1)
                    return false;
            }
            return true;
        },
        5000));
    PaintRecorder recorder(view);
    // What the window still draws of its opening (a fade, a late picture) is over before the ticks are watched.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            recorder.clear();
            QTest::qWait(300);
            return recorder.painted.isEmpty();
        },
        5000));

    // Twenty countdown ticks: the bar's area alone, nothing laid out. They stay within the clock's first second, so
    // the clock's own timer, running meanwhile, has no new reading to draw.
    clockMs += 1000;
    for (int tick = 1; tick <= 20; ++tick) {
        clockMs += 45;
        recorder.clear();
        notes->updateCountdownBarPercentage();
        // The bar glides to its new width: its first frame follows on the animation's clock.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !recorder.painted.isEmpty(); }, 1000)) << tick;
        EXPECT_TRUE(QRegion(barArea).contains(recorder.painted.boundingRect()))
            << tick << ": " << recorder.painted.boundingRect().x() << "," << recorder.painted.boundingRect().y() << " "
            << recorder.painted.boundingRect().width() << "x" << recorder.painted.boundingRect().height() << " bar "
            << barArea.x() << "," << barArea.y() << " " << barArea.width() << "x" << barArea.height() << " clock "
            << clockArea.x() << "," << clockArea.y();
        EXPECT_EQ(recorder.layoutRequests, 0) << tick;
    }

    // The clock's new reading every second, up to an hour and more: the clock's area alone, nothing laid out.
    for (const qint64 seconds : {1, 59, 600, 3599, 3600, 4000}) {
        clockMs += seconds * 1000;
        recorder.clear();
        const QString before = clock->text();
        notes->updateTimeField();
        QApplication::processEvents();
        ASSERT_NE(clock->text(), before);
        EXPECT_TRUE(QRegion(clockArea).contains(recorder.painted.boundingRect())) << seconds;
        EXPECT_EQ(recorder.layoutRequests, 0) << seconds;
        // The reading fits the clock's room.
        EXPECT_LE(clock->fontMetrics().horizontalAdvance(clock->text()), clock->contentsRect().width()) << seconds;
    }
}

} // namespace

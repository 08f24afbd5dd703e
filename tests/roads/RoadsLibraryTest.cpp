#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include "app/QVRAppDelegate.h"
#include "controls/MouseEventShieldWindow.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "library/guides/QVRGuideViewerViewController.h"
#include "platform/UserDefaults.h"
#include "pptx/import/QVRPowerpointOverviewWindowController.h"
#include "roads/RoadsTestSupport.h"
#include "service/ServiceReachability.h"
#include "strings/UFM.h"

using namespace roads;

namespace {

class LibraryRoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        application();
        ASSERT_TRUE(inputs.isValid());
        // Run alone, a test starts the application afresh: the tour would stand in front of the dialogs.
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

    // The visible guide panel's notice inside `host`, once its list has answered.
    static QString guideNoticeIn(QWidget* host)
    {
        QString notice;
        waitFor(
            [&] {
                for (auto* label : host->findChildren<QLabel*>(QStringLiteral("guideServiceNotice")))
                    if (label->isVisible())
                        notice = label->text();
                return !notice.isEmpty();
            },
            10000);
        return notice;
    }

    QTemporaryDir inputs;
};

// No service: a new creator window's canvas stays uncovered and takes the first click; the guide opened by
// hand says why it has no guides, in the window, the home window and the Help menu's window alike.
TEST_F(LibraryRoad, WithoutTheServiceTheGuideCoversNothingByItselfAndSaysWhyItIsEmpty)
{
    UserDefaults::standard().remove(QVR_CreatorToolBarView::kAutoLaunchedGuideCountKey);
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    // A new window fits the small offscreen screen; at a desktop's size the canvas leaves the guide's place grey.
    window->resize(1280, 800);
    QVR_CreatorToolBarView* toolbar = window->theToolBarView();
    QTest::qWait(2500);
    EXPECT_FALSE(toolbar->shieldWindow() && toolbar->shieldWindow()->isVisible()) << "nothing over the canvas";
    EXPECT_EQ(QVR_CreatorToolBarView::numberOfTimesAutoLaunchedGuide(), 0) << "kept for when it can show guides";

    // Where the guide would sit (the right of the canvas below the toolbar): no white panel.
    const QImage shot = window->grab().toImage();
    const qreal ratio = window->devicePixelRatio();
    const QRect place(window->width() - 20 - 318, toolbar->height() + 40, 318, 458);
    int white = 0, all = 0;
    for (int y = place.top(); y < place.bottom(); y += 4)
        for (int x = place.left(); x < place.right(); x += 4) {
            const QColor c = shot.pixelColor(QPoint(x, y) * ratio);
            white += c.red() > 245 && c.green() > 245 && c.blue() > 245 ? 1 : 0;
            ++all;
        }
    EXPECT_LT(white, all / 2) << "a white rectangle over the canvas";

    // The guide button still opens it: it says the service cannot be reached.
    click(toolbar->guideButton());
    ASSERT_TRUE(waitFor([&] { return toolbar->openPanel() && toolbar->openPanel()->isVisible(); }, 5000));
    EXPECT_EQ(guideNoticeIn(toolbar->openPanel()), ServiceReachability::unreachableText());
    // The window system resizes the window all the same (the guide fixes the window's size limits, which a window
    // manager may override): the guide keeps its distance from the right edge.
    QWidget* panel = toolbar->openPanel();
    const auto rightMargin = [&] { return window->width() - panel->mapTo(window, QPoint(panel->width(), 0)).x(); };
    const int margin = rightMargin();
    EXPECT_EQ(margin, 20);
    const int width = window->width();
    window->windowHandle()->resize(width + 160, window->height() + 60);
    ASSERT_TRUE(waitFor([&] { return window->width() == width + 160; }, 5000));
    EXPECT_EQ(rightMargin(), margin);
    click(window->findChild<QWidget*>(QStringLiteral("closeOnClickView")));

    // The home window's guide.
    QWidget* lists = application().listsWindow();
    ASSERT_TRUE(lists);
    QToolButton* guide = nullptr;
    for (auto* button : lists->findChildren<QToolButton*>())
        if (button->text() == UFM::GUIDE_TEXT() && button->isVisible())
            guide = button;
    ASSERT_TRUE(guide);
    click(guide);
    EXPECT_EQ(guideNoticeIn(lists), ServiceReachability::unreachableText());
    if (auto* shield = lists->findChild<QWidget*>(QStringLiteral("closeOnClickView")); shield && shield->isVisible())
        click(shield);

    // Help › Guide.
    ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("guide")));
    QWidget* helpWindow = nullptr;
    ASSERT_TRUE(waitFor([&] {
        helpWindow =
            visibleTopLevel<QWidget>([](QWidget* w) { return w->windowTitle() == UFM::SAYS_TESSARINE_GUIDE(); });
        return helpWindow != nullptr;
    }));
    EXPECT_EQ(guideNoticeIn(helpWindow), ServiceReachability::unreachableText());
    helpWindow->close();
}

// A file that is no presentation: its alert shows alone; the file dialog for the next try comes once it is
// dismissed.
TEST_F(LibraryRoad, ImportingAFileThatIsNoPresentationAlertsBeforeAskingAgain)
{
    QVRPowerpointOverviewWindowController* overview = openImportOverview();
    ASSERT_TRUE(overview);
    const QString notADeck = inputs.filePath(QStringLiteral("notes.pptx"));
    QFile file(notADeck);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("a shopping list");
    file.close();

    click(overview->getStartedButton());
    ASSERT_TRUE(answerFileDialog(notADeck));
    QMessageBox* alert = nullptr;
    ASSERT_TRUE(waitFor([&] { return (alert = visibleTopLevel<QMessageBox>()) != nullptr; }));
    EXPECT_EQ(alert->text(), UFM::PPT_IMPORT_ERROR_FORMAT_NOT_RECOGNIZED_MESSAGE());
    QTest::qWait(300);
    EXPECT_EQ(visibleTopLevel<QFileDialog>(), nullptr) << "no file dialog over the alert";

    click(alert->buttons().first());
    QFileDialog* next = nullptr;
    ASSERT_TRUE(waitFor([&] { return (next = visibleTopLevel<QFileDialog>()) != nullptr; }));
    EXPECT_EQ(visibleTopLevel<QMessageBox>(), nullptr);
    next->reject();
    EXPECT_TRUE(waitFor([&] { return !overview->loadingViewController(); }));
    overview->close();
}

} // namespace

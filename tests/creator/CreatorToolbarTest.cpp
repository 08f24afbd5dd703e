#include <QAction>
#include <QApplication>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "CreatorTestSupport.h"
#include "app/QVRWindowManager.h"
#include "controls/ComboBoxView.h"
#include "controls/UniversalPopover.h"
#include "creator/CreatorLibrary.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/toolbar/CreatorToolbarPanels.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/toolbar/QVR_ZoomMenuGeneratorObject.h"
#include "creator/window/CreatorOutput.h"
#include "creator/window/CreatorPublishing.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "creator/window/WindowSizeLock.h"
#include "foundation/SafeDictionary.h"
#include "foundation/Tessutils.h"
#include "platform/UserDefaults.h"
#include "support/UserInput.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using namespace creator_test;

namespace {

struct FakePublishing : CreatorPublishing {
    QStringList calls;
    void saveDraft(const std::shared_ptr<ZERI_TessarineModel>&, QWidget*) override { calls << "draft"; }
    void publish(const std::shared_ptr<ZERI_TessarineModel>&, QWidget*, bool asAdmin) override
    {
        calls << (asAdmin ? "admin" : "publish");
    }
    void unpublish(const std::shared_ptr<ZERI_TessarineModel>&, QWidget*) override { calls << "unpublish"; }
    void share(const std::shared_ptr<ZERI_TessarineModel>&, QWidget*) override { calls << "share"; }
    bool hasPublishedCopy(const std::shared_ptr<ZERI_TessarineModel>&) const override { return false; }
};

struct ToolbarWindow {
    std::shared_ptr<ZERI_TessarineModel> document = makeDocument(3);
    QPointer<QVR_CreatorWindow> window;
    QVR_CreatorToolBarView* toolbar = nullptr;

    ToolbarWindow()
    {
        registerCreatorLibrary();
        window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
        // A new window fits the offscreen screen, narrower than a desktop's: the wide window the checks start from.
        window->resize(1280, 800);
        window->launchTessarineWithTessarineModel(document);
        toolbar = QVR_CreatorToolBarView::toolbarForWindow(window);
        QApplication::processEvents();
    }
    ~ToolbarWindow() { delete window; }
};

// Leaves the process-wide registries as it found them.
struct RegistryReset {
    ~RegistryReset()
    {
        CreatorPublishing::registerPublishing(nullptr);
        CreatorOutput::registerOutput(nullptr);
        CreatorToolbarPanels::shared() = {};
        Tessutils::setCorvikUserDict(std::nullopt);
    }
};

QAction* menuItem(QMenu* menu, const QString& title)
{
    for (QAction* item : menu->actions())
        if (item->text() == title)
            return item;
    return nullptr;
}

QStringList checkedItems(QMenu* menu)
{
    QStringList titles;
    for (QAction* item : menu->actions())
        if (item->isChecked())
            titles << item->text();
    return titles;
}

} // namespace

TEST(CreatorToolbar, SitsInEveryCreatorWindowAndOnlyThere)
{
    ToolbarWindow w;
    ASSERT_TRUE(w.toolbar);
    EXPECT_EQ(w.toolbar, w.window->theToolBarView());
    EXPECT_TRUE(w.window->titleBarView()->isAncestorOf(w.toolbar));
    QWidget other;
    EXPECT_EQ(QVR_CreatorToolBarView::toolbarForWindow(&other), nullptr);
    EXPECT_EQ(QVR_CreatorToolBarView::toolbarForWindow(nullptr), nullptr);
    EXPECT_FALSE(CreatorOutput::shared()) << "export and print wait for their library";
}

TEST(CreatorToolbar, ZoomReadOutAndMenu)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ToolbarWindow w;
    QVR_CreatorToolBarView& bar = *w.toolbar;
    QMenu* menu = bar.zoomMenu();
    const auto readOut = [&] { return bar.comboBox()->label()->text(); };
    const auto post = [&](const void* sender, const QVariantMap& info) {
        NotificationCenter::defaultCenter().post(QVR_SingleScreenArtBoardView::kZoomLevelChangedNotification, sender,
                                                 info);
    };
    const QString key = QVR_SingleScreenArtBoardView::kZoomLevelChangedKey;

    post(w.window.data(), {{key, 1.5f}});
    EXPECT_EQ(readOut(), "150%");
    EXPECT_EQ(checkedItems(menu), QStringList{"150%"});
    post(w.window.data(), {{key, 0.333f}});
    EXPECT_EQ(readOut(), "34%");
    EXPECT_TRUE(checkedItems(menu).isEmpty());
    // Float levels land a hair above their percentage; they must not round up a whole percent.
    post(w.window.data(), {{key, 0.1f}});
    EXPECT_EQ(readOut(), "10%");
    EXPECT_EQ(checkedItems(menu), QStringList{"10%"});
    post(w.window.data(), {{key, 1.1f}});
    EXPECT_EQ(readOut(), "110%");

    // Posts of other windows, or without the level, change nothing.
    QWidget stranger;
    post(&stranger, {{key, 2.0f}});
    post(w.window.data(), {});
    post(w.window.data(), {{key, std::nan("")}});
    EXPECT_EQ(readOut(), "110%");

    // Choosing a level posts it from the window; the item is checked a little later.
    PostCounter chosen(QVR_CreatorWindow::kScreenZoomLevelNotification);
    QAction* item = menuItem(menu, "150%");
    ASSERT_TRUE(item);
    item->setChecked(false);
    item->trigger();
    EXPECT_EQ(chosen.count, 1);
    EXPECT_EQ(chosen.lastSender, w.window.data());
    EXPECT_DOUBLE_EQ(chosen.lastUserInfo.value(QVR_CreatorWindow::kScreenZoomLevelScaleKey).toDouble(), 1.5);
    item->setChecked(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return item->isChecked(); }, 2000));

    menuItem(menu, QVR_ZoomMenuGeneratorObject::stringForFitToScreenTitle())->trigger();
    EXPECT_EQ(chosen.count, 2);
    EXPECT_DOUBLE_EQ(chosen.lastUserInfo.value(QVR_CreatorWindow::kScreenZoomLevelScaleKey).toDouble(), -1.0);
    QLocale::setDefault(QLocale::system());
}

TEST(CreatorToolbar, TitleLinkAndSpinner)
{
    ToolbarWindow w;
    QVR_CreatorToolBarView& bar = *w.toolbar;
    bar.setTessarineTitle("");
    EXPECT_EQ(bar.titleLabel()->text(), UFM::UNTITLED_TEXT());
    bar.setTessarineTitle("Trip");
    EXPECT_EQ(bar.titleLabel()->text(), "Trip");

    bar.updateDisplayedShareUrl("https://tssr.in/abc");
    EXPECT_EQ(bar.urlField()->text(), "tssr.in/abc");
    EXPECT_TRUE(bar.urlField()->isReadOnly());
    EXPECT_FALSE(bar.urlFieldOverlayButton()->isEnabled());
    bar.updateDisplayedShareUrl("http://a.b/c");
    EXPECT_EQ(bar.urlField()->text(), "a.b/c");
    bar.updateDisplayedShareUrl(QString());
    EXPECT_EQ(bar.urlField()->text(), "");
    EXPECT_TRUE(bar.urlFieldOverlayButton()->isEnabled());

    // Nested starts keep the spinner until the last stop; extra stops keep the count at 0.
    bar.stopProgressIndicator();
    EXPECT_EQ(bar.progressIndicatorShowCount(), 0);
    bar.startProgressIndicator();
    bar.startProgressIndicator();
    bar.stopProgressIndicator();
    EXPECT_FALSE(bar.globalProgressIndicator()->isHidden());
    bar.stopProgressIndicator();
    EXPECT_TRUE(bar.globalProgressIndicator()->isHidden());
    bar.stopProgressIndicator();
    EXPECT_EQ(bar.progressIndicatorShowCount(), 0);
    bar.startProgressIndicator();
    EXPECT_FALSE(bar.globalProgressIndicator()->isHidden()) << "an extra stop earlier must not swallow a start";

    // A press anywhere else ends the link field's focus.
    w.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window));
    w.window->activateWindow();
    bar.urlField()->setFocus();
    if (bar.urlField()->hasFocus()) {
        QTest::mouseClick(bar.titleLabel(), Qt::LeftButton);
        EXPECT_FALSE(bar.urlField()->hasFocus());
    }
}

TEST(CreatorToolbar, ThePostCaptionReadsAsBrightAsTheOtherWorkingButtons)
{
    RegistryReset reset;
    ToolbarWindow w;
    QVR_CreatorToolBarView& bar = *w.toolbar;
    CreatorPublishing::registerPublishing(std::make_shared<FakePublishing>());
    bar.updateButtonStates();
    w.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window));
    ASSERT_TRUE(bar.postButton()->isEnabled());
    const QImage shown = w.window->grab().toImage();
    // The brightest point of a caption, as the window shows it.
    const auto captionLight = [&](QVR_ToolbarButton* button) {
        const QRect label = button->labelFrame().translated(button->mapTo(w.window, QPoint(0, 0)));
        int light = 0;
        for (int y = label.top(); y <= label.bottom(); ++y)
            for (int x = label.left(); x <= label.right(); ++x)
                light = std::max(light, qGray(shown.pixel(x, y)));
        return light;
    };
    const int saveDraft = captionLight(bar.saveDraftButton());
    EXPECT_GT(saveDraft, 150);
    EXPECT_NEAR(captionLight(bar.postButton()), saveDraft, 12);
    EXPECT_NEAR(captionLight(bar.shareButton()), saveDraft, 12);
}

TEST(CreatorToolbar, PublishingButtonsWaitForTheirLibraryAndAltAsksAdmins)
{
    RegistryReset reset;
    ToolbarWindow w;
    QVR_CreatorToolBarView& bar = *w.toolbar;
    EXPECT_FALSE(bar.saveDraftButton()->isEnabled());
    EXPECT_FALSE(bar.postButton()->isEnabled());
    bar.postButtonPressed({});
    bar.doAdminPost(0);

    auto fake = std::make_shared<FakePublishing>();
    CreatorPublishing::registerPublishing(fake);
    bar.updateButtonStates();
    EXPECT_TRUE(bar.saveDraftButton()->isEnabled());
    EXPECT_TRUE(bar.postButton()->isEnabled());
    w.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window));

    QTest::mouseClick(bar.postButton(), Qt::LeftButton);
    QTest::mouseClick(bar.saveDraftButton(), Qt::LeftButton);
    QTest::mouseClick(bar.shareButton(), Qt::LeftButton);
    // Alt alone is no admin post for an ordinary account.
    QTest::mouseClick(bar.postButton(), Qt::LeftButton, Qt::AltModifier);
    EXPECT_EQ(fake->calls, (QStringList{"publish", "draft", "share", "publish"}));
    fake->calls.clear();

    Tessutils::setCorvikUserDict(SafeDictionary(QJsonObject{{"account_type", "admin"}}));
    for (const QString answer : {"Cancel", "Keep Going!"}) {
        QTest::mouseClick(bar.postButton(), Qt::LeftButton, Qt::AltModifier);
        QMessageBox* alert = w.window->findChild<QMessageBox*>();
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->text(), "WARNING!");
        EXPECT_TRUE(alert->informativeText().startsWith("You have chosen to ADMIN POST this Tessarine!"));
        QAbstractButton* chosen = nullptr;
        for (QAbstractButton* button : alert->buttons())
            if (button->text() == answer)
                chosen = button;
        ASSERT_TRUE(chosen);
        QPointer<QMessageBox> guarded(alert);
        chosen->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return guarded.isNull(); }, 2000)) << "the alert goes away";
    }
    EXPECT_EQ(fake->calls, QStringList{"admin"});
    // A plain click still posts plainly.
    QTest::mouseClick(bar.postButton(), Qt::LeftButton);
    EXPECT_EQ(fake->calls, (QStringList{"admin", "publish"}));
}

TEST(CreatorToolbar, PanelsLockTheWindowSizeUntilTheLastCloses)
{
    RegistryReset reset;
    ToolbarWindow w;
    QVR_CreatorToolBarView& bar = *w.toolbar;
    w.window->setMinimumSize(400, 300);
    w.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window));
    const QSize minimum = w.window->minimumSize();
    const QSize maximum = w.window->maximumSize();

    // Without their libraries, neither panel opens.
    bar.guideButtonPressed();
    bar.titleLabelPressed();
    EXPECT_FALSE(bar.shieldWindow());
    EXPECT_FALSE(bar.guideButton()->isEnabled());

    CreatorToolbarPanels::shared().guide = [](QWidget* parent) { return new QLabel("guide", parent); };
    CreatorToolbarPanels::shared().titleEditor = [](QWidget* parent, const std::shared_ptr<ZERI_TessarineModel>&) {
        return new QLabel("title", parent);
    };
    bar.updateButtonStates();
    EXPECT_TRUE(bar.guideButton()->isEnabled());

    for (bool guideFirst : {true, false}) {
        if (guideFirst)
            bar.guideButtonPressed();
        else
            bar.titleLabelPressed();
        ASSERT_TRUE(bar.shieldWindow());
        EXPECT_EQ(w.window->minimumSize(), w.window->size());
        EXPECT_EQ(w.window->maximumSize(), w.window->size());
        // Opening the other replaces the first, which gives its lock back.
        QPointer<MouseEventShieldWindow> first = bar.shieldWindow();
        if (guideFirst)
            bar.titleLabelPressed();
        else
            bar.guideButtonPressed();
        EXPECT_NE(bar.shieldWindow(), first.data());
        EXPECT_EQ(WindowSizeLock::lockCount(w.window), 1);
        // The stale shield's own close does nothing to the open one.
        if (first)
            first->closeOnClickView()->performClose();
        EXPECT_EQ(WindowSizeLock::lockCount(w.window), 1);
        bar.shieldWindow()->closeOnClickView()->performClose();
        EXPECT_FALSE(bar.shieldWindow());
        EXPECT_EQ(w.window->minimumSize(), minimum);
        EXPECT_EQ(w.window->maximumSize(), maximum);
    }
}

TEST(CreatorToolbar, GuideAndTitleEditorOpenInsideTheWindowAndTheirShieldTakesOnlyClicksBesideThem)
{
    RegistryReset reset;
    ToolbarWindow w;
    w.window->resize(1280, 800);
    w.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window));
    QPointer<QWidget> panel;
    auto make = [&panel](QWidget* parent) {
        panel = new QWidget(parent);
        panel->setMinimumSize(320, 460);
        return panel.data();
    };
    CreatorToolbarPanels::shared().guide = make;
    CreatorToolbarPanels::shared().titleEditor = [&make](QWidget* parent, const std::shared_ptr<ZERI_TessarineModel>&) {
        return make(parent);
    };
    QVR_CreatorToolBarView& bar = *w.toolbar;
    for (bool guide : {true, false}) {
        if (guide)
            bar.guideButtonPressed();
        else
            bar.titleLabelPressed();
        ASSERT_TRUE(bar.shieldWindow() && panel);
        QWidget* closeView = bar.shieldWindow()->closeOnClickView();
        EXPECT_EQ(closeView->size(), w.window->size());
        // Wholly inside the window: at its right end for the guide, under the centred title for the editor.
        const QRect shown(panel->mapTo(closeView, QPoint(0, 0)), panel->size());
        EXPECT_TRUE(closeView->rect().contains(shown)) << guide;
        if (guide) {
            EXPECT_GT(shown.x(), w.window->width() / 2);
        } else {
            EXPECT_NEAR(shown.center().x(), w.window->width() / 2, w.window->width() / 8);
            // The editor sits in a light popover whose arrow points up at the title.
            auto* popover = qobject_cast<UniversalPopover*>(panel->parentWidget());
            ASSERT_TRUE(popover);
            EXPECT_EQ(bar.openPanel(), popover);
            EXPECT_EQ(popover->arrowPosition(), UniversalPopover::ArrowPositionTop);
            EXPECT_EQ(popover->color(), QColor::fromRgbF(0.95f, 0.95f, 0.95f));
            const QRect title(bar.titleLabel()->mapTo(w.window, QPoint(0, 0)), bar.titleLabel()->size());
            const QPointF tip = popover->mapTo(closeView, popover->arrowTip().toPoint());
            EXPECT_NEAR(tip.x(), title.center().x(), 2);
            EXPECT_NEAR(tip.y(), title.bottom() + 1, 2);
            EXPECT_GT(shown.top(), title.bottom());
        }
        // A click beside the panel closes it; the next click reaches the window again.
        QTest::mouseClick(closeView, Qt::LeftButton, {}, QPoint(20, w.window->height() - 20));
        EXPECT_FALSE(bar.shieldWindow());
    }
}

TEST(CreatorToolbar, GuideOpensByItselfInTheFirstTwoWindowsOnly)
{
    RegistryReset reset;
    UserDefaults::standard().remove(QVR_CreatorToolBarView::kAutoLaunchedGuideCountKey);
    int made = 0;
    CreatorToolbarPanels::shared().guide = [&made](QWidget* parent) {
        ++made;
        return new QLabel("guide", parent);
    };
    {
        ToolbarWindow first;
        first.window->show();
        EXPECT_EQ(QVR_CreatorToolBarView::numberOfTimesAutoLaunchedGuide(), 1);
        EXPECT_EQ(made, 0) << "not at once";
        EXPECT_TRUE(QTest::qWaitFor([&] { return made == 1; }, 2000));
    }
    UserDefaults::standard().setValue(QVR_CreatorToolBarView::kAutoLaunchedGuideCountKey, 2);
    {
        ToolbarWindow third;
        third.window->show();
        QTest::qWait(1200);
        EXPECT_EQ(made, 1);
        EXPECT_EQ(QVR_CreatorToolBarView::numberOfTimesAutoLaunchedGuide(), 2);
    }
    UserDefaults::standard().remove(QVR_CreatorToolBarView::kAutoLaunchedGuideCountKey);
}

TEST(WindowSizeLock, CountedLocksRestoreOnTheLastRelease)
{
    QWidget window;
    window.resize(500, 400);
    window.setMinimumSize(100, 80);
    window.setMaximumSize(900, 700);
    for (bool firstReleasedFirst : {true, false}) {
        auto a = std::make_unique<WindowSizeLock>(&window);
        window.resize(600, 450); // fixed: stays
        auto b = std::make_unique<WindowSizeLock>(&window);
        EXPECT_EQ(window.minimumSize(), QSize(500, 400));
        (firstReleasedFirst ? a : b).reset();
        EXPECT_EQ(window.maximumSize(), QSize(500, 400)) << "still held by the other";
        (firstReleasedFirst ? b : a).reset();
        EXPECT_EQ(window.minimumSize(), QSize(100, 80));
        EXPECT_EQ(window.maximumSize(), QSize(900, 700));
        EXPECT_EQ(WindowSizeLock::lockCount(&window), 0);
    }
    // Releasing twice, or after the window is gone, is harmless.
    WindowSizeLock twice(&window);
    twice.release();
    twice.release();
    EXPECT_EQ(window.minimumSize(), QSize(100, 80));
    auto doomed = std::make_unique<QWidget>();
    WindowSizeLock orphan(doomed.get());
    doomed.reset();
    orphan.release();
    WindowSizeLock none(nullptr);
    EXPECT_FALSE(none.isHeld());

    // A maximised window keeps its size hints: fixed ones would have the window manager undo the maximising.
    QWidget maximised;
    maximised.showMaximized();
    WindowSizeLock held(&maximised);
    EXPECT_EQ(maximised.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
}

TEST(ToolbarButton, LaysOutCaptionBelowIconAndTintsWhilePressed)
{
    QWidget holder;
    holder.setAutoFillBackground(true);
    QPalette palette = holder.palette();
    palette.setColor(QPalette::Window, Qt::white);
    holder.setPalette(palette);
    holder.resize(60, 50);
    auto* button = new QVR_ToolbarButton(&holder);
    button->setGeometry(0, 0, 60, 50);
    QImage icon(20, 20, QImage::Format_ARGB32);
    icon.fill(Qt::red);
    button->setIconImage(QIcon(QPixmap::fromImage(icon)), QSize(20, 20));
    EXPECT_EQ(button->iconFrame(), QRect(20, 15, 20, 20)) << "centred without a caption";

    button->setTitle("Insert");
    const int h = button->labelFrame().height();
    ASSERT_GT(h, 0);
    EXPECT_EQ(button->labelFrame().y(), 44 - h);
    EXPECT_EQ(button->iconFrame().y(), 18 - h);
    EXPECT_EQ(button->iconFrame().x(), 20);
    EXPECT_EQ(button->labelFrame().x() + button->labelFrame().width() / 2, 30);
    EXPECT_TRUE(button->text().isEmpty()) << "the caption is no button text";

    button->setEnabled(false);
    EXPECT_DOUBLE_EQ(button->iconOpacity(), 0.5);
    button->setEnabled(true);
    EXPECT_DOUBLE_EQ(button->iconOpacity(), 1.0);

    const auto cornerGrey = [&] { return qRed(holder.grab().toImage().pixel(1, 1)); };
    EXPECT_EQ(cornerGrey(), 255);
    button->setDown(true);
    EXPECT_NEAR(cornerGrey(), 191, 3) << "black at 25 % over white";
    button->setDown(false);
    EXPECT_EQ(cornerGrey(), 255);
}

TEST(CreatorToolbar, InANarrowWindowTheLinkFieldNarrowsInsteadOfSlidingUnderTheZoomBox)
{
    ToolbarWindow w;
    w.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window));
    QWidget* link = w.toolbar->findChild<QWidget*>(QStringLiteral("linkHolder"));
    ASSERT_TRUE(link);
    const auto place = [&](QWidget* widget) { return QRect(widget->mapTo(w.toolbar, QPoint(0, 0)), widget->size()); };
    EXPECT_EQ(link->width(), 260) << "full width in a wide window";

    w.window->resize(900, w.window->height());
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.toolbar->width() <= 900; }, 2000));
    QApplication::processEvents();
    EXPECT_FALSE(place(link).intersects(place(w.toolbar->comboBox()))) << "the link field under the zoom box";
    EXPECT_FALSE(place(link).intersects(place(w.toolbar->detailsButton())));
    EXPECT_GE(link->width(), 120);
    EXPECT_EQ(w.toolbar->urlFieldOverlayButton()->width(), link->width()) << "the overlay covers the field";
}

namespace {

// The toolbar's visible parts, in window coordinates.
QList<std::pair<QWidget*, QRect>> toolbarParts(QVR_CreatorToolBarView& bar, QWidget* window)
{
    QList<std::pair<QWidget*, QRect>> parts;
    QList<QWidget*> widgets{bar.titleLabel(), bar.urlField(), bar.comboBox()};
    for (QWidget* button :
         {bar.viewButton(), bar.saveDraftButton(), bar.postButton(), bar.shareButton(), bar.detailsButton(),
          bar.insertButton(), bar.addScreenButton(), bar.guideButton(), bar.sidebarMenuButton()})
        widgets.append(button);
    for (QWidget* widget : widgets) {
        if (widget->isVisible())
            parts.append({widget, QRect(widget->mapTo(window, QPoint(0, 0)), widget->size())});
    }
    return parts;
}

} // namespace

TEST(CreatorToolbar, ANarrowWindowStopsAtASizeWhereNothingOverlapsAndTheTitleShortens)
{
    ToolbarWindow w;
    QVR_CreatorToolBarView& bar = *w.toolbar;
    const QString longTitle = QStringLiteral("Quarterly Review Deck for the Northern Sales Regions and Partners");
    bar.setTessarineTitle(longTitle);
    w.window->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.window->isVisible(); }, 2000));
    for (const QSize asked : {QSize(1280, 800), QSize(800, 560), QSize(400, 300)}) {
        w.window->resize(asked);
        QApplication::processEvents();
        EXPECT_GE(w.window->width(), w.window->minimumWidth());
        const auto parts = toolbarParts(bar, w.window);
        for (qsizetype i = 0; i < parts.size(); ++i) {
            EXPECT_TRUE(w.window->rect().contains(parts[i].second)) << parts[i].first->metaObject()->className();
            for (qsizetype j = i + 1; j < parts.size(); ++j)
                EXPECT_FALSE(parts[i].second.intersects(parts[j].second))
                    << asked.width() << ": " << parts[i].first->metaObject()->className() << " "
                    << parts[j].first->metaObject()->className();
        }
        // The title is whole, or shortened with an ellipsis and whole in its tool tip.
        const QString shown = bar.titleLabel()->text();
        if (shown != longTitle) {
            EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
            EXPECT_EQ(bar.titleLabel()->toolTip(), longTitle);
        }
        EXPECT_LE(bar.titleLabel()->fontMetrics().horizontalAdvance(shown), bar.titleLabel()->width());
    }
    EXPECT_NE(bar.titleLabel()->text(), longTitle) << "at the smallest size the long title is shortened";
    w.window->resize(1800, 800);
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar.titleLabel()->text() == longTitle; }, 2000))
        << "with room again the title reads whole";
}

// The title is drawn bold: where the bold title fits it reads whole, and what is shown always fits as drawn.
TEST(CreatorToolbar, TheTitleIsMeasuredInTheBoldFaceItIsDrawnIn)
{
    ToolbarWindow w;
    QVR_CreatorToolBarView& bar = *w.toolbar;
    const QString title = QStringLiteral("Quarterly results for the northern region team meeting");
    bar.setTessarineTitle(title);
    w.window->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.window->isVisible(); }, 2000));
    QPushButton* label = bar.titleLabel();
    QFont drawn = label->font();
    drawn.setBold(true);
    EXPECT_TRUE(label->font().bold()) << "the title's own font is its drawn face";
    for (const int width : {1280, 1590}) {
        w.window->resize(width, 800);
        UserInput::letRepaintsHappen();
        const QString shown = label->text();
        EXPECT_LE(QFontMetricsF(drawn).horizontalAdvance(shown), label->width()) << width;
        if (shown != title) {
            EXPECT_LT(label->width(), QFontMetricsF(drawn).horizontalAdvance(title) + 12)
                << width << ": shortened with room to spare";
        }
    }
    EXPECT_EQ(label->text(), title) << "at 1590 points the title reads whole";
}

TEST(CreatorToolbar, TabGoesThroughTheButtonsInOrderAndStopsOnlyOnWhatShows)
{
    RegistryReset reset;
    // The title, which opens its editor, is a stop between the left buttons and the zoom.
    CreatorToolbarPanels::shared().titleEditor = [](QWidget* parent, const auto&) { return new QWidget(parent); };
    ToolbarWindow w;
    QVR_CreatorToolBarView& bar = *w.toolbar;
    bar.updateButtonStates();
    w.window->show();
    w.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == w.window; }, 5000));
    QList<QWidget*> expected;
    for (QWidget* stop :
         QList<QWidget*>{bar.viewButton(), bar.saveDraftButton(), bar.postButton(), bar.shareButton(),
                         bar.detailsButton(), bar.titleLabel(), bar.comboBox()->dropDownButton(), bar.insertButton(),
                         bar.addScreenButton(), bar.guideButton(), bar.sidebarMenuButton()}) {
        if (stop->isVisible() && stop->isEnabled())
            expected.append(stop);
    }
    ASSERT_GE(expected.size(), 5);
    expected.first()->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([&] { return expected.first()->hasFocus(); }, 2000));
    QList<QWidget*> visited{QApplication::focusWidget()};
    for (qsizetype i = 1; i < expected.size() + 6; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        ASSERT_TRUE(focus);
        EXPECT_TRUE(focus->isVisible() && focus->width() > 0 && focus->height() > 0)
            << "an invisible stop: " << focus->metaObject()->className();
        visited.append(focus);
    }
    EXPECT_EQ(visited.mid(0, expected.size()), expected);
    EXPECT_FALSE(visited.contains(bar.urlField()));
    EXPECT_TRUE(expected.contains(bar.titleLabel()));
}

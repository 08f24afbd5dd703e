#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QPointer>
#include <QTest>

#include "ImportTestSupport.h"
#include "app/AppStartupHooks.h"
#include "controls/ControlsArtwork.h"
#include "elements/text/FontList.h"
#include "foundation/Tessutils.h"
#include "pptx/import/PptxFontCatalogue.h"
#include "pptx/import/PptxLibrary.h"
#include "pptx/import/QVRPowerpointFontReplacementWindowController.h"
#include "pptx/import/QVRPowerpointOverviewWindowController.h"
#include "service/CorvikBlockAPIBinding.h"
#include "service/ServiceReachability.h"
#include "strings/UFM.h"
#include "support/fakeservice/FakeWebService.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "viewer/QVR_TessarineViewerView.h"

using namespace importtest;

namespace {

const QColor kSampleColour(0xC0, 0x30, 0x20);

template <class Window> Window* shownWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<Window*>(widget); window && window->isVisible())
            return window;
    return nullptr;
}

template <class Window> Window* waitForWindow()
{
    Window* found = nullptr;
    processEventsUntil([&] { return (found = shownWindow<Window>()) != nullptr; }, 10000);
    return found;
}

bool near(QColor a, QColor b, int tolerance = 6)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

class ImportWindows : public ImportManager {
protected:
    void SetUp() override
    {
        ImportManager::SetUp();
        ControlsArtwork::registerNamedImages();
        AppStartupHooks::resetForTesting();
        registerPptxLibrary();
    }
    void TearDown() override
    {
        for (QWidget* widget : QApplication::topLevelWidgets())
            delete widget;
        QCoreApplication::processEvents();
        AppStartupHooks::resetForTesting();
        ImportManager::TearDown();
    }

    using Dialog = QVRPowerpointFontReplacementWindowController;
};

TEST_F(ImportWindows, TheFontWindowChoosesPicksReplacementsOrCancels)
{
    const QString deck = fontsDeck(QStringLiteral("fonts.pptx"));
    Completions first;
    QVRPowerpointImportManager::shared().importFile(deck, nullptr, first.block());

    Dialog* dialog = waitForWindow<Dialog>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isModal());
    EXPECT_EQ(dialog->headerLabel()->text(), QStringLiteral("Unsupported font \"Calibri\" encountered"));
    EXPECT_TRUE(dialog->exampleTextView()->isReadOnly());
    EXPECT_FALSE(dialog->fontPicker()->isDocked());
    EXPECT_EQ(dialog->userChosenFontName(), ZERI_MMObject_Text::defaultFontName());

    // The user picks another family: its default face is the answer, and the example shows it.
    QComboBox* families = dialog->fontPicker()->familyBox();
    ASSERT_GT(families->count(), 1);
    const int other = families->currentIndex() == 0 ? 1 : 0;
    families->setCurrentIndex(other);
    emit families->activated(other);
    const QString chosen = dialog->userChosenFontName();
    ASSERT_NE(chosen, ZERI_MMObject_Text::defaultFontName());
    EXPECT_EQ(PptxFontCatalogue::offeredTypeface(families->itemText(other)), chosen);
    QTest::mouseClick(dialog->chooseButton(), Qt::LeftButton);

    // The second unsupported font: pick replacements, and the rest take the default font.
    ASSERT_TRUE(processEventsUntil([&] {
        Dialog* next = shownWindow<Dialog>();
        return next && next->unsupportedFontName() == QLatin1String("Wingbats");
    }));
    QTest::mouseClick(shownWindow<Dialog>()->pickReplacementsButton(), Qt::LeftButton);
    waitFor(first);
    ASSERT_TRUE(first.document) << first.error.description().toStdString();
    const auto texts = textObjects(*first.document);
    ASSERT_EQ(texts.size(), 1u);
    ASSERT_EQ(texts[0].size(), 1u);
    EXPECT_EQ(texts[0][0]->attributedString().attributesAtIndex(0)->fontName, chosen);
    EXPECT_EQ(texts[0][0]->attributedString().attributesAtIndex(1)->fontName, ZERI_MMObject_Text::defaultFontName());

    // The next import asks again; its Cancel stops the import, which leaves nothing.
    Completions second;
    QVRPowerpointImportManager::shared().importFile(deck, nullptr, second.block());
    dialog = waitForWindow<Dialog>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->unsupportedFontName(), QStringLiteral("Calibri"));
    QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
    waitFor(second);
    EXPECT_EQ(second.count, 1);
    EXPECT_FALSE(second.document);
    EXPECT_EQ(second.error.code, QVRPowerpointImportManager::Cancelled);

    // Closing the window is a Cancel too.
    Completions third;
    QVRPowerpointImportManager::shared().importFile(deck, nullptr, third.block());
    dialog = waitForWindow<Dialog>();
    ASSERT_NE(dialog, nullptr);
    dialog->close();
    waitFor(third);
    EXPECT_EQ(third.error.code, QVRPowerpointImportManager::Cancelled);
    EXPECT_TRUE(processEventsUntil([] { return QVRPowerPointConverter::unfinishedImportCount() == 0; }));
    EXPECT_EQ(m_folders.packageFolders(), QStringList{first.document->qvdID()});

    EXPECT_EQ(events(),
              (QStringList{QStringLiteral("Pptx font replacement chosen:Calibri"),
                           QStringLiteral("Pptx auto-choose fonts:Wingbats"), QStringLiteral("Imported powerpoint"),
                           QStringLiteral("Cancelled pptx import at font replacement:Calibri"),
                           QStringLiteral("Cancelled pptx import at font replacement:Calibri")}));
}

TEST_F(ImportWindows, FamiliesOfTheCatalogueAreOfferedWithoutAQuestion)
{
    const FontList& catalogue = PptxFontCatalogue::fontList();
    const QStringList listed = Tessutils::zeriDefaultFontList();
    ASSERT_FALSE(catalogue.familyList().isEmpty());
    for (const QString& family : catalogue.familyList()) {
        const QString face = PptxFontCatalogue::offeredTypeface(family);
        EXPECT_TRUE(listed.contains(face)) << family.toStdString() << " -> " << face.toStdString();
    }
    EXPECT_EQ(PptxFontCatalogue::offeredTypeface(listed.first()), listed.first());
    EXPECT_TRUE(PptxFontCatalogue::offeredTypeface(QStringLiteral("Calibri")).isEmpty());
    EXPECT_TRUE(PptxFontCatalogue::offeredTypeface(QString()).isEmpty());

    // A deck naming a family: no question, its default face.
    const QString family = catalogue.familyList().first();
    TestDeck deck = TestDeck::minimal(1);
    deck.setSlideTree(
        1, TestDeck::textShape("", TestDeck::xfrm(0, 0, 9525, 9525), para(run("a", typeface(family.toStdString())))));
    Completions done;
    QVRPowerpointImportManager::shared().importFile(write(deck, QStringLiteral("family.pptx")), nullptr, done.block());
    waitFor(done);
    ASSERT_TRUE(done.document);
    EXPECT_EQ(shownWindow<Dialog>(), nullptr);
    EXPECT_EQ(textObjects(*done.document)[0][0]->attributedString().attributesAtIndex(0)->fontName,
              PptxFontCatalogue::offeredTypeface(family));
}

class OverviewWindow : public ImportWindows {
protected:
    void SetUp() override
    {
        ImportWindows::SetUp();
        ASSERT_TRUE(m_service.start());
        ASSERT_TRUE(CorvikBlockAPIBinding::setAPIURL(m_service.baseUrl()));
        CorvikBlockAPIBinding::setAPIKey(QStringLiteral("KEY123"));
        CorvikBlockAPIBinding::setAPIPassword(QStringLiteral("s3cretPW"));
        Tessutils::setCorvikAuthToken(QString());
        qputenv("TESS_PPTX_SAMPLE_STRING_ID", "overviewSample1");

        // The sample: one screen in a colour of its own, published.
        m_service.addUser(QStringLiteral("bob"));
        addSample(QStringLiteral("overviewSample1"), 1);
    }
    // Publishes a sample of `screens` screens, each in the sample's colour.
    void addSample(const QString& stringID, int screens)
    {
        auto model = ZERI_TessarineModel::create();
        for (int i = 0; i < screens; ++i) {
            auto screen = ZERI_FlowScreenModel::create();
            screen->setBackgroundColor(kSampleColour);
            model->firstFlowmodel()->addFlowScreen(screen);
        }
        FakeWebService::Document document;
        document.stringID = stringID;
        document.owner = QStringLiteral("bob");
        document.title = QStringLiteral("Sample");
        document.published = true;
        document.documentJson = QString::fromUtf8(model->jsonData());
        document.publishedJson = document.documentJson;
        m_service.addDocument(document);
    }
    void TearDown() override
    {
        ImportWindows::TearDown();
        qunsetenv("TESS_PPTX_SAMPLE_STRING_ID");
    }

    // Opens the overview from the menu command and waits until the sample plays in it.
    QVRPowerpointOverviewWindowController* openOverview()
    {
        AppStartupHooks::shared().menuCommands.at(QStringLiteral("importPowerpoint"))();
        auto* window = waitForWindow<QVRPowerpointOverviewWindowController>();
        EXPECT_NE(window, nullptr);
        if (!window)
            return nullptr;
        EXPECT_TRUE(window->testAttribute(Qt::WA_DeleteOnClose));
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        QVR_TessarineViewerView* player = window->viewerViewController()->viewerView();
        EXPECT_TRUE(processEventsUntil([&] { return player->numScreens() == 1; }, 10000)) << "the sample arrives";
        return window;
    }
    QString notADeck()
    {
        const QString path = m_decks.filePath(QStringLiteral("notes.pptx"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("no presentation");
        return path;
    }

    FakeWebService m_service;
};

TEST_F(OverviewWindow, TheMenuCommandOpensANewOverviewEachTimeOnceTheLibraryIsRegistered)
{
    AppStartupHooks::resetForTesting();
    EXPECT_FALSE(AppStartupHooks::shared().menuCommands.count(QStringLiteral("importPowerpoint")));
    registerPptxLibrary();
    auto* first = openOverview();
    ASSERT_NE(first, nullptr);
    AppStartupHooks::shared().menuCommands.at(QStringLiteral("importPowerpoint"))();
    int overviews = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        overviews += qobject_cast<QVRPowerpointOverviewWindowController*>(widget) ? 1 : 0;
    EXPECT_EQ(overviews, 2);
    EXPECT_TRUE(m_chooser.requests.empty()) << "the chooser waits for Get Started";
}

TEST_F(OverviewWindow, ShowsTheSampleAndABlueGetStartedButton)
{
    auto* window = openOverview();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(QVRPowerpointOverviewWindowController::sampleStringID(), QStringLiteral("overviewSample1"));
    EXPECT_EQ(window->getStartedButton()->text(), UFM::SAYS_GET_STARTED());

    // The sample's screen fills the player in the holder.
    QWidget* holder = window->viewerHolder();
    const QPoint holderCentre = holder->mapTo(window, holder->rect().center());
    EXPECT_TRUE(processEventsUntil(
        [&] {
            return near(window->grab().toImage().pixelColor(holderCentre * window->devicePixelRatio()), kSampleColour);
        },
        5000))
        << "the sample plays in the player";

    // The button: brand blue with white text and rounded corners, on the white window.
    const QImage shot = window->grab().toImage();
    const qreal ratio = window->devicePixelRatio();
    const QRect button(window->getStartedButton()->mapTo(window, QPoint(0, 0)), window->getStartedButton()->size());
    const int y = button.center().y();
    EXPECT_TRUE(near(shot.pixelColor(QPoint(button.left() + 6, y) * ratio), Tessutils::tessarineBlue(), 2));
    EXPECT_EQ(Tessutils::tessarineBlue(), QColor(0x1F, 0x70, 0xA8));
    int white = 0;
    for (int x = button.left() + 10; x < button.right() - 10; ++x)
        white += near(shot.pixelColor(QPoint(x, y) * ratio), Qt::white, 40) ? 1 : 0;
    EXPECT_GT(white, 0) << "white title text";
    EXPECT_TRUE(near(shot.pixelColor(button.topLeft() * ratio), Qt::white, 2)) << "a rounded corner";
    EXPECT_TRUE(near(shot.pixelColor((button.topLeft() + QPoint(-2, 0)) * ratio), Qt::white, 2));

    // Made as small as it goes, the window still shows Get Started whole, below a part of the sample.
    window->resize(100, 80);
    QCoreApplication::processEvents();
    const QRect small(window->getStartedButton()->mapTo(window, QPoint(0, 0)), window->getStartedButton()->size());
    EXPECT_TRUE(window->rect().contains(small)) << window->width() << " x " << window->height();
    EXPECT_GT(holder->height(), 100);
}

// The keyboard starts on Get Started, with a ring that shows it; Return starts the import, and after a cancel the
// keyboard is back on the button.
TEST_F(OverviewWindow, TheKeyboardStartsOnGetStartedAndComesBackToIt)
{
    auto* window = openOverview();
    ASSERT_NE(window, nullptr);
    QPushButton* button = window->getStartedButton();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    EXPECT_EQ(QApplication::focusWidget(), button);
    // The ring: the button's edge, brand blue without the keyboard, is lighter with it.
    const auto edge = [&] {
        const QPoint point = button->mapTo(window, QPoint(1, button->height() / 2));
        return window->grab().toImage().pixelColor(point * window->devicePixelRatio());
    };
    const QColor focused = edge();
    button->clearFocus();
    const QColor unfocused = edge();
    EXPECT_TRUE(near(unfocused, Tessutils::tessarineBlue(), 2));
    EXPECT_GT(focused.lightness(), unfocused.lightness() + 40) << "a ring shows the keyboard";
    button->setFocus();

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(window->loadingViewController()) << "Return presses Get Started";
    EXPECT_EQ(m_chooser.requests.size(), 1u);
    // The chooser is cancelled: the loading view goes, the keyboard is back on Get Started.
    ASSERT_TRUE(processEventsUntil([&] { return !window->loadingViewController(); }));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), button);
}

TEST_F(OverviewWindow, GetStartedShowsTheLoadingViewAndASuccessClosesTheWindow)
{
    // Notes, at each question for a file, whether the overview still shows its loading view.
    struct ObservingChooser : RecordingFileChooser {
        void show(const FileChooserRequest& request, QWidget* parent,
                  std::function<void(const FileChooserResponse&)> done) override
        {
            if (onShow)
                onShow();
            RecordingFileChooser::show(request, parent, std::move(done));
        }
        std::function<void()> onShow;
    } chooser;
    FileChooser::setShared(&chooser);

    QPointer<QVRPowerpointOverviewWindowController> window = openOverview();
    ASSERT_TRUE(window);
    std::vector<QVR_LoadingViewController*> loadingAtQuestion;
    chooser.onShow = [&] { loadingAtQuestion.push_back(window ? window->loadingViewController() : nullptr); };
    // First a file that is no presentation: the alert, then the chooser again under the same loading view.
    chooser.queuePaths({notADeck()});
    chooser.queuePaths({write(TestDeck::minimal(2), QStringLiteral("two.pptx"))});

    QTest::mouseClick(window->getStartedButton(), Qt::LeftButton);
    QPointer<QVR_LoadingViewController> loading = window->loadingViewController();
    ASSERT_TRUE(loading);
    EXPECT_FALSE(loading->isViewLoaded() && loading->view()->isVisible()) << "not before 0.1 s";
    window->getStartedPressed();
    EXPECT_EQ(window->loadingViewController(), loading) << "a second press does nothing";
    EXPECT_EQ(chooser.requests.size(), 1u);

    ASSERT_TRUE(processEventsUntil([&] { return !window || !window->isVisible(); }))
        << "a finished import closes the window";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window) << "deleted on close";
    ASSERT_EQ(m_alerts.requests.size(), 1u);
    EXPECT_EQ(m_alerts.requests[0].informativeText, UFM::PPT_IMPORT_ERROR_FORMAT_NOT_RECOGNIZED_INFORMATION());
    EXPECT_EQ(chooser.requests.size(), 2u);
    ASSERT_EQ(loadingAtQuestion.size(), 2u);
    EXPECT_NE(loadingAtQuestion[0], nullptr);
    EXPECT_EQ(loadingAtQuestion[1], loadingAtQuestion[0]) << "the loading view stays for the second file";
    ASSERT_EQ(m_windows->creator.documents.size(), 1u);
    EXPECT_EQ(m_windows->creator.documents[0]->firstFlowmodel()->screenModels().size(), 2u);
    EXPECT_EQ(events().count(QStringLiteral("Imported powerpoint")), 1);
    FileChooser::setShared(&m_chooser);
}

TEST_F(OverviewWindow, AFileThatIsNoPresentationIsToldBeforeTheNextFileIsAskedFor)
{
    // Keeps each alert open until the test answers it, as a user reading it would.
    struct HeldAlerts : RecordingAlertPresenter {
        void show(const AlertRequest& request, QWidget*, std::function<void(const AlertResponse&)> done) override
        {
            requests.push_back(request);
            open.push_back(std::move(done));
        }
        std::vector<std::function<void(const AlertResponse&)>> open;
    } alerts;
    AlertPresenter::setShared(&alerts);
    QPointer<QVRPowerpointOverviewWindowController> window = openOverview();
    ASSERT_TRUE(window);
    m_chooser.queuePaths({notADeck()});
    m_chooser.queueResponse({});

    QTest::mouseClick(window->getStartedButton(), Qt::LeftButton);
    ASSERT_TRUE(processEventsUntil([&] { return alerts.requests.size() == 1; }));
    EXPECT_EQ(alerts.requests[0].informativeText, UFM::PPT_IMPORT_ERROR_FORMAT_NOT_RECOGNIZED_INFORMATION());
    QTest::qWait(200);
    EXPECT_EQ(m_chooser.requests.size(), 1u) << "no file dialog while the alert is up";
    ASSERT_TRUE(window && window->loadingViewController()) << "the import goes on under its loading view";

    auto answer = std::move(alerts.open[0]);
    answer({0, {}});
    ASSERT_TRUE(processEventsUntil([&] { return m_chooser.requests.size() == 2; })) << "then the next file is asked";
    ASSERT_TRUE(processEventsUntil([&] { return window && !window->loadingViewController(); }));
    EXPECT_TRUE(window->isVisible()) << "a cancelled choice keeps the window";
    AlertPresenter::setShared(&m_alerts);
}

TEST_F(OverviewWindow, NoPageButtonLiesOverTheSample)
{
    // A sample of two screens: its first screen would offer a next page.
    addSample(QStringLiteral("overviewSample2"), 2);
    qputenv("TESS_PPTX_SAMPLE_STRING_ID", "overviewSample2");

    AppStartupHooks::shared().menuCommands.at(QStringLiteral("importPowerpoint"))();
    QPointer<QVRPowerpointOverviewWindowController> window = waitForWindow<QVRPowerpointOverviewWindowController>();
    ASSERT_TRUE(window);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    window->resize(window->width() + 90, window->height() + 40);
    QWidget* holder = window->viewerHolder();
    ASSERT_TRUE(
        processEventsUntil([&] { return window->viewerViewController()->viewerView()->numScreens() == 2; }, 10000));
    const qreal ratio = window->devicePixelRatio();
    const QRect area(holder->mapTo(window, QPoint(0, 0)), holder->size());
    ASSERT_TRUE(processEventsUntil(
        [&] { return near(window->grab().toImage().pixelColor(area.center() * ratio), kSampleColour); }, 5000));
    QTest::mouseMove(holder, QPoint(holder->width() - 20, holder->height() / 2));
    QTest::qWait(400);

    // Along the middle of the area's right edge: the sample, or the dark margin beside it; nothing drawn over them.
    const QImage shot = window->grab().toImage();
    int foreign = 0;
    for (int y = area.center().y() - 40; y <= area.center().y() + 40; y += 2) {
        for (int x = area.right() - 70; x < area.right() - 1; ++x) {
            const QColor colour = shot.pixelColor(QPoint(x, y) * ratio);
            const bool margin = colour.value() < 90 && colour.saturation() < 30;
            if (!near(colour, kSampleColour, 12) && !margin)
                ++foreign;
        }
    }
    EXPECT_EQ(foreign, 0) << "a page arrow over the sample";
}

TEST_F(OverviewWindow, TheLoadingViewSitsBelowTheCentreAndACancelKeepsTheWindow)
{
    QPointer<QVRPowerpointOverviewWindowController> window = openOverview();
    ASSERT_TRUE(window);
    const QStringList packagesBefore = m_folders.packageFolders(); // the sample's
    // A deck whose font is asked about: the import waits on the question while the loading view shows.
    const QString asking = fontsDeck(QStringLiteral("asking.pptx"));

    // A chooser cancel: the loading view goes, the window stays.
    m_chooser.queueResponse({});
    window->getStartedPressed();
    ASSERT_TRUE(processEventsUntil([&] { return !window->loadingViewController(); }));
    QTest::qWait(150);
    ASSERT_TRUE(window && window->isVisible());

    // The loading view's Cancel during an import: no document, no package, the window stays.
    m_chooser.queuePaths({asking});
    window->getStartedPressed();
    QPointer<QVR_LoadingViewController> loading = window->loadingViewController();
    ASSERT_TRUE(loading);
    ASSERT_TRUE(processEventsUntil([&] { return loading->isViewLoaded() && loading->view()->isVisible(); }));
    QWidget* view = loading->view();
    QWidget* content = window->contentView();
    EXPECT_EQ(view->parentWidget(), content);
    EXPECT_EQ(view->x(), (content->width() - view->width()) / 2);
    EXPECT_EQ(view->y(), (content->height() - view->height()) / 2 + 30);
    ASSERT_TRUE(processEventsUntil([&] { return loading->progress() > 0; })) << "the import's progress shows";
    QPointer<Dialog> question = waitForWindow<Dialog>();
    ASSERT_TRUE(question);
    EXPECT_EQ(question->parentWidget(), window.data()) << "the question is window-modal to the overview";
    loading->cancelButton()->click();
    EXPECT_FALSE(window->loadingViewController());
    EXPECT_TRUE(processEventsUntil([] { return QVRPowerPointConverter::unfinishedImportCount() == 0; }));
    // What the event loop deletes later (the converter, the loading view) goes now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(processEventsUntil([&] { return !question || !question->isVisible(); }))
        << "the question goes with its import";
    EXPECT_FALSE(loading) << "the loading view goes";
    ASSERT_TRUE(window && window->isVisible());
    EXPECT_TRUE(m_windows->creator.documents.empty());
    EXPECT_EQ(m_folders.packageFolders(), packagesBefore);
    EXPECT_TRUE(m_alerts.requests.empty());

    // A damaged deck: the damaged text, and the window closes.
    TestDeck damaged = TestDeck::minimal(2);
    damaged.parts["ppt/slides/slide2.xml"] = "<p:sld";
    m_chooser.queuePaths({write(damaged, QStringLiteral("damaged.pptx"))});
    window->getStartedPressed();
    ASSERT_TRUE(processEventsUntil([&] { return !window || !window->isVisible(); }));
    ASSERT_EQ(m_alerts.requests.size(), 1u);
    EXPECT_EQ(m_alerts.requests[0].informativeText, UFM::PPT_IMPORT_ERROR_DAMAGED_INFORMATION());
}

TEST_F(OverviewWindow, ClosingTheWindowDuringAFontQuestionEndsTheImport)
{
    QPointer<QVRPowerpointOverviewWindowController> window = openOverview();
    ASSERT_TRUE(window);
    const QStringList packagesBefore = m_folders.packageFolders(); // the sample's
    m_chooser.queuePaths({fontsDeck(QStringLiteral("asking.pptx"))});
    window->getStartedPressed();
    QPointer<Dialog> question = waitForWindow<Dialog>();
    ASSERT_TRUE(question);

    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window);
    EXPECT_FALSE(question) << "the question goes with its window";
    EXPECT_FALSE(QVRPowerpointImportManager::shared().pptConverter()) << "and so does its import";
    EXPECT_TRUE(processEventsUntil([] { return QVRPowerPointConverter::unfinishedImportCount() == 0; }));
    EXPECT_EQ(m_folders.packageFolders(), packagesBefore);
    EXPECT_TRUE(m_windows->creator.documents.empty());
    EXPECT_EQ(events().count(QStringLiteral("Cancelled pptx import at font replacement:Calibri")), 1);
}

// Closed while the deck is converted (Escape, Ctrl+W or the close button while the progress shows): the import ends
// with the window, leaving no document and opening no window later.
TEST_F(OverviewWindow, ClosingTheWindowWhileADeckIsConvertedEndsTheImport)
{
    QPointer<QVRPowerpointOverviewWindowController> window = openOverview();
    ASSERT_TRUE(window);
    const QStringList packagesBefore = m_folders.packageFolders(); // the sample's
    m_chooser.queuePaths({write(TestDeck::minimal(40), QStringLiteral("forty.pptx"))});
    window->getStartedPressed();
    ASSERT_TRUE(window->loadingViewController());
    ASSERT_TRUE(processEventsUntil([] { return QVRPowerpointImportManager::shared().pptConverter() != nullptr; }))
        << "the deck is never converted";

    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window);
    EXPECT_FALSE(QVRPowerpointImportManager::shared().pptConverter()) << "the import outlived its window";
    EXPECT_TRUE(processEventsUntil([] { return QVRPowerPointConverter::unfinishedImportCount() == 0; }));
    QTest::qWait(300);
    EXPECT_EQ(m_folders.packageFolders(), packagesBefore) << "the cancelled import left a document";
    EXPECT_TRUE(m_windows->creator.documents.empty()) << "the import opened a window after its overview closed";
}

TEST_F(OverviewWindow, WithoutTheServiceTheSampleAreaSaysSoAndTheWindowStays)
{
    ASSERT_TRUE(CorvikBlockAPIBinding::setAPIURL(FakeWebService::unreachableBaseUrl()));
    AppStartupHooks::shared().menuCommands.at(QStringLiteral("importPowerpoint"))();
    QPointer<QVRPowerpointOverviewWindowController> window = waitForWindow<QVRPowerpointOverviewWindowController>();
    ASSERT_TRUE(window);
    ASSERT_TRUE(processEventsUntil([&] { return window && window->sampleFailureLabel()->isVisible(); }, 10000));
    EXPECT_EQ(window->sampleFailureLabel()->text(), ServiceReachability::unreachableText());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->getStartedButton()->isEnabled()) << "the import itself needs no service";
    window->close();
}

TEST_F(OverviewWindow, TheSamplesLoadingViewGoesWhenTheSampleArrivesOrFails)
{
    QPointer<QVRPowerpointOverviewWindowController> window = openOverview();
    ASSERT_TRUE(window);
    ASSERT_EQ(m_windows->loadingViews.size(), 1);
    QPointer<QWidget> fetching = m_windows->loadingViews[0];
    EXPECT_TRUE(processEventsUntil([&] { return !fetching || fetching->isHidden(); }));

    // A sample the service does not know: the window stays, without a view spinning for ever.
    qputenv("TESS_PPTX_SAMPLE_STRING_ID", "unknownSample2");
    window->close();
    AppStartupHooks::shared().menuCommands.at(QStringLiteral("importPowerpoint"))();
    QPointer<QVRPowerpointOverviewWindowController> second = waitForWindow<QVRPowerpointOverviewWindowController>();
    ASSERT_TRUE(second);
    ASSERT_EQ(m_windows->loadingViews.size(), 2);
    QPointer<QWidget> failing = m_windows->loadingViews[1];
    EXPECT_TRUE(processEventsUntil([&] { return !failing || failing->isHidden(); }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(fetching);
    EXPECT_FALSE(failing);
    ASSERT_TRUE(second && second->isVisible());
    EXPECT_EQ(second->viewerViewController()->viewerView()->numScreens(), 0);
}

} // namespace

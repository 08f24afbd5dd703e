#include <QDir>
#include <QFontMetrics>
#include <QFileInfo>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QToolButton>

#include "ListsTestSupport.h"
#include "library/lists/QVRMyTessarinesViewController.h"
#include "library/lists/QVRTessarineTileGridItemView.h"
#include "library/lists/TilePublishing.h"
#include "platform/UserDefaults.h"
#include "service/DocumentServerOperations.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"
#include "support/UserInput.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using namespace lists_test;
using library_test::waitUntil;

namespace {

class MyDocumentsGrid : public ListsTest {
protected:
    QVRTessarineTileGridItemView* tileAt(QVRMyTessarinesViewController& grid, int index)
    {
        return qobject_cast<QVRTessarineTileGridItemView*>(grid.tileViews().value(index));
    }
    QStringList titles(QVRMyTessarinesViewController& grid)
    {
        QStringList result;
        for (int i = 1; i < grid.tileViews().size(); ++i)
            result.append(tileAt(grid, i)->titleLabel()->text());
        return result;
    }
};

TEST_F(MyDocumentsGrid, EmptyListShowsOnlyTheCreateNewTileAndTheHint)
{
    QVRMyTessarinesViewController grid;
    grid.resize(1000, 700);
    grid.show();
    ASSERT_EQ(grid.tileViews().size(), 1);
    EXPECT_TRUE(qobject_cast<QVRTessarineTileCreateNewGridItemView*>(grid.tileViews().first()));
    EXPECT_TRUE(grid.emptyStateLabel()->isVisible());
    EXPECT_EQ(grid.emptyStateLabel()->text(), UFM::NO_TESSARINES_CLICK_TO_CREATE_TEXT());

    makePackage(QStringLiteral("First"), {}, stampForSecondsAgo(5));
    ASSERT_TRUE(waitUntil([&] { return grid.tileViews().size() == 2; }));
    EXPECT_FALSE(grid.emptyStateLabel()->isVisible());
}

TEST_F(MyDocumentsGrid, NewestFirstInFourColumnsWithUnreadableStampsLast)
{
    makePackage(QStringLiteral("old"), {}, stampForSecondsAgo(3000));
    makePackage(QStringLiteral("bad"), {}, QStringLiteral("not a date"));
    makePackage(QStringLiteral("new"), {}, stampForSecondsAgo(10));
    makePackage(QStringLiteral("empty"), {}, {});
    makePackage(QStringLiteral("mid"), {}, stampForSecondsAgo(600));
    makePackage(QStringLiteral("mid2"), {}, stampForSecondsAgo(900));
    QVRMyTessarinesViewController grid;
    grid.resize(1100, 800);
    grid.show();
    ASSERT_EQ(grid.tileViews().size(), 7);
    const QStringList order = titles(grid);
    EXPECT_EQ(order.mid(0, 4), (QStringList{"new", "mid", "mid2", "old"}));
    EXPECT_EQ(QSet<QString>(order.begin() + 4, order.end()), (QSet<QString>{"bad", "empty"}));

    // Four columns 10 apart, the fifth item under the first with a 20-point gap.
    DynamicRatioSectionedGridView* view = grid.gridView();
    const QRect first = view->frameOfItem(0, 0);
    const QRect second = view->frameOfItem(0, 1);
    EXPECT_EQ(second.left() - first.right() - 1, 10);
    EXPECT_EQ(view->frameOfItem(0, 3).top(), first.top());
    EXPECT_EQ(view->frameOfItem(0, 4).left(), first.left());
    EXPECT_NEAR(view->frameOfItem(0, 4).top() - first.bottom() - 1, 20, 1);

    // The order among undated packages does not depend on the order found.
    auto packages = grid.tessarinePackages();
    std::reverse(packages.begin(), packages.end());
    QVRMyTessarinesViewController::sortPackages(packages);
    EXPECT_EQ(packages, grid.tessarinePackages());
}

TEST_F(MyDocumentsGrid, UnchangedListKeepsTilesAndTwoUpdatesSendOneFetch)
{
    signIn(QStringLiteral("ann"));
    makePackage(QStringLiteral("A"), {}, stampForSecondsAgo(20));
    QVRMyTessarinesViewController grid;
    int finished = 0;
    grid.setOnUpdateFinished([&] { ++finished; });
    const QList<QWidget*> before = grid.tileViews();
    grid.update();
    grid.update();
    ASSERT_TRUE(waitUntil([&] { return finished == 1; }));
    EXPECT_EQ(m_service.requestCount(QStringLiteral("tessarine.getUserTessarines")), 1);
    EXPECT_EQ(grid.tileViews(), before);
    ZERI_qvdFilePackage::schedulePackagesChangedNotification();
    QTest::qWait(20);
    EXPECT_EQ(grid.tileViews(), before);
}

TEST_F(MyDocumentsGrid, TileTextsBadgeAndMenu)
{
    auto described = makePackage(QStringLiteral("Described"), QStringLiteral("Some words"), stampForSecondsAgo(5));
    auto bare = makePackage(QStringLiteral("Bare"), {}, stampForSecondsAgo(10));
    QVRMyTessarinesViewController grid;
    grid.resize(1100, 800);
    grid.show();
    auto* withText = tileAt(grid, 1);
    auto* without = tileAt(grid, 2);
    ASSERT_TRUE(withText && without);
    EXPECT_EQ(withText->intrinsicContentSize().height() - without->intrinsicContentSize().height(),
              std::min(withText->descriptionLabel()->sizeHint().height(),
                       QVRTessarineTileGridItemView::kDescriptionHeightCap));
    EXPECT_GT(withText->descriptionLabel()->sizeHint().height(), 0);

    // Unpublished: no badge, no analytics, Unpublish greyed.
    EXPECT_FALSE(withText->publishedView()->isVisible());
    EXPECT_FALSE(withText->analyticsButton()->isVisible());
    emit withText->contextMenu()->aboutToShow();
    EXPECT_FALSE(withText->unpublishMenuItem()->isEnabled());

    // Published: both show.
    ASSERT_TRUE(described->savePublishedModelFromJSON(described->model()->jsonData()));
    ASSERT_TRUE(waitUntil([&] { return withText->publishedView()->isVisible(); }));
    EXPECT_TRUE(withText->analyticsButton()->isVisible());
    EXPECT_TRUE(withText->toolTip().contains(UFM::LAST_POSTED_TEXT()));

    // Renaming the first flow of the loaded document re-titles its tile; the grid makes its tiles anew.
    described->model()->firstFlowmodel()->setTitle(QStringLiteral("Renamed"));
    ASSERT_TRUE(waitUntil([&] {
        auto* renamed = tileAt(grid, 1);
        return renamed && renamed->titleLabel()->text() == QLatin1String("Renamed");
    }));
}

// A long title and description start at their first word and end, on the last whole line that fits, with an
// ellipsis; nothing is cut through at the top or the bottom.
TEST_F(MyDocumentsGrid, LongTileTextsAreCappedFromTheBottomInWholeLinesWithAnEllipsis)
{
    const QString words = QStringLiteral("Alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu nu xi "
                                         "omicron pi rho sigma tau upsilon phi chi psi omega and so on for a while");
    makePackage(QStringLiteral("First ") + words, QStringLiteral("Opening ") + words + QStringLiteral(" closing"),
                stampForSecondsAgo(5));
    QVRMyTessarinesViewController grid;
    grid.resize(1100, 800);
    grid.show();
    auto* tile = tileAt(grid, 1);
    ASSERT_TRUE(tile);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    grid.resize(1120, 820);
    UserInput::letRepaintsHappen();
    for (QVRTessarineTileGridItemViewTextField* label : {tile->titleLabel(), tile->descriptionLabel()}) {
        const QStringList lines = label->shownLines();
        ASSERT_GE(lines.size(), 1);
        const QFontMetrics metrics(label->font());
        EXPECT_LE((lines.size() - 1) * metrics.lineSpacing() + metrics.height(), label->height());
        EXPECT_TRUE(lines.first().startsWith(label == tile->titleLabel() ? QStringLiteral("First Alpha")
                                                                         : QStringLiteral("Opening Alpha")))
            << lines.first().toStdString();
        EXPECT_TRUE(lines.last().endsWith(QChar(0x2026))) << lines.last().toStdString();
        EXPECT_FALSE(lines.join(u' ').contains(QStringLiteral("closing")));

        // Ink in the first line's band (the text starts at the top) and none below the last whole line.
        const QImage shown = UserInput::shownImage(label);
        ASSERT_FALSE(shown.isNull());
        const double ratio = shown.devicePixelRatio();
        const auto inked = [&](int from, int to) {
            for (int y = int(from * ratio); y < int(to * ratio) && y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x)
                    if (shown.pixelColor(x, y).lightness() < 200)
                        return true;
            return false;
        };
        EXPECT_TRUE(inked(0, metrics.ascent()));
        const int usedHeight = (lines.size() - 1) * metrics.lineSpacing() + metrics.height();
        EXPECT_FALSE(inked(usedHeight + 1, label->height())) << "a line cut through at the bottom";
    }
}

TEST_F(MyDocumentsGrid, ClickOpensOnceAndAPressReleasedOutsideOpensNothing)
{
    auto package = makePackage(QStringLiteral("Open me"), {}, stampForSecondsAgo(5));
    QVRMyTessarinesViewController grid;
    grid.resize(1100, 800);
    grid.show();
    auto* tile = tileAt(grid, 1);
    ASSERT_TRUE(tile);
    const QPoint inside(20, 20);
    QTest::mousePress(tile, Qt::LeftButton, {}, inside);
    QTest::mouseRelease(tile, Qt::LeftButton, {}, QPoint(-30, -30));
    QTest::qWait(20);
    EXPECT_TRUE(m_windows->creator.documents.empty());
    EXPECT_FALSE(tile->isOpening());

    tile->openTessarine();
    EXPECT_TRUE(tile->isOpening());
    tile->openTessarine(); // ignored while opening
    ASSERT_TRUE(waitUntil([&] { return !tile->isOpening(); }));
    QTest::qWait(20);
    ASSERT_EQ(m_windows->creator.documents.size(), 1u);
    EXPECT_EQ(m_windows->creator.documents.front(), package->model());
}

TEST_F(MyDocumentsGrid, ControlClickOpensTheMenuNotTheDocument)
{
    makePackage(QStringLiteral("Menu"), {}, stampForSecondsAgo(5));
    QVRMyTessarinesViewController grid;
    grid.resize(1100, 800);
    grid.show();
    auto* tile = tileAt(grid, 1);
    QTest::mousePress(tile, Qt::LeftButton, Qt::ControlModifier, QPoint(20, 20));
    EXPECT_TRUE(tile->contextMenu()->isVisible());
    tile->contextMenu()->hide();
    QTest::mouseRelease(tile, Qt::LeftButton, Qt::ControlModifier, QPoint(20, 20));
    QTest::qWait(20);
    EXPECT_FALSE(tile->isOpening());
    EXPECT_TRUE(m_windows->creator.documents.empty());
}

TEST_F(MyDocumentsGrid, PlayOpensAViewerAndAsksForPresenterNotes)
{
    auto package = makePackage(QStringLiteral("Play me"), {}, stampForSecondsAgo(5));
    QVRMyTessarinesViewController grid;
    tileAt(grid, 1)->playButton()->click();
    ASSERT_TRUE(waitUntil([&] { return m_windows->viewer.notesShown == 1; }));
    ASSERT_EQ(m_windows->viewer.documents.size(), 1u);
    EXPECT_TRUE(m_windows->creator.documents.empty());
}

class RecordingPublishing : public TilePublishing {
public:
    bool canShare() const override { return true; }
    void postTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& model, QWidget*) override
    {
        posted.push_back(model);
    }
    void shareTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& model, QWidget*) override
    {
        shared.push_back(model);
    }
    std::vector<std::shared_ptr<ZERI_TessarineModel>> posted;
    std::vector<std::shared_ptr<ZERI_TessarineModel>> shared;
};

TEST_F(MyDocumentsGrid, ShareFetchesAMissingDocumentOnceThenPublishesOrShares)
{
    signIn(QStringLiteral("ann"));
    auto publishing = std::make_unique<RecordingPublishing>();
    RecordingPublishing* recorded = publishing.get();
    TilePublishing::setShared(std::move(publishing));
    // Served by the service only: the first press fetches it, then publishes (nothing posted yet).
    FakeWebService::Document document;
    document.id = QStringLiteral("2002");
    document.owner = QStringLiteral("ann");
    document.documentJson = QString::fromUtf8(library_test::makeSample(1)->jsonData());
    m_service.addDocument(document);
    auto remote = makePackage(QStringLiteral("Remote"), {}, stampForSecondsAgo(5), QStringLiteral("2002"));
    ASSERT_TRUE(remote->unloadModel());
    QFile::remove(remote->draftFilePath());
    QVRMyTessarinesViewController grid;
    auto* tile = tileAt(grid, 1);
    EXPECT_TRUE(tile->shareButton()->isEnabled());
    tile->shareButtonPressed();
    tile->shareButtonPressed(); // while fetching: nothing more
    ASSERT_TRUE(waitUntil([&] { return recorded->posted.size() + recorded->shared.size() == 1; }));
    QTest::qWait(50);
    EXPECT_EQ(recorded->posted.size() + recorded->shared.size(), 1u);
    EXPECT_EQ(m_service.requestCount(QStringLiteral("tessarine.getById")), 1);

    // A document that cannot be had is asked for once per press, never in a loop.
    m_service.injectReply(QStringLiteral("tessarine.getById"),
                          FakeHttpReply::serviceError(QStringLiteral("404"), QStringLiteral("gone")), -1);
    auto missing = makePackage(QStringLiteral("Missing"), {}, stampForSecondsAgo(1), QStringLiteral("3003"));
    ASSERT_TRUE(missing->unloadModel());
    QFile::remove(missing->draftFilePath());
    ASSERT_TRUE(waitUntil([&] { return grid.tileViews().size() == 3; }));
    for (int i = 1; i < 3; ++i)
        if (tileAt(grid, i)->filePackage() == missing)
            tileAt(grid, i)->shareButtonPressed();
    QTest::qWait(200);
    EXPECT_EQ(m_service.requestCount(QStringLiteral("tessarine.getById")), 2);
    m_service.clearInjectedReplies();
    TilePublishing::setShared(nullptr);
}

TEST_F(MyDocumentsGrid, FailedLoadHidesTheSpinner)
{
    signIn(QStringLiteral("ann"));
    auto package = makePackage(QStringLiteral("Gone"), {}, stampForSecondsAgo(5), QStringLiteral("4242"));
    ASSERT_TRUE(package->unloadModel());
    QFile::remove(package->draftFilePath());
    QVRMyTessarinesViewController grid;
    auto* tile = tileAt(grid, 1);
    ASSERT_TRUE(tile);
    tile->openTessarine();
    ASSERT_TRUE(waitUntil([&] { return !tile->isOpening(); }));
    EXPECT_EQ(m_service.requestCount(QStringLiteral("tessarine.getById")), 1);
    EXPECT_TRUE(m_windows->creator.documents.empty());
}

// A document whose draft is refused (a number no screen can hold) and that has no copy on the service: the click
// says so in an alert instead of only logging, and the play button does too.
TEST_F(MyDocumentsGrid, ADocumentThatCannotBeOpenedSaysSo)
{
    auto package = makePackage(QStringLiteral("Broken"), {}, stampForSecondsAgo(5));
    ASSERT_TRUE(package->unloadModel());
    QFile draft(package->draftFilePath());
    ASSERT_TRUE(draft.open(QIODevice::ReadOnly));
    QByteArray text = draft.readAll();
    draft.close();
    // In the first flow: the number of its transition cannot be held.
    const qsizetype flow = text.indexOf('{', text.indexOf("\"flows\""));
    ASSERT_GT(flow, 0);
    text.insert(flow + 1, "\"autoAdvanceTransitionType\":1e300,");
    ASSERT_TRUE(draft.open(QIODevice::WriteOnly | QIODevice::Truncate));
    draft.write(text);
    draft.close();
    QVRMyTessarinesViewController grid;
    auto* tile = tileAt(grid, 1);
    ASSERT_TRUE(tile);
    tile->openTessarine();
    ASSERT_TRUE(waitUntil([&] { return !tile->isOpening(); }));
    ASSERT_EQ(m_alerts.requests.size(), 1u);
    EXPECT_EQ(m_alerts.requests.front().messageText, UFM::ERROR_OPENING_TESSARINE());
    EXPECT_TRUE(m_windows->creator.documents.empty());
    tile->playButtonPressed();
    EXPECT_TRUE(waitUntil([&] { return m_alerts.requests.size() == 2; }));
}

TEST_F(MyDocumentsGrid, DeleteMarksTheServerCopyAndRemovesTheFolder)
{
    signIn(QStringLiteral("ann"));
    FakeWebService::Document document;
    document.id = QStringLiteral("1001");
    document.owner = QStringLiteral("ann");
    m_service.addDocument(document);
    auto package = makePackage(QStringLiteral("Doomed"), {}, stampForSecondsAgo(5), QStringLiteral("1001"));
    ASSERT_TRUE(package->unloadModel());
    const QString folder = package->path();
    QVRMyTessarinesViewController grid;
    auto* tile = tileAt(grid, 1);
    ASSERT_TRUE(tile);
    tile->deleteTessarine();
    ASSERT_TRUE(waitUntil([&] { return m_service.requestCount(QStringLiteral("tessarine.update")) == 1; }));
    const auto request = m_service.lastRequest(QStringLiteral("tessarine.update"));
    EXPECT_EQ(request->fields.value("id"), "1001");
    EXPECT_EQ(request->fields.value("deleted"), "1");
    EXPECT_EQ(request->fields.value("published"), "0");
    EXPECT_FALSE(QFileInfo::exists(folder));
    ASSERT_TRUE(waitUntil([&] { return grid.tileViews().size() == 1; }));
    EXPECT_TRUE(
        events().contains(R"(Deleted Tessarine {"action_value":"isOwner","tessarine_id":"1001","username":"ann"})"))
        << events().join('\n').toStdString();
    ASSERT_TRUE(waitUntil([] {
        return UserDefaults::standard()
            .value(QString::fromLatin1(DocumentServerOperations::kPendingDeletionsKey))
            .toStringList()
            .isEmpty();
    }));
}

TEST_F(MyDocumentsGrid, UnconfirmedDeleteIsNotRestoredAndIsSentAgain)
{
    signIn(QStringLiteral("ann"));
    FakeWebService::Document document;
    document.id = QStringLiteral("1001");
    document.owner = QStringLiteral("ann");
    document.title = QStringLiteral("Doomed");
    m_service.addDocument(document);
    m_service.injectReply(QStringLiteral("tessarine.update"),
                          FakeHttpReply::serviceError(QStringLiteral("500"), QStringLiteral("busy")));
    makePackage(QStringLiteral("Doomed"), {}, stampForSecondsAgo(5), QStringLiteral("1001"));
    QVRMyTessarinesViewController grid;
    int finished = 0;
    grid.setOnUpdateFinished([&] { ++finished; });
    tileAt(grid, 1)->actuallyDeleteTessarine();
    ASSERT_TRUE(waitUntil([&] { return m_service.requestCount(QStringLiteral("tessarine.update")) == 1; }));
    QTest::qWait(50);
    grid.update();
    ASSERT_TRUE(waitUntil([&] { return finished == 1; }));
    EXPECT_EQ(grid.tileViews().size(), 1);
    EXPECT_TRUE(ZERI_qvdFilePackage::allPackages().empty());
    ASSERT_TRUE(waitUntil([&] { return m_service.requestCount(QStringLiteral("tessarine.update")) == 2; }));
}

TEST_F(MyDocumentsGrid, DeleteWithoutServerIDSendsNothing)
{
    signIn(QStringLiteral("ann"));
    makePackage(QStringLiteral("Local"), {}, stampForSecondsAgo(5));
    QVRMyTessarinesViewController grid;
    tileAt(grid, 1)->actuallyDeleteTessarine();
    ASSERT_TRUE(waitUntil([&] { return grid.tileViews().size() == 1; }));
    QTest::qWait(30);
    EXPECT_EQ(m_service.requestCount(QStringLiteral("tessarine.update")), 0);
}

TEST_F(MyDocumentsGrid, DeletingAPackageWhoseFolderIsGoneLosesNothingElse)
{
    auto gone = makePackage(QStringLiteral("Gone"), {}, stampForSecondsAgo(5));
    auto kept = makePackage(QStringLiteral("Kept"), {}, stampForSecondsAgo(50));
    QVRMyTessarinesViewController grid;
    QVRTessarineTileGridItemView* tile = tileAt(grid, 1);
    ASSERT_EQ(tile->filePackage(), gone);
    ASSERT_TRUE(QDir(gone->path()).removeRecursively());
    tile->actuallyDeleteTessarine();
    QTest::qWait(20);
    EXPECT_TRUE(QFileInfo::exists(kept->draftFilePath()));
    ZERI_qvdFilePackage::rescan();
    ASSERT_TRUE(waitUntil([&] { return grid.tileViews().size() == 2; }));
    EXPECT_EQ(tileAt(grid, 1)->filePackage(), kept);
}

TEST_F(MyDocumentsGrid, DuplicateIsAnUnpublishedOwnDocument)
{
    signIn(QStringLiteral("ann"));
    auto package = makePackage(QStringLiteral("Original"), {}, stampForSecondsAgo(5));
    ASSERT_TRUE(package->savePublishedModelFromJSON(package->model()->jsonData()));
    QVRMyTessarinesViewController grid;
    tileAt(grid, 1)->duplicateTessarine();
    ASSERT_TRUE(waitUntil([&] { return ZERI_qvdFilePackage::allPackages().size() == 2; }));
    std::shared_ptr<ZERI_qvdFilePackage> copy;
    for (const auto& candidate : ZERI_qvdFilePackage::allPackages())
        if (candidate != package)
            copy = candidate;
    ASSERT_TRUE(copy);
    // The copy is made first, its published copy dropped when it is handed over.
    EXPECT_TRUE(waitUntil([&] { return !copy->publishedVersionExists(); }));
    EXPECT_EQ(copy->metaData().packageType(), ZERI_qvdFilePackage::OwnDocument);
    ASSERT_TRUE(waitUntil([&] { return grid.tileViews().size() == 3; }));
    for (int i = 1; i < 3; ++i) {
        auto* tile = tileAt(grid, i);
        if (tile->filePackage() == copy) {
            EXPECT_TRUE(tile->publishedView()->isHidden());
        }
    }
    bool logged = false;
    for (const QString& event : events())
        logged |= event.startsWith(QStringLiteral("Duplicated Tessarine:")) && event.contains(R"("userID":"ann")");
    EXPECT_TRUE(logged) << events().join('\n').toStdString();
}

TEST_F(MyDocumentsGrid, CreateNewTileShowsTheChooser)
{
    QVRMyTessarinesViewController grid;
    grid.resize(1100, 800);
    grid.show();
    QWidget* createNew = grid.tileViews().first();
    QTest::mouseClick(createNew, Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_TRUE(waitUntil([&] { return m_windows->templateChooserShown == 1; }));
    EXPECT_TRUE(events().contains(QStringLiteral("Create Tessarine Pressed {}")) ||
                events().filter(QStringLiteral("Create Tessarine Pressed")).size() == 1);
}

} // namespace

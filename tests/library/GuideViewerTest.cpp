#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "LibraryTestSupport.h"
#include "controls/QVR_AsynchronousRenderWebImageView.h"
#include "library/guides/QVRGuideTableCellView.h"
#include "library/guides/QVRGuideViewerViewController.h"
#include "viewer/QVRViewerOptionalControllsView.h"
#include "viewer/QVRViewerViewController.h"
#include "service/CorvikBlockAPIBinding.h"
#include "service/OpenRequestUi.h"
#include "service/ServiceReachability.h"
#include "strings/UFM.h"
#include "storage/ZERI_WebDownloader.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/QVR_TessarineViewerView.h"

using namespace library_test;

namespace {

class GuideViewer : public LibraryTest {
protected:
    // A published guide "g<n>" with `screens` screens; its record names a preview picture when asked.
    QJsonObject addGuide(int n, int screens, bool withPreview = true)
    {
        const QString stringID = QStringLiteral("g%1").arg(n);
        auto model = makeSample(screens);
        FakeWebService::Document document;
        document.stringID = stringID;
        document.owner = QStringLiteral("help");
        document.title = QStringLiteral("Guide %1").arg(n);
        document.published = true;
        document.documentJson = QString::fromUtf8(model->jsonData());
        document.publishedJson = document.documentJson;
        m_service.addDocument(document);
        QJsonObject record{
            {"title", document.title}, {"description", QStringLiteral("About %1").arg(n)}, {"string_id", stringID}};
        if (withPreview)
            record.insert("document_json_published_metadata",
                          QJsonObject{{"first_preview_url",
                                       m_service.addContent("prev" + stringID, "jpeg", "p.jpg").toString()}});
        return record;
    }
    void setGuides(const QJsonArray& guides)
    {
        m_service.withState([&](FakeWebService::State& state) { state.helpList = guides; });
    }
    std::unique_ptr<QVRGuideViewerViewController> openPanel()
    {
        auto panel = std::make_unique<QVRGuideViewerViewController>();
        panel->view()->resize(900, 500);
        panel->view()->show();
        return panel;
    }
    QVRGuideTableCellView* cell(QVRGuideViewerViewController& panel, int row)
    {
        return qobject_cast<QVRGuideTableCellView*>(panel.tableView()->itemWidget(panel.tableView()->item(row)));
    }
};

} // namespace

TEST_F(GuideViewer, GuidesListInReplyOrderAndOnlyNamedPreviewsAreFetched)
{
    setGuides({addGuide(1, 2), addGuide(2, 2, false), addGuide(3, 2), 17, "junk"});
    auto panel = openPanel();
    EXPECT_TRUE(panel->isSpinnerRunning());
    EXPECT_EQ(panel->tessarineAreaWidth(), 0);
    ASSERT_TRUE(waitUntil([&] { return panel->tableView()->count() == 3; }));
    EXPECT_FALSE(panel->isSpinnerRunning());
    EXPECT_EQ(m_service.requestCount("tessarine.getHelpList"), 1);
    EXPECT_EQ(m_service.lastRequest("tessarine.getHelpList")->field("language"), "En");
    for (int row = 0; row < 3; ++row) {
        ASSERT_TRUE(cell(*panel, row));
        EXPECT_EQ(cell(*panel, row)->titleTextField()->text(), QStringLiteral("Guide %1").arg(row + 1));
        EXPECT_EQ(cell(*panel, row)->textField()->text(), QStringLiteral("About %1").arg(row + 1));
    }
    EXPECT_TRUE(cell(*panel, 0)->previewImageView()->downloader());
    EXPECT_FALSE(cell(*panel, 1)->previewImageView()->downloader());
    ASSERT_TRUE(waitUntil([&] { return m_service.contentRequestCount("/content/prev") == 2; }));
    QTest::qWait(50);
    EXPECT_EQ(m_service.contentRequestCount("/content/prevg2/"), 0);
}

TEST_F(GuideViewer, RepliesWithoutAListLeaveItEmptyAndStopTheSpinner)
{
    m_service.injectReply("tessarine.getHelpList", FakeHttpReply::json(QJsonObject{{"other", 1}}));
    auto empty = openPanel();
    ASSERT_TRUE(waitUntil([&] { return !empty->isSpinnerRunning(); }));
    EXPECT_EQ(empty->tableView()->count(), 0);

    for (const FakeHttpReply& reply :
         {FakeHttpReply::serviceError("500", "down"), FakeHttpReply::html(200, "<html></html>"),
          FakeHttpReply::json(QJsonObject{{"help_list", QJsonObject{{"tessarine", "three"}}}}),
          FakeHttpReply::json(QJsonObject{{"help_list", QJsonArray{1}}})}) {
        m_service.injectReply("tessarine.getHelpList", reply);
        auto panel = openPanel();
        ASSERT_TRUE(waitUntil([&] { return !panel->isSpinnerRunning(); }));
        EXPECT_EQ(panel->tableView()->count(), 0);
        EXPECT_TRUE(panel->tessarinesArray().isEmpty());
    }
}

TEST_F(GuideViewer, SelectingAGuideShowsItsTextsWidensTheAreaAndPlaysItInThePanel)
{
    setGuides({addGuide(1, 2), addGuide(2, 3), addGuide(3, 2)});
    auto panel = openPanel();
    ASSERT_TRUE(waitUntil([&] { return panel->tableView()->count() == 3; }));
    panel->tableView()->clearSelection();
    EXPECT_FALSE(panel->activeOpenRequest()) << "an empty selection changes nothing";

    panel->tableView()->setCurrentRow(1);
    EXPECT_EQ(panel->titleTextField()->text(), "Guide 2");
    EXPECT_EQ(panel->descriptionTextField()->text(), "About 2");
    EXPECT_TRUE(panel->activeOpenRequest());
    ASSERT_TRUE(waitUntil([&] { return panel->tessarineAreaWidth() == 520; }));
    auto* player = panel->viewerViewController()->viewerView();
    ASSERT_TRUE(waitUntil([&] { return player->originalTessarineModel() != nullptr; }));
    EXPECT_EQ(player->originalTessarineModel()->stringID(), "g2");
    EXPECT_EQ(player->numScreens(), 3);
    // The hover-revealed page buttons lie over the whole player and follow its pages.
    QVRViewerOptionalControllsView* controls = panel->viewerControllsView();
    ASSERT_NE(controls, nullptr);
    EXPECT_EQ(controls->theViewer(), player);
    EXPECT_EQ(player->delegate(), controls);
    EXPECT_EQ(controls->geometry(), panel->viewerViewController()->view()->geometry());
    // The controller's own page buttons take no room under them.
    EXPECT_EQ(panel->viewerViewController()->rightButton()->width(), 0);
    EXPECT_EQ(panel->viewerViewController()->leftButton()->width(), 0);
    const auto request = m_service.lastRequest("tessarine.getByStringId");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->field("string_id"), "g2");
    EXPECT_TRUE(waitUntil([&] { return !panel->activeOpenRequest(); }));

    // A later selection keeps the width.
    panel->tableView()->setCurrentRow(2);
    ASSERT_TRUE(waitUntil([&] { return player->originalTessarineModel()->stringID() == "g3"; }));
    EXPECT_EQ(panel->tessarineAreaWidth(), 520);
}

TEST_F(GuideViewer, ANewSelectionCancelsTheHeldOne)
{
    QJsonObject missingID = addGuide(4, 2);
    missingID.remove("string_id");
    setGuides({addGuide(1, 2), addGuide(2, 2), addGuide(3, 2), missingID});
    auto panel = openPanel();
    ASSERT_TRUE(waitUntil([&] { return panel->tableView()->count() == 4; }));
    m_service.injectReply("tessarine.getByStringId", FakeHttpReply::hang());
    panel->tableView()->setCurrentRow(1);
    ASSERT_TRUE(waitUntil([&] { return m_service.requestCount("tessarine.getByStringId") == 1; }));
    const auto held = panel->activeOpenRequest();
    ASSERT_TRUE(held);
    panel->tableView()->setCurrentRow(2);
    EXPECT_TRUE(held->isFinished());
    auto* player = panel->viewerViewController()->viewerView();
    ASSERT_TRUE(waitUntil([&] { return player->originalTessarineModel() != nullptr; }));
    EXPECT_EQ(player->originalTessarineModel()->stringID(), "g3");
    QTest::qWait(100);
    EXPECT_EQ(player->originalTessarineModel()->stringID(), "g3");

    // A guide without a string id opens nothing.
    const int asked = m_service.requestCount("tessarine.getByStringId");
    panel->tableView()->setCurrentRow(3);
    EXPECT_EQ(panel->titleTextField()->text(), "Guide 4");
    EXPECT_FALSE(panel->activeOpenRequest());
    QTest::qWait(50);
    EXPECT_EQ(m_service.requestCount("tessarine.getByStringId"), asked);
}

TEST_F(GuideViewer, APanelDeletedBeforeItsRepliesIsSafe)
{
    setGuides({addGuide(1, 2)});
    openPanel().reset();
    QTest::qWait(100);

    auto panel = openPanel();
    ASSERT_TRUE(waitUntil([&] { return panel->tableView()->count() == 1; }));
    m_service.injectReply("tessarine.getByStringId", FakeHttpReply::json(QJsonObject{}).delayed(100));
    panel->tableView()->setCurrentRow(0);
    const auto request = panel->activeOpenRequest();
    ASSERT_TRUE(request);
    panel.reset();
    EXPECT_TRUE(request->isFinished());
    QTest::qWait(200);
    m_service.clearInjectedReplies();
}

TEST_F(GuideViewer, WithoutTheServiceThePanelSaysSoWhereTheListWouldBe)
{
    ASSERT_TRUE(CorvikBlockAPIBinding::setAPIURL(FakeWebService::unreachableBaseUrl()));
    auto panel = openPanel();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel->view()));
    ASSERT_TRUE(waitUntil([&] { return !panel->isSpinnerRunning(); }, 10000));
    EXPECT_EQ(panel->serviceNoticeShown(), ServiceReachability::unreachableText());

    // Drawn, readable, over the list's area: blue text on the white panel.
    const QImage shot = panel->view()->grab().toImage();
    const qreal ratio = panel->view()->devicePixelRatio();
    const QRect list(panel->tableView()->mapTo(panel->view(), QPoint(0, 0)), panel->tableView()->size());
    int blue = 0;
    for (int y = list.top(); y < list.bottom(); ++y)
        for (int x = list.left(); x < list.right(); ++x) {
            const QColor c = shot.pixelColor(QPoint(x, y) * ratio);
            blue += c.blue() > 120 && c.red() < 120 ? 1 : 0;
        }
    EXPECT_GT(blue, 200) << "the notice is drawn";

    // A service that answers, even with an error, is there: no such notice, but the empty list still says
    // something instead of showing a blank panel.
    ASSERT_TRUE(CorvikBlockAPIBinding::setAPIURL(m_service.baseUrl()));
    m_service.injectReply("tessarine.getHelpList", FakeHttpReply::serviceError("500", "down"));
    auto answered = openPanel();
    ASSERT_TRUE(waitUntil([&] { return !answered->isSpinnerRunning(); }));
    EXPECT_EQ(answered->serviceNoticeShown(), UFM::GUIDES_NONE_LISTED());

    // A list with guides in it needs no words.
    setGuides({addGuide(1, 2)});
    auto listed = openPanel();
    ASSERT_TRUE(waitUntil([&] { return !listed->isSpinnerRunning(); }));
    EXPECT_TRUE(listed->serviceNoticeShown().isEmpty());
}

TEST_F(GuideViewer, OverAWindowThePanelKeepsItsPlaceAtTheRightEdge)
{
    setGuides({addGuide(1, 2)});
    // Floating in a surface that does not lay it out, as over a window, 20 points from its right edge.
    QWidget surface;
    surface.resize(1100, 700);
    auto* panel = new QVRGuideViewerViewController(&surface);
    QWidget* view = panel->view();
    view->setParent(&surface);
    view->adjustSize();
    view->move(surface.width() - 20 - view->width(), 60);
    surface.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&surface));
    const auto rightMargin = [&] { return surface.width() - (view->x() + view->width()); };
    ASSERT_EQ(rightMargin(), 20);

    surface.resize(1300, 760);
    EXPECT_EQ(rightMargin(), 20) << "follows a wider window";
    surface.resize(1000, 650);
    EXPECT_EQ(rightMargin(), 20) << "and a narrower one";
    EXPECT_EQ(view->y(), 60);

    // Choosing a guide opens the document area towards the left.
    ASSERT_TRUE(waitUntil([&] { return panel->tableView()->count() == 1; }));
    QListWidget* list = panel->tableView();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    ASSERT_TRUE(waitUntil([&] { return panel->tessarineAreaWidth() == 520; }));
    EXPECT_EQ(rightMargin(), 20);
    EXPECT_GE(view->x(), 0);
}

#include <QBuffer>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "ListsTestSupport.h"
#include "library/lists/CategoryItem.h"
#include "library/lists/QVR_OpenByURLWindowCotroller.h"
#include "storage/ZERI_WebDownloader.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"
#include "support/UserInput.h"

using namespace lists_test;
using library_test::waitUntil;

namespace {

using OpenByURL = ListsTest;

TEST_F(OpenByURL, OpenSendsTheStringIDAndCloses)
{
    QPointer<QVR_OpenByURLWindowCotroller> window = QVR_OpenByURLWindowCotroller::showShared();
    EXPECT_EQ(window->windowTitle(), UFM::OPEN_URL_TEXT());
    EXPECT_EQ(QVR_OpenByURLWindowCotroller::showShared(), window.data());
    window->textField()->setText(QStringLiteral("abc"));
    QTest::mouseClick(window->openButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !window; }));
    ASSERT_TRUE(waitUntil([&] { return m_service.requestCount(QStringLiteral("tessarine.getByStringId")) == 1; }));
    EXPECT_EQ(m_service.lastRequest(QStringLiteral("tessarine.getByStringId"))->fields.value("string_id"), "abc");

    // The service does not know it: the window comes back with what was typed and an alert says so.
    ASSERT_TRUE(waitUntil([&] { return !m_alerts.requests.empty(); }));
    EXPECT_EQ(m_alerts.requests[0].messageText, UFM::TESSARINE_WITH_STRINGID_NOT_FOUND().arg("abc"));
    QPointer<QVR_OpenByURLWindowCotroller> again = QVR_OpenByURLWindowCotroller::showShared();
    EXPECT_TRUE(again->isVisible());
    EXPECT_EQ(again->textField()->text(), "abc");
    // Once the alert is answered the field holds the address chosen whole, to be typed over.
    QTest::qWait(50);
    EXPECT_EQ(again->textField()->selectedText(), "abc");
    again->close();
}

// The darkest colour drawn in `widget`'s shown area: its text's colour.
QColor darkestShown(const QWidget* widget)
{
    const QImage shown = UserInput::shownImage(widget);
    QColor darkest(Qt::white);
    // Inside the frame, where only the text is drawn.
    const int inset = int(4 * shown.devicePixelRatio());
    for (int y = inset; y < shown.height() - inset; ++y) {
        for (int x = inset; x < shown.width() - inset; ++x) {
            const QColor colour = shown.pixelColor(x, y);
            if (colour.lightness() < darkest.lightness())
                darkest = colour;
        }
    }
    return darkest;
}

TEST_F(OpenByURL, TheAddressAndTheButtonAreWrittenInTheThemesBlack)
{
    QPointer<QVR_OpenByURLWindowCotroller> window = QVR_OpenByURLWindowCotroller::showShared();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    window->resize(window->width() + 30, window->height());
    window->textField()->setFocus();
    UserInput::typeText(window->textField(), QStringLiteral("WWWWWWWW"));
    // The field's cursor would be the darkest thing in it: the focus goes on.
    window->openButton()->setFocus();
    UserInput::letRepaintsHappen();
    // The theme's black is a 0.23 grey (59 of 255); the text's darkest pixels are drawn in it.
    for (const QWidget* widget :
         {static_cast<QWidget*>(window->textField()), static_cast<QWidget*>(window->openButton())}) {
        const QColor darkest = darkestShown(widget);
        EXPECT_NEAR(darkest.red(), 59, 6) << widget->metaObject()->className();
        EXPECT_NEAR(darkest.green(), 59, 6) << widget->metaObject()->className();
    }
    window->textField()->clear();
    window->close();
    ASSERT_TRUE(waitUntil([&] { return !window; }));
}

TEST_F(OpenByURL, EmptyFieldStillClosesWithoutSending)
{
    QPointer<QVR_OpenByURLWindowCotroller> window = QVR_OpenByURLWindowCotroller::showShared();
    window->openPressed();
    ASSERT_TRUE(waitUntil([&] { return !window; }));
    QTest::qWait(20);
    EXPECT_EQ(m_service.requestCount(), 0);
    // Nothing to open is said, over a window that is open again.
    ASSERT_EQ(m_alerts.requests.size(), 1u);
    EXPECT_EQ(m_alerts.requests[0].messageText, UFM::ERROR_DOWNLOADING_TESSARINE());
    QPointer<QVR_OpenByURLWindowCotroller> again = QVR_OpenByURLWindowCotroller::showShared();
    EXPECT_TRUE(again->isVisible());
    again->close();
}

TEST_F(OpenByURL, TableListsPackagesKnownAtOpeningAndDoubleClickOpensOne)
{
    auto model = library_test::makeSample(1);
    auto first = ZERI_qvdFilePackage::packageForNewModel(model);
    first->metaData().setTessarineName(QStringLiteral("Named"));
    auto second = ZERI_qvdFilePackage::packageForNewModel(library_test::makeSample(1));
    // As it came from the service: the tile's picture is the service's, downloaded; the row shows it too.
    const QUrl servicePicture(QStringLiteral("https://previews.example/first.jpg"));
    first->metaData().setPreviewScreenshotURLString(servicePicture.toString());
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(picture.save(ZERI_WebDownloader::cacheFilePathForUrl(servicePicture, first->assetsPath()), "JPG"));
    QPointer<QVR_OpenByURLWindowCotroller> window = QVR_OpenByURLWindowCotroller::showShared();
    QVROpenSavedTessarineView* table = window->savedTessarniesTable();
    ASSERT_EQ(table->displayedTessarinePackages().size(), 2u);
    QAbstractItemModel* items = table->tessarinesTable()->model();
    const int firstRow = table->displayedTessarinePackages()[0] == first ? 0 : 1;
    EXPECT_FALSE(items->index(firstRow, 0).data(Qt::DecorationRole).value<QImage>().isNull());
    QStringList shown{items->index(0, 1).data().toString(), items->index(1, 1).data().toString()};
    EXPECT_TRUE(shown.contains(QStringLiteral("Named")));
    EXPECT_TRUE(shown.contains(UFM::UNTITLED_TEXT()));
    // Later packages wait for the next window; a row past the end does nothing.
    ZERI_qvdFilePackage::packageForNewModel(library_test::makeSample(1));
    EXPECT_EQ(table->displayedTessarinePackages().size(), 2u);
    table->onDoubleClick(7);
    EXPECT_TRUE(window);

    // Return on the row that has the keyboard opens it, as a double click does.
    const auto target = table->displayedTessarinePackages()[1];
    table->tessarinesTable()->setCurrentIndex(items->index(1, 0));
    table->tessarinesTable()->setFocus();
    QTest::keyClick(table->tessarinesTable(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return !window; }));
    ASSERT_TRUE(waitUntil([&] { return m_windows->creator.documents.size() == 1; }));
    EXPECT_EQ(m_windows->creator.documents.front(), target->model());
}

TEST(CategoryItemArchive, RoundTripsItsTenKeysAndToleratesMistypedOnes)
{
    CategoryItem item;
    item.title = QStringLiteral("Travel");
    item.description = QStringLiteral("Trips");
    item.thumbnail = QStringLiteral("t.png");
    item.url = QStringLiteral("https://example.com/c");
    item.type = QStringLiteral("feed");
    item.feed = QStringLiteral("f");
    item.uploadTags = QStringLiteral("a,b");
    item.index = 4;
    item.featureButtonNormal = QStringLiteral("n.png");
    item.featureButtonPressed = QStringLiteral("p.png");
    EXPECT_EQ(item.toJson().keys().size(), 10);
    EXPECT_EQ(CategoryItem::fromJson(item.toJson()), item);

    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << item;
    }
    CategoryItem read;
    QDataStream in(bytes);
    in >> read;
    EXPECT_EQ(read, item);

    const CategoryItem odd =
        CategoryItem::fromJson(QJsonObject{{"title", 5}, {"description", QJsonArray{}}, {"index", "x"}});
    EXPECT_TRUE(odd.title.isEmpty());
    EXPECT_EQ(odd.description, QString(""));
    EXPECT_EQ(odd.index, 0);
}

} // namespace

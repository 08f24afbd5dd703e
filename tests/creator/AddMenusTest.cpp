#include <QApplication>
#include <QBuffer>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMutex>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "creator/addition/QVR_AddElementMenuViewController.h"
#include "creator/addition/QVR_AddShapeMenuViewController.h"
#include "creator/addition/QVR_AddStreamingVideoViewController.h"
#include "elements/video/StreamingVideoPreviewHelper.h"
#include "support/fakeservice/FakeHttp.h"
#include "foundation/Tessutils.h"

namespace {

QStringList g_log;
QtMessageHandler g_previous = nullptr;

void captureMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    g_log.append(message);
    if (g_previous)
        g_previous(type, context, message);
}

struct Recorder : AddElementMenuViewControllerDelegate, QVR_AddShapeMenuDelegate, AddYouTubeVideoDelegate {
    QList<int> types;
    QList<int> shapes;
    QStringList youTube;
    QStringList vimeo;
    void addElementMenuSelectionMadeWithType(int type) override { types.append(type); }
    void shapeChosen(int shapeType) override { shapes.append(shapeType); }
    void addYoutubeVideoViewControllerSelectionCompletedWithVideoURL(const QString& url) override
    {
        youTube.append(url);
    }
    void addVimeoVideoViewControllerSelectionCompletedWithVideoURL(const QString& url) override { vimeo.append(url); }
};

QByteArray jpeg(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(10, 200, 90));
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return data;
}

// Both sites on one fake server: every picture request gets a 480 × 360 JPEG, after `delayMs`.
class FakeVideoSites {
public:
    FakeVideoSites()
        : m_server([this](const FakeHttpRequest& request) {
            QMutexLocker lock(&m_mutex);
            m_paths.append(request.path);
            if (request.path.endsWith(QStringLiteral(".json"))) {
                const QByteArray answer = "[{\"thumbnail_large\": \"" + m_base.toUtf8() + "/thumb.jpg\"}]";
                return FakeHttpReply::raw(200, "application/json", answer).delayed(m_delayMs);
            }
            return FakeHttpReply::raw(200, "image/jpeg", m_picture).delayed(m_delayMs);
        })
    {
    }
    bool start()
    {
        if (!m_server.start())
            return false;
        const QUrl base(QStringLiteral("http://127.0.0.1:%1").arg(m_server.port()));
        {
            QMutexLocker lock(&m_mutex);
            m_base = base.toString();
        }
        StreamingVideoPreviewHelper::setSiteBaseURLsForTesting(base, base);
        return true;
    }
    ~FakeVideoSites() { StreamingVideoPreviewHelper::setSiteBaseURLsForTesting(QUrl(), QUrl()); }
    QStringList paths() const
    {
        QMutexLocker lock(&m_mutex);
        return m_paths;
    }
    void setDelay(int ms)
    {
        QMutexLocker lock(&m_mutex);
        m_delayMs = ms;
    }

private:
    mutable QMutex m_mutex;
    QStringList m_paths;
    int m_delayMs = 0;
    QString m_base;
    QByteArray m_picture = jpeg(480, 360);
    FakeHttpServer m_server;
};

void type(QLineEdit* field, const QString& text)
{
    field->clear();
    field->setFocus();
    // Sent at once: the checks after an edit look at Insert before the fake sites answer, and typed key by key
    // they would answer between the keys.
    QTest::keyClicks(field, text);
}

} // namespace

TEST(AddElementMenu, RowsReportTheirTypesAndAudioIsLogged)
{
    Recorder recorder;
    QVR_AddElementMenuViewController menu;
    menu.setDelegate(&recorder);
    QWidget* view = menu.view();
    view->show();
    ASSERT_EQ(menu.cells().size(), 8);
    g_log.clear();
    QLoggingCategory::setFilterRules(QStringLiteral("tess.creator.info=true"));
    g_previous = qInstallMessageHandler(captureMessage);
    for (QVR_TableViewCellLikeView* cell : menu.cells()) {
        ASSERT_TRUE(cell);
        EXPECT_FALSE(cell->currentIcon().isNull());
        QTest::mouseClick(cell, Qt::LeftButton, {}, cell->rect().center());
    }
    qInstallMessageHandler(g_previous);
    QLoggingCategory::setFilterRules(QString());
    EXPECT_EQ(recorder.types, (QList<int>{2, 3, 1, 8, 6, 7, 4, 9}));
    EXPECT_EQ(recorder.types, QVR_AddElementMenuViewController::rowTypes());
    EXPECT_TRUE(g_log.contains(QStringLiteral("audio clicked")));
    EXPECT_EQ(menu.youTubeCell()->cellTitle(), QStringLiteral("YouTube / Vimeo"));
    // A click reported for a view that is not one of the rows does nothing.
    QVR_TableViewCellLikeView stranger;
    menu.tableViewCellLikeViewClicked(&stranger);
    EXPECT_EQ(recorder.types.size(), 8);
    // The icons are drawn once, not again into the pixmap cache for each menu opened.
    EXPECT_EQ(additionMenuIcon(QStringLiteral("source_image_icon")).cacheKey(),
              additionMenuIcon(QStringLiteral("source_image_icon")).cacheKey());
}

TEST(AddShapeMenu, ButtonsSitInOneRowAndReportOnlyReleasesInside)
{
    Recorder recorder;
    QVR_AddShapeMenuViewController controller;
    controller.setDelegate(&recorder);
    QVR_AddShapeMenuView* menu = controller.menuView();
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->size(), QSize(900, 200));
    EXPECT_EQ(menu->titleLabel()->geometry(), QRect(10, 30, 500, 30));
    const auto buttons = menu->buttons();
    ASSERT_EQ(buttons.size(), 8);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(buttons[i]->geometry(), QRect(8 + 108 * i, 80, 100, 90));
    EXPECT_EQ(buttons[5]->shapeType(), 6);
    EXPECT_EQ(buttons[6]->shapeType(), 5);
    menu->show();

    // The sample at rest is drawn in the brand blue.
    const QImage picture = buttons[0]->grab().toImage();
    const QColor centre = picture.pixelColor(picture.width() / 2, picture.height() / 2);
    const QColor blue = Tessutils::tessarineBlue();
    EXPECT_NEAR(centre.red(), blue.red(), 2);
    EXPECT_NEAR(centre.green(), blue.green(), 2);
    EXPECT_NEAR(centre.blue(), blue.blue(), 2);

    // Pressed and released outside: nothing; inside: once.
    QVR_ShapeButtonView* seventh = buttons[6];
    QTest::mousePress(seventh, Qt::LeftButton, {}, QPoint(50, 45));
    QTest::mouseMove(seventh, QPoint(300, 300));
    QTest::mouseRelease(seventh, Qt::LeftButton, {}, QPoint(300, 300));
    EXPECT_TRUE(recorder.shapes.isEmpty());
    QTest::mouseClick(seventh, Qt::LeftButton, {}, QPoint(50, 45));
    QTest::mouseClick(buttons[5], Qt::LeftButton, {}, QPoint(50, 45));
    EXPECT_EQ(recorder.shapes, (QList<int>{5, 6}));

    // A page narrower than the menu (the smallest creator window) gets a narrower row: every shape in sight.
    menu->resize(700, 200);
    ASSERT_EQ(menu->width(), 700);
    for (QVR_ShapeButtonView* button : buttons) {
        EXPECT_TRUE(menu->rect().contains(button->geometry())) << button->shapeType();
        EXPECT_NEAR(button->height(), button->width() * 0.9, 1.0);
    }
}

TEST(AddShapeMenu, TheFocusedShapeKeepsItsColoursAndShowsAnOutline)
{
    QVR_AddShapeMenuViewController controller;
    QVR_AddShapeMenuView* menu = controller.menuView();
    ASSERT_TRUE(menu);
    menu->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    QVR_ShapeButtonView* first = menu->buttons().value(0);
    ASSERT_TRUE(first);
    menu->activateWindow();
    menu->buttons().value(1)->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !first->hasFocus(); }, 2000));
    const QImage before = first->grab().toImage();
    first->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([&] { return first->hasFocus(); }, 2000));
    const QImage focused = first->grab().toImage();
    // The sample stays blue and the border white, as at rest.
    const QColor blue = Tessutils::tessarineBlue();
    const QColor centre = focused.pixelColor(focused.width() / 2, focused.height() / 2);
    EXPECT_NEAR(centre.red(), blue.red(), 2);
    EXPECT_NEAR(centre.green(), blue.green(), 2);
    EXPECT_NEAR(centre.blue(), blue.blue(), 2);
    EXPECT_EQ(focused.pixelColor(0, focused.height() / 2).rgb(), before.pixelColor(0, before.height() / 2).rgb());
    // The outline inside the border marks it.
    const QColor ring = focused.pixelColor(3, focused.height() / 2);
    EXPECT_NE(ring.rgb(), before.pixelColor(3, before.height() / 2).rgb());
    EXPECT_NEAR(ring.blue(), QVR_ShapeButtonView::kFocusRingColor.blue(), 40);
}

// A link typed key by key, the event loop turning between keys as a person types, asks the site once, after the
// typing paused; Return then inserts the confirmed video.
TEST(AddStreamingVideo, ALinkTypedKeyByKeyIsOneQuestionToTheSite)
{
    FakeVideoSites sites;
    ASSERT_TRUE(sites.start());
    Recorder recorder;
    QVR_AddStreamingVideoViewController dialog;
    dialog.setDelegate(&recorder);
    dialog.view()->show();
    QLineEdit* field = dialog.urlFeild();
    ASSERT_TRUE(field);
    field->setFocus();
    for (const QChar c : QStringLiteral("vimeo.com/76979871")) {
        QTest::keyClick(field, c.toLatin1());
        QTest::qWait(40);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.insertButton()->isEnabled(); }, 5000));
    // One question: the video's record (its picture follows from it).
    EXPECT_EQ(sites.paths().filter(QStringLiteral("/video/")).size(), 1)
        << sites.paths().join(QStringLiteral(", ")).toStdString();
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(recorder.vimeo, QStringList{QStringLiteral("vimeo.com/76979871")});
}

TEST(AddStreamingVideo, OnlyAConfirmedVideoOfTheCurrentTextCanBeInserted)
{
    FakeVideoSites sites;
    ASSERT_TRUE(sites.start());
    Recorder recorder;
    QVR_AddStreamingVideoViewController dialog;
    dialog.setDelegate(&recorder);
    dialog.view()->show();
    QLineEdit* field = dialog.urlFeild();
    ASSERT_TRUE(field);
    EXPECT_FALSE(dialog.insertButton()->isEnabled());

    // Plain words: red, placeholder, no request.
    type(field, QStringLiteral("hello"));
    EXPECT_EQ(field->palette().color(QPalette::Text), QColor(Qt::red));
    EXPECT_TRUE(dialog.showsPlaceholder());
    EXPECT_FALSE(dialog.insertButton()->isEnabled());

    // A 10-character "v=" value is neither site's.
    type(field, QStringLiteral("https://www.youtube.com/watch?v=Ab3_-x9Zq0"));
    QTest::qWait(100);
    EXPECT_TRUE(sites.paths().isEmpty());
    EXPECT_FALSE(dialog.insertButton()->isEnabled());

    // A real id: black text, the preview, and Insert hands over the text as typed.
    type(field, QStringLiteral("Ab3_-x9Zq0Q"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.insertButton()->isEnabled(); }, 5000));
    EXPECT_EQ(field->palette().color(QPalette::Text), Tessutils::tessarineBlackColor());
    EXPECT_FALSE(dialog.showsPlaceholder());
    EXPECT_EQ(dialog.shownImage().size(), QSize(480, 360));
    QTest::mouseClick(dialog.insertButton(), Qt::LeftButton);
    EXPECT_EQ(recorder.youTube, QStringList{QStringLiteral("Ab3_-x9Zq0Q")});

    type(field, QStringLiteral("vimeo.com/76979871"));
    EXPECT_FALSE(dialog.insertButton()->isEnabled()) << "an edit disables Insert until the new text is confirmed";
    EXPECT_EQ(dialog.source(), QStringLiteral("vimeo"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.insertButton()->isEnabled(); }, 5000));
    QTest::mouseClick(dialog.insertButton(), Qt::LeftButton);
    EXPECT_EQ(recorder.vimeo, QStringList{QStringLiteral("vimeo.com/76979871")});
    EXPECT_EQ(recorder.youTube.size(), 1);

    // A late answer for older text leaves Insert off.
    sites.setDelay(300);
    type(field, QStringLiteral("youtu.be/Zz9_-x9Zq0Q"));
    type(field, QStringLiteral("hello"));
    const int requests = int(sites.paths().size());
    QTest::qWait(600);
    EXPECT_GE(int(sites.paths().size()), requests);
    EXPECT_FALSE(dialog.insertButton()->isEnabled());
    EXPECT_TRUE(dialog.showsPlaceholder());
}

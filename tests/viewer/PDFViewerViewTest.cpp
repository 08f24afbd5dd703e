#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QPdfDocument>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

#include "app/ViewerKeyNotifications.h"
#include "foundation/FontSubstitution.h"
#include "foundation/SafeDictionary.h"
#include "foundation/Tessutils.h"
#include "platform/NotificationCenter.h"
#include "viewer/QVR_PDFViewerView.h"
#include "viewer/TrackedEmailComposer.h"
#include "ViewerTestSupport.h"

using namespace viewertest;

namespace {

const std::vector<QColor> kPageColours{QColor(220, 20, 20), QColor(20, 200, 40), QColor(30, 40, 210),
                                       QColor(230, 200, 20), QColor(150, 30, 160)};

bool near(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24 &&
           std::abs(a.blue() - b.blue()) < 24;
}

QColor viewportCentre(QVR_PDFViewerView& view)
{
    QWidget* viewport = view.scrollArea()->viewport();
    const QImage image = viewport->grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

// A composer that records what it was given; the test plays the user's Cancel and Send.
struct RecordingComposer : TrackedEmailComposer {
    static inline int alive = 0;
    static inline RecordingComposer* last = nullptr;

    RecordingComposer()
        : widget(new QWidget)
    {
        ++alive;
        last = this;
    }
    ~RecordingComposer() override
    {
        delete widget.data();
        --alive;
        if (last == this)
            last = nullptr;
    }
    QWidget* view() override { return widget; }
    QSize preferredWindowSize() const override { return QSize(600, 700); }
    void setPrepopulatedSender(const QString& value) override { sender = value; }
    void setPrepopulatedSubject(const QString& value) override { subject = value; }
    void setPrepopulatedMessage(const QTextDocument& value) override
    {
        html = value.toHtml();
        plain = value.toPlainText();
        QTextCursor cursor(const_cast<QTextDocument*>(&value));
        cursor.movePosition(QTextCursor::End);
        font = cursor.charFormat().font();
    }
    void setNoTrackURLStrings(const QStringList& value) override { noTrack = value; }
    void setQvd_id(const QString& value) override { qvdID = value; }
    void setOnCancelBlock(std::function<void()> block) override { onCancel = std::move(block); }
    void setAfterSendBlock(std::function<void()> block) override { afterSend = std::move(block); }

    QPointer<QWidget> widget;
    QString sender, subject, html, plain, qvdID;
    QFont font;
    QStringList noTrack;
    std::function<void()> onCancel, afterSend;
};

class PDFViewer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(env.started()); }
    void TearDown() override
    {
        TrackedEmailComposer::registerFactory({});
        Tessutils::setCorvikUserDict(std::nullopt);
    }

    std::shared_ptr<ZERI_MixedMediaObjectProxy> pdfObject(const QUrl& url, const QString& sourceName = QString())
    {
        auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::PDF);
        object->object()->setPdfAsset(assetAt(url, sourceName));
        document = saveDocumentWith(object);
        return object;
    }
    QUrl served(const QByteArray& bytes, const QString& name = QStringLiteral("colours.pdf"))
    {
        return env.service.addContent(name.section('.', 0, 0), bytes, name);
    }

    std::unique_ptr<QVR_PDFViewerView> show(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
    {
        auto view = std::make_unique<QVR_PDFViewerView>(QRect(0, 0, 1024, 748), object);
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        return view;
    }
    static bool loaded(QVR_PDFViewerView& view)
    {
        return QTest::qWaitFor(
            [&] {
                return view.document()->status() == QPdfDocument::Status::Ready ||
                       view.document()->status() == QPdfDocument::Status::Error;
            },
            5000);
    }

    ScopedViewerEnvironment env;
    std::shared_ptr<ZERI_TessarineModel> document;
};

TEST_F(PDFViewer, ShowsPageOneAtTheTopFittedToTheWidthAndPagesDown)
{
    auto view = show(pdfObject(served(pdfBytes(kPageColours))));
    ASSERT_TRUE(loaded(*view));
    ASSERT_EQ(view->document()->pageCount(), 5);
    const int width = view->scrollArea()->viewport()->width();
    EXPECT_EQ(view->pageRect(0).topLeft(), QPoint(0, 0));
    EXPECT_EQ(view->pageRect(0).width(), width);
    EXPECT_NEAR(view->pageRect(0).height(), width * 374.0 / 512.0, 1.0);
    EXPECT_EQ(view->scrollArea()->verticalScrollBar()->value(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->hasImageForPage(0); }, 5000));
    EXPECT_TRUE(near(viewportCentre(*view), kPageColours[0]));

    QTest::keyClick(view->scrollArea(), Qt::Key_PageDown);
    EXPECT_GT(view->scrollArea()->verticalScrollBar()->value(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->hasImageForPage(1); }, 5000));
    EXPECT_TRUE(near(viewportCentre(*view), kPageColours[1]));
}

TEST_F(PDFViewer, AFileAlreadyOnDiskOpensFittedToTheWidthAndFollowsAResize)
{
    const auto object = pdfObject(served(pdfBytes(kPageColours)));
    {
        auto first = show(object);
        ASSERT_TRUE(loaded(*first));
    }
    // The file is on disk now: it is loaded while the next view is built, before that view shows.
    QVR_PDFViewerView view(QRect(0, 0, 1024, 748), object);
    ASSERT_EQ(view.document()->status(), QPdfDocument::Status::Ready);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    const auto fittedWithin = [&](int least, int most) {
        return [&view, least, most] {
            const int width = view.scrollArea()->viewport()->width();
            return width >= least && width <= most && view.pageRect(0).width() == width && view.hasImageForPage(0);
        };
    };
    ASSERT_TRUE(QTest::qWaitFor(fittedWithin(900, 1024), 5000)) << view.pageRect(0).width();
    // The page fills the width: its colour reaches both sides of the window.
    QImage shot = view.grab().toImage();
    EXPECT_TRUE(near(shot.pixelColor(10, 100), kPageColours[0]));
    EXPECT_TRUE(near(shot.pixelColor(view.scrollArea()->viewport()->width() - 10, 100), kPageColours[0]));

    view.resize(700, 600);
    ASSERT_TRUE(QTest::qWaitFor(fittedWithin(600, 700), 5000)) << view.pageRect(0).width();
}

TEST_F(PDFViewer, KeepsAtMostTwelvePagePicturesWhileScrollingALongDocument)
{
    std::vector<QColor> colours;
    for (int i = 0; i < 30; ++i)
        colours.push_back(kPageColours[std::size_t(i) % kPageColours.size()]);
    auto view = show(pdfObject(served(pdfBytes(colours), QStringLiteral("long.pdf"))));
    ASSERT_TRUE(loaded(*view));
    QScrollBar* bar = view->scrollArea()->verticalScrollBar();
    for (int page = 0; page < 30; page += 3) {
        bar->setValue(view->pageRect(page).top());
        ASSERT_TRUE(QTest::qWaitFor([&] { return view->hasImageForPage(page); }, 5000)) << page;
        EXPECT_LE(view->keptImageCount(), QVR_PDFViewerView::kMaxKeptImages);
    }
    // The page ahead of the visible one is rendered before it is scrolled to.
    bar->setValue(view->pageRect(10).top());
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->hasImageForPage(11); }, 5000));
    EXPECT_TRUE(near(viewportCentre(*view), colours[10]));
}

TEST_F(PDFViewer, ALateFileLoadsWhenItLandsAndAFileThatIsNoPdfShowsNothing)
{
    env.service.setContentDelay(500);
    auto late = show(pdfObject(served(pdfBytes(kPageColours))));
    EXPECT_EQ(late->document()->status(), QPdfDocument::Status::Null);
    ASSERT_TRUE(loaded(*late));
    EXPECT_EQ(late->document()->pageCount(), 5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return late->hasImageForPage(0); }, 5000));

    env.service.setContentDelay(0);
    auto text = show(pdfObject(served("just some text\n", QStringLiteral("x.pdf"))));
    ASSERT_TRUE(loaded(*text));
    EXPECT_EQ(text->document()->pageCount(), 0);
    QTest::keyClick(text->scrollArea(), Qt::Key_PageDown);
    EXPECT_EQ(text->keptImageCount(), 0);

    // Nothing served at all: the download fails and the view stays empty.
    auto missing = show(pdfObject(env.service.contentURL(QStringLiteral("gone"), QStringLiteral("gone.pdf"))));
    QTest::qWait(300);
    EXPECT_EQ(missing->document()->pageCount(), 0);
}

TEST_F(PDFViewer, TrackedEmailIsPreparedForTheLinkAndLeavesTheDocumentAsItWas)
{
    TrackedEmailComposer::registerFactory([] { return std::make_unique<RecordingComposer>(); });
    Tessutils::setCorvikUserDict(SafeDictionary(QJsonObject{{QStringLiteral("display_name"), QStringLiteral("Ann")},
                                                            {QStringLiteral("email"), QStringLiteral("ann@x.org")}}));
    const QUrl url = served(pdfBytes(kPageColours));
    auto view = show(pdfObject(url));
    document->setApiID(QStringLiteral("1001")); // the service's id, never the local one
    ASSERT_TRUE(loaded(*view));
    ASSERT_NE(view->emailButton(), nullptr);
    EXPECT_EQ(view->emailButton()->toolTip(), QStringLiteral("Send Trackable Email"));
    view->scrollArea()->verticalScrollBar()->setValue(300);

    for (const bool send : {false, true}) {
        QTest::mouseClick(view->emailButton(), Qt::LeftButton);
        RecordingComposer* composer = RecordingComposer::last;
        ASSERT_NE(composer, nullptr);
        EXPECT_EQ(composer->sender, QStringLiteral("ann@x.org"));
        EXPECT_EQ(composer->subject, QStringLiteral("PDF from Flow: \"Title\""));
        EXPECT_TRUE(composer->plain.contains(QStringLiteral("untitled.pdf")));
        EXPECT_TRUE(composer->plain.contains(QStringLiteral("Ann")));
        EXPECT_TRUE(composer->html.contains(url.toString(QUrl::FullyEncoded)));
        EXPECT_EQ(composer->font.pointSizeF(), 16.0);
        EXPECT_EQ(composer->font.family(),
                  FontSubstitution::fontForPostScriptName(QStringLiteral("HelveticaNeue-Medium"), 16).family());
        EXPECT_EQ(composer->noTrack, Tessutils::trackableEmail_standardNoTrackURLStrings());
        EXPECT_EQ(composer->qvdID, QStringLiteral("1001"));
        ASSERT_NE(view->blackEmailOverlayView(), nullptr);
        EXPECT_EQ(view->blackEmailOverlayView()->geometry(), view->rect());
        EXPECT_TRUE(view->isAncestorOf(composer->widget));
        // Where the view is large enough, the composer stands whole in its middle.
        const QRect frame(composer->widget->mapTo(view.get(), QPoint(0, 0)), composer->widget->size());
        EXPECT_EQ(frame.center(), view->rect().center());
        // A white composer in a 1-point dark grey border, over the dimmed document.
        const QImage shot = view->grab().toImage();
        const int middle = frame.center().y();
        for (const QPoint edge : {QPoint(frame.left(), middle), QPoint(frame.right(), middle),
                                  QPoint(frame.center().x(), frame.top()), QPoint(frame.center().x(), frame.bottom())})
            EXPECT_TRUE(near(shot.pixelColor(edge), QColor(85, 85, 85))) << edge.x() << "," << edge.y();
        EXPECT_EQ(shot.pixelColor(frame.left() + 1, middle), QColor(Qt::white));

        // A second press while it is open opens no second composer.
        QTest::mouseClick(view->emailButton(), Qt::LeftButton);
        EXPECT_EQ(RecordingComposer::alive, 1);

        (send ? composer->afterSend : composer->onCancel)();
        EXPECT_EQ(view->blackEmailOverlayView(), nullptr);
        EXPECT_EQ(view->emailVC(), nullptr);
        ASSERT_TRUE(QTest::qWaitFor([] { return RecordingComposer::alive == 0; }, 2000));
        EXPECT_EQ(view->scrollArea()->verticalScrollBar()->value(), 300);
    }
}

TEST_F(PDFViewer, OffersNoEmailWithoutAWebAddressOrAComposer)
{
    const QByteArray bytes = pdfBytes(kPageColours);
    // Without a composer registered.
    EXPECT_EQ(show(pdfObject(served(bytes)))->emailButton(), nullptr);

    // A file that was never uploaded.
    TrackedEmailComposer::registerFactory([] { return std::make_unique<RecordingComposer>(); });
    const QString path = env.temporaryPath(QStringLiteral("local.pdf"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    auto local = show(pdfObject(QUrl::fromLocalFile(path)));
    EXPECT_EQ(local->emailButton(), nullptr);
    local->trackableEmail();
    EXPECT_EQ(RecordingComposer::alive, 0);
    ASSERT_TRUE(loaded(*local));
    EXPECT_EQ(local->document()->pageCount(), 5);
}

TEST_F(PDFViewer, KeysTheScrollAreaLeavesArePostedWithTheViewAsSender)
{
    auto view = show(pdfObject(served(pdfBytes(kPageColours))));
    ASSERT_TRUE(loaded(*view));
    QList<std::pair<const void*, QKeyCombination>> posts;
    NotificationObservation observation(
        TessarineViewerViewKeyDownNotificationName, nullptr, [&](const Notification& note) {
            posts.append(
                {note.sender,
                 note.userInfo.value(TessarineViewerViewKeyDownNotificationUserDictKey).value<QKeyCombination>()});
        });
    QTest::keyClick(view->scrollArea(), Qt::Key_PageDown);
    QTest::keyClick(view->scrollArea(), Qt::Key_Down);
    EXPECT_TRUE(posts.isEmpty());
    QTest::keyClick(view->scrollArea(), Qt::Key_Escape);
    QTest::keyClick(view.get(), Qt::Key_Return);
    ASSERT_EQ(posts.size(), 2);
    EXPECT_EQ(posts[0].first, view.get());
    EXPECT_EQ(posts[0].second.key(), Qt::Key_Escape);
    EXPECT_EQ(posts[1].second.key(), Qt::Key_Return);
}

} // namespace

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QMutex>
#include <QMutexLocker>
#include <QTcpServer>
#include <QtTest/QTest>

#include "elements/video/VimeoVideoPreviewHelperClass.h"
#include "elements/video/YouTubeVideoPreviewHelper.h"
#include "platform/MainThread.h"
#include "support/fakeservice/FakeHttp.h"

namespace {

QMutex g_logMutex;
QStringList g_log;

void captureMessage(QtMsgType, const QMessageLogContext&, const QString& message)
{
    QMutexLocker lock(&g_logMutex);
    g_log.append(message);
}

QByteArray encodedImage(int width, int height, const char* format)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(0x20, 0x60, 0xc0));
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return data;
}

// A site on 127.0.0.1: answers each path from a table (404 for the rest) and records the raw paths asked for.
class FakeSite {
public:
    FakeSite()
        : m_server([this](const FakeHttpRequest& request) { return answer(request); })
    {
    }

    bool start() { return m_server.start(); }
    QUrl baseURL() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server.port())); }

    void setReply(const QString& path, const FakeHttpReply& reply)
    {
        QMutexLocker lock(&m_mutex);
        m_replies[path] = reply;
    }
    QStringList requestedPaths() const
    {
        QMutexLocker lock(&m_mutex);
        return m_paths;
    }

private:
    FakeHttpReply answer(const FakeHttpRequest& request)
    {
        QMutexLocker lock(&m_mutex);
        m_paths.append(request.path);
        return m_replies.value(request.path, FakeHttpReply::html(404, "Not Found"));
    }

    mutable QMutex m_mutex;
    QMap<QString, FakeHttpReply> m_replies;
    QStringList m_paths;
    FakeHttpServer m_server;
};

struct Validation {
    std::optional<bool> valid;
    QByteArray data;
    bool callReturned = false;
    bool ranAfterReturn = false;
    bool ranOnMainThread = false;
    int calls = 0;
};

class StreamingVideoPreviewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_site.start());
        StreamingVideoPreviewHelper::setSiteBaseURLsForTesting(m_site.baseURL(), m_site.baseURL());
        {
            QMutexLocker lock(&g_logMutex);
            g_log.clear();
        }
        m_previousHandler = qInstallMessageHandler(captureMessage);
    }
    void TearDown() override
    {
        qInstallMessageHandler(m_previousHandler);
        StreamingVideoPreviewHelper::setSiteBaseURLsForTesting(QUrl(), QUrl());
    }

    static bool logContains(const QString& text)
    {
        QMutexLocker lock(&g_logMutex);
        for (const QString& line : g_log)
            if (line.contains(text))
                return true;
        return false;
    }

    template <class Helper> Validation validate(const QString& videoId, int timeoutMs = 5000)
    {
        auto result = std::make_shared<Validation>();
        Helper::validateVideoId(videoId, [result](bool valid, const QByteArray& data) {
            ++result->calls;
            result->valid = valid;
            result->data = data;
            result->ranAfterReturn = result->callReturned;
            result->ranOnMainThread = MainThread::isMainThread();
        });
        result->callReturned = true;
        EXPECT_TRUE(QTest::qWaitFor([&] { return result->valid.has_value(); }, timeoutMs)) << qPrintable(videoId);
        QTest::qWait(1); // a second call of the block would show here
        return *result;
    }

    template <class Helper> std::optional<QString> lookUp(const QString& videoId, bool* returnedFirst = nullptr)
    {
        std::optional<QString> address;
        bool returned = false;
        Helper::previewImageURLStringFromVideoId(videoId, [&](const QString& text) {
            if (returnedFirst)
                *returnedFirst = returned && MainThread::isMainThread();
            address = text;
        });
        returned = true;
        if (!QTest::qWaitFor([&] { return address.has_value(); }, 7000))
            return std::nullopt;
        return address;
    }

    FakeSite m_site;
    QtMessageHandler m_previousHandler = nullptr;
};

QString imagePath(const QString& id)
{
    return QStringLiteral("/vi/%1/hqdefault.jpg").arg(id);
}

} // namespace

TEST(StreamingVideoIds, LinksOfBothSitesAndBareIds)
{
    struct Case {
        const char* link;
        const char* youTube;
        const char* vimeo;
    };
    const Case cases[] = {
        {"https://www.youtube.com/watch?v=Ab3_-x9Zq0Q&t=10", "Ab3_-x9Zq0Q", ""},
        {"HTTP://WWW.YOUTUBE.COM/WATCH?v=Ab3_-x9Zq0Q", "Ab3_-x9Zq0Q", ""},
        {"https://youtu.be/Ab3_-x9Zq0Q", "Ab3_-x9Zq0Q", ""},
        {"youtu.be/Ab3_-x9Zq0Q?t=5", "Ab3_-x9Zq0Q", ""},
        {"https://www.youtube.com/embed/Ab3_-x9Zq0Q", "embed", ""},
        {"Ab3_-x9Zq0Q", "Ab3_-x9Zq0Q", ""},
        {"Ab3_-x9Zq0", "", ""},       // 10 characters
        {"Ab3_-x9Zq0QQ", "", ""},     // 12 characters
        {"Ab3_-x9.q0Q", "", ""},      // a full stop
        {"Ab3_-x9Zq0\u00e9", "", ""}, // outside the alphabet
        {"https://vimeo.com/76979871", "", "76979871"},
        {"https://player.vimeo.com/video/123", "", "123"},
        {"VIMEO.CO/456", "", "456"},
        {"12345abc", "", "12345"},
        {"https://vimeo.com/channels/staff/123", "", ""},
        {"", "", ""},
        {"no link at all", "", ""},
    };
    for (const Case& c : cases) {
        const QString link = QString::fromUtf8(c.link);
        EXPECT_EQ(YouTubeVideoPreviewHelper::videoIdFromURLString(link), QString::fromUtf8(c.youTube)) << c.link;
        EXPECT_EQ(VimeoVideoPreviewHelperClass::videoIdFromURLString(link), QString::fromUtf8(c.vimeo)) << c.link;
        EXPECT_EQ(StreamingVideoPreviewHelper::videoIdFromURLString(link), QString()) << c.link;
    }

    EXPECT_EQ(YouTubeVideoPreviewHelper::previewImageSize(), QSizeF(480, 360));
    EXPECT_EQ(VimeoVideoPreviewHelperClass::previewImageSize(), QSizeF(640, 360));
    EXPECT_EQ(StreamingVideoPreviewHelper::previewImageSize(), QSizeF(0, 0));
}

TEST_F(StreamingVideoPreviewTest, ValidationAcceptsOnlyAWideEnoughImageWithASuccessStatus)
{
    const QByteArray jpeg = encodedImage(480, 360, "JPEG");
    ASSERT_FALSE(jpeg.isEmpty()) << "no JPEG writer";
    m_site.setReply(imagePath("Ab3_-x9Zq0Q"), FakeHttpReply::raw(200, "image/jpeg", jpeg));
    m_site.setReply(imagePath("narrow00119"), FakeHttpReply::raw(200, "image/png", encodedImage(119, 90, "PNG")));
    m_site.setReply(imagePath("wide0000120"), FakeHttpReply::raw(200, "image/png", encodedImage(120, 90, "PNG")));
    const QByteArray placeholder = encodedImage(120, 90, "PNG");
    m_site.setReply(imagePath("unknown0404"), FakeHttpReply::raw(404, "image/png", placeholder));
    m_site.setReply(imagePath("notAnImage0"), FakeHttpReply::raw(200, "image/jpeg", QByteArray(4096, 'x')));

    const Validation real = validate<YouTubeVideoPreviewHelper>(QStringLiteral("Ab3_-x9Zq0Q"));
    EXPECT_EQ(real.valid, true);
    EXPECT_EQ(real.data, jpeg);
    EXPECT_TRUE(logContains(QStringLiteral("The Video is Validated!")));

    EXPECT_EQ(validate<YouTubeVideoPreviewHelper>(QStringLiteral("narrow00119")).valid, false);
    EXPECT_EQ(validate<YouTubeVideoPreviewHelper>(QStringLiteral("wide0000120")).valid, true);

    // The site's placeholder for an unknown id is 120 wide but comes with 404: not a real video.
    const Validation unknown = validate<YouTubeVideoPreviewHelper>(QStringLiteral("unknown0404"));
    EXPECT_EQ(unknown.valid, false);
    EXPECT_EQ(unknown.data, placeholder) << "the data is handed over whatever the answer";

    const Validation garbage = validate<YouTubeVideoPreviewHelper>(QStringLiteral("notAnImage0"));
    EXPECT_EQ(garbage.valid, false);
    EXPECT_EQ(garbage.data.size(), 4096);

    for (const Validation& v : {real, unknown, garbage}) {
        EXPECT_EQ(v.calls, 1);
        EXPECT_TRUE(v.ranAfterReturn);
        EXPECT_TRUE(v.ranOnMainThread);
    }
}

// The preview is fetched under the downloads' redirect rule: a redirect on its own site is followed, one to another
// host of this machine is not (the target is never asked).
TEST_F(StreamingVideoPreviewTest, RedirectsAreFollowedOnlyAsDownloadsFollowThem)
{
    const QByteArray jpeg = encodedImage(480, 360, "JPEG");
    m_site.setReply(QStringLiteral("/moved.jpg"), FakeHttpReply::raw(200, "image/jpeg", jpeg));
    FakeHttpReply same = FakeHttpReply::raw(302, "text/html", {});
    same.extraHeaders = {{"Location", "/moved.jpg"}};
    m_site.setReply(imagePath("sameSite001"), same);
    FakeHttpReply away = same;
    away.extraHeaders = {{"Location", "http://localhost:" + QByteArray::number(m_site.baseURL().port()) + "/away.jpg"}};
    m_site.setReply(imagePath("toLocalHost"), away);
    m_site.setReply(QStringLiteral("/away.jpg"), FakeHttpReply::raw(200, "image/jpeg", jpeg));

    EXPECT_EQ(validate<YouTubeVideoPreviewHelper>(QStringLiteral("sameSite001")).valid, true);
    EXPECT_EQ(validate<YouTubeVideoPreviewHelper>(QStringLiteral("toLocalHost")).valid, false);
    EXPECT_FALSE(m_site.requestedPaths().contains(QStringLiteral("/away.jpg")));
}

TEST_F(StreamingVideoPreviewTest, ValidationFailsCleanlyWithoutAnAnswer)
{
    // A port nothing listens on.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 closedPort = probe.serverPort();
    probe.close();
    StreamingVideoPreviewHelper::setSiteBaseURLsForTesting(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(closedPort)),
                                                           QUrl(QStringLiteral("http://127.0.0.1:%1").arg(closedPort)));
    const Validation refused = validate<YouTubeVideoPreviewHelper>(QStringLiteral("Ab3_-x9Zq0Q"));
    EXPECT_EQ(refused.valid, false);
    EXPECT_TRUE(refused.data.isEmpty());
    EXPECT_TRUE(refused.ranAfterReturn);
    EXPECT_TRUE(logContains(QStringLiteral("Error getting streaming video preview image: ")));
    EXPECT_FALSE(logContains(QStringLiteral("The Video is Validated!")));

    const Validation vimeoRefused = validate<VimeoVideoPreviewHelperClass>(QStringLiteral("123"));
    EXPECT_EQ(vimeoRefused.valid, false);

    // No id, or an id that would climb out of its folder: no request at all, and still an answer later.
    StreamingVideoPreviewHelper::setSiteBaseURLsForTesting(m_site.baseURL(), m_site.baseURL());
    for (const QString& id : {QString(), QString(""), QStringLiteral(".."), QStringLiteral(".")}) {
        const Validation none = validate<YouTubeVideoPreviewHelper>(id);
        EXPECT_EQ(none.valid, false);
        EXPECT_TRUE(none.ranAfterReturn);
        EXPECT_EQ(validate<VimeoVideoPreviewHelperClass>(id).valid, false);
        EXPECT_EQ(validate<StreamingVideoPreviewHelper>(id).valid, false);
    }
    EXPECT_EQ(validate<StreamingVideoPreviewHelper>(QStringLiteral("Ab3_-x9Zq0Q")).valid, false);
    EXPECT_TRUE(m_site.requestedPaths().isEmpty()) << m_site.requestedPaths().join(' ').toStdString();
}

TEST_F(StreamingVideoPreviewTest, ValidationFromAnotherThreadAnswersOnTheMainThread)
{
    m_site.setReply(imagePath("Ab3_-x9Zq0Q"), FakeHttpReply::raw(200, "image/png", encodedImage(480, 360, "PNG")));
    std::atomic<int> answers{0};
    std::atomic<bool> allOnMain{true};
    std::thread worker([&] {
        for (const QString& id : {QStringLiteral("Ab3_-x9Zq0Q"), QString()})
            YouTubeVideoPreviewHelper::validateVideoId(id, [&](bool, const QByteArray&) {
                if (!MainThread::isMainThread())
                    allOnMain = false;
                ++answers;
            });
    });
    worker.join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers == 2; }, 5000));
    EXPECT_TRUE(allOnMain);
}

TEST_F(StreamingVideoPreviewTest, OversizedRepliesAreCutOff)
{
    // An image just over 10 MiB, and a JSON reply just over 1 MiB.
    m_site.setReply(
        imagePath("hugeImage00"),
        FakeHttpReply::raw(200, "image/png", QByteArray(StreamingVideoPreviewHelper::kMaximumImageBytes + 1, 'x')));
    const Validation huge = validate<YouTubeVideoPreviewHelper>(QStringLiteral("hugeImage00"));
    EXPECT_EQ(huge.valid, false);
    EXPECT_TRUE(huge.data.isEmpty());

    QByteArray json = "[{\"thumbnail_large\":\"http://127.0.0.1/x.jpg\",\"pad\":\"";
    json += QByteArray(StreamingVideoPreviewHelper::kMaximumJsonBytes, 'p');
    json += "\"}]";
    m_site.setReply(QStringLiteral("/api/v2/video/77.json"), FakeHttpReply::raw(200, "application/json", json));
    EXPECT_EQ(lookUp<VimeoVideoPreviewHelperClass>(QStringLiteral("77")), QString());
}

TEST_F(StreamingVideoPreviewTest, SecondSiteAddressComesFromTheLastElementOfItsJsonArray)
{
    const QString imageURL = m_site.baseURL().toString() + QStringLiteral("/thumbs/123_640.jpg");
    m_site.setReply(QStringLiteral("/api/v2/video/123.json"),
                    FakeHttpReply::raw(200, "application/json",
                                       QStringLiteral("[{\"thumbnail_large\":\"ignored\"},"
                                                      "{\"id\":123,\"thumbnail_large\":\"%1\"}]")
                                           .arg(imageURL)
                                           .toUtf8()));
    m_site.setReply(QStringLiteral("/thumbs/123_640.jpg"),
                    FakeHttpReply::raw(200, "image/png", encodedImage(640, 360, "PNG")));

    bool returnedFirst = false;
    EXPECT_EQ(lookUp<VimeoVideoPreviewHelperClass>(QStringLiteral("123"), &returnedFirst), imageURL);
    EXPECT_TRUE(returnedFirst) << "the answer comes on the main thread after the call returned";
    EXPECT_EQ(validate<VimeoVideoPreviewHelperClass>(QStringLiteral("123")).valid, true);

    const std::pair<const char*, QByteArray> bad[] = {
        {"1", "{\"thumbnail_large\":\"http://127.0.0.1/a.jpg\"}"},      // an object
        {"2", "[{\"thumbnail_large\":\"http://127.0.0.1/a.jpg\"}"},     // broken
        {"3", "[{\"thumbnail_large\":\"http://127.0.0.1/\xff.jpg\"}]"}, // not UTF-8
        {"4", "[]"},
        {"5", "[{\"thumbnail_large\":\"http://127.0.0.1/a.jpg\"},{\"thumbnail_small\":\"b\"}]"},
        {"6", "[{\"thumbnail_large\":[\"http://127.0.0.1/a.jpg\"]}]"}, // not text
        {"7", ""},
    };
    for (const auto& [id, body] : bad) {
        m_site.setReply(QStringLiteral("/api/v2/video/%1.json").arg(QLatin1String(id)),
                        FakeHttpReply::raw(200, "application/json", body));
        EXPECT_EQ(lookUp<VimeoVideoPreviewHelperClass>(QLatin1String(id)), QString()) << "id " << id;
    }
    // A service error page is no answer either.
    m_site.setReply(QStringLiteral("/api/v2/video/8.json"),
                    FakeHttpReply::raw(404, "application/json", "[{\"thumbnail_large\":\"http://127.0.0.1/a.jpg\"}]"));
    EXPECT_EQ(lookUp<VimeoVideoPreviewHelperClass>(QStringLiteral("8")), QString());
}

TEST_F(StreamingVideoPreviewTest, FirstSiteAddressNeedsNoRequestAndKeepsTheIdOneSegment)
{
    const QString base = m_site.baseURL().toString();
    EXPECT_EQ(YouTubeVideoPreviewHelper::previewImageURLStringFromVideoId(QStringLiteral("Ab3_-x9Zq0Q")),
              base + QStringLiteral("/vi/Ab3_-x9Zq0Q/hqdefault.jpg"));
    bool returnedFirst = false;
    EXPECT_EQ(lookUp<YouTubeVideoPreviewHelper>(QStringLiteral("Ab3_-x9Zq0Q"), &returnedFirst),
              base + QStringLiteral("/vi/Ab3_-x9Zq0Q/hqdefault.jpg"));
    EXPECT_TRUE(returnedFirst);
    EXPECT_EQ(lookUp<StreamingVideoPreviewHelper>(QStringLiteral("Ab3_-x9Zq0Q"), &returnedFirst), QString());
    EXPECT_TRUE(returnedFirst);
    EXPECT_TRUE(m_site.requestedPaths().isEmpty());

    // The site's own host when nothing points elsewhere.
    StreamingVideoPreviewHelper::setSiteBaseURLsForTesting(QUrl(), QUrl());
    EXPECT_EQ(YouTubeVideoPreviewHelper::previewImageURLStringFromVideoId(QStringLiteral("Ab3_-x9Zq0Q")),
              QStringLiteral("http://img.youtube.com/vi/Ab3_-x9Zq0Q/hqdefault.jpg"));
    StreamingVideoPreviewHelper::setSiteBaseURLsForTesting(m_site.baseURL(), m_site.baseURL());

    // Reserved characters stay inside the one segment of both sites' paths.
    validate<YouTubeVideoPreviewHelper>(QStringLiteral("a/b?c#d"));
    lookUp<VimeoVideoPreviewHelperClass>(QStringLiteral("1/../2?x"));
    EXPECT_EQ(m_site.requestedPaths(), (QStringList{QStringLiteral("/vi/a%2Fb%3Fc%23d/hqdefault.jpg"),
                                                    QStringLiteral("/api/v2/video/1%2F..%2F2%3Fx.json")}));
}

TEST_F(StreamingVideoPreviewTest, SecondSiteLookupGivesUpAfterFiveSeconds)
{
    m_site.setReply(QStringLiteral("/api/v2/video/99.json"),
                    FakeHttpReply::raw(200, "application/json", "[{\"thumbnail_large\":\"late\"}]").delayed(6000));
    QElapsedTimer clock;
    clock.start();
    bool returnedFirst = false;
    EXPECT_EQ(lookUp<VimeoVideoPreviewHelperClass>(QStringLiteral("99"), &returnedFirst), QString());
    const qint64 elapsed = clock.elapsed();
    EXPECT_TRUE(returnedFirst);
    EXPECT_GE(elapsed, 5000);
    EXPECT_LT(elapsed, 5900);
}

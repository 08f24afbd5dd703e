#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include "LibraryTestSupport.h"
#include "library/themes/TessarineTheme.h"
#include "service/BlockRequester.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "support/fakeservice/FakeHttp.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using namespace library_test;

namespace {

struct CountingDelegate : TessarineThemeDownloadingDelegate {
    void themeDocumentDidFinishDownloading(TessarineTheme*) override { ++calls; }
    int calls = 0;
};

class ThemeSampleBounds : public LibraryTest {
protected:
    void TearDown() override
    {
        BlockRequester::setMaxReplyBytesForTesting(0);
        BlockRequester::setTransferTimeoutMsForTesting(0);
        LibraryTest::TearDown();
    }
};

} // namespace

// A sample is a document from the service like any other: its file addresses are refused, and a reply that is too
// large, or that stops sending, ends (the delegate hears of it) instead of holding the theme forever.
TEST_F(ThemeSampleBounds, SamplesKeepOnlyWebAddressesAndStopWhenTooLargeOrSilent)
{
    const QList<QUrl> addresses{QUrl(QStringLiteral("file:///etc/passwd")), QUrl(QStringLiteral("/home/me/a.png")),
                                QUrl(QStringLiteral("https://cdn.example.com/a.png"))};
    const QUrl sample = serveSample(makeSample(1, false, addresses), QStringLiteral("withfiles"));
    auto theme = TessarineTheme::initWithDict(SafeDictionary(templateEntry("21")));
    CountingDelegate delegate;
    theme->setDelegate(&delegate);
    theme->downloadDocumentFromURL(sample.toString());
    ASSERT_TRUE(waitUntil([&] { return delegate.calls == 1; }));
    const auto package = theme->themeSampleFilePackage();
    ASSERT_TRUE(package);
    ASSERT_TRUE(package->loadModel());
    QStringList kept;
    for (const auto& asset : package->model()->getAllContentAssets())
        if (!asset->externalURL().isEmpty())
            kept << asset->externalURL().toString();
    EXPECT_EQ(kept, QStringList{QStringLiteral("https://cdn.example.com/a.png")});

    BlockRequester::setMaxReplyBytesForTesting(64 * 1024);
    BlockRequester::setTransferTimeoutMsForTesting(400);
    m_service.setPageReply(QStringLiteral("/samples/endless.json"), FakeHttpReply::stall(QByteArray(256 * 1024, ' ')));
    m_service.setPageReply(QStringLiteral("/samples/announced.json"), FakeHttpReply::stall("{", qint64(10) << 30));
    m_service.setPageReply(QStringLiteral("/samples/silent.json"), FakeHttpReply::stall("{", 8192));
    int expected = delegate.calls;
    for (const QString& path : {QStringLiteral("/samples/endless.json"), QStringLiteral("/samples/announced.json"),
                                QStringLiteral("/samples/silent.json")}) {
        auto other = TessarineTheme::initWithDict(SafeDictionary(templateEntry("22")));
        other->setDelegate(&delegate);
        QUrl url = m_service.baseUrl();
        url.setPath(path);
        other->downloadDocumentFromURL(url.toString());
        ++expected;
        ASSERT_TRUE(waitUntil([&] { return delegate.calls == expected; }, 10000)) << path.toStdString();
        EXPECT_FALSE(other->isLoadingDocumentJSON());
        EXPECT_FALSE(other->themeSampleFilePackage()) << path.toStdString();
        other->setDelegate(nullptr);
    }
}

// A sample address that redirects is followed only where a download would be: to another port of this machine (a
// service of its own) it is refused before any request reaches it; on the service's own origin it is followed.
TEST_F(ThemeSampleBounds, ARedirectToAnotherPortOfThisMachineIsRefused)
{
    QTcpServer other;
    ASSERT_TRUE(other.listen(QHostAddress::LocalHost));
    int reached = 0;
    QObject::connect(&other, &QTcpServer::newConnection, &other, [&] {
        while (QTcpSocket* socket = other.nextPendingConnection()) {
            ++reached;
            socket->abort();
        }
    });
    const QUrl sample = serveSample(makeSample(1, false, {}), QStringLiteral("redirected"));
    FakeHttpReply away = FakeHttpReply::html(302, "moved");
    away.extraHeaders.append(
        {"Location", QStringLiteral("http://127.0.0.1:%1/sample.json").arg(other.serverPort()).toUtf8()});
    m_service.setPageReply(QStringLiteral("/samples/away.json"), away);
    FakeHttpReply here = FakeHttpReply::html(302, "moved");
    here.extraHeaders.append({"Location", sample.path().toUtf8()});
    m_service.setPageReply(QStringLiteral("/samples/here.json"), here);

    CountingDelegate delegate;
    auto refused = TessarineTheme::initWithDict(SafeDictionary(templateEntry("23")));
    refused->setDelegate(&delegate);
    QUrl url = m_service.baseUrl();
    url.setPath(QStringLiteral("/samples/away.json"));
    refused->downloadDocumentFromURL(url.toString());
    ASSERT_TRUE(waitUntil([&] { return delegate.calls == 1; }, 10000));
    EXPECT_FALSE(refused->themeSampleFilePackage());
    EXPECT_EQ(reached, 0);
    refused->setDelegate(nullptr);

    auto followed = TessarineTheme::initWithDict(SafeDictionary(templateEntry("24")));
    followed->setDelegate(&delegate);
    url.setPath(QStringLiteral("/samples/here.json"));
    followed->downloadDocumentFromURL(url.toString());
    ASSERT_TRUE(waitUntil([&] { return delegate.calls == 2; }, 10000));
    EXPECT_TRUE(followed->themeSampleFilePackage());
    followed->setDelegate(nullptr);
}

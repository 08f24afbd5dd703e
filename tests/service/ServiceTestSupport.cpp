#include "ServiceTestSupport.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QTest>
#include <QThread>

#include "foundation/Tessutils.h"
#include "service/CorvikBlockAPIBinding.h"

QJsonObject ReplyRecord::json() const
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

QJsonObject ReplyRecord::error() const
{
    return json().value(QStringLiteral("error")).toObject();
}

bool waitUntil(const std::function<bool()>& predicate, int timeoutMs)
{
    return QTest::qWaitFor(predicate, timeoutMs);
}

void ServiceTest::SetUp()
{
    ASSERT_TRUE(m_service.start());
    ASSERT_TRUE(CorvikBlockAPIBinding::setAPIURL(m_service.baseUrl()));
    CorvikBlockAPIBinding::setAPIKey(QStringLiteral("KEY123"));
    CorvikBlockAPIBinding::setAPIPassword(QStringLiteral("s3cretPW"));
    Tessutils::setCorvikAuthToken(QString());
    BlockRequester::setTransferTimeoutMsForTesting(0);
    BlockRequester::setMaxReplyBytesForTesting(0);
}

void ServiceTest::TearDown()
{
    Tessutils::setCorvikAuthToken(QString());
    BlockRequester::setTransferTimeoutMsForTesting(0);
    BlockRequester::setMaxReplyBytesForTesting(0);
}

BlockRequester::Completion ServiceTest::recordInto(const std::shared_ptr<ReplyRecord>& record)
{
    return [record](const QString& text, const QString& identifier) {
        record->text = text;
        record->identifier = identifier;
        record->onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        ++record->calls;
    };
}

std::shared_ptr<ReplyRecord>
ServiceTest::callAndWait(const std::function<std::shared_ptr<BlockRequester>(BlockRequester::Completion)>& start,
                         int timeoutMs)
{
    auto record = std::make_shared<ReplyRecord>();
    auto requester = start(recordInto(record));
    EXPECT_TRUE(waitUntil([&] { return record->calls > 0; }, timeoutMs)) << "no reply in time";
    EXPECT_EQ(record->calls, 1);
    EXPECT_TRUE(record->onMainThread);
    return record;
}

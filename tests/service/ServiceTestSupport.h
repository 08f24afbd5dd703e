#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <gtest/gtest.h>

#include <QJsonObject>
#include <QString>

#include "service/BlockRequester.h"
#include "support/fakeservice/FakeWebService.h"

// What a completion received.
struct ReplyRecord {
    QString text;
    QString identifier;
    bool onMainThread = false;
    int calls = 0;

    QJsonObject json() const;
    // The "error" member, empty when the reply has none.
    QJsonObject error() const;
};

// Starts a fake service, points the client at it with the key "KEY123" and the password "s3cretPW", and
// signs nobody in. Each test gets a fresh service.
class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A completion that fills `record` (and counts its calls).
    static BlockRequester::Completion recordInto(const std::shared_ptr<ReplyRecord>& record);
    // Starts a call with a recording completion and waits (bounded) for its reply.
    std::shared_ptr<ReplyRecord>
    callAndWait(const std::function<std::shared_ptr<BlockRequester>(BlockRequester::Completion)>& start,
                int timeoutMs = 10000);

    FakeWebService m_service;
};

// Waits on the event loop until `predicate` holds or the time is up; the result is the predicate's.
bool waitUntil(const std::function<bool()>& predicate, int timeoutMs = 10000);

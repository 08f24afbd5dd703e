#pragma once

#include <QDir>
#include <QTest>

#include "../publish/PublishTestSupport.h"
#include "foundation/Tessutils.h"
#include "library/account/ZERI_AuthenticationHandler.h"
#include "platform/NotificationCenter.h"

namespace accounttest {

// The publish environment signed out, with "ann" (e-mail "ann@x.example", password "pw") known to the fake
// service, and a fresh authentication handler that is dropped afterwards.
class ScopedAccountEnvironment : public publishtest::ScopedPublishEnvironment {
public:
    ScopedAccountEnvironment()
    {
        service.withState([](FakeWebService::State& state) {
            FakeWebService::User& ann = state.users[QStringLiteral("ann")];
            ann.email = QStringLiteral("ann@x.example");
            ann.enterpriseGroup = QJsonObject{{QStringLiteral("id"), QStringLiteral("7")},
                                              {QStringLiteral("group_name"), QStringLiteral("G")}};
        });
        Tessutils::setCorvikAuthToken(QString());
        Tessutils::setCorvikCookieAuthToken(QString());
        Tessutils::setCorvikUserDict(std::nullopt);
        Tessutils::setUserEnterpriseGroup(std::nullopt);
        ZERI_AuthenticationHandler::cleanup();
        for (const char* name :
             {ZERI_AuthenticationHandler::kDidLoginNotification, ZERI_AuthenticationHandler::kDidLogoutNotification}) {
            const QString key = QString::fromLatin1(name);
            m_observations.emplace_back(key, nullptr, [this, key](const Notification&) { posted.append(key); });
        }
    }
    ~ScopedAccountEnvironment()
    {
        // A sign-out's folders go, and its notification comes, within the test that began it.
        ZERI_AuthenticationHandler::waitForSignOutsForTesting();
        m_observations.clear();
        ZERI_AuthenticationHandler::cleanup();
        Tessutils::setCorvikCookieAuthToken(QString());
    }

    ZERI_AuthenticationHandler& handler() { return *ZERI_AuthenticationHandler::authHandler(); }

    // Waits for the logout notification (a sign-out deletes the folders first, off the main thread).
    bool waitForLogout()
    {
        return QTest::qWaitFor(
            [this] { return posted.contains(QString::fromLatin1(ZERI_AuthenticationHandler::kDidLogoutNotification)); },
            5000);
    }

    QStringList posted;

private:
    std::vector<NotificationObservation> m_observations;
};

// Waits for one answer of the handler.
struct Answer {
    bool called = false;
    std::optional<Error> error;
    ZERI_AuthenticationHandler::Completion completion()
    {
        return [this](const std::optional<Error>& e) {
            called = true;
            error = e;
        };
    }
    bool wait()
    {
        return QTest::qWaitFor([this] { return called; }, 5000);
    }
};

} // namespace accounttest

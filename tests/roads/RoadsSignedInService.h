#pragma once

#include <functional>
#include <memory>

#include "foundation/Tessutils.h"
#include "roads/RoadsTestSupport.h"
#include "support/fakeservice/FakeWebService.h"

namespace roads {

namespace detail {

// The one fake service of the process, started before the application (which is pointed at it) and stopped once
// the application has ended; made new after each road.
inline FakeWebService* runningService()
{
    static std::unique_ptr<FakeWebService> s_service;
    if (!s_service) {
        auto service = std::make_unique<FakeWebService>();
        if (!service->start())
            return nullptr;
        pointServicesAt(service->baseUrl());
        s_service = std::move(service);
        atApplicationEnd([] { s_service.reset(); });
        afterEachRoad([] {
            if (s_service)
                s_service->reset();
        });
    }
    return s_service.get();
}

// Whichever road starts the application first, it talks to the service.
[[maybe_unused]] inline const bool g_serviceBeforeApplication = [] {
    beforeApplicationStart([] { runningService(); });
    return true;
}();

} // namespace detail

// The fake service the application talks to, given what `prepare` adds on the road's first call (later calls in
// the same road return it as it is). A `prepare` that stores a token signs that user in as on an earlier day:
// before the start-up, the application starts signed in; after it, the user signs in through the application.
inline FakeWebService* startedService(const std::function<void(FakeWebService&)>& prepare)
{
    static int s_preparedFor = 0;
    FakeWebService* service = detail::runningService();
    if (!service || s_preparedFor == roadNumber())
        return service;
    s_preparedFor = roadNumber();
    prepare(*service);
    const QString token = Tessutils::corvikAuthToken();
    if (applicationStarted() && !token.isEmpty()) {
        for (const FakeWebService::User& user : service->state().users) {
            if (user.token == token && !signInQuietly(user.username, user.password))
                return nullptr;
        }
    }
    return service;
}

// The fake service with Ann signed in from an earlier session.
inline FakeWebService* signedInService()
{
    return startedService([](FakeWebService& service) {
        service.addUser(QStringLiteral("ann"), QStringLiteral("pw"));
        Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN-ann"));
    });
}

} // namespace roads

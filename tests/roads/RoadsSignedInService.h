#pragma once

#include <functional>
#include <memory>

#include "foundation/Tessutils.h"
#include "roads/RoadsTestSupport.h"
#include "support/fakeservice/FakeWebService.h"

namespace roads {

// The fake service the application talks to, started before it and first given what `prepare` adds; it stops
// once the application has ended. One per process: a later call returns the first one as it is.
inline FakeWebService* startedService(const std::function<void(FakeWebService&)>& prepare)
{
    static std::unique_ptr<FakeWebService> s_service;
    if (!s_service) {
        auto service = std::make_unique<FakeWebService>();
        if (!service->start())
            return nullptr;
        prepare(*service);
        pointServicesAt(service->baseUrl());
        s_service = std::move(service);
        atApplicationEnd([] { s_service.reset(); });
    }
    return s_service.get();
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

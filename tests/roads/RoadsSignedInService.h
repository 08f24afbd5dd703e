#pragma once

#include <memory>

#include "foundation/Tessutils.h"
#include "roads/RoadsTestSupport.h"
#include "support/fakeservice/FakeWebService.h"

namespace roads {

// The fake service the application talks to, started before it, with Ann signed in from an earlier session;
// it stops once the application has ended. One per process.
inline FakeWebService* signedInService()
{
    static std::unique_ptr<FakeWebService> s_service;
    if (!s_service) {
        auto service = std::make_unique<FakeWebService>();
        if (!service->start())
            return nullptr;
        service->addUser(QStringLiteral("ann"), QStringLiteral("pw"));
        pointServicesAt(service->baseUrl());
        Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN-ann"));
        s_service = std::move(service);
        atApplicationEnd([] { s_service.reset(); });
    }
    return s_service.get();
}

} // namespace roads

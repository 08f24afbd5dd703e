#include "service/OpenFailureNotice.h"

#include "platform/AlertPresenter.h"
#include "service/QVROpenRequest.h"
#include "service/ServiceLogging.h"
#include "strings/UFM.h"

namespace OpenFailureNotice {

void tell(const Error& error, QWidget* window, std::function<void()> then)
{
    const auto saidNothing = [&then] {
        if (then)
            then();
    };
    if (error.isNull())
        return saidNothing();
    const bool ownDomain = error.domain == QLatin1String(QVROpenRequest::kErrorDomain);
    if (ownDomain && (error.code == QVROpenRequest::Cancelled || error.code == QVROpenRequest::SignInRequired))
        return saidNothing();
    qCWarning(lcService).noquote() << "a document did not open:" << error.description();
    AlertRequest request;
    request.style = AlertRequest::Style::Warning;
    request.messageText = ownDomain && !error.message.isEmpty() ? error.message : UFM::ERROR_OPENING_TESSARINE();
    request.buttons = {UFM::OK_TEXT()};
    AlertPresenter::shared().show(request, window, [then = std::move(then)](const AlertResponse&) {
        if (then)
            then();
    });
}

} // namespace OpenFailureNotice

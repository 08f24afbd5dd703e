#include "platform/AlertPresenter.h"

#include <atomic>

#include "platform/MainThread.h"
#include "platform/PlatformLogging.h"

namespace {

class LoggingAlertPresenter : public AlertPresenter {
public:
    AlertResponse runModal(const AlertRequest& request, QWidget*) override
    {
        log(request);
        return {-1, request.textFieldValue};
    }

    void show(const AlertRequest& request, QWidget*, std::function<void(const AlertResponse&)> done) override
    {
        log(request);
        if (done)
            MainThread::run([done, value = request.textFieldValue] { done({-1, value}); }, false);
    }

private:
    static void log(const AlertRequest& request)
    {
        qCWarning(lcPlatform) << "no alert presenter registered; alert not shown:" << request.messageText
                              << request.informativeText;
    }
};

std::atomic<AlertPresenter*> g_shared = nullptr;

} // namespace

AlertPresenter::~AlertPresenter()
{
    // A presenter that goes away must not stay registered.
    AlertPresenter* self = this;
    g_shared.compare_exchange_strong(self, nullptr);
}

AlertPresenter& AlertPresenter::shared()
{
    static LoggingAlertPresenter fallback;
    AlertPresenter* presenter = g_shared.load();
    return presenter ? *presenter : fallback;
}

void AlertPresenter::setShared(AlertPresenter* presenter)
{
    g_shared.store(presenter);
}

bool AlertPresenter::isRegistered()
{
    return g_shared.load() != nullptr;
}

AlertResponse RecordingAlertPresenter::next(const AlertRequest& request)
{
    requests.push_back(request);
    AlertResponse response = defaultResponse;
    if (!m_responses.empty()) {
        response = std::move(m_responses.front());
        m_responses.pop_front();
    }
    if (response.textFieldValue.isNull())
        response.textFieldValue = request.textFieldValue;
    return response;
}

AlertResponse RecordingAlertPresenter::runModal(const AlertRequest& request, QWidget*)
{
    return next(request);
}

void RecordingAlertPresenter::show(const AlertRequest& request, QWidget*,
                                   std::function<void(const AlertResponse&)> done)
{
    const AlertResponse response = next(request);
    if (done)
        MainThread::run([done, response] { done(response); }, false);
}

#include "gestures/LeapDelegateListener.h"

LeapDelegateListener::LeapDelegateListener(LeapController* controller, std::shared_ptr<void> delegate,
                                           LeapDelegateCallbacks callbacks)
    : m_controller(controller)
    , m_delegate(std::move(delegate))
    , m_callbacks(std::move(callbacks))
{
}

void LeapDelegateListener::call(const LeapDelegateCallbacks::Callback& callback) const
{
    if (callback)
        callback(m_controller);
}

#include "elements/players/ViewVideoPresentation.h"

#include <QPointer>
#include <QVariantMap>

#include "app/QVRTimedAnalytics.h"
#include "controls/QVR_ModalViewWithCloseButton.h"

void ViewVideoPresentation::present(QVR_ModalViewWithCloseButton* view, const QString& url,
                                    std::function<void()> onDismissed)
{
    QPointer<QVR_ModalViewWithCloseButton> guard(view);
    view->setClosedPressedBlock([guard, onDismissed = std::move(onDismissed)] {
        if (guard) {
            guard->hide();
            guard->deleteLater();
        }
        if (onDismissed)
            onDismissed();
        QVRTimedAnalytics::finishTimedEvent(kViewVideoEvent);
    });
    QVRTimedAnalytics::logTimedEvent(kViewVideoEvent, url, QVariantMap{{QStringLiteral("URL"), url}});
}

#pragma once

#include <functional>

#include <QString>

class QVR_ModalViewWithCloseButton;

// What the two players shown over the viewer share: "View Video" is timed from the moment the player opens until
// its close button removes it.
class ViewVideoPresentation {
public:
    static inline const QString kViewVideoEvent = QStringLiteral("View Video");

    // Starts "View Video" for `url` (its "URL" parameter) and gives `view` a close block that removes it, runs
    // `onDismissed` and finishes the event.
    static void present(QVR_ModalViewWithCloseButton* view, const QString& url, std::function<void()> onDismissed);
};

#pragma once

#include <functional>
#include <memory>

#include <QSize>
#include <QString>
#include <QStringList>

class QTextDocument;
class QWidget;

// The tracked e-mail composer that the PDF viewer shows over its document. The sharing library, which is built
// after the viewer, registers the real composer; until it does, make() answers nullptr and the PDF viewer offers
// no e-mail button. Main thread only.
//
// The caller fills the composer before it shows the view, then places view() in its own view. The composer owns
// its view and deletes it when it is destroyed; a caller that reparents the view gives it back (no parent)
// before it lets the composer go, or holds the composer no longer than the view's new parent.
class TrackedEmailComposer {
public:
    virtual ~TrackedEmailComposer() = default;

    virtual QWidget* view() = 0;
    // The size at which the caller shows the view.
    virtual QSize preferredWindowSize() const = 0;

    virtual void setPrepopulatedSender(const QString& sender) = 0;
    virtual void setPrepopulatedSubject(const QString& subject) = 0;
    // A copy of the rich-text message is taken.
    virtual void setPrepopulatedMessage(const QTextDocument& message) = 0;
    virtual void setNoTrackURLStrings(const QStringList& urlStrings) = 0;
    // The server id of the document the e-mail is about.
    virtual void setQvd_id(const QString& documentID) = 0;
    // Run on Cancel, and after a successful send, in place of closing a window. The composer may be destroyed
    // by the block's owner only after the block returned.
    virtual void setOnCancelBlock(std::function<void()> block) = 0;
    virtual void setAfterSendBlock(std::function<void()> block) = 0;

    using Factory = std::function<std::unique_ptr<TrackedEmailComposer>()>;
    // An empty factory restores the inert default.
    static void registerFactory(Factory factory);
    static bool isAvailable();
    static std::unique_ptr<TrackedEmailComposer> make();
};

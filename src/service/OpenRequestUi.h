#pragma once

#include <functional>
#include <memory>

#include <QString>
#include <QtGlobal>

class QObject;
class QVROpenRequestDelegate;
class ZERI_TessarineModel;

// The download panel an open request shows while a document's files arrive (the viewer's download view):
// it shows the document and a progress bar, and offers a close button.
class ViewerDownloadPanel {
public:
    virtual ~ViewerDownloadPanel() = default;
    // The panel's view, handed to the window's openRequesterWantsToDisplayLoadingView.
    virtual QObject* view() = 0;
    virtual void setInformation(const std::shared_ptr<ZERI_TessarineModel>& model) = 0;
    // 0 … 1.
    virtual void updateProgress(double progress) = 0;
    // Run when the user closes the panel.
    virtual void setCloseBlock(std::function<void()> onClose) = 0;
    // Takes the panel's view out of the window it was shown in.
    virtual void removeView() = 0;
};

// What an open request needs from the windows and dialogues that the application's later libraries build:
// the template chooser, creator, viewer and tablet-preview windows, the download panel, the password prompt
// and the sign-in wall. The user-interface library registers one at start-up; without one, requests that need
// a window end with an error. Main thread only.
//
// Windows are handed back as the request's delegate. A delegate that is also a QObject is watched: when its
// window goes away during the request, the request ends as cancelled.
class OpenRequestUi {
public:
    virtual ~OpenRequestUi() = default;

    // The shared template chooser, made key and brought to the front. False when there is none to show: the
    // request then ends without a window.
    virtual bool showTemplateChooser() = 0;
    // A creator window with no document that is not downloading one, or a new one.
    virtual QVROpenRequestDelegate* creatorWindowForOpen() = 0;
    // The creator window already showing `model`, or null (none by default).
    virtual QVROpenRequestDelegate* creatorWindowForModel(const std::shared_ptr<ZERI_TessarineModel>& model)
    {
        Q_UNUSED(model);
        return nullptr;
    }
    // Brings a window that already shows its document to the front and makes it the active window.
    virtual void bringToFront(QVROpenRequestDelegate* window) { Q_UNUSED(window); }
    // The viewer window already showing `model`, or null.
    virtual QVROpenRequestDelegate* viewerWindowForModel(const std::shared_ptr<ZERI_TessarineModel>& model) = 0;
    // A new viewer window; `model` is null while the document is still being downloaded.
    virtual QVROpenRequestDelegate* makeViewerWindowForModel(const std::shared_ptr<ZERI_TessarineModel>& model) = 0;
    virtual QVROpenRequestDelegate* makeiPadPreviewWindow() = 0;
    // Closes a window the request made or took and never gave a document (cancel, failure), so no window is
    // left half-open. A creator window that was only borrowed goes back to its empty state instead.
    virtual void closeWindowBeingPrepared(QVROpenRequestDelegate* window) = 0;

    // A plain loading view showing `text`, for the time a document is fetched. The request that asked for it
    // deletes it (after the window showed it) once the download panel or the document takes its place, or the
    // request ends.
    virtual QObject* makeLoadingView(const QString& text) = 0;
    // Makes the Cancel button of a loading view made above run `onCancel`. Without it the button does nothing.
    virtual void setLoadingViewCancelBlock(QObject* loadingView, std::function<void()> onCancel)
    {
        Q_UNUSED(loadingView);
        Q_UNUSED(onCancel);
    }
    virtual std::unique_ptr<ViewerDownloadPanel> makeDownloadPanel() = 0;

    // Asks for the password of the document `stringID` in a window of its own. The prompt checks the password
    // with the service itself; on success it closes its window and calls `onUnlocked` with the service's whole
    // reply. `onDismissed` runs when the user closes it without unlocking. Exactly one of the two runs. False
    // (and neither runs) when there is no prompt to show: the request then ends without a window.
    virtual bool showPasswordPrompt(const QString& stringID, std::function<void(const QString& reply)> onUnlocked,
                                    std::function<void()> onDismissed) = 0;
    // Closes the prompt shown for `stringID` when the request ends without it (cancelled); inert by default.
    virtual void closePasswordPrompt(const QString& stringID) { Q_UNUSED(stringID); }
    // The sign-in wall with a landing message; `onDone` receives whether the user signed in. False (and `onDone`
    // is not called) when there is no wall to show: the request then ends without a window.
    virtual bool showRegisterWall(const QString& message, std::function<void(bool signedIn)> onDone) = 0;

    // nullptr removes the registered interface.
    static void registerUi(std::shared_ptr<OpenRequestUi> ui);
    static std::shared_ptr<OpenRequestUi> current();
    static bool isRegistered() { return current() != nullptr; }
};

#pragma once

#include <memory>

#include <QLabel>
#include <QList>
#include <QPointer>
#include <QPushButton>
#include <QString>

#include "controls/INAppStoreWindow.h"
#include "controls/QVR_LoadingViewController.h"
#include "platform/Error.h"
#include "service/QVROpenRequest.h"
#include "viewer/QVRViewerViewController.h"

class ZERI_TessarineModel;

// The window the Import PowerPoint command opens: a sample presentation, fetched from the web service, plays in
// an embedded player above a Get Started button. Get Started shows a loading view with the import's progress and
// asks the import manager for a deck. A finished import (its document opens in a creator window) or a failed one
// closes the window; a file that is no presentation asks for another file; a cancel keeps the window open.
// Deleted when closed.
class QVRPowerpointOverviewWindowController : public INAppStoreWindow,
                                              public QVROpenRequestDelegate,
                                              public QVR_LoadingViewDelegate {
    Q_OBJECT
public:
    // The loading view appears this long after Get Started, this far below the window's centre.
    static constexpr int kLoadingViewDelayMs = 100;
    static constexpr int kLoadingViewOffsetY = 30;

    explicit QVRPowerpointOverviewWindowController(QWidget* parent = nullptr);
    ~QVRPowerpointOverviewWindowController() override;

    // The string id of the sample presentation on the web service: TESS_PPTX_SAMPLE_STRING_ID when set.
    static QString sampleStringID();

    QPushButton* getStartedButton() const { return m_getStartedButton; }
    QWidget* viewerHolder() const { return m_viewerHolder; }
    QVRViewerViewController* viewerViewController() const { return m_viewerViewController; }
    QVR_LoadingViewController* loadingViewController() const { return m_loadingViewController; }
    // Over the player when the sample could not be fetched: why, in the application's words.
    QLabel* sampleFailureLabel() const { return m_sampleFailureLabel; }

    void getStartedPressed();

    // QVR_LoadingViewDelegate
    void loadingViewCancelButtonPressed() override;
    // QVROpenRequestDelegate
    void openRequesterWantsToDisplayLoadingView(QObject* view) override;
    void openRequesterHasFinishedLoadingModel(const std::shared_ptr<ZERI_TessarineModel>& model) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void sampleRequestEnded(const Error& error);
    void startImport();
    void importFinished(const std::shared_ptr<ZERI_TessarineModel>& document, const Error& error);
    void showLoadingView();
    void removeLoadingView();

    QPointer<QPushButton> m_getStartedButton;
    QPointer<QWidget> m_viewerHolder;
    QPointer<QLabel> m_sampleFailureLabel;
    QPointer<QVRViewerViewController> m_viewerViewController;
    QPointer<QVR_LoadingViewController> m_loadingViewController;
    std::shared_ptr<QVROpenRequest> m_sampleRequest;
    // The views the sample's request asked to show over the player; those still in this window go when it ends.
    QList<QPointer<QWidget>> m_sampleLoadingViews;
    std::shared_ptr<ZERI_TessarineModel> m_sampleDocument;
    // Counts the imports started here, so a completion of an earlier one (restarted or superseded) is told apart.
    int m_importNumber = 0;
    // Gone as the window starts to go: completions that come while its children are deleted (a font question
    // closed with the window ends the import) find it expired, where a QPointer would still answer.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

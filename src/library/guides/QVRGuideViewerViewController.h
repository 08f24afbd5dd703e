#pragma once

#include <memory>

#include <QJsonArray>
#include <QPointer>

#include "controls/ViewController.h"
#include "service/QVROpenRequest.h"
#include "viewer/QVRViewerViewController.h"

class QLabel;
class QListWidget;
class QPropertyAnimation;
class QVRViewerOptionalControllsView;
class BlockRequester;

// The guide panel: the service's help guides in a list (title, description, first-screen picture), and beside
// it, once one is chosen, the guide's title and description and the guide itself playing in the panel's own
// player. The list is asked for once per panel. Main thread only.
class QVRGuideViewerViewController : public ViewController, public QVROpenRequestDelegate {
    Q_OBJECT
    Q_PROPERTY(int tessarineAreaWidth READ tessarineAreaWidth WRITE setTessarineAreaWidth)
public:
    static constexpr int kTessarineAreaWidth = 520;
    static constexpr int kCornerRadius = 7;
    // Published copy by string id; the panel is the request's delegate, so the guide plays here.
    static constexpr int kOpenOptions = QVROpenRequest::PublishedCopyOnly | QVROpenRequest::DownloadByStringID;

    explicit QVRGuideViewerViewController(QObject* parent = nullptr);
    ~QVRGuideViewerViewController() override;

    const QJsonArray& tessarinesArray() const { return m_tessarinesArray; }
    std::shared_ptr<QVROpenRequest> activeOpenRequest() const { return m_activeOpenRequest; }

    QListWidget* tableView();
    QWidget* tessarineHolderView();
    QLabel* titleTextField();
    QLabel* descriptionTextField();
    QVRViewerViewController* viewerViewController();
    QVRViewerOptionalControllsView* viewerControllsView() const { return m_viewerControllsView; }
    bool isSpinnerRunning() const;
    // What the panel says in the list's place (that the service cannot be reached, or that it lists no guide), or
    // empty.
    QString serviceNoticeShown();

    int tessarineAreaWidth() const;
    void setTessarineAreaWidth(int width);

    // Rebuilds the rows from the guide list.
    void respondToRecievingTessarinesList();
    void tableViewSelectionDidChange();
    // Makes the list the first responder when the view is in a window.
    void viewWasAddedToWindow();

    // QVROpenRequestDelegate
    void openRequesterWantsToDisplayLoadingView(QObject* view) override;
    void openRequesterHasFinishedLoadingModel(const std::shared_ptr<ZERI_TessarineModel>& model) override;

protected:
    void loadView() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void listReplied(const QString& text);
    void followParent();
    void placeNotice();
    void roundCorners();

    QPointer<QListWidget> m_tableView;
    const QObject* m_tableObject = nullptr;
    const QObject* m_viewObject = nullptr;
    QPointer<QWidget> m_tessarineHolderView;
    QPointer<QWidget> m_documentArea;
    QPointer<QLabel> m_titleTextField;
    QPointer<QLabel> m_descriptionTextField;
    QPointer<QWidget> m_spinner;
    QPointer<QLabel> m_noticeLabel;
    QPointer<QWidget> m_floatingParent;
    QPointer<QVRViewerViewController> m_viewerViewController;
    QVRViewerOptionalControllsView* m_viewerControllsView = nullptr;
    QPointer<QPropertyAnimation> m_widthAnimation;
    QJsonArray m_tessarinesArray;
    std::shared_ptr<QVROpenRequest> m_activeOpenRequest;
    std::shared_ptr<BlockRequester> m_listRequest;
};

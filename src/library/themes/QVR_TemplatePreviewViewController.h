#pragma once

#include <memory>

#include <QPointer>
#include <QString>

#include "controls/ViewController.h"
#include "platform/NotificationCenter.h"
#include "viewer/QVR_TessarineViewerView.h"

class QPushButton;
class ZERI_FlowModel;

class QVR_TempatePreviewViewControllerDelegate {
public:
    virtual ~QVR_TempatePreviewViewControllerDelegate() = default;
    virtual void tempatePreviewWantToChooseTemplate(const QString& templateId) = 0;
    virtual void tempatePreviewWantToClose() = 0;
};

// Plays a template's sample over the whole chooser: Close and Choose buttons, page buttons, and the player's own
// arrow and Escape keys.
class QVR_TemplatePreviewViewController : public ViewController, public TessarineViewerViewDelegate {
    Q_OBJECT
public:
    // The first flow of the theme's sample.
    explicit QVR_TemplatePreviewViewController(const QString& templateId, QObject* parent = nullptr);
    ~QVR_TemplatePreviewViewController() override;

    QString templateId() const { return m_templateId; }
    std::shared_ptr<ZERI_FlowModel> flowModel() const { return m_flowModel; }
    // Not owned.
    void setDelegate(QVR_TempatePreviewViewControllerDelegate* delegate) { m_delegate = delegate; }

    QVR_TessarineViewerView* viewerView();
    QPushButton* closeButton();
    QPushButton* chooseButton();
    QPushButton* scrollLeftButton();
    QPushButton* scrollRightButton();

    void chooseButtonPressed();
    void closeButtonPressed();
    void scrollLeftPressed();
    void scrollRightPressed();

    // TessarineViewerViewDelegate
    void tessarineViewerWillScrollToLastPage() override;
    void tessarineViewerWillScrollToFirstPage() override;
    void tessarineViewerWillScrollAwayFromLastPage() override;
    void tessarineViewerWillScrollAwayFromFirstPage() override;

protected:
    void loadView() override;

private:
    void globalKeyDown(const Notification& notification);

    QString m_templateId;
    std::shared_ptr<ZERI_FlowModel> m_flowModel;
    QVR_TempatePreviewViewControllerDelegate* m_delegate = nullptr;
    QPointer<QVR_TessarineViewerView> m_viewerView;
    QPointer<QPushButton> m_closeButton;
    QPointer<QPushButton> m_chooseButton;
    QPointer<QPushButton> m_scrollLeftButton;
    QPointer<QPushButton> m_scrollRightButton;
    NotificationObservation m_keyObservation;
};

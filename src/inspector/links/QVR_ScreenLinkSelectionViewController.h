#pragma once

#include <array>
#include <memory>
#include <vector>

#include <QPointer>

#include "creator/thumbnails/QVRThumbnailBar.h"
#include "creator/thumbnails/QVRThumbnailController.h"
#include "inspector/links/QVR_LinkEditorPage.h"

// The link panel's strip: a thumbnail bar whose items cannot be dragged, so it never reorders the real flow,
// and whose keys stay in the panel.
class QVR_LinkTargetThumbnailBar : public QVRThumbnailBar {
    Q_OBJECT
public:
    using QVRThumbnailBar::QVRThumbnailBar;
    bool canDragItemsAtIndexes(const QList<int>& indexes) const override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// Edits a link to another screen of the document: the target, picked from a strip of the first flow's screens,
// and the transition played when the link is followed. Done stays disabled until a screen is picked.
class QVR_ScreenLinkSelectionViewController : public QVR_LinkEditorPage {
    Q_OBJECT
public:
    static constexpr int kInitialSelectionDelayMs = 300;
    static constexpr QSize kPreviewSize{400, 300};
    static constexpr int kHighlightBorderWidth = 4;
    static constexpr int kPlainBorderWidth = 1;

    using QVR_LinkEditorPage::QVR_LinkEditorPage;
    ~QVR_ScreenLinkSelectionViewController() override;

    void slideInButtonPressed() { transitionButtonPressed(0); }
    void flowInButtonPressed() { transitionButtonPressed(1); }
    void fadeInButtonPressed() { transitionButtonPressed(2); }
    void noneButtonPressed() { transitionButtonPressed(3); }
    void screenLinkTransitionSelectionCompleteWithChoose(int type) { m_transitionType = type; }
    void unhighlightAllTransitionButtons();
    void hilightTransitionButton(int type);

    void saveButtonPressed();
    void clearLinkButton();

    int transitionType() const { return m_transitionType; }
    QString currentScreenID() const { return m_currentScreenID; }
    // The strip's index the editor selects 0.3 s after opening.
    int initialIndex() const { return m_initialIndex; }

    QLabel* titleLabel() const { return m_titleLabel; }
    QVRThumbnailBar* thumbnailBar() const { return m_thumbnailBar; }
    QVRThumbnailController* thumbnailController() const { return m_thumbnailController; }
    // By transition type: 0 slide, 1 flow, 2 fade, 3 none.
    QPushButton* transitionButton(int type) const;
    int transitionButtonBorderWidth(int type) const;
    QPushButton* saveButton() const { return m_saveButton; }
    QPushButton* clearButton() const { return m_clearButton; }

protected:
    void loadView() override;

private:
    void transitionButtonPressed(int type);
    void setTransitionButtonBorder(int type, bool highlighted);
    void updateSaveButton();

    QPointer<QLabel> m_titleLabel;
    QPointer<QVRThumbnailBar> m_thumbnailBar;
    QPointer<QVRThumbnailController> m_thumbnailController;
    std::array<QPointer<QPushButton>, 4> m_transitionButtons;
    std::array<int, 4> m_borderWidths{kPlainBorderWidth, kPlainBorderWidth, kPlainBorderWidth, kPlainBorderWidth};
    QPointer<QPushButton> m_saveButton;
    QPointer<QPushButton> m_clearButton;

    std::shared_ptr<ZERI_FlowModel> m_flowmodel;
    // The strip's screens, in its order when the editor opened.
    std::vector<std::weak_ptr<ZERI_FlowScreenModel>> m_screens;
    QString m_currentScreenID;
    int m_transitionType = 0;
    int m_initialIndex = 0;
};

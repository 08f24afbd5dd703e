#pragma once

#include <QPointer>

#include "inspector/links/QVR_LinkEditorPage.h"
#include "inspector/popovers/QVRMMObjToolbarPopoverBase.h"

// The first page of the link panel for an object without a link: four buttons, each pushing a fresh editor of
// its kind without animation.
class QVR_LinkTypeSelectionViewController : public QVR_LinkEditorPage {
    Q_OBJECT
public:
    using QVR_LinkEditorPage::QVR_LinkEditorPage;

    // Opens the link panel on the creator window `window` with the page for `kind` as its root (close button and
    // back navigation). Ignored for other windows and for LinkEditorKind::None.
    static void openLinkEditor(QWidget* window, QVRMMObjToolbarPopoverBase::LinkEditorKind kind);

    void screenLinkPressed();
    void webLinkPressed();
    void emailLinkPressed();
    void flowEmbedLinkPressed();

    QLabel* titleLabel() const { return m_titleLabel; }
    QPushButton* screenLinkButton() const { return m_screenLinkButton; }
    QPushButton* webLinkButton() const { return m_webLinkButton; }
    QPushButton* emailLinkButton() const { return m_emailLinkButton; }
    QPushButton* flowEmbedLinkButton() const { return m_flowEmbedLinkButton; }

protected:
    void loadView() override;

private:
    void push(QVR_LinkEditorPage* page);

    QPointer<QLabel> m_titleLabel;
    QPointer<QPushButton> m_screenLinkButton;
    QPointer<QPushButton> m_webLinkButton;
    QPointer<QPushButton> m_emailLinkButton;
    QPointer<QPushButton> m_flowEmbedLinkButton;
};

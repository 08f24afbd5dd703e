#include "inspector/links/QVR_LinkTypeSelectionViewController.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "controls/NavigationController.h"
#include "creator/CreatorLogging.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "inspector/links/QVR_ExternalLinkSelectionViewController.h"
#include "inspector/links/QVR_FlowEmbedLinkSelectionViewController.h"
#include "inspector/links/QVR_ScreenLinkSelectionViewController.h"
#include "strings/UFM.h"

void QVR_LinkTypeSelectionViewController::openLinkEditor(QWidget* window,
                                                         QVRMMObjToolbarPopoverBase::LinkEditorKind kind)
{
    using Kind = QVRMMObjToolbarPopoverBase::LinkEditorKind;
    auto* creator = qobject_cast<QVR_CreatorWindow*>(window);
    if (!creator)
        return;
    QVR_LinkEditorPage* page = nullptr;
    switch (kind) {
    case Kind::None:
        return;
    case Kind::Chooser:
        page = new QVR_LinkTypeSelectionViewController;
        break;
    case Kind::ScreenLink:
        page = new QVR_ScreenLinkSelectionViewController;
        break;
    case Kind::WebLink:
    case Kind::EmailLink: {
        auto* external = new QVR_ExternalLinkSelectionViewController;
        if (kind == Kind::EmailLink)
            external->setupAsEmailLink();
        else
            external->setupAsWebLink();
        page = external;
        break;
    }
    case Kind::FlowEmbed:
        page = new QVR_FlowEmbedLinkSelectionViewController;
        break;
    }
    page->setHostWindow(creator);
    creator->presentDarkPanelWithRootViewController(page, true, true);
}

void QVR_LinkTypeSelectionViewController::loadView()
{
    QWidget* view = makePageView();
    auto* column = new QVBoxLayout(view);
    column->setContentsMargins(40, 30, 40, 30);
    column->setSpacing(14);
    column->addStretch(1);
    m_titleLabel = makeLabel(UFM::CHOOSE_LINK_TYPE(), view, true);
    column->addWidget(m_titleLabel);
    column->addSpacing(10);

    m_screenLinkButton = makeChooserButton(UFM::LINK_TO_SCREEN_TEXT(), view);
    m_webLinkButton = makeChooserButton(UFM::LINK_TO_WEB_TEXT(), view);
    m_emailLinkButton = makeChooserButton(UFM::LINK_TO_EMAIL_TEXT(), view);
    m_flowEmbedLinkButton = makeChooserButton(QStringLiteral("Link to Flow"), view);
    for (QPushButton* button :
         {m_screenLinkButton.data(), m_webLinkButton.data(), m_emailLinkButton.data(), m_flowEmbedLinkButton.data()})
        column->addWidget(button, 0, Qt::AlignHCenter);
    column->addStretch(2);

    connect(m_screenLinkButton, &QPushButton::clicked, this, [this] { screenLinkPressed(); });
    connect(m_webLinkButton, &QPushButton::clicked, this, [this] { webLinkPressed(); });
    connect(m_emailLinkButton, &QPushButton::clicked, this, [this] { emailLinkPressed(); });
    connect(m_flowEmbedLinkButton, &QPushButton::clicked, this, [this] { flowEmbedLinkPressed(); });
    setTitle(UFM::CHOOSE_LINK_TYPE());
    setView(view);
    // The first choice takes the keyboard once the page shows; what had it stays under the panel otherwise.
    QPointer<QPushButton> first = m_screenLinkButton;
    QTimer::singleShot(0, this, [first] {
        if (first)
            first->setFocus(Qt::OtherFocusReason);
    });
}

void QVR_LinkTypeSelectionViewController::push(QVR_LinkEditorPage* page)
{
    page->setHostWindow(hostWindow());
    if (NavigationController* navigation = navigationController())
        navigation->pushViewController(page, false);
    else
        delete page;
}

void QVR_LinkTypeSelectionViewController::screenLinkPressed()
{
    push(new QVR_ScreenLinkSelectionViewController);
}

void QVR_LinkTypeSelectionViewController::webLinkPressed()
{
    auto* page = new QVR_ExternalLinkSelectionViewController;
    page->setupAsWebLink();
    push(page);
}

void QVR_LinkTypeSelectionViewController::emailLinkPressed()
{
    auto* page = new QVR_ExternalLinkSelectionViewController;
    page->setupAsEmailLink();
    push(page);
}

void QVR_LinkTypeSelectionViewController::flowEmbedLinkPressed()
{
    qCDebug(lcCreator) << "flowEmbedPressed!";
    push(new QVR_FlowEmbedLinkSelectionViewController);
}

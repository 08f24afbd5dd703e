#include "library/themes/QVR_TemplatePreviewViewController.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyCombination>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ViewerKeyNotifications.h"
#include "library/LibraryLogging.h"
#include "library/themes/TessarineTheme.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

QVR_TemplatePreviewViewController::QVR_TemplatePreviewViewController(const QString& templateId, QObject* parent)
    : ViewController(parent)
    , m_templateId(templateId)
{
    if (const auto sample = TessarineTheme::sampleModelForFlowThemeID(templateId))
        m_flowModel = sample->firstFlowmodel();
}

QVR_TemplatePreviewViewController::~QVR_TemplatePreviewViewController()
{
    m_keyObservation = NotificationObservation();
    if (m_viewerView)
        m_viewerView->setDelegate(nullptr);
}

void QVR_TemplatePreviewViewController::loadView()
{
    auto* view = new QWidget;
    view->setObjectName(QStringLiteral("templatePreview"));
    view->setAttribute(Qt::WA_StyledBackground);
    view->setStyleSheet(QStringLiteral("#templatePreview { background: black; }"));
    // Clicks on empty parts of the preview never reach the grid beneath.
    auto* shield = new QPushButton(view);
    shield->setObjectName(QStringLiteral("previewShield"));
    shield->setFlat(true);
    shield->setFocusPolicy(Qt::NoFocus);
    shield->setStyleSheet(QStringLiteral("background: black; border: none;"));

    m_viewerView = new QVR_TessarineViewerView(view);
    m_viewerView->setDelegate(this);

    const QString buttonStyle = QStringLiteral("QPushButton { background: black; color: white; border-radius: 2px; "
                                               "padding: 4px 14px; }");
    const auto makeButton = [&](const QString& title, const QString& name) {
        auto* button = new QPushButton(title, view);
        button->setObjectName(name);
        button->setStyleSheet(buttonStyle);
        button->setFocusPolicy(Qt::NoFocus);
        return button;
    };
    m_closeButton = makeButton(QStringLiteral("✕"), QStringLiteral("closeButton"));
    m_chooseButton = makeButton(UFM::SAYS_CHOOSE(), QStringLiteral("chooseButton"));
    m_scrollLeftButton = makeButton(QStringLiteral("‹"), QStringLiteral("scrollLeftButton"));
    m_scrollRightButton = makeButton(QStringLiteral("›"), QStringLiteral("scrollRightButton"));
    connect(m_closeButton, &QPushButton::clicked, this, &QVR_TemplatePreviewViewController::closeButtonPressed);
    connect(m_chooseButton, &QPushButton::clicked, this, &QVR_TemplatePreviewViewController::chooseButtonPressed);
    connect(m_scrollLeftButton, &QPushButton::clicked, this, &QVR_TemplatePreviewViewController::scrollLeftPressed);
    connect(m_scrollRightButton, &QPushButton::clicked, this, &QVR_TemplatePreviewViewController::scrollRightPressed);

    auto* grid = new QGridLayout(view);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(shield, 0, 0, 3, 3);
    auto* top = new QHBoxLayout;
    top->setContentsMargins(10, 8, 10, 8);
    top->addWidget(m_closeButton);
    top->addStretch();
    top->addWidget(m_chooseButton);
    grid->addLayout(top, 0, 0, 1, 3);
    grid->addWidget(m_scrollLeftButton, 1, 0, Qt::AlignVCenter);
    grid->addWidget(m_viewerView, 1, 1);
    grid->addWidget(m_scrollRightButton, 1, 2, Qt::AlignVCenter);
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(1, 1);
    shield->lower();
    m_scrollLeftButton->hide();

    m_keyObservation =
        NotificationObservation(TessarineViewerViewKeyDownNotificationName, m_viewerView.data(),
                                [this](const Notification& notification) { globalKeyDown(notification); });
    setView(view);

    if (m_flowModel) {
        if (const auto document = m_flowModel->nearestParentItemOfClass<ZERI_TessarineModel>())
            m_viewerView->setOriginalTessarineModel(document);
        m_viewerView->setFlowModel(m_flowModel);
    }
    if (m_viewerView->numScreens() <= 1)
        m_scrollRightButton->hide();
}

QVR_TessarineViewerView* QVR_TemplatePreviewViewController::viewerView()
{
    view();
    return m_viewerView;
}

QPushButton* QVR_TemplatePreviewViewController::closeButton()
{
    view();
    return m_closeButton;
}

QPushButton* QVR_TemplatePreviewViewController::chooseButton()
{
    view();
    return m_chooseButton;
}

QPushButton* QVR_TemplatePreviewViewController::scrollLeftButton()
{
    view();
    return m_scrollLeftButton;
}

QPushButton* QVR_TemplatePreviewViewController::scrollRightButton()
{
    view();
    return m_scrollRightButton;
}

void QVR_TemplatePreviewViewController::chooseButtonPressed()
{
    if (m_delegate)
        m_delegate->tempatePreviewWantToChooseTemplate(m_templateId);
}

void QVR_TemplatePreviewViewController::closeButtonPressed()
{
    if (m_delegate)
        m_delegate->tempatePreviewWantToClose();
}

void QVR_TemplatePreviewViewController::scrollLeftPressed()
{
    if (m_viewerView)
        m_viewerView->scrollToPreviousPage();
}

void QVR_TemplatePreviewViewController::scrollRightPressed()
{
    if (m_viewerView)
        m_viewerView->scrollToNextPage();
}

void QVR_TemplatePreviewViewController::globalKeyDown(const Notification& notification)
{
    const QVariant value = notification.userInfo.value(TessarineViewerViewKeyDownNotificationUserDictKey);
    if (!value.canConvert<QKeyCombination>())
        return;
    switch (value.value<QKeyCombination>().key()) {
    case Qt::Key_Right:
        scrollRightPressed();
        break;
    case Qt::Key_Left:
        scrollLeftPressed();
        break;
    case Qt::Key_Escape:
        closeButtonPressed();
        break;
    default:
        break;
    }
}

void QVR_TemplatePreviewViewController::tessarineViewerWillScrollToLastPage()
{
    if (m_scrollRightButton)
        m_scrollRightButton->hide();
}

void QVR_TemplatePreviewViewController::tessarineViewerWillScrollToFirstPage()
{
    if (m_scrollLeftButton)
        m_scrollLeftButton->hide();
}

void QVR_TemplatePreviewViewController::tessarineViewerWillScrollAwayFromLastPage()
{
    if (m_scrollRightButton)
        m_scrollRightButton->show();
}

void QVR_TemplatePreviewViewController::tessarineViewerWillScrollAwayFromFirstPage()
{
    if (m_scrollLeftButton)
        m_scrollLeftButton->show();
}

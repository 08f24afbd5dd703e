#include "viewer/QVRViewerOptionalControllsView.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QResizeEvent>

#include "controls/HoverAreaView.h"
#include "service/QVROpenRequest.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/ViewerLogging.h"

namespace {

constexpr int kButtonHeight = 80;
constexpr int kAnimationMilliseconds = 200;

} // namespace

QVRViewerOptionalControllsView::QVRViewerOptionalControllsView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    m_leftArea = new HoverAreaView(this);
    m_rightArea = new HoverAreaView(this);
    m_leftArea->setObjectName(QStringLiteral("leftHoverAreaView"));
    m_rightArea->setObjectName(QStringLiteral("rightHoverAreaView"));

    m_leftButton =
        makeButton(m_leftArea, QStringLiteral(":/viewer/arrow_left_macapp.svg"), QStringLiteral("leftButton"));
    auto* leftLayout = new QHBoxLayout(m_leftArea);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(m_leftButton, 0, Qt::AlignLeft | Qt::AlignVCenter);
    leftLayout->addStretch(1);

    m_expandButton =
        makeButton(m_rightArea, QStringLiteral(":/viewer/viewer_expand_icon.svg"), QStringLiteral("expandButton"));
    m_expandButton->setIconSize(QSize(20, 20));
    m_rightButton =
        makeButton(m_rightArea, QStringLiteral(":/viewer/arrow_right_macapp.svg"), QStringLiteral("rightButton"));
    auto* rightLayout = new QHBoxLayout(m_rightArea);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(0);
    rightLayout->addStretch(1);
    rightLayout->addWidget(m_expandButton, 0, Qt::AlignVCenter);
    rightLayout->addWidget(m_rightButton, 0, Qt::AlignVCenter);

    QPointer<QVRViewerOptionalControllsView> self(this);
    m_leftArea->setOnMouseEnterBlock([self] {
        if (self)
            self->animateWidth(self->m_leftButton, kPageButtonWidth);
    });
    m_leftArea->setOnMouseExitBlock([self] {
        if (self)
            self->animateWidth(self->m_leftButton, 0);
    });
    m_rightArea->setOnMouseEnterBlock([self] {
        if (!self)
            return;
        self->animateWidth(self->m_rightButton, kPageButtonWidth);
        self->animateWidth(self->m_expandButton, self->m_allowsExpand ? kExpandButtonWidth : 0);
    });
    m_rightArea->setOnMouseExitBlock([self] {
        if (!self)
            return;
        self->animateWidth(self->m_rightButton, 0);
        self->animateWidth(self->m_expandButton, 0);
    });

    connect(m_leftButton, &QPushButton::clicked, this, [this] {
        if (m_viewer)
            m_viewer->scrollToPreviousPage();
    });
    connect(m_rightButton, &QPushButton::clicked, this, [this] {
        if (m_viewer)
            m_viewer->scrollToNextPage();
    });
    connect(m_expandButton, &QPushButton::clicked, this, [this] { expandPressed(); });
}

QVRViewerOptionalControllsView::~QVRViewerOptionalControllsView()
{
    if (m_viewer && m_viewer->delegate() == this)
        m_viewer->setDelegate(nullptr);
}

QPushButton* QVRViewerOptionalControllsView::makeButton(QWidget* parent, const QString& artwork, const QString& name)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(name);
    button->setFlat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIcon(QIcon(artwork));
    button->setIconSize(QSize(30, 30));
    button->setMinimumWidth(0);
    button->setMaximumWidth(0);
    button->setFixedHeight(kButtonHeight);
    // Black at half opacity behind the artwork.
    button->setStyleSheet(QStringLiteral("QPushButton { background-color: rgba(0, 0, 0, 128); border: none; }"));
    return button;
}

void QVRViewerOptionalControllsView::animateWidth(QPushButton* button, int width)
{
    auto* animation = new QPropertyAnimation(button, "maximumWidth", button);
    animation->setDuration(kAnimationMilliseconds);
    animation->setStartValue(button->maximumWidth());
    animation->setEndValue(width);
    // A newer animation of the same button wins: older ones stop where they are.
    for (QPropertyAnimation* running : button->findChildren<QPropertyAnimation*>(Qt::FindDirectChildrenOnly)) {
        if (running != animation)
            running->stop();
    }
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void QVRViewerOptionalControllsView::setAllowsExpand(bool allows)
{
    m_allowsExpand = allows;
    m_expandButton->setVisible(allows);
}

void QVRViewerOptionalControllsView::expandPressed()
{
    const auto document = m_viewer ? m_viewer->originalTessarineModel() : nullptr;
    const QString stringID = document ? document->stringID() : QString();
    if (stringID.isEmpty()) {
        qCWarning(lcViewer) << "cannot open a document without a string id in a viewer window";
        return;
    }
    auto request = QVROpenRequest::request();
    request->setOpenCue(stringID);
    request->setOptions(QVROpenRequest::ViewerWindow);
    request->open([](const Error&) {});
}

void QVRViewerOptionalControllsView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int areaWidth = qMin(kHoverAreaWidth, width() / 2);
    m_leftArea->setGeometry(0, 0, areaWidth, height());
    m_rightArea->setGeometry(width() - areaWidth, 0, areaWidth, height());
    // Only the edge areas take the pointer.
    QRegion region(m_leftArea->geometry());
    region += m_rightArea->geometry();
    setMask(region);
}

void QVRViewerOptionalControllsView::tessarineViewerWillScrollToLastPage()
{
    m_rightButton->hide();
}

void QVRViewerOptionalControllsView::tessarineViewerWillScrollToFirstPage()
{
    m_leftButton->hide();
}

void QVRViewerOptionalControllsView::tessarineViewerWillScrollAwayFromLastPage()
{
    m_rightButton->show();
}

void QVRViewerOptionalControllsView::tessarineViewerWillScrollAwayFromFirstPage()
{
    m_leftButton->show();
}

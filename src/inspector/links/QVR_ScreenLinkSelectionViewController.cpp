#include "inspector/links/QVR_ScreenLinkSelectionViewController.h"

#include <QHBoxLayout>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include "controls/ViewUtils.h"
#include "creator/CreatorLogging.h"
#include "creator/thumbnails/QVRThumbnailController.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "foundation/Tessutils.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_ScreenLink.h"
#include "viewer/previews/TessarineBackgroundedScreenPreview.h"

bool QVR_LinkTargetThumbnailBar::canDragItemsAtIndexes(const QList<int>&) const
{
    return false;
}

void QVR_LinkTargetThumbnailBar::keyPressEvent(QKeyEvent* event)
{
    // The arrows pick the neighbouring screen here, even while the canvas has objects selected: they stay put.
    if (!stepSelectionWithArrow(event))
        SingleRowCollectionView::keyPressEvent(event);
}

QVR_ScreenLinkSelectionViewController::~QVR_ScreenLinkSelectionViewController()
{
    if (m_thumbnailController)
        m_thumbnailController->setCollectionView(nullptr);
}

void QVR_ScreenLinkSelectionViewController::loadView()
{
    QWidget* view = makePageView();
    view->setObjectName(QStringLiteral("screenLinkEditor"));
    auto* column = new QVBoxLayout(view);
    column->setContentsMargins(0, 16, 0, 16);
    column->setSpacing(10);

    m_titleLabel = makeLabel(UFM::SAYS_SET_SCREEN_LINK(), view, true);
    auto* subtitle = makeLabel(UFM::SAYS_SELECT_TARGET_SCREEN(), view);
    column->addWidget(m_titleLabel);
    column->addWidget(subtitle);

    // The strip on a light band between two thin lines. Painted through palettes: a style sheet here would reach
    // every preview of the strip and slow its set-up down.
    auto separator = [view] {
        auto* line = new QWidget(view);
        line->setFixedHeight(1);
        ViewUtils::setBackgroundColor(line, QColor(0, 0, 0, 102));
        return line;
    };
    auto* band = new QWidget(view);
    ViewUtils::setBackgroundColor(band, QColor(217, 217, 217));
    auto* bandLayout = new QVBoxLayout(band);
    bandLayout->setContentsMargins(0, 0, 0, 0);
    auto* scroller = new QScrollArea(band);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(false);
    scroller->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_thumbnailBar = new QVR_LinkTargetThumbnailBar;
    m_thumbnailBar->setFocusPolicy(Qt::StrongFocus);
    scroller->setWidget(m_thumbnailBar);
    scroller->setFixedHeight(m_thumbnailBar->itemSize().height() +
                             scroller->horizontalScrollBar()->sizeHint().height());
    bandLayout->addWidget(scroller);
    column->addWidget(separator());
    column->addWidget(band);
    column->addWidget(separator());

    auto* transitionLabel = makeLabel(UFM::SAYS_SELECT_TRANSITION(), view);
    column->addWidget(transitionLabel);
    auto* transitions = new QHBoxLayout;
    transitions->setSpacing(12);
    transitions->addStretch(1);
    const QString texts[4] = {UFM::SAYS_SLIDE_IN(), UFM::SAYS_FLOW_TO_SCREEN(), UFM::SAYS_FADE_IN(), UFM::SAYS_NONE()};
    for (int type = 0; type < 4; ++type) {
        auto* button = new QPushButton(texts[type], view);
        button->setMinimumSize(120, 40);
        button->setCursor(Qt::PointingHandCursor);
        m_transitionButtons[std::size_t(type)] = button;
        connect(button, &QPushButton::clicked, this, [this, type] { transitionButtonPressed(type); });
        transitions->addWidget(button);
    }
    transitions->addStretch(1);
    column->addLayout(transitions);
    column->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(24, 0, 24, 0);
    m_clearButton = makeTextButton(UFM::SAYS_CLEAR_LINK(), view);
    m_saveButton = makeTextButton(UFM::DONE_TEXT(), view);
    buttons->addWidget(m_clearButton);
    buttons->addStretch(1);
    buttons->addWidget(m_saveButton);
    column->addLayout(buttons);
    connect(m_saveButton, &QPushButton::clicked, this, [this] { saveButtonPressed(); });
    connect(m_clearButton, &QPushButton::clicked, this, [this] { clearLinkButton(); });
    setTitle(UFM::SAYS_SET_SCREEN_LINK());
    setView(view);

    // The link being edited, if any.
    const Proxy object = lastSelectedObject();
    QString targetID;
    m_clearButton->hide();
    if (object && object->object()) {
        if (auto link = std::dynamic_pointer_cast<ZERI_MMAction_ScreenLink>((*object)->action())) {
            targetID = link->screenID();
            m_transitionType = link->transitionType();
            m_clearButton->show();
        }
        if (const auto screen = (*object)->parentFlowScreenModel())
            m_currentScreenID = screen->internalID();
    }

    // One preview per screen of the document's first flow.
    QVR_CreatorWindow* window = creatorWindow();
    const auto document = window ? window->currentModel() : nullptr;
    m_flowmodel = document ? document->firstFlowmodel() : nullptr;
    m_thumbnailController = new QVRThumbnailController(this);
    m_thumbnailController->setCollectionView(m_thumbnailBar);
    QList<TessarineBackgroundedScreenPreview*> previews;
    if (m_flowmodel) {
        const auto& screens = m_flowmodel->screenModels();
        for (std::size_t i = 0; i < screens.size(); ++i) {
            previews.append(new TessarineBackgroundedScreenPreview(QRect(QPoint(0, 0), kPreviewSize), screens[i]));
            m_screens.push_back(screens[i]);
            if (!targetID.isEmpty() && screens[i]->internalID() == targetID)
                m_initialIndex = int(i);
        }
    }
    m_thumbnailController->setupWithBackgroundedScreenPreviews(previews);
    connect(m_thumbnailBar, &SingleRowCollectionView::selectionIndexesChanged, this, [this] { updateSaveButton(); });
    updateSaveButton();

    // The strip takes the keyboard once the page shows: the arrows pick the screen.
    QPointer<QVRThumbnailBar> strip = m_thumbnailBar;
    QTimer::singleShot(0, this, [strip] {
        if (strip)
            strip->setFocus(Qt::OtherFocusReason);
    });
    QPointer<QVR_ScreenLinkSelectionViewController> self(this);
    QTimer::singleShot(kInitialSelectionDelayMs, this, [self] {
        if (self && self->m_thumbnailBar && self->m_initialIndex < int(self->m_screens.size()))
            self->m_thumbnailBar->setSelectionIndexes({self->m_initialIndex});
    });

    unhighlightAllTransitionButtons();
    if (m_transitionType >= 0 && m_transitionType < 4)
        transitionButtonPressed(m_transitionType);
}

QPushButton* QVR_ScreenLinkSelectionViewController::transitionButton(int type) const
{
    return type >= 0 && type < 4 ? m_transitionButtons[std::size_t(type)].data() : nullptr;
}

int QVR_ScreenLinkSelectionViewController::transitionButtonBorderWidth(int type) const
{
    return type >= 0 && type < 4 ? m_borderWidths[std::size_t(type)] : 0;
}

void QVR_ScreenLinkSelectionViewController::setTransitionButtonBorder(int type, bool highlighted)
{
    QPushButton* button = transitionButton(type);
    if (!button)
        return;
    const int width = highlighted ? kHighlightBorderWidth : kPlainBorderWidth;
    // Each style sheet costs a restyle of the button: only changes are applied.
    if (m_borderWidths[std::size_t(type)] == width && !button->styleSheet().isEmpty())
        return;
    m_borderWidths[std::size_t(type)] = width;
    const QString color = highlighted ? Tessutils::tessarineBlue().name() : QStringLiteral("rgb(158, 158, 158)");
    button->setStyleSheet(QStringLiteral("QPushButton { background-color: rgb(237, 237, 237); color: %1;"
                                         " border: %2px solid %3; border-radius: 4px; padding: 4px 12px; }")
                              .arg(Tessutils::tessarineBlackColor().name())
                              .arg(width)
                              .arg(color));
}

void QVR_ScreenLinkSelectionViewController::unhighlightAllTransitionButtons()
{
    for (int type = 0; type < 4; ++type)
        setTransitionButtonBorder(type, false);
}

void QVR_ScreenLinkSelectionViewController::hilightTransitionButton(int type)
{
    setTransitionButtonBorder(type, true);
}

void QVR_ScreenLinkSelectionViewController::transitionButtonPressed(int type)
{
    unhighlightAllTransitionButtons();
    screenLinkTransitionSelectionCompleteWithChoose(type);
    hilightTransitionButton(type);
}

void QVR_ScreenLinkSelectionViewController::updateSaveButton()
{
    if (!m_saveButton || !m_thumbnailBar)
        return;
    const QList<int> selection = m_thumbnailBar->selectionIndexes();
    m_saveButton->setEnabled(!selection.isEmpty() && selection.last() >= 0 && selection.last() < int(m_screens.size()));
}

void QVR_ScreenLinkSelectionViewController::saveButtonPressed()
{
    if (!m_thumbnailBar || !m_saveButton || !m_saveButton->isEnabled())
        return;
    const QList<int> selection = m_thumbnailBar->selectionIndexes();
    if (selection.isEmpty() || selection.last() < 0 || selection.last() >= int(m_screens.size()))
        return;
    // The target must still be a screen of the flow the strip showed.
    const auto target = m_screens[std::size_t(selection.last())].lock();
    if (target && m_flowmodel && m_flowmodel->indexOfFlowScreen(target) >= 0) {
        const QString targetID = target->internalID();
        const int transition = m_transitionType;
        std::shared_ptr<ZERI_MMAction_ScreenLink> last;
        setActions(selectedObjects(), [&]() -> std::shared_ptr<ZERI_MMAction> {
            last = ZERI_MMAction_ScreenLink::create(targetID);
            last->setTransitionType(transition);
            return last;
        });
        if (last)
            qCDebug(lcCreator).noquote() << "Objects json =" << QJsonDocument(last->jsonDictionary()).toJson();
    }
    dismissPanel();
}

void QVR_ScreenLinkSelectionViewController::clearLinkButton()
{
    setActions(selectedObjects(), nullptr);
    returnToChooser();
}

#include "creator/crop/QVR_CropPopoverButtonsView.h"

#include <QHBoxLayout>
#include <QLoggingCategory>
#include <QPushButton>

#include "controls/NibRegistry.h"
#include "controls/PopoverColors.h"
#include "creator/CreatorLogging.h"
#include "foundation/Utils.h"
#include "strings/UFM.h"

namespace {

const QString kNibName = QStringLiteral("QVR_CropPopoverButtonsView");

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& title)
{
    auto* button = new QPushButton(title, parent);
    button->setObjectName(name);
    // Reached by Tab, never taken by a click: a click on either ends crop mode.
    button->setFocusPolicy(Qt::TabFocus);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; border: 1px solid %2; color: white;"
                                         " padding: 4px 8px; }"
                                         " QPushButton:focus { border: 2px solid white; padding: 3px 7px; }")
                              .arg(PopoverColors::basePopoverColor().name(), Utils::colorFromHex(0x13659F).name()));
    return button;
}

} // namespace

void QVR_CropPopoverButtonsView::registerNib()
{
    if (NibRegistry::hasNib(kNibName))
        return;
    NibRegistry::registerNib(kNibName, [](QObject* owner) -> QList<QWidget*> {
        auto* root = new QWidget;
        root->resize(kWidth, kHeight);
        auto* row = new QHBoxLayout(root);
        row->setContentsMargins(6, 8, 6, 8);
        row->setSpacing(6);
        auto* crop = makeButton(root, QStringLiteral("cropButton"), UFM::CROP_TEXT());
        auto* cancel = makeButton(root, QStringLiteral("cancelButton"), UFM::CANCEL_TEXT());
        row->addWidget(crop);
        row->addWidget(cancel);
        if (auto* view = qobject_cast<QVR_CropPopoverButtonsView*>(owner)) {
            QObject::connect(crop, &QPushButton::clicked, view, &QVR_CropPopoverButtonsView::cropButtonPressed);
            QObject::connect(cancel, &QPushButton::clicked, view, &QVR_CropPopoverButtonsView::cancelButtonPressed);
        }
        return {root};
    });
}

QVR_CropPopoverButtonsView* QVR_CropPopoverButtonsView::cropPopoverButtonsView(QWidget* parent)
{
    return new QVR_CropPopoverButtonsView(parent);
}

QVR_CropPopoverButtonsView::QVR_CropPopoverButtonsView(QWidget* parent)
    : QWidget(parent)
{
    resize(kWidth, kHeight);
    registerNib();
    NibRegistry::loadFromNib(this);
    m_cropButton = findChild<QPushButton*>(QStringLiteral("cropButton"));
    m_cancelButton = findChild<QPushButton*>(QStringLiteral("cancelButton"));
    resize(kWidth, kHeight);
}

void QVR_CropPopoverButtonsView::cropButtonPressed()
{
    qCDebug(lcCreator) << "crop!";
    if (onComplete)
        onComplete();
}

void QVR_CropPopoverButtonsView::cancelButtonPressed()
{
    qCDebug(lcCreator) << "cancel!";
    if (onCancel)
        onCancel();
}

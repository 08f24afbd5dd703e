#include "inspector/sidemenu/QVR_SideMenuOutlets.h"

#include <algorithm>
#include <cmath>

#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "creator/CreatorLogging.h"
#include "creator/TessarineThemeCatalogue.h"
#include "inspector/pickers/ColorPanel.h"
#include "inspector/pickers/QVRColorPicker.h"
#include "inspector/sidemenu/QVR_ContextualMenuView.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"

namespace {
// The colour an object shows in the side menu; nothing for objects without one.
QColor observableColorOf(const std::shared_ptr<TessarineDataModelItem>& item)
{
    if (const auto screen = std::dynamic_pointer_cast<ZERI_FlowScreenModel>(item))
        return screen->observableColor();
    if (const auto shape = std::dynamic_pointer_cast<ZERI_MMObject_Shape>(item))
        return shape->observableColor();
    return {};
}

void editColor(const std::shared_ptr<TessarineDataModelItem>& item, const QColor& color)
{
    if (const auto screen = std::dynamic_pointer_cast<ZERI_FlowScreenModel>(item))
        screen->colorOutletEditedWithColor(color);
    else if (const auto shape = std::dynamic_pointer_cast<ZERI_MMObject_Shape>(item))
        shape->colorOutletEditedWithColor(color);
}

QString colorKeyOf(const std::shared_ptr<TessarineDataModelItem>& item)
{
    return std::dynamic_pointer_cast<ZERI_FlowScreenModel>(item) ? QStringLiteral("backgroundColor")
                                                                 : QStringLiteral("color");
}
} // namespace

QVR_ColorOutlet::QVR_ColorOutlet(std::vector<ModelItemRef> objects, bool showsAlpha, QWidget* parent)
    : QWidget(parent)
    , m_objects(std::move(objects))
{
    // The opacity is the row's below the well: a pick keeps the opacity shown there.
    m_well = new QVRColorPicker(this);
    // The well is the row's control: Tab reaches it, Space or Return opens the panel.
    m_well->setFocusPolicy(Qt::StrongFocus);
    m_well->setShowsAlpha(false);
    m_well->onColorPicked = [this](const QColor& color) { applyColor(color); };
    // Beside the side menu, whose well, opacity row and notes stay in reach.
    m_well->setPanelAnchor([this]() -> QWidget* {
        for (QWidget* widget = this; widget; widget = widget->parentWidget())
            if (qobject_cast<QVR_ContextualMenuView*>(widget))
                return widget;
        return this;
    });
    // The document theme's colours, offered in the panel as the canvas's own colour command offers them.
    for (const ModelItemRef& ref : m_objects) {
        const auto item = ref.lock();
        if (const auto flow = item ? item->nearestParentItemOfClass<ZERI_FlowModel>() : nullptr) {
            m_well->setColorList(TessarineThemeCatalogue::shared().themeColors(flow->themeID()));
            break;
        }
    }
    connect(ColorPanel::shared(), &ColorPanel::dragEnded, this, [this] {
        if (m_well->ownsColorPanel())
            closeUndoGroup();
    });

    auto* wellRow = new QHBoxLayout();
    wellRow->addWidget(new QLabel(UFM::OUTLET_TITLE_COLOR(), this));
    wellRow->addStretch(1);
    wellRow->addWidget(m_well);

    m_opacityRow = new QWidget(this);
    m_slider = new QSlider(Qt::Horizontal, m_opacityRow);
    m_slider->setRange(0, 100);
    m_field = new QDoubleSpinBox(m_opacityRow);
    m_field->setRange(0.0, 1.0);
    m_field->setSingleStep(0.05);
    m_field->setDecimals(2);
    auto* opacityLayout = new QHBoxLayout(m_opacityRow);
    opacityLayout->setContentsMargins(0, 0, 0, 0);
    opacityLayout->addWidget(new QLabel(UFM::OUTLET_TITLE_ALPHA(), m_opacityRow));
    opacityLayout->addWidget(m_slider, 1);
    opacityLayout->addWidget(m_field);
    m_opacityRow->setVisible(showsAlpha);
    connect(m_slider, &QSlider::valueChanged, this, [this](int value) { applyOpacity(value / 100.0, m_slider); });
    connect(m_slider, &QSlider::sliderReleased, this, &QVR_ColorOutlet::closeUndoGroup);
    connect(m_field, &QDoubleSpinBox::valueChanged, this, [this](double value) {
        qCDebug(lcCreator) << "Text did change";
        // The typed number goes to the slider and the objects; the field keeps what is being typed.
        applyOpacity(value, m_field);
    });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->addLayout(wellRow);
    layout->addWidget(m_opacityRow);

    m_groupTimer.setSingleShot(true);
    m_groupTimer.setInterval(kGroupIdleMs);
    connect(&m_groupTimer, &QTimer::timeout, this, &QVR_ColorOutlet::closeUndoGroup);

    for (const ModelItemRef& ref : m_objects) {
        const auto item = ref.lock();
        if (!item)
            continue;
        m_observers.push_back(item->updateNotifier().addObservationBlock(
            [this](const void*, const QSet<QString>&) {
                if (!m_applying)
                    refresh();
            },
            colorKeyOf(item)));
    }
    refresh();
}

QVR_ColorOutlet::~QVR_ColorOutlet()
{
    closeUndoGroup();
}

QColor QVR_ColorOutlet::shownColor() const
{
    for (const ModelItemRef& ref : m_objects) {
        if (const auto item = ref.lock())
            return observableColorOf(item);
    }
    return {};
}

bool QVR_ColorOutlet::doAllObjectsHaveTheSameColor() const
{
    const auto colorOf = [](const ModelItemRef& ref) {
        const auto item = ref.lock();
        return item ? observableColorOf(item) : QColor();
    };
    if (m_objects.empty())
        return true;
    const QColor first = colorOf(m_objects.front());
    return std::all_of(m_objects.begin() + 1, m_objects.end(),
                       [&](const ModelItemRef& ref) { return colorOf(ref) == first; });
}

void QVR_ColorOutlet::refresh(const QWidget* editing)
{
    const QColor color = shownColor();
    m_well->setColor(color.isValid() ? color : QColor(Qt::white));
    // No colour yet reads as opaque, so the first pick does not make the object transparent.
    const double alpha = color.isValid() ? color.alphaF() : 1.0;
    const QSignalBlocker sliderBlocker(m_slider);
    const QSignalBlocker fieldBlocker(m_field);
    // The model's change notice comes a turn after the edit that caused it. A control the user is working keeps
    // what they are doing while it still names the model's opacity ("1." stays "1."; the stored alpha is a byte);
    // a different opacity, from an undo say, still shows.
    const auto alreadyShows = [alpha](double value) { return std::abs(value - alpha) < 0.5 / 100.0 + 1.0 / 255.0; };
    if (editing != m_slider && !(m_slider->isSliderDown() && alreadyShows(m_slider->value() / 100.0)))
        m_slider->setValue(qRound(alpha * 100));
    if (editing != m_field && !(m_field->hasFocus() && alreadyShows(m_field->value())))
        m_field->setValue(alpha);
}

void QVR_ColorOutlet::openUndoGroup()
{
    m_groupTimer.start();
    if (m_groupOpen)
        return;
    for (const ModelItemRef& ref : m_objects) {
        const auto item = ref.lock();
        const auto flow = item ? item->undoResponder() : nullptr;
        if (flow) {
            flow->undoManager().beginUndoGrouping();
            m_groupFlow = flow;
            m_groupOpen = true;
            return;
        }
    }
}

void QVR_ColorOutlet::closeUndoGroup()
{
    m_groupTimer.stop();
    if (!m_groupOpen)
        return;
    m_groupOpen = false;
    if (const auto flow = m_groupFlow.lock())
        flow->undoManager().endUndoGrouping();
    m_groupFlow.reset();
}

void QVR_ColorOutlet::applyColor(const QColor& picked)
{
    if (!picked.isValid())
        return;
    QColor color = picked.toRgb();
    color.setAlphaF(float(m_field->value()));
    openUndoGroup();
    m_applying = true;
    for (const ModelItemRef& ref : m_objects) {
        if (const auto item = ref.lock())
            editColor(item, color);
    }
    m_applying = false;
    refresh();
}

void QVR_ColorOutlet::applyOpacity(double alpha, const QWidget* editing)
{
    openUndoGroup();
    m_applying = true;
    for (const ModelItemRef& ref : m_objects) {
        const auto item = ref.lock();
        if (!item)
            continue;
        QColor color = observableColorOf(item);
        if (!color.isValid())
            color = Qt::white;
        color.setAlphaF(static_cast<float>(qBound(0.0, alpha, 1.0)));
        editColor(item, color);
    }
    m_applying = false;
    refresh(editing);
}

QVR_BigTextOutlet::QVR_BigTextOutlet(const std::shared_ptr<ZERI_FlowScreenModel>& screen, QWidget* parent)
    : QWidget(parent)
    , m_screen(screen)
{
    m_text = new QPlainTextEdit(this);
    m_text->setPlaceholderText(tr("Presenter notes"));
    // Tab moves on to the next control, as everywhere in the window, instead of typing a tab into the notes.
    m_text->setTabChangesFocus(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->addWidget(new QLabel(tr("Notes"), this));
    layout->addWidget(m_text);
    connect(m_text, &QPlainTextEdit::textChanged, this, [this] {
        if (m_refreshing)
            return;
        if (const auto target = m_screen.lock())
            target->bigTextFieldOutletTextEditedWithText(m_text->toPlainText());
    });
    if (screen)
        m_observer = screen->updateNotifier().addObservationBlock(
            [this](const void*, const QSet<QString>&) { refresh(); }, QStringLiteral("presenterNotes"));
    refresh();
}

void QVR_BigTextOutlet::refresh()
{
    const auto screen = m_screen.lock();
    if (!screen || m_text->hasFocus() || m_text->toPlainText() == screen->presenterNotes())
        return;
    m_refreshing = true;
    m_text->setPlainText(screen->presenterNotes());
    m_refreshing = false;
}

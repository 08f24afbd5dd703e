#include "creator/addition/QVR_AddShapeMenuViewController.h"

#include <QLabel>
#include <QKeyEvent>
#include <QPainter>
#include <QTimer>
#include <QPointer>

#include <algorithm>
#include <iterator>

#include "foundation/FontSubstitution.h"
#include "foundation/Tessutils.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"

namespace {

// Left to right: rectangle, rounded rectangle, ellipse, right triangle, isosceles triangle, standard arrow,
// octagon, 45-degree arrow.
constexpr int kShapeTypes[] = {1, 7, 2, 3, 4, 6, 5, 8};
constexpr QSize kButtonSize{100, 90};
constexpr int kButtonGap = 8;
constexpr int kSmallestButtonWidth = 40;
constexpr int kButtonTop = 80; // 30 points above the view's foot
const QRect kTitleRect(10, 30, 500, 30);

QColor greyOf(double white)
{
    return QColor::fromRgbF(float(white), float(white), float(white));
}

} // namespace

QVR_ShapeButtonView::QVR_ShapeButtonView(QWidget* parent)
    : SimpleControlView(parent)
    , m_myShape(std::dynamic_pointer_cast<ZERI_MMObject_Shape>(
          ZERI_MixedMediaObject::makeObjectOfType(ZERI_MixedMediaObject::Shape)))
{
}

QVR_ShapeButtonView::~QVR_ShapeButtonView() = default;

void QVR_ShapeButtonView::setShapeType(int shapeType)
{
    m_shapeType = shapeType;
    update();
}

void QVR_ShapeButtonView::setCurrentControlState(int state)
{
    SimpleControlView::setCurrentControlState(state);
    update();
}

QColor QVR_ShapeButtonView::borderColor() const
{
    switch (currentControlState()) {
    case PointerOutside:
        return Qt::white;
    case PointerInside:
        return greyOf(0.45);
    case PressedInside:
        return greyOf(0.2);
    default:
        return {};
    }
}

QColor QVR_ShapeButtonView::shapeColor() const
{
    switch (currentControlState()) {
    case PointerOutside:
        return Tessutils::tessarineBlue();
    case PointerInside:
        return greyOf(0.45);
    case PressedInside:
        return greyOf(0.2);
    default:
        return {};
    }
}

void QVR_ShapeButtonView::clicked()
{
    SimpleControlView::clicked();
    if (m_onClick) {
        const auto block = m_onClick;
        block(this);
    }
}

void QVR_ShapeButtonView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor border = borderColor();
    if (border.isValid()) {
        painter.setPen(QPen(border, 1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
    painter.setRenderHint(QPainter::Antialiasing);
    // The keyboard's place: a light outline inside the border, the state's colours left as they are (grey would
    // read as pressed or unavailable). QWidget repaints as the focus comes and goes.
    if (hasFocus()) {
        painter.setPen(QPen(kFocusRingColor, 2.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(3, 3, -3, -3), 3, 3);
    }
    const QColor fill = shapeColor();
    if (!m_myShape || !fill.isValid())
        return;
    m_myShape->setShapeType(m_shapeType);
    m_myShape->setColor(fill);
    const QSizeF size = QSizeF(this->size());
    m_myShape->drawIntoContext(&painter, QRectF(QPointF(size.width() * 0.1, size.height() * 0.1), size * 0.8));
}

QVR_AddShapeMenuView::QVR_AddShapeMenuView(QWidget* parent)
    : QWidget(parent)
{
    // Made for its size: a page larger than it centres it; a narrower one gets a narrower row.
    setMaximumSize(kSize);
    setMinimumSize(int(std::size(kShapeTypes)) * (kSmallestButtonWidth + kButtonGap) + kButtonGap, kSize.height());
    resize(kSize);
    m_title = new QLabel(UFM::CHOOSE_A_SHAPE_TEXT(), this);
    m_title->setGeometry(kTitleRect);
    m_title->setFont(FontSubstitution::fontForPostScriptName(QStringLiteral("HelveticaNeue-Bold"), 18.0));
    // Shown on the dark panel: light type, as the panel's other titles.
    m_title->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    for (const int type : kShapeTypes) {
        auto* button = new QVR_ShapeButtonView(this);
        button->setShapeType(type);
        button->setOnClick([this](QVR_ShapeButtonView* sender) { shapeSelected(sender->shapeType()); });
        button->setFocusPolicy(Qt::StrongFocus);
        button->installEventFilter(this);
        m_buttons.append(button);
    }
    layOutButtons();
}

void QVR_AddShapeMenuView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layOutButtons();
}

void QVR_AddShapeMenuView::layOutButtons()
{
    // At most the full size; narrower, every button shrinks alike and keeps its proportions.
    const int count = int(m_buttons.size());
    if (count == 0)
        return;
    const int width = std::min(kButtonSize.width(), (this->width() - kButtonGap) / count - kButtonGap);
    const QSize size(width, width * kButtonSize.height() / kButtonSize.width());
    for (int i = 0; i < count; ++i)
        m_buttons[i]->setGeometry(QRect(QPoint(kButtonGap + i * (width + kButtonGap), kButtonTop), size));
}

void QVR_AddShapeMenuView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Presented in its panel: the keyboard starts on the first shape, once the panel has taken the focus.
    QPointer<QVR_ShapeButtonView> first = m_buttons.value(0);
    QTimer::singleShot(0, this, [first] {
        if (first && first->isVisible())
            first->setFocus(Qt::PopupFocusReason);
    });
}

bool QVR_AddShapeMenuView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const int step = key == Qt::Key_Right ? 1 : key == Qt::Key_Left ? -1 : 0;
        const int at = m_buttons.indexOf(qobject_cast<QVR_ShapeButtonView*>(watched));
        if (step != 0 && at >= 0) {
            const int next = at + step;
            if (next >= 0 && next < m_buttons.size())
                m_buttons[next]->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void QVR_AddShapeMenuView::shapeSelected(int shapeType)
{
    if (m_delegate)
        m_delegate->shapeChosen(shapeType);
}

QVR_AddShapeMenuViewController::QVR_AddShapeMenuViewController(QObject* parent)
    : NavigationControllerFriendlyViewController(parent)
{
    m_menuView = new QVR_AddShapeMenuView;
    setView(m_menuView);
}

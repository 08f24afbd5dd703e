#include "inspector/pickers/ColorPanel.h"

#include <QApplication>
#include <QColorDialog>
#include <QAbstractSpinBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <optional>
#include <vector>

#include "controls/FloatingWindowCloser.h"
#include "controls/ScreenFit.h"
#include "strings/UFM.h"

namespace {
constexpr int kHideDelayMs = 100;
constexpr int kListWidth = 140;

QIcon swatchIcon(const QColor& color)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.setBrush(color);
    painter.drawRect(0, 0, 15, 15);
    return QIcon(pixmap);
}
} // namespace

namespace {
// Between the panel and the control it serves.
constexpr int kPlacementGap = 8;
// A window manager's title bar and edges, until the panel has shown with them.
constexpr QSize kFrameAllowance(8, 32);

std::function<QRect(QWidget*)>& keepClearProvider()
{
    static std::function<QRect(QWidget*)> provider;
    return provider;
}

double coveredArea(const QRect& a, const QRect& b)
{
    const QRect common = a.intersected(b);
    return common.isEmpty() ? 0.0 : double(common.width()) * common.height();
}
} // namespace

void ColorPanel::setKeepClearAreaProvider(std::function<QRect(QWidget*)> provider)
{
    keepClearProvider() = std::move(provider);
}

QRect ColorPanel::keepClearAreaFor(QWidget* window)
{
    return window && keepClearProvider() ? keepClearProvider()(window) : QRect();
}

void ColorPanel::placeBeside(const QRect& control, const QRect& keepClear)
{
    const QRect anchor = control.isValid() ? control : keepClear;
    if (!anchor.isValid())
        return;
    ensurePolished();
    if (!isVisible())
        adjustSize();
    // The window manager's frame, once the panel has shown with one; before that, room for a title bar and edges.
    QSize frame = frameGeometry().size().expandedTo(size());
    if (frame == size())
        frame += kFrameAllowance;
    QScreen* screen = QGuiApplication::screenAt(anchor.center());
    if (!screen)
        screen = this->screen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    const auto inside = [&available, &frame](QPoint at) {
        if (!available.isValid())
            return at;
        at.setX(
            std::clamp(at.x(), available.left(), std::max(available.left(), available.right() + 1 - frame.width())));
        at.setY(
            std::clamp(at.y(), available.top(), std::max(available.top(), available.bottom() + 1 - frame.height())));
        return at;
    };
    // Beside the control first; where that covers what must stay clear, beside both together.
    const QRect both = keepClear.isValid() ? anchor.united(keepClear) : anchor;
    std::vector<QPoint> candidates;
    for (const QRect& around : {anchor, both}) {
        candidates.push_back({around.right() + 1 + kPlacementGap, around.top()});             // right
        candidates.push_back({around.left() - kPlacementGap - frame.width(), around.top()});  // left
        candidates.push_back({around.left(), around.bottom() + 1 + kPlacementGap});           // below
        candidates.push_back({around.left(), around.top() - kPlacementGap - frame.height()}); // above
    }
    std::optional<QPoint> best;
    double bestCost = 0;
    for (const QPoint& wanted : candidates) {
        const QPoint at = inside(wanted);
        const QRect spot(at, frame);
        // Covering the control is never taken while another side leaves it free; of the rest, the spot that
        // covers least of what must stay clear, the order above breaking ties.
        const double cost = coveredArea(spot, control) * 1e6 + coveredArea(spot, keepClear) +
                            (available.isValid() && !available.contains(QRect(wanted, frame)) ? 0.5 : 0.0);
        if (!best || cost < bestCost) {
            best = at;
            bestCost = cost;
        }
        if (cost == 0)
            break;
    }
    move(*best);
}

namespace {
QPointer<ColorPanel>& sharedPanel()
{
    static QPointer<ColorPanel> panel;
    return panel;
}
} // namespace

ColorPanel* ColorPanel::shared()
{
    if (!sharedPanel())
        sharedPanel() = new ColorPanel();
    return sharedPanel();
}

ColorPanel* ColorPanel::existing()
{
    return sharedPanel();
}

QString ColorPanel::keyForColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return QString::asprintf("#%02X%02X%02X%02X", rgb.red(), rgb.green(), rgb.blue(), rgb.alpha());
}

ColorPanel::ColorPanel(QWidget* parent)
    : QWidget(parent, Qt::Tool)
{
    setWindowTitle(tr("Colors"));
    m_dialog = new QColorDialog(this);
    m_dialog->setWindowFlags(Qt::Widget);
    m_dialog->setOptions(QColorDialog::NoButtons | QColorDialog::DontUseNativeDialog);
    m_list = new QListWidget(this);
    m_list->setFixedWidth(kListWidth);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_dialog);
    layout->addWidget(m_list);
    // Escape and the close button hide the panel; the dialog inside never takes Escape for itself. Should it
    // ever finish on its own, it shows again at once: the panel is nothing without it.
    FloatingWindowCloser::install(this, UFM::SAYS_CLOSE());
    // Placed beside its control, and whole on the screen all the same.
    ScreenFit::keepWhole(this);
    connect(m_dialog, &QDialog::finished, m_dialog, &QWidget::show);

    connect(m_dialog, &QColorDialog::currentColorChanged, this, &ColorPanel::deliver);
    takeOverHexField();
    connect(m_list, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const QColor color = item->data(Qt::UserRole).value<QColor>();
        // The entry is delivered as listed (the dialog may drop its alpha), and a click on the colour already
        // shown is still a pick.
        setColorQuietly(color);
        deliver(color);
    });

    m_hideTimer.setSingleShot(true);
    m_hideTimer.setInterval(kHideDelayMs);
    connect(&m_hideTimer, &QTimer::timeout, this, [this] {
        if (!isActiveWindow())
            hide();
    });
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &ColorPanel::onFocusWindowChanged);
    qApp->installEventFilter(this);
}

QLineEdit* ColorPanel::hexField() const
{
    return m_hexField;
}

void ColorPanel::takeOverHexField()
{
    // The dialog's one line edit of its own; the others belong to its number boxes.
    for (QLineEdit* field : m_dialog->findChildren<QLineEdit*>()) {
        if (!qobject_cast<QAbstractSpinBox*>(field->parentWidget()))
            m_hexField = field;
    }
    if (!m_hexField)
        return;
    // The dialog applies every code it can read while it is typed: "#00f" on the way to "#00ff00" would turn the
    // objects blue first, and leave a step of its own. A code applies once all six digits are typed, or as it
    // stands when editing ends (Return, or the focus leaving the field).
    disconnect(m_hexField, &QLineEdit::textEdited, nullptr, nullptr);
    connect(m_hexField, &QLineEdit::textEdited, this, [this](const QString& text) { applyHexCode(text, false); });
    connect(m_hexField, &QLineEdit::editingFinished, this, [this] {
        if (m_hexField)
            applyHexCode(m_hexField->text(), true);
    });
}

void ColorPanel::applyHexCode(const QString& text, bool finished)
{
    QString code = text.trimmed();
    if (!code.startsWith(QLatin1Char('#')))
        code.prepend(QLatin1Char('#'));
    if (!finished && code.size() != 7)
        return;
    QColor color(code);
    if (!color.isValid())
        return;
    const QColor current = m_dialog->currentColor();
    color.setAlpha(current.alpha());
    if (color.rgba() == current.rgba())
        return;
    m_dialog->setCurrentColor(color);
}

void ColorPanel::onFocusWindowChanged()
{
    if (!isVisible())
        return;
    QWindow* focus = QGuiApplication::focusWindow();
    if (focus && windowHandle() && focus == windowHandle()) {
        m_hideTimer.stop();
        return;
    }
    m_hideTimer.start();
}

void ColorPanel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (QWidget* active = QApplication::activeWindow(); active && active != this)
        m_returnTo = active;
}

void ColorPanel::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // Once the hide is through: the panel held the keyboard, and no window would have it.
    QTimer::singleShot(0, this, [this] {
        QWidget* active = QApplication::activeWindow();
        if (isVisible() || (active && active != this) || !m_returnTo || !m_returnTo->isVisible())
            return;
        m_returnTo->raise();
        m_returnTo->activateWindow();
    });
}

bool ColorPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease && isVisible()) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->isWindow() == false && widget->window() == this)
            emit dragEnded();
    }
    return QWidget::eventFilter(watched, event);
}

void ColorPanel::takeOwnership(QObject* owner, std::function<void(const QColor&)> onPick)
{
    m_owner = owner;
    m_onPick = owner ? std::move(onPick) : nullptr;
}

void ColorPanel::releaseOwnership(QObject* owner)
{
    if (!owner || m_owner != owner)
        return;
    m_owner = nullptr;
    m_onPick = nullptr;
    hide();
}

void ColorPanel::setColorQuietly(const QColor& color)
{
    // The dialog redraws all its parts on every set: a drag echoed back by the edited objects would redraw twice.
    if (m_dialog->currentColor().toRgb() == color.toRgb())
        return;
    const QSignalBlocker blocker(m_dialog);
    m_dialog->setCurrentColor(color);
}

void ColorPanel::setShowsAlpha(bool showsAlpha)
{
    m_dialog->setOption(QColorDialog::ShowAlphaChannel, showsAlpha);
}

void ColorPanel::setColorList(const QList<QColor>& colors)
{
    m_list->clear();
    for (const QColor& color : colors) {
        auto* item = new QListWidgetItem(swatchIcon(color), keyForColor(color), m_list);
        item->setData(Qt::UserRole, color.toRgb());
    }
}

QStringList ColorPanel::colorListKeys() const
{
    QStringList keys;
    for (int row = 0; row < m_list->count(); ++row)
        keys << m_list->item(row)->text();
    return keys;
}

void ColorPanel::deliver(const QColor& color)
{
    // The owner is tracked by QPointer: once it is destroyed the callback is never run.
    if (!m_owner || !m_onPick)
        return;
    const auto onPick = m_onPick;
    onPick(color.toRgb());
}

#include "controls/INAppStoreWindow.h"

#include "controls/ScreenFit.h"

#include <cmath>

#include <QAction>
#include <QEvent>
#include <QLinearGradient>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>

// The band across the top: paints itself, then the title; titleBarView (a transparent child covering it) holds
// the callers' controls above that painting.
class INAppStoreTitleBar : public QWidget {
public:
    explicit INAppStoreTitleBar(INAppStoreWindow* window)
        : QWidget(window)
        , m_window(window)
    {
        setObjectName(QStringLiteral("titleBar"));
        m_controls = new QWidget(this);
        m_controls->setObjectName(QStringLiteral("titleBarView"));
    }
    QWidget* controls() const { return m_controls; }

protected:
    void resizeEvent(QResizeEvent*) override { m_controls->setGeometry(rect()); }
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF band(rect());
        const bool active = m_window->isActiveWindow();
        QPainterPath clip;
        clip.addRect(band);
        if (m_window->m_drawingBlock) {
            painter.save();
            painter.setClipPath(clip);
            m_window->m_drawingBlock(&painter, active, band, Qt::TopEdge, clip);
            painter.restore();
        } else {
            INAppStoreWindow::drawDefaultTitleBar(&painter, active, band, m_window->m_showsBaselineSeparator);
        }
        if (m_window->m_drawingBlock && m_window->m_showsBaselineSeparator) {
            painter.setPen(QPen(active ? QColor(0, 0, 0, 90) : QColor(0, 0, 0, 50), 1.0));
            painter.drawLine(QPointF(band.left(), band.bottom() - 0.5), QPointF(band.right(), band.bottom() - 0.5));
        }
        if (m_window->m_showsTitle)
            drawTitle(&painter, band, active);
    }

private:
    void drawTitle(QPainter* painter, const QRectF& band, bool active)
    {
        const QString title = m_window->windowTitle();
        if (title.isEmpty())
            return;
        QFont font = m_window->font();
        font.setPointSizeF(13.0);
        painter->setFont(font);
        const QString elided = painter->fontMetrics().elidedText(title, Qt::ElideMiddle, int(band.width()) - 160);
        QColor color = m_window->m_titleTextColor;
        if (!color.isValid())
            color = active ? QColor(0x33, 0x33, 0x33) : QColor(0x88, 0x88, 0x88);
        const auto& shadow = m_window->m_titleTextShadow;
        if (shadow.color.isValid()) {
            painter->setPen(shadow.color);
            painter->drawText(band.translated(shadow.offset), Qt::AlignCenter, elided);
        }
        painter->setPen(color);
        painter->drawText(band, Qt::AlignCenter, elided);
    }

    INAppStoreWindow* m_window;
    QWidget* m_controls;
};

INAppStoreWindow::INAppStoreWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    m_titleBar = new INAppStoreTitleBar(this);
    m_contentView = new QWidget(this);
    m_contentView->setObjectName(QStringLiteral("contentView"));
    resize(800, 600);
    relayout();
    ScreenFit::keepWhole(this, [this](QSize size, QSize room) { return sizeForRoom(size, room); });
}

QWidget* INAppStoreWindow::titleBarView() const
{
    return m_titleBar->controls();
}

void INAppStoreWindow::setTitleBarHeight(double height)
{
    m_titleBarHeight = std::max(0.0, height);
    relayout();
}

void INAppStoreWindow::setTitleBarDrawingBlock(TitleBarDrawingBlock block)
{
    m_drawingBlock = std::move(block);
    m_titleBar->update();
}

void INAppStoreWindow::setShowsTitle(bool shows)
{
    m_showsTitle = shows;
    m_titleBar->update();
}

void INAppStoreWindow::setTitleTextColor(const QColor& color)
{
    m_titleTextColor = color;
    m_titleBar->update();
}

void INAppStoreWindow::setTitleTextShadow(const TitleTextShadow& shadow)
{
    m_titleTextShadow = shadow;
    m_titleBar->update();
}

void INAppStoreWindow::setHideTitleBarInFullScreen(bool hide)
{
    m_hideTitleBarInFullScreen = hide;
    relayout();
}

void INAppStoreWindow::setShowsBaselineSeparator(bool shows)
{
    m_showsBaselineSeparator = shows;
    m_titleBar->update();
}

QRect INAppStoreWindow::titleBarRect() const
{
    const bool hidden = m_hideTitleBarInFullScreen && (windowState() & Qt::WindowFullScreen);
    return QRect(0, 0, width(), hidden ? 0 : int(std::ceil(m_titleBarHeight)));
}

void INAppStoreWindow::relayout()
{
    const QRect band = titleBarRect();
    m_titleBar->setGeometry(band);
    // Set here too, not only from the band's resize event, which Qt holds back until the window is shown.
    m_titleBar->controls()->setGeometry(QRect(QPoint(0, 0), band.size()));
    m_titleBar->setVisible(band.height() > 0);
    m_contentView->setGeometry(0, band.height(), width(), std::max(0, height() - band.height()));
    showMenuBarUnlessFullScreen();
}

namespace {

void collectShortcutActions(const QList<QAction*>& actions, QList<QPointer<QAction>>* into)
{
    for (QAction* action : actions) {
        if (QMenu* menu = action->menu())
            collectShortcutActions(menu->actions(), into);
        else if (!action->shortcut().isEmpty())
            into->append(action);
    }
}

} // namespace

void INAppStoreWindow::showMenuBarUnlessFullScreen()
{
    auto* bar = m_contentView->findChild<QMenuBar*>(QString(), Qt::FindDirectChildrenOnly);
    const bool hide = bar && m_hideTitleBarInFullScreen && (windowState() & Qt::WindowFullScreen);
    if (hide == m_menuBarHiddenInFullScreen)
        return;
    m_menuBarHiddenInFullScreen = hide;
    if (hide) {
        // A hidden bar's items take no keys: the window holds them while the bar is away.
        m_heldMenuShortcuts.clear();
        collectShortcutActions(bar->actions(), &m_heldMenuShortcuts);
        for (const QPointer<QAction>& action : std::as_const(m_heldMenuShortcuts))
            addAction(action);
        bar->hide();
        return;
    }
    for (const QPointer<QAction>& action : std::as_const(m_heldMenuShortcuts)) {
        if (action)
            removeAction(action);
    }
    m_heldMenuShortcuts.clear();
    if (bar)
        bar->show();
}

void INAppStoreWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void INAppStoreWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::WindowStateChange:
        relayout();
        break;
    case QEvent::ActivationChange:
    case QEvent::WindowTitleChange:
        m_titleBar->update();
        break;
    default:
        break;
    }
}

void INAppStoreWindow::drawDefaultTitleBar(QPainter* painter, bool drawsAsMainWindow, const QRectF& rect,
                                           bool showsBaselineSeparator)
{
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    if (drawsAsMainWindow) {
        gradient.setColorAt(0.0, QColor(0xE9, 0xE9, 0xE9));
        gradient.setColorAt(1.0, QColor(0xD0, 0xD0, 0xD0));
    } else {
        gradient.setColorAt(0.0, QColor(0xF6, 0xF6, 0xF6));
        gradient.setColorAt(1.0, QColor(0xEA, 0xEA, 0xEA));
    }
    painter->fillRect(rect, gradient);
    if (showsBaselineSeparator) {
        painter->setPen(QPen(drawsAsMainWindow ? QColor(0x9A, 0x9A, 0x9A) : QColor(0xC4, 0xC4, 0xC4), 1.0));
        painter->drawLine(QPointF(rect.left(), rect.bottom() - 0.5), QPointF(rect.right(), rect.bottom() - 0.5));
    }
}

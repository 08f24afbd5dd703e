#include "creator/thumbnails/QVR_ThumbnailHoldingView.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

#include "controls/ControlsArtwork.h"
#include "controls/ViewUtils.h"

namespace {

// Fills itself with one colour, transparent included (a style sheet would not follow later changes cheaply).
class SeparatorView : public QWidget {
public:
    using QWidget::QWidget;
    QColor color = Qt::transparent;

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (color.alpha() == 0)
            return;
        QPainter painter(this);
        painter.fillRect(rect(), color);
    }
};

} // namespace

QVR_ThumbnailHoldingView::QVR_ThumbnailHoldingView(const QRect& frame, QWidget* parent)
    : QWidget(parent)
{
    setGeometry(frame);
    m_autolayoutedView = new QWidget(this);
    auto* layout = new QHBoxLayout(m_autolayoutedView);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_screenNumberLabel = new QLabel(this);
    m_screenNumberLabel->setAlignment(Qt::AlignCenter);
    // Its own role: unset, the scroller's Dark background would pick a light contrasting role over ours.
    m_screenNumberLabel->setForegroundRole(QPalette::WindowText);
    m_screenNumberLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_separatorHolder = new SeparatorView(this);
    m_separatorHolder->setAttribute(Qt::WA_TransparentForMouseEvents);
    const double scale = qApp ? qApp->devicePixelRatio() : 1.0;
    const UNIImage image = ControlsArtwork::image(QStringLiteral("thumbnail_selected_stretchable"), scale);
    if (!image.isNull()) {
        m_selectedStretchableImage = QPixmap::fromImage(image.CGImage());
        m_selectedStretchableImage.setDevicePixelRatio(scale);
    }
    relayout();
    setSelected(m_selected);
}

void QVR_ThumbnailHoldingView::hostView(QWidget* view)
{
    if (!view)
        return;
    m_autolayoutedView->layout()->addWidget(view);
    view->show();
}

void QVR_ThumbnailHoldingView::setSelected(bool selected)
{
    m_selected = selected;
    m_separatorHolder->setVisible(!selected);
    QPalette palette = m_screenNumberLabel->palette();
    palette.setColor(QPalette::WindowText, selected ? QColor(Qt::white) : QColor(128, 128, 128));
    m_screenNumberLabel->setPalette(palette);
    update();
}

void QVR_ThumbnailHoldingView::setSeparatorColor(const QColor& color)
{
    m_separatorColor = color;
    static_cast<SeparatorView*>(m_separatorHolder)->color = color;
    m_separatorHolder->update();
}

void QVR_ThumbnailHoldingView::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    if (!m_selected || m_selectedStretchableImage.isNull())
        return;
    QPainter painter(this);
    ViewUtils::drawNinePartImage(&painter, m_selectedStretchableImage, QRectF(rect()), 4, 2, 2, 2);
}

void QVR_ThumbnailHoldingView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void QVR_ThumbnailHoldingView::relayout()
{
    const int w = width();
    const int h = height();
    m_autolayoutedView->setGeometry(kMargin, kMargin, std::max(0, w - 2 * kMargin - 1),
                                    std::max(0, h - 2 * kMargin - kLabelHeight));
    m_screenNumberLabel->setGeometry(0, h - kLabelHeight - kMargin / 2, w, kLabelHeight);
    m_separatorHolder->setGeometry(w - 1, 0, 1, h);
}

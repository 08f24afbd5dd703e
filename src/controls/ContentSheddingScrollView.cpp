#include "controls/ContentSheddingScrollView.h"

#include <cmath>

#include <QScrollBar>
#include <QWheelEvent>

ContentSheddingScrollView::ContentSheddingScrollView(QWidget* parent)
    : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, &ContentSheddingScrollView::updatePageNumber);
    connect(horizontalScrollBar(), &QScrollBar::rangeChanged, this, &ContentSheddingScrollView::updatePageNumber);
    // Wheel events that land on the scroll bars would scroll them directly.
    horizontalScrollBar()->installEventFilter(this);
    verticalScrollBar()->installEventFilter(this);
}

ContentSheddingScrollView::ContentSheddingScrollView(const QRect& frame, QWidget* parent)
    : ContentSheddingScrollView(parent)
{
    setGeometry(frame);
}

void ContentSheddingScrollView::setPage_Width(double width)
{
    m_pageWidth = width;
    updatePageNumber();
}

void ContentSheddingScrollView::setDocumentView(QWidget* view)
{
    // The view being replaced may be handling the very event that replaces it (a click on a link to another
    // document): it goes on the next event-loop turn, not under its own feet.
    if (QWidget* previous = widget(); previous && previous != view) {
        takeWidget();
        previous->hide();
        previous->deleteLater();
    }
    setWidget(view);
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    if (m_pageNumber != 0) {
        m_pageNumber = 0;
        emit pageNumberChanged(0);
    }
}

QPoint ContentSheddingScrollView::visibleOrigin() const
{
    return QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void ContentSheddingScrollView::scrollToPoint(const QPoint& origin)
{
    horizontalScrollBar()->setValue(origin.x());
    verticalScrollBar()->setValue(origin.y());
}

void ContentSheddingScrollView::wheelEvent(QWheelEvent* event)
{
    if (m_allowScrollWheelScrolling) {
        QScrollArea::wheelEvent(event);
        return;
    }
    // Refused but accepted, so the event does not travel on to an enclosing scroll area either.
    event->accept();
}

bool ContentSheddingScrollView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Wheel && !m_allowScrollWheelScrolling &&
        (watched == horizontalScrollBar() || watched == verticalScrollBar())) {
        event->accept();
        return true;
    }
    return QScrollArea::eventFilter(watched, event);
}

void ContentSheddingScrollView::updatePageNumber()
{
    // A page width of zero (not set yet) has no pages: stay on page 0 rather than divide by zero.
    const int page = m_pageWidth > 0 ? int(std::trunc(horizontalScrollBar()->value() / m_pageWidth)) : 0;
    if (page != m_pageNumber) {
        m_pageNumber = page;
        emit pageNumberChanged(page);
    }
}

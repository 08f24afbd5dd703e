#pragma once

#include <QScrollArea>

// The paged scroll view of the player and the gallery viewer. The visible origin is the scroll bars' values;
// pageNumber = visible origin x / page width, truncated, updated on every scroll. Scroll-wheel and trackpad
// scrolling is refused unless allowed: the player pages only through its own controls.
class ContentSheddingScrollView : public QScrollArea {
    Q_OBJECT
    Q_PROPERTY(int pageNumber READ pageNumber NOTIFY pageNumberChanged)
public:
    explicit ContentSheddingScrollView(QWidget* parent = nullptr);
    explicit ContentSheddingScrollView(const QRect& frame, QWidget* parent = nullptr);

    double page_Width() const { return m_pageWidth; }
    void setPage_Width(double width);

    int pageNumber() const { return m_pageNumber; }

    // Installs the document view (owned by the scroll view) and resets pageNumber to 0. The previous one is
    // deleted on the next event-loop turn.
    void setDocumentView(QWidget* view);
    QWidget* documentView() const { return widget(); }

    bool allowScrollWheelScrolling() const { return m_allowScrollWheelScrolling; }
    void setAllowScrollWheelScrolling(bool allow) { m_allowScrollWheelScrolling = allow; }

    QPoint visibleOrigin() const;
    // Scrolls at once so that the point becomes the visible origin (bounded by the document's ends).
    void scrollToPoint(const QPoint& origin);

signals:
    void pageNumberChanged(int pageNumber);

protected:
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updatePageNumber();

    double m_pageWidth = 0.0;
    int m_pageNumber = 0;
    bool m_allowScrollWheelScrolling = false;
};

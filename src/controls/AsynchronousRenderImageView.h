#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

// An image view that reads and scales its picture off the main thread, on one serial queue shared by every such
// view, and shows the result when it arrives. The view draws nothing until the first result; a newer request (a
// new path, content mode or size) makes older results stale and they are dropped. Content modes follow
// ViewUtils::ContentMode: 1 aspect fit centred, 2 aspect fill (centred crop), anything else fills the bounds.
class AsynchronousRenderImageView : public QWidget {
    Q_OBJECT
public:
    explicit AsynchronousRenderImageView(QWidget* parent = nullptr);
    explicit AsynchronousRenderImageView(const QRect& frame, QWidget* parent = nullptr);
    ~AsynchronousRenderImageView() override;

    QString imagePath() const { return m_imagePath; }
    // An empty path clears the view.
    void setImagePath(const QString& path);

    int contentMode() const { return m_contentMode; }
    void setContentMode(int mode);

    // Renders again from the file at the current size.
    void redrawContents();

    // The picture clipped to rounded corners of `radius` (only the top two when `topCornersOnly`); 0: square.
    void setCornerRadius(qreal radius, bool topCornersOnly = false);
    // A line of one pixel along the view's edge (inside it), drawn over the picture; invalid: none.
    void setBorderColor(const QColor& color);

    // What the view shows now (at device pixels), and the picture that a subclass set directly.
    QImage renderedImage() const { return m_rendered; }

    // Test hook: called on the thread that decodes each file, with whether that is the main thread.
    static void setDecodeObserverForTesting(std::function<void(bool onMainThread)> observer);

    // Scales `source` into a bitmap of `pixelSize` following the content mode. Pure; any thread.
    static QImage renderForContentMode(const QImage& source, const QSize& pixelSize, int contentMode);

signals:
    // A render result has been taken in (also when it is an empty image because the file could not be read).
    void contentsRendered();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Shows an image at once, cancelling any render in flight (for views fed from memory).
    void showImageNow(const QImage& image);

private:
    void scheduleRender();
    void startRender();
    void takeResult(quint64 generation, const QImage& image);

    QString m_imagePath;
    int m_contentMode = 0;
    qreal m_cornerRadius = 0;
    bool m_topCornersOnly = false;
    QColor m_borderColor;
    QImage m_rendered;
    bool m_renderScheduled = false;
    // Shared with the queued work so that it can give up early once it is stale.
    std::shared_ptr<std::atomic<quint64>> m_generation;
};

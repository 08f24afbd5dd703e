#pragma once

#include <functional>

#include <QColor>
#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QPointer>
#include <QWidget>

class INAppStoreTitleBar;
class QAction;

// A window with a tall custom title bar: a band of titleBarHeight points across the top of the window that holds
// callers' controls (titleBarView) and is painted by a drawing block, or by the default light gradient. The title
// text is drawn into the band with QPainter, centred, when showsTitle is set. The window manager's own frame stays
// in place (Linux window managers decorate every window, and moving and resizing keep working everywhere); so the
// traffic-light and full-screen button placement settings are kept but have no effect on this platform.
//
// Below the band, contentView() fills the rest of the window. Coordinates are the window's, in points.
//
// A menu bar held at the top of contentView() belongs to the window's chrome: while the band is hidden in full
// screen the bar is hidden with it, and its items' shortcuts are held by the window meanwhile, so they still act.
class INAppStoreWindow : public QWidget {
    Q_OBJECT
public:
    struct TitleTextShadow {
        QColor color; // invalid = no shadow
        QPointF offset{0, 1};
    };
    // Paints the band: painter, whether the window is the active one, the band's rectangle, the window edge the
    // band lies on, and the band's outline (for clipping).
    using TitleBarDrawingBlock =
        std::function<void(QPainter* painter, bool drawsAsMainWindow, const QRectF& drawingRect, Qt::Edge edge,
                           const QPainterPath& clippingPath)>;

    explicit INAppStoreWindow(QWidget* parent = nullptr);

    QWidget* titleBarView() const;
    QWidget* contentView() const { return m_contentView; }

    double titleBarHeight() const { return m_titleBarHeight; }
    void setTitleBarHeight(double height);

    void setTitleBarDrawingBlock(TitleBarDrawingBlock block);
    const TitleBarDrawingBlock& titleBarDrawingBlock() const { return m_drawingBlock; }

    bool showsTitle() const { return m_showsTitle; }
    void setShowsTitle(bool shows);
    QColor titleTextColor() const { return m_titleTextColor; }
    void setTitleTextColor(const QColor& color);
    TitleTextShadow titleTextShadow() const { return m_titleTextShadow; }
    void setTitleTextShadow(const TitleTextShadow& shadow);

    bool hideTitleBarInFullScreen() const { return m_hideTitleBarInFullScreen; }
    void setHideTitleBarInFullScreen(bool hide);
    bool showsBaselineSeparator() const { return m_showsBaselineSeparator; }
    void setShowsBaselineSeparator(bool shows);

    bool centerFullScreenButton() const { return m_centerFullScreenButton; }
    void setCenterFullScreenButton(bool center) { m_centerFullScreenButton = center; }
    bool centerTrafficLightButtons() const { return m_centerTrafficLightButtons; }
    void setCenterTrafficLightButtons(bool center) { m_centerTrafficLightButtons = center; }

    // The band as the window shows it now (zero height while hidden in full screen).
    QRect titleBarRect() const;

    // Default painting of the band, used when no drawing block is set.
    static void drawDefaultTitleBar(QPainter* painter, bool drawsAsMainWindow, const QRectF& rect,
                                    bool showsBaselineSeparator);

protected:
    // The window's size in a room smaller than itself (inside its decorations): every window is kept whole on its
    // screen (ScreenFit), by default bounded to the room.
    virtual QSize sizeForRoom(QSize size, QSize room) const { return size.boundedTo(room); }
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class INAppStoreTitleBar;
    void relayout();
    void showMenuBarUnlessFullScreen();

    INAppStoreTitleBar* m_titleBar = nullptr;
    QWidget* m_contentView = nullptr;
    double m_titleBarHeight = 22.0;
    TitleBarDrawingBlock m_drawingBlock;
    bool m_showsTitle = false;
    QColor m_titleTextColor;
    TitleTextShadow m_titleTextShadow;
    bool m_hideTitleBarInFullScreen = false;
    bool m_showsBaselineSeparator = true;
    bool m_centerFullScreenButton = false;
    bool m_centerTrafficLightButtons = true;
    bool m_menuBarHiddenInFullScreen = false;
    QList<QPointer<QAction>> m_heldMenuShortcuts;
};

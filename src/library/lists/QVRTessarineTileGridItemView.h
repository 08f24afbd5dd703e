#pragma once

#include <memory>

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QWidget>

#include "platform/Error.h"
#include "platform/NotificationCenter.h"
#include "tessarine_data_model/ObjectUpdateNotifier.h"

class QAction;
class QMenu;
class QToolButton;
class QVRMyTessarinesViewController;
class QVR_AsynchronousRenderWebImageView;
class ZERI_qvdFilePackage;

// A tile label: its height is 0 when its text, trimmed, is empty. A text taller than the label is capped from
// the bottom: it starts at the top and shows the whole lines that fit, the last one ending with an ellipsis.
class QVRTessarineTileGridItemViewTextField : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // The lines the label shows at its present size.
    QStringList shownLines() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// One document of the My Documents grid: preview picture, title, description, the published badge, analytics,
// play and share buttons and a context menu (delete, duplicate, unpublish). A click opens the document in the
// creator; the spinner shows from the click until the open request ends, and a click while it shows does nothing.
// The grid hands the keyboard to one tile at a time (Return there opens it); that tile is marked with a ring and
// its bar buttons follow it in the Tab order.
class QVRTessarineTileGridItemView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 232;
    static constexpr int kPictureHeight = 170;
    static constexpr int kTitleHeightCap = 40;
    static constexpr int kDescriptionHeightCap = 48;
    static constexpr int kBarHeight = 36;

    explicit QVRTessarineTileGridItemView(QWidget* parent = nullptr);
    ~QVRTessarineTileGridItemView() override;

    void setFilePackage(const std::shared_ptr<ZERI_qvdFilePackage>& package);
    std::shared_ptr<ZERI_qvdFilePackage> filePackage() const { return m_filePackage; }
    void setParentMyTessarinesViewController(QVRMyTessarinesViewController* controller);
    QVRMyTessarinesViewController* parentMyTessarinesViewController() const { return m_parent; }

    // Actions.
    void openTessarine();
    void playButtonPressed();
    void shareButtonPressed();
    void analyticsButtonPressed();
    void deleteTessarine();
    void actuallyDeleteTessarine();
    void duplicateTessarine();
    void unpublish();
    // A document that cannot be opened (its draft refused, its download failed) says so in an alert.
    void tellCannotOpen(const Error& error);

    void publishedVersionUpdated();
    QString makeTooltipText();

    // Height from the fixed parts and the two labels (each capped); width kWidth.
    QSize intrinsicContentSize() const;
    QSize sizeHint() const override { return intrinsicContentSize(); }

    QMenu* contextMenu() const { return m_menu; }
    // The context menu from the keyboard: at the tile, not at the pointer (nothing when it shows already).
    void showContextMenuFromKeyboard();
    // Whether the tile is the grid's stop of the keyboard: then it and its bar buttons take Tab.
    void setTakesTab(bool takes);
    // The ring that marks the tile with the keyboard.
    void setKeyboardMarked(bool marked);
    bool isKeyboardMarked() const;
    QAction* unpublishMenuItem() const { return m_unpublishItem; }
    QVRTessarineTileGridItemViewTextField* titleLabel() const { return m_titleLabel; }
    QVRTessarineTileGridItemViewTextField* descriptionLabel() const { return m_descriptionLabel; }
    QWidget* publishedView() const { return m_publishedView; }
    QToolButton* analyticsButton() const { return m_analyticsButton; }
    QToolButton* playButton() const { return m_playButton; }
    QToolButton* shareButton() const { return m_shareButton; }
    QWidget* spinner() const { return m_spinner; }
    bool isOpening() const;

    // The tooltip's date format, in the C locale.
    static QString tooltipDate(const QDateTime& date);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void relayout();
    void textsChanged(const QSet<QString>& keys);
    void titleChanged();
    void observeFirstFlow();
    void resizeToContent();
    void showPicture();
    void setSpinnerShown(bool shown);

    std::shared_ptr<ZERI_qvdFilePackage> m_filePackage;
    QPointer<QVRMyTessarinesViewController> m_parent;
    QVR_AsynchronousRenderWebImageView* m_imageView = nullptr;
    QVRTessarineTileGridItemViewTextField* m_titleLabel = nullptr;
    QVRTessarineTileGridItemViewTextField* m_descriptionLabel = nullptr;
    QWidget* m_publishedView = nullptr;
    QWidget* m_mouseDownAlphaOverlay = nullptr;
    QWidget* m_horizontalLine = nullptr;
    QToolButton* m_analyticsButton = nullptr;
    QToolButton* m_playButton = nullptr;
    QToolButton* m_shareButton = nullptr;
    QProgressBar* m_spinner = nullptr;
    QWidget* m_focusRing = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_unpublishItem = nullptr;
    ObjectUpdateNotifierObserver m_timestampObserver;
    ObjectUpdateNotifierObserver m_previewScreenshotObserver;
    // The download of the service's picture, while it is shown: when it fails the document is drawn here.
    ObjectUpdateNotifierObserver m_servicePictureObserver;
    ObjectUpdateNotifierObserver m_titleObserver;
    NotificationObservation m_publishedObservation;
    bool m_pressed = false;
    bool m_shareRetried = false;
};

// The first cell of the grid: a click (or Return while it has the keyboard) starts a new document (the template
// chooser).
class QVRTessarineTileCreateNewGridItemView : public QWidget {
    Q_OBJECT
public:
    explicit QVRTessarineTileCreateNewGridItemView(QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QLabel* createNewLabel() const { return m_createNewLabel; }
    void createTessarine();
    void setKeyboardMarked(bool marked);
    bool isKeyboardMarked() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* m_createNewLabelHolder = nullptr;
    QLabel* m_createNewLabel = nullptr;
    QWidget* m_mouseDownAlphaOverlay = nullptr;
    QWidget* m_focusRing = nullptr;
};

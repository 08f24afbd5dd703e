#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>

class HoverAreaView;
class QToolButton;
class QVR_AsynchronousRenderWebImageView;
class QVR_TemplateChooserViewController;
class QWidget;

// One tile of the template chooser: the template's picture in a 371 × 161 view, and over it a hover area that
// shows Preview and Choose buttons while the pointer is inside.
// The tile takes the keyboard (Tab), and shows its buttons while it has it: Space there previews its template,
// Return chooses it.
class QVR_TemplateCollectionViewObject : public QObject {
    Q_OBJECT
public:
    static constexpr int kCellWidth = 371;
    static constexpr int kCellHeight = 161;

    explicit QVR_TemplateCollectionViewObject(QObject* parent = nullptr);
    ~QVR_TemplateCollectionViewObject() override;

    QString templateId() const { return m_templateId; }
    void setTemplateId(const QString& templateId) { m_templateId = templateId; }

    QString previewURLString() const { return m_previewURLString; }
    // Fetches the picture into the temporary folder and shows it when it arrives; an empty or unchanged address
    // does nothing.
    void setPreviewURLString(const QString& urlString);
    QImage previewImage() const { return m_previewImage; }
    void setPreviewImage(const QImage& image);
    // The picture shown instead while the pointer is over the tile (the scratch tile's, without its sign, so
    // that the buttons are not drawn over it); none keeps the preview picture.
    QImage hoverImage() const { return m_hoverImage; }
    void setHoverImage(const QImage& image) { m_hoverImage = image; }
    // Whether Preview and Choose show: the pointer is over the tile, or the tile has the keyboard.
    bool showsButtons() const;
    // The picture the tile shows now.
    QImage shownImage() const;

    // Not owned.
    QVR_TemplateChooserViewController* theChooserController() const;
    void setTheChooserController(QVR_TemplateChooserViewController* chooser);

    // The tile's view; it goes with the tile unless a grid took it first.
    QWidget* cellView() const { return m_cellView; }
    HoverAreaView* hoverView() const { return m_hoverView; }
    QVR_AsynchronousRenderWebImageView* imageView() const { return m_imageView; }
    QToolButton* previewButton() const { return m_previewButton; }
    QToolButton* chooseButton() const { return m_chooseButton; }

    void previewButtonPressed();
    void chooseButtonPressed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void makeHoverView();
    void showHoverState();

    QString m_templateId;
    QString m_previewURLString;
    QImage m_previewImage;
    QImage m_hoverImage;
    QPointer<QVR_TemplateChooserViewController> m_chooser;
    QPointer<QWidget> m_cellView;
    QVR_AsynchronousRenderWebImageView* m_imageView = nullptr;
    HoverAreaView* m_hoverView = nullptr;
    QToolButton* m_previewButton = nullptr;
    QToolButton* m_chooseButton = nullptr;
};

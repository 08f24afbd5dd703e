#pragma once

#include <QPointer>

#include "controls/QVR_TableViewCellLikeView.h"
#include "controls/ViewController.h"

class AddElementMenuViewControllerDelegate {
public:
    virtual ~AddElementMenuViewControllerDelegate() = default;
    // 1 video, 2 image, 3 gallery, 4 text, 6 PDF, 7 shape, 9 audio, 8 a web video link.
    virtual void addElementMenuSelectionMadeWithType(int type) = 0;
};

// The menu of what can be added to the shown screen: eight rows with icons, from the interface file
// "QVR_AddElementMenuViewController". It only reports the choice to its delegate. From the keyboard: the first row
// takes the focus when the menu shows, the arrows move between rows and Return chooses.
class QVR_AddElementMenuViewController : public ViewController, public TableViewCellLikeViewDelegate {
    Q_OBJECT
public:
    static const QString kNibName; // "QVR_AddElementMenuViewController"
    // The types of the rows, top to bottom.
    static const QList<int>& rowTypes();

    explicit QVR_AddElementMenuViewController(QObject* parent = nullptr);

    // Not owned.
    AddElementMenuViewControllerDelegate* delegate() const { return m_delegate; }
    void setDelegate(AddElementMenuViewControllerDelegate* delegate) { m_delegate = delegate; }

    QVR_TableViewCellLikeView* imageCell() const { return m_imageCell; }
    QVR_TableViewCellLikeView* galleryCell() const { return m_galleryCell; }
    QVR_TableViewCellLikeView* videoCell() const { return m_videoCell; }
    QVR_TableViewCellLikeView* youTubeCell() const { return m_youTubeCell; }
    QVR_TableViewCellLikeView* pdfCell() const { return m_pdfCell; }
    QVR_TableViewCellLikeView* shapeCell() const { return m_shapeCell; }
    QVR_TableViewCellLikeView* textCell() const { return m_textCell; }
    QVR_TableViewCellLikeView* audioCell() const { return m_audioCell; }
    // The rows in their order.
    QList<QVR_TableViewCellLikeView*> cells() const;

    void tableViewCellLikeViewClicked(QVR_TableViewCellLikeView* view) override;
    void imageClicked() { selectionMade(2); }
    void galleryClicked() { selectionMade(3); }
    void videoClicked() { selectionMade(1); }
    void youtubeClicked() { selectionMade(8); }
    void pdfClicked() { selectionMade(6); }
    void shapeClicked() { selectionMade(7); }
    void textClicked() { selectionMade(4); }
    void audioClicked();
    void selectionMade(int type);

    bool eventFilter(QObject* watched, QEvent* event) override;

protected:
    void loadView() override;

private:
    void awakeFromNib();

    AddElementMenuViewControllerDelegate* m_delegate = nullptr;
    QPointer<QVR_TableViewCellLikeView> m_imageCell;
    QPointer<QVR_TableViewCellLikeView> m_galleryCell;
    QPointer<QVR_TableViewCellLikeView> m_videoCell;
    QPointer<QVR_TableViewCellLikeView> m_youTubeCell;
    QPointer<QVR_TableViewCellLikeView> m_pdfCell;
    QPointer<QVR_TableViewCellLikeView> m_shapeCell;
    QPointer<QVR_TableViewCellLikeView> m_textCell;
    QPointer<QVR_TableViewCellLikeView> m_audioCell;
};

// Loads an icon of the add menus from the creator's artwork, at 24 × 24 device-independent pixels.
QPixmap additionMenuIcon(const QString& name);

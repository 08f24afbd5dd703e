#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QVR_TemplateChooserCollectionView;
class QVR_TemplateChooserViewController;
class QVR_TemplateCollectionViewObject;

// Feeds the chooser's grid: the scratch tile (blank theme) first, then the tiles of the latest template list.
class QVR_TemplateChooserThumbnailController : public QObject {
    Q_OBJECT
public:
    QVR_TemplateChooserThumbnailController(QVR_TemplateChooserViewController* chooser,
                                           QVR_TemplateChooserCollectionView* grid, QObject* parent = nullptr);

    // The scratch tile is made on the first call; the given tiles replace those of the previous call, so a
    // repeated list never doubles the grid.
    void setTemplatesFromCollectionViewObjectArray(const QList<QVR_TemplateCollectionViewObject*>& tiles);
    QList<QVR_TemplateCollectionViewObject*> templatesArray() const;

private:
    QPointer<QVR_TemplateChooserViewController> m_chooser;
    QPointer<QVR_TemplateChooserCollectionView> m_grid;
    QPointer<QVR_TemplateCollectionViewObject> m_scratchTile;
    QList<QPointer<QVR_TemplateCollectionViewObject>> m_webTiles;
};

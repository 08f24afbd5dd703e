#include "library/themes/QVR_TemplateChooserThumbnailController.h"

#include <QImage>

#include "library/themes/QVR_TemplateChooserCollectionView.h"
#include "library/themes/QVR_TemplateChooserViewController.h"
#include "library/themes/QVR_TemplateCollectionViewObject.h"
#include "library/themes/TessarineTheme.h"

QVR_TemplateChooserThumbnailController::QVR_TemplateChooserThumbnailController(
    QVR_TemplateChooserViewController* chooser, QVR_TemplateChooserCollectionView* grid, QObject* parent)
    : QObject(parent)
    , m_chooser(chooser)
    , m_grid(grid)
{
}

void QVR_TemplateChooserThumbnailController::setTemplatesFromCollectionViewObjectArray(
    const QList<QVR_TemplateCollectionViewObject*>& tiles)
{
    if (!m_scratchTile) {
        m_scratchTile = new QVR_TemplateCollectionViewObject(this);
        m_scratchTile->setPreviewImage(QImage(QStringLiteral(":/library/scratch-btn.svg")));
        m_scratchTile->setHoverImage(QImage(QStringLiteral(":/library/scratch-btn-hover.svg")));
        m_scratchTile->setTemplateId(TessarineTheme::kBlankThemeID);
        m_scratchTile->setTheChooserController(m_chooser);
    }
    for (const auto& old : m_webTiles)
        if (old && !tiles.contains(old.data()))
            old->deleteLater();
    m_webTiles.clear();
    for (auto* tile : tiles) {
        tile->setTheChooserController(m_chooser);
        tile->setParent(this);
        m_webTiles.append(tile);
    }
    if (m_grid)
        m_grid->setTiles(templatesArray());
}

QList<QVR_TemplateCollectionViewObject*> QVR_TemplateChooserThumbnailController::templatesArray() const
{
    QList<QVR_TemplateCollectionViewObject*> all;
    if (m_scratchTile)
        all.append(m_scratchTile);
    for (const auto& tile : m_webTiles)
        if (tile)
            all.append(tile);
    return all;
}

#pragma once

#include <memory>
#include <vector>

#include <QStringList>

#include "tessarine_data_model/TessarineDataModelItem.h"

class ZERI_ContentAsset;

// The images of a gallery object: full-size, low-quality and thumbnail assets and a caption per image, in
// parallel arrays (one index per gallery image). The arrays are read-only from outside; the operations below
// keep them parallel and mark the manager changed. Its parent is the gallery object.
class QVB_GalleryAssetManager : public TessarineDataModelItem {
public:
    QVB_GalleryAssetManager() = default;
    static std::shared_ptr<QVB_GalleryAssetManager> initWithDict(const QJsonObject& dict, Error* error = nullptr);

    const std::vector<std::shared_ptr<ZERI_ContentAsset>>& fullsizedImageAssetsArray() const { return m_fullsized; }
    const std::vector<std::shared_ptr<ZERI_ContentAsset>>& lowQualityImageAssetsArray() const { return m_lowQuality; }
    const std::vector<std::shared_ptr<ZERI_ContentAsset>>& thumbnailImageAssetsArray() const { return m_thumbnails; }
    const QStringList& captionTextArray() const { return m_captions; }

    // Ignore a missing asset or an index beyond the array's count. insertImageAsset also inserts an empty
    // caption at the index.
    void insertImageAsset(const std::shared_ptr<ZERI_ContentAsset>& asset, qsizetype index);
    void insertLowQualityAsset(const std::shared_ptr<ZERI_ContentAsset>& asset, qsizetype index);
    void insertThumbImageAsset(const std::shared_ptr<ZERI_ContentAsset>& asset, qsizetype index);
    // Sets the caption of one image; ignored beyond the count.
    void setCaptionText(qsizetype index, const QString& caption);
    // Removes the image at the index from every array that has it.
    void removeAssetAtIndex(qsizetype index);
    // Moves one image (in every array that has both indexes).
    void moveAssetFromIndex(qsizetype from, qsizetype to);
    // Takes the images at `indexes` out (kept in their order) and puts them back as one block whose first image
    // lands at `target`, counted once they are out (clamped to the end). Indexes out of range are skipped.
    void moveAssetsFromIndexes(const QList<qsizetype>& indexes, qsizetype target);

protected:
    void appendChildItems(std::vector<std::shared_ptr<TessarineDataModelItem>>& children) const override;
    QJsonObject makeJsonDictionary() const override;
    void readProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys) override;

private:
    void insertInto(std::vector<std::shared_ptr<ZERI_ContentAsset>>& array,
                    const std::shared_ptr<ZERI_ContentAsset>& asset, qsizetype index, const QString& key);

    std::vector<std::shared_ptr<ZERI_ContentAsset>> m_fullsized;
    std::vector<std::shared_ptr<ZERI_ContentAsset>> m_lowQuality;
    std::vector<std::shared_ptr<ZERI_ContentAsset>> m_thumbnails;
    QStringList m_captions;
};

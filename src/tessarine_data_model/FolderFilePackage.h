#pragma once

#include <utility>

#include <QString>

#include "tessarine_data_model/DocumentFilePackage.h"

// A package that is only its folders: enough for a document read apart from its real package (a copy drawn on a
// worker, a package folder given on the command line) to find its asset files. It cannot save.
class FolderFilePackage : public DocumentFilePackage {
public:
    FolderFilePackage(QString packageID, QString assetStoragePath, QString publishedAssetStoragePath)
        : m_packageID(std::move(packageID))
        , m_assetStoragePath(std::move(assetStoragePath))
        , m_publishedAssetStoragePath(std::move(publishedAssetStoragePath))
    {
    }

    QString packageID() const override { return m_packageID; }
    QString assetStoragePath() const override { return m_assetStoragePath; }
    QString publishedAssetStoragePath() const override { return m_publishedAssetStoragePath; }

private:
    QString m_packageID;
    QString m_assetStoragePath;
    QString m_publishedAssetStoragePath;
};

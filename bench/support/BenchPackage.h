#pragma once

#include <utility>

#include <QDir>
#include <QString>

#include "tessarine_data_model/DocumentFilePackage.h"

// A document's package for benchmarks: its assets live in "assets" below a folder of the benchmark's own.
class BenchPackage : public DocumentFilePackage {
public:
    explicit BenchPackage(QString folder, QString packageID = QStringLiteral("bench"))
        : m_folder(std::move(folder))
        , m_packageID(std::move(packageID))
    {
    }
    QString packageID() const override { return m_packageID; }
    QString assetStoragePath() const override { return QDir(m_folder).filePath(QStringLiteral("assets")); }
    QString publishedAssetStoragePath() const override { return assetStoragePath(); }

private:
    QString m_folder;
    QString m_packageID;
};

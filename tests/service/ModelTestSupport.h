#pragma once

#include <memory>
#include <vector>

#include <QList>
#include <QString>

class ZERI_ContentAsset;
class ZERI_TessarineModel;

// A document with one screen holding one image object per file; each object's original image asset points
// at a file of `folder` with the given number of bytes (written here, named "asset<i>.bin").
struct DocumentWithFiles {
    std::shared_ptr<ZERI_TessarineModel> model;
    std::vector<std::shared_ptr<ZERI_ContentAsset>> assets; // in the order of `sizes`
    QStringList paths;
};
DocumentWithFiles makeDocumentWithFiles(const QString& folder, const QList<qint64>& sizes);

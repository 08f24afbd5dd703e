#pragma once

#include <memory>

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

class ZERI_ContentAsset;
class ZERI_MixedMediaObjectProxy;
class ZERI_TessarineModel;

// Points Application Support and the temporary folder at fresh folders and forgets the package list, so each
// test starts with no packages; restores both on destruction.
class ScopedStorageFolders {
public:
    ScopedStorageFolders();
    ~ScopedStorageFolders();
    QString supportPath() const { return m_support.path(); }
    QString temporaryPath() const { return m_temporary.path(); }

private:
    QTemporaryDir m_support;
    QTemporaryDir m_temporary;
};

// A new document with one flow holding one empty screen.
std::shared_ptr<ZERI_TessarineModel> makeDocumentWithOneScreen();
// Adds an image object whose original image asset points at `filePath` to the first screen.
std::shared_ptr<ZERI_MixedMediaObjectProxy> addImageObject(ZERI_TessarineModel& document, const QString& filePath);
bool writeBytes(const QString& path, const QByteArray& data);
QByteArray readBytes(const QString& path);
QByteArray pngBytes(int width, int height);

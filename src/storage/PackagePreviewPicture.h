#pragma once

#include <QByteArray>
#include <QString>

class ZERI_qvdFilePackage;

// The file side of a package's My Documents picture ("tile-preview-<uuid>.jpg" in its "assets/" folder, named by
// the metadata's "previewScreenshotFilePath"): where a new one goes, writing it, and making it the package's.
// Every step goes through PackageFileGuard: the picture lands only inside the package, and the earlier picture
// the metadata names is deleted only when it lies inside the package too.
namespace PackagePreviewPicture {

inline constexpr const char* kFilePrefix = "tile-preview-";

// Main thread. A fresh path for the package's next picture, its folder made the package's own; empty when the
// package's assets folder cannot be written. The path is held (AssetFileReferences) until adopt() or abandon(), so
// that the package's clean-up, which keeps only the picture the metadata names, leaves a picture being made.
QString preparePath(ZERI_qvdFilePackage& package);
// Any thread, after preparePath(): writes the picture whole.
bool write(const QString& path, const QByteArray& jpeg);
// Main thread. The written picture becomes the package's (metadata saved); the earlier one goes when it is a
// picture of this package. False, and nothing adopted, when the picture is no longer on disk.
bool adopt(ZERI_qvdFilePackage& package, const QString& path);
// Main thread. A prepared path that will not be adopted: its file, if written, is deleted.
void abandon(const QString& path);

} // namespace PackagePreviewPicture

#pragma once

#include <functional>
#include <memory>

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include "platform/Error.h"

// Content on its way into a document (a dropped file, pasted image data, an embedded web video): it provides the
// main data or a file path, asynchronously, and says what kind of media it claims to be.
//
// Kinds: 0 unknown, 1 image, 3 video, 6 streaming video, 7 PDF, 9 audio.
//
// Threads: set an item up on the main thread; once handed to an import, it is only read (from the import's
// worker too) and must not be changed until the import ends. The asynchronous getters call their blocks on the
// main thread.
//
// Archived form: a JSON object with "class" naming the item's kind of provider and "type"; subclasses add their
// own members.
class QVRDataItem {
public:
    enum Type { Unknown = 0, Image = 1, Video = 3, StreamingVideo = 6, PDF = 7, Audio = 9 };

    virtual ~QVRDataItem();

    int type() const { return m_type; }
    void setType(int type) { m_type = type; }

    // The content as a local file, when it is one; empty for in-memory content. Callable from any thread.
    virtual QString contentFilePath() const { return {}; }
    // In-memory content; empty for file-backed items. Callable from any thread.
    virtual QByteArray contentData() const { return {}; }
    // The name the content had where it came from (the dropped file's name), or empty.
    virtual QString sourceFileName() const { return {}; }
    // "png", "mov", "pdf" …: from the source's name, else sniffed from the data, else from the type; may be empty.
    QString suggestedExtension() const;

    // The main data, read off the main thread; the block gets empty data and an error on failure.
    void getMainDataWithBlock(std::function<void(const QByteArray& data, const Error& error)> block) const;
    // A local file holding the content: the item's own file, or in-memory content written to a new file in the
    // temporary folder's "externalDataItemFiles".
    void getFilePathWithBlock(std::function<void(const QString& path, const Error& error)> block) const;

    virtual QJsonObject archive() const;
    // nullptr for an object that names no known provider.
    static std::shared_ptr<QVRDataItem> fromArchive(const QJsonObject& archive);

    // "<temporary folder>/externalDataItemFiles", made on first use.
    static QString externalDataItemFilesFolder();

    static constexpr const char* errorDomain = "com.tessarine.QVRDataItemErrorDomain";

    // The item's own file when it has one (an error when that file is missing), else `data` written to a new file
    // under externalDataItemFiles. Any thread.
    static QString fileForContent(const QString& ownFile, const QByteArray& data, const QString& extension,
                                  Error* error);

private:
    int m_type = Unknown;
};

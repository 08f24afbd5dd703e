#include "storage/QVRDataItem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>

#include "platform/AppPaths.h"
#include "platform/AtomicFile.h"
#include "platform/OwnFiles.h"
#include "platform/WorkerThreads.h"
#include "platform/MainThread.h"
#include "storage/QVRCustomDataDataItem.h"
#include "storage/QVRDataFromURLDataItem.h"
#include "storage/QVRStreamingVideoDataItem.h"

namespace {

QString sniffedExtension(const QByteArray& head)
{
    if (head.startsWith("\x89PNG\r\n\x1a\n"))
        return QStringLiteral("png");
    if (head.startsWith("\xff\xd8\xff"))
        return QStringLiteral("jpg");
    if (head.startsWith("GIF8"))
        return QStringLiteral("gif");
    if (head.startsWith("%PDF-"))
        return QStringLiteral("pdf");
    if (head.size() >= 12 && head.mid(4, 4) == "ftyp")
        return head.mid(8, 2) == "qt" ? QStringLiteral("mov") : QStringLiteral("mp4");
    return {};
}

} // namespace

QVRDataItem::~QVRDataItem() = default;

QString QVRDataItem::suggestedExtension() const
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9]{1,10}$"));
    const QString suffix = QFileInfo(sourceFileName()).suffix();
    if (plain.match(suffix).hasMatch())
        return suffix.toLower();
    QByteArray head = contentData().left(16);
    if (head.isEmpty() && !contentFilePath().isEmpty()) {
        QFile file(contentFilePath());
        if (file.open(QIODevice::ReadOnly))
            head = file.read(16);
    }
    if (const QString sniffed = sniffedExtension(head); !sniffed.isEmpty())
        return sniffed;
    switch (m_type) {
    case Image:
        return QStringLiteral("png");
    case Video:
        return QStringLiteral("mov");
    case PDF:
        return QStringLiteral("pdf");
    case Audio:
        return QStringLiteral("m4a");
    default:
        return {};
    }
}

QString QVRDataItem::externalDataItemFilesFolder()
{
    const QString folder = AppPaths::temporary() + QStringLiteral("/externalDataItemFiles");
    OwnFiles::makeFolder(folder);
    return folder;
}

QString QVRDataItem::fileForContent(const QString& ownFile, const QByteArray& data, const QString& extension,
                                    Error* error)
{
    if (!ownFile.isEmpty()) {
        if (QFileInfo(ownFile).isFile())
            return ownFile;
        setError(error, Error(QString::fromLatin1(errorDomain), 1,
                              QStringLiteral("The file \"%1\" does not exist").arg(ownFile)));
        return {};
    }
    QString name = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    if (!extension.isEmpty())
        name += QLatin1Char('.') + extension;
    const QString path = externalDataItemFilesFolder() + QLatin1Char('/') + name;
    if (!OwnFiles::write(path, data, error))
        return {};
    return path;
}

void QVRDataItem::getMainDataWithBlock(std::function<void(const QByteArray& data, const Error& error)> block) const
{
    const QByteArray inMemory = contentData();
    const QString path = contentFilePath();
    WorkerThreads::shared().post([inMemory, path, block = std::move(block)] {
        QByteArray data = inMemory;
        Error error;
        if (data.isEmpty() && !path.isEmpty()) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly))
                data = file.readAll();
            else
                error = Error(QString::fromLatin1(errorDomain), 1,
                              QStringLiteral("Cannot read \"%1\": %2").arg(path, file.errorString()));
        }
        MainThread::run([block, data, error] { block(data, error); }, false);
    });
}

void QVRDataItem::getFilePathWithBlock(std::function<void(const QString& path, const Error& error)> block) const
{
    const QString own = contentFilePath();
    const QByteArray data = own.isEmpty() ? contentData() : QByteArray();
    const QString extension = suggestedExtension();
    WorkerThreads::shared().post([own, data, extension, block = std::move(block)] {
        Error error;
        const QString path = fileForContent(own, data, extension, &error);
        MainThread::run([block, path, error] { block(path, error); }, false);
    });
}

QJsonObject QVRDataItem::archive() const
{
    return {{QStringLiteral("class"), QStringLiteral("QVRDataItem")}, {QStringLiteral("type"), m_type}};
}

std::shared_ptr<QVRDataItem> QVRDataItem::fromArchive(const QJsonObject& archive)
{
    const QString kind = archive.value(QStringLiteral("class")).toString();
    std::shared_ptr<QVRDataItem> item;
    if (kind == QLatin1String("QVRDataFromURLDataItem")) {
        auto fromURL = std::make_shared<QVRDataFromURLDataItem>();
        fromURL->readArchive(archive);
        item = fromURL;
    } else if (kind == QLatin1String("QVRCustomDataDataItem")) {
        auto custom = std::make_shared<QVRCustomDataDataItem>();
        custom->readArchive(archive);
        item = custom;
    } else if (kind == QLatin1String("QVRStreamingVideoDataItem")) {
        auto streaming = std::make_shared<QVRStreamingVideoDataItem>();
        streaming->readArchive(archive);
        item = streaming;
    } else if (kind == QLatin1String("QVRDataItem")) {
        item = std::make_shared<QVRDataItem>();
    } else {
        return nullptr;
    }
    item->setType(archive.value(QStringLiteral("type")).toInt());
    return item;
}

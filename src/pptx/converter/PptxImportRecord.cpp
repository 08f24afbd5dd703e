#include "pptx/converter/PptxImportRecord.h"

#include <chrono>
#include <limits>

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QLoggingCategory>
#include <QUuid>

#include "platform/AppPaths.h"
#include "platform/AtomicFile.h"

Q_LOGGING_CATEGORY(lcPptxRecord, "tess.pptx.record", QtWarningMsg)

namespace {

const char* const kTemporaryFolderKey = "temporaryFolder";
const char* const kPackageKey = "package";
// The per-process temporary folders of the application's programs are named so.
const char* const kProcessTemporaryPrefix = "tessarine-";

QString notesFolder()
{
    return AppPaths::applicationSupport() + QStringLiteral("/Tessarine/imports");
}

QString lockPathFor(const QString& notePath)
{
    return notePath.left(notePath.size() - int(qstrlen(".json"))) + QStringLiteral(".lock");
}

// The lock stays held by a live process however long its import runs; only a process that has ended lets it go.
void holdForLife(QLockFile& lock)
{
    lock.setStaleLockTime(std::chrono::milliseconds(std::numeric_limits<int>::max()));
}

bool isRealFolder(const QString& path)
{
    const QFileInfo info(path);
    return !path.isEmpty() && info.isAbsolute() && info.isDir() && !info.isSymLink();
}

} // namespace

PptxImportRecord::PptxImportRecord() = default;

PptxImportRecord::~PptxImportRecord()
{
    end();
}

bool PptxImportRecord::begin(const QString& temporaryFolder)
{
    end();
    if (!QDir().mkpath(notesFolder()))
        return false;
    const QString base = QDir(notesFolder()).filePath(QUuid::createUuid().toString(QUuid::WithoutBraces));
    auto lock = std::make_unique<QLockFile>(base + QStringLiteral(".lock"));
    holdForLife(*lock);
    if (!lock->tryLock(0)) {
        qCWarning(lcPptxRecord).noquote() << "cannot note the import in" << notesFolder();
        return false;
    }
    m_lock = std::move(lock);
    m_notePath = base + QStringLiteral(".json");
    m_temporaryFolder = QDir(temporaryFolder).absolutePath();
    if (!write()) {
        end();
        return false;
    }
    return true;
}

void PptxImportRecord::setDocumentPackage(const QString& packagePath)
{
    if (!m_lock)
        return;
    m_packagePath = packagePath.isEmpty() ? QString() : QDir(packagePath).absolutePath();
    write();
}

void PptxImportRecord::end()
{
    if (!m_lock)
        return;
    QFile::remove(m_notePath);
    m_lock->unlock();
    m_lock.reset();
    m_notePath.clear();
    m_temporaryFolder.clear();
    m_packagePath.clear();
}

bool PptxImportRecord::write() const
{
    QJsonObject note;
    note.insert(QLatin1String(kTemporaryFolderKey), m_temporaryFolder);
    if (!m_packagePath.isEmpty())
        note.insert(QLatin1String(kPackageKey), m_packagePath);
    Error error;
    if (!AtomicFile::write(m_notePath, QJsonDocument(note).toJson(QJsonDocument::Compact), &error)) {
        qCWarning(lcPptxRecord).noquote() << "cannot note the import:" << error.description();
        return false;
    }
    return true;
}

int PptxImportRecord::removeLeftovers()
{
    const QDir folder(notesFolder());
    int found = 0;
    for (const QString& name : folder.entryList({QStringLiteral("*.json")}, QDir::Files)) {
        const QString notePath = folder.filePath(name);
        QLockFile lock(lockPathFor(notePath));
        holdForLife(lock);
        // Held: the import still runs (here or in another program).
        if (!lock.tryLock(0))
            continue;
        QFile file(notePath);
        const QJsonObject note =
            file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
        file.close();
        ++found;
        const QString package = note.value(QLatin1String(kPackageKey)).toString();
        // The package's folder was noted before it was made, under a new document id: whatever it holds is the
        // import's.
        if (isRealFolder(package)) {
            qCInfo(lcPptxRecord).noquote() << "removing the document of an import that never ended:" << package;
            QDir(package).removeRecursively();
        }
        const QString temporary = note.value(QLatin1String(kTemporaryFolderKey)).toString();
        if (isRealFolder(temporary)) {
            QDir(temporary).removeRecursively();
            // The ended process's own temporary folder goes with it: nothing of a live process is in it.
            const QString processTemporary = QFileInfo(temporary).absolutePath();
            if (QFileInfo(processTemporary).fileName().startsWith(QLatin1String(kProcessTemporaryPrefix)) &&
                processTemporary != AppPaths::temporary() && isRealFolder(processTemporary))
                QDir(processTemporary).removeRecursively();
        }
        QFile::remove(notePath);
        lock.unlock();
    }
    return found;
}

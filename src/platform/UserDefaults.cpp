#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include "platform/CheckedNumbers.h"
#include "platform/OwnFiles.h"
#include "platform/PlatformLogging.h"

namespace {

// An empty store only its user may read (QSettings keeps the permissions of the file it replaces).
void createPrivateStore(const QString& storeFile)
{
    QFile file(storeFile);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        file.close();
}

} // namespace

UserDefaults::UserDefaults(const QString& storeFile)
{
    open(storeFile);
}

UserDefaults::~UserDefaults() = default;

UserDefaults& UserDefaults::standard()
{
    static UserDefaults defaults(defaultStoreFile());
    return defaults;
}

void UserDefaults::setStoreFileForTesting(const QString& path)
{
    UserDefaults& defaults = standard();
    QMutexLocker lock(&defaults.m_mutex);
    defaults.open(path.isEmpty() ? defaultStoreFile() : path);
}

QString UserDefaults::defaultStoreFile()
{
    // Fixed rather than derived from the application's name, so that every program of the project (and a
    // renamed executable) shares one store.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Tessarine/Tessarine.conf");
}

void UserDefaults::open(const QString& storeFile)
{
    // The store holds the session's secrets: a folder made for it is the user's alone, and the file is
    // readable by the user only. Saving replaces the file but keeps its permissions.
    // The store and its folder are the application's own: a link in the place of either is set aside before QSettings
    // reads or writes anything, so the session's secrets never go where it leads.
    const QFileInfo info(storeFile);
    const bool folderMissing = !QFileInfo(info.absolutePath()).isDir() || QFileInfo(info.absolutePath()).isSymLink();
    if (OwnFiles::makeFolder(info.absolutePath()) && folderMissing)
        QFile::setPermissions(info.absolutePath(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    OwnFiles::setAsideLink(storeFile);
    createPrivateStore(storeFile);
    if (QFile::exists(storeFile) && !QFile::setPermissions(storeFile, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        qCWarning(lcPlatform) << "cannot make the user defaults private:" << storeFile;
    m_settings = std::make_unique<QSettings>(storeFile, QSettings::IniFormat);
}

void UserDefaults::syncStore()
{
    // QSettings writes through a link to wherever it leads: one put in the store's place meanwhile is set aside, and
    // the store made again from what this process holds (QSettings would keep only the changes since it last read).
    const QString file = m_settings->fileName();
    if (QFileInfo(file).isSymLink()) {
        QVariantHash kept;
        for (const QString& key : m_settings->allKeys())
            kept.insert(key, m_settings->value(key));
        OwnFiles::setAsideLink(file);
        createPrivateStore(file);
        for (auto it = kept.cbegin(); it != kept.cend(); ++it)
            m_settings->setValue(it.key(), it.value());
    }
    m_settings->sync();
}

QString UserDefaults::storeFile() const
{
    QMutexLocker lock(&m_mutex);
    return m_settings->fileName();
}

bool UserDefaults::contains(const QString& key) const
{
    QMutexLocker lock(&m_mutex);
    return m_settings->contains(key);
}

QVariant UserDefaults::value(const QString& key) const
{
    QMutexLocker lock(&m_mutex);
    return m_settings->value(key);
}

QString UserDefaults::string(const QString& key) const
{
    return value(key).toString();
}

bool UserDefaults::boolValue(const QString& key) const
{
    const QVariant v = value(key);
    if (v.typeId() != QMetaType::QString)
        return v.toBool();
    // A stored text (how the INI file hands every value back) counts as true only when it says so: "true",
    // "YES" or a non-zero number. QVariant would take any other non-empty text for true.
    const QString text = v.toString().trimmed();
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
        text.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0)
        return true;
    bool isNumber = false;
    const double number = text.toDouble(&isNumber);
    return isNumber && number != 0;
}

qint64 UserDefaults::integer(const QString& key) const
{
    const QVariant v = value(key);
    bool ok = false;
    const qint64 n = v.toLongLong(&ok);
    if (ok)
        return n;
    const double d = v.toDouble(&ok); // "12.0" written by another version
    return ok ? CheckedNumbers::wholeNumber<qint64>(d).value_or(0) : 0;
}

double UserDefaults::doubleValue(const QString& key) const
{
    bool ok = false;
    const double d = value(key).toDouble(&ok);
    return ok ? d : 0.0;
}

void UserDefaults::setValue(const QString& key, const QVariant& value)
{
    if (!value.isValid()) {
        remove(key);
        return;
    }
    QMutexLocker lock(&m_mutex);
    m_settings->setValue(key, value);
    syncStore();
    if (m_settings->status() != QSettings::NoError)
        qCWarning(lcPlatform) << "cannot write user defaults to" << m_settings->fileName();
}

void UserDefaults::remove(const QString& key)
{
    QMutexLocker lock(&m_mutex);
    m_settings->remove(key);
    syncStore();
    if (m_settings->status() != QSettings::NoError)
        qCWarning(lcPlatform) << "cannot write user defaults to" << m_settings->fileName();
}

#pragma once

#include <memory>

#include <QMutex>
#include <QString>
#include <QVariant>

class QSettings;

// Small persistent settings of the user ("corvikAuthToken", "showDockedPopoverOnLaunch", ...), typed on read.
// The standard store is an INI file under the XDG config folder; tests redirect it with setStoreFileForTesting.
// Every write reaches the file before the call returns. All members are thread-safe.
class UserDefaults {
public:
    explicit UserDefaults(const QString& storeFile);
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    static UserDefaults& standard();
    // Points the standard store at another file; an empty path restores the default file.
    static void setStoreFileForTesting(const QString& path);
    // <XDG config>/Tessarine/Tessarine.conf
    static QString defaultStoreFile();

    QString storeFile() const;

    bool contains(const QString& key) const;
    // An invalid QVariant when absent. Values read back from the file may come back as text; the typed getters
    // below convert.
    QVariant value(const QString& key) const;
    QString string(const QString& key) const;     // empty when absent
    bool boolValue(const QString& key) const;     // false when absent
    qint64 integer(const QString& key) const;     // 0 when absent or not a number
    double doubleValue(const QString& key) const; // 0 when absent or not a number

    // Setting an invalid (null) QVariant removes the key.
    void setValue(const QString& key, const QVariant& value);
    void remove(const QString& key);

private:
    void open(const QString& storeFile);
    // Writes the store (with the mutex held).
    void syncStore();

    mutable QMutex m_mutex;
    std::unique_ptr<QSettings> m_settings;
};

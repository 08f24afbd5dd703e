#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "platform/UserDefaults.h"
#include "support/QtPrinters.h"
#include "support/TestEnvironment.h"

TEST(UserDefaults, AValueWrittenByOneInstanceIsReadByAFreshOne)
{
    QTemporaryDir dir;
    const QString store = dir.filePath("defaults/store.conf");
    {
        UserDefaults defaults(store);
        defaults.setValue("corvikAuthToken", "T");
        defaults.setValue("showDockedPopoverOnLaunch", true);
        defaults.setValue("maxFileUpload", qint64(5'000'000'000));
        defaults.setValue("zoom", 1.25);
        defaults.setValue("corvikUserDict", QVariantMap{{"username", "ann"}, {"type", "admin"}});
    }
    // On disk before the next instance exists, not only in a shared cache.
    QFile file(store);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("corvikAuthToken=T"));
    // The store holds secrets: the folder it made and the file (after saves replaced it) are the user's alone.
    const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const auto group = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup;
    const auto other = QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    EXPECT_EQ(file.permissions() & (owner | QFileDevice::ExeOwner | group | other), owner);
    EXPECT_EQ(QFile::permissions(dir.filePath("defaults")) & (group | other), QFileDevice::Permissions());

    UserDefaults fresh(store);
    EXPECT_EQ(fresh.string("corvikAuthToken"), "T");
    EXPECT_TRUE(fresh.boolValue("showDockedPopoverOnLaunch"));
    EXPECT_EQ(fresh.integer("maxFileUpload"), 5'000'000'000);
    EXPECT_DOUBLE_EQ(fresh.doubleValue("zoom"), 1.25);
    EXPECT_EQ(fresh.value("corvikUserDict").toMap().value("username"), "ann");

    fresh.remove("corvikAuthToken");
    fresh.setValue("zoom", QVariant()); // a null value removes too
    EXPECT_FALSE(UserDefaults(store).contains("corvikAuthToken"));
    EXPECT_FALSE(fresh.contains("zoom"));
}

TEST(UserDefaults, AbsentOrMistypedValuesReadAsEmpty)
{
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath("store.conf"));
    EXPECT_FALSE(defaults.boolValue("showDockedPopoverOnLaunch"));
    EXPECT_EQ(defaults.string("corvikAuthToken"), QString());
    EXPECT_EQ(defaults.integer("maxFileUpload"), 0);
    EXPECT_FALSE(defaults.value("x").isValid());

    defaults.setValue("maxFileUpload", "not a number");
    EXPECT_EQ(defaults.integer("maxFileUpload"), 0);
    EXPECT_EQ(defaults.doubleValue("maxFileUpload"), 0.0);
    EXPECT_FALSE(defaults.boolValue("maxFileUpload"));
    defaults.setValue("flag", "YES");
    EXPECT_TRUE(UserDefaults(defaults.storeFile()).boolValue("flag"));
    defaults.setValue("flag", "NO");
    EXPECT_FALSE(UserDefaults(defaults.storeFile()).boolValue("flag"));
}

TEST(UserDefaults, TheStandardStoreLivesUnderXdgConfigAndCanBeRedirected)
{
    EXPECT_TRUE(UserDefaults::defaultStoreFile().startsWith(TestEnvironment::root() + "/config/"));

    QTemporaryDir dir;
    const QString store = dir.filePath("standard.conf");
    UserDefaults::setStoreFileForTesting(store);
    UserDefaults::standard().setValue("qvr_lastOpenedDirectoryURLKey", "file:///tmp");
    EXPECT_EQ(UserDefaults(store).string("qvr_lastOpenedDirectoryURLKey"), "file:///tmp");

    UserDefaults::setStoreFileForTesting({});
    EXPECT_EQ(UserDefaults::standard().storeFile(), UserDefaults::defaultStoreFile());
    EXPECT_FALSE(UserDefaults::standard().contains("qvr_lastOpenedDirectoryURLKey"));
}

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "platform/AppPaths.h"
#include "platform/AtomicFile.h"
#include "platform/OwnFiles.h"
#include "platform/UserDefaults.h"
#include "support/QtPrinters.h"

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void put(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

// The application's data folder and a folder of the user's ("elsewhere") that links in the application's folders
// lead to: nothing there may change.
class OwnFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(data.isValid() && elsewhere.isValid());
        AppPaths::setApplicationSupportForTesting(data.path());
        put(elsewhere.filePath("precious.txt"), "the user's");
        put(elsewhere.filePath("inner/deeper.txt"), "also the user's");
        QDir().mkpath(data.filePath("Tessarine"));
    }
    void TearDown() override { AppPaths::setApplicationSupportForTesting(QString()); }
    void expectElsewhereUntouched()
    {
        EXPECT_EQ(QDir(elsewhere.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  (QStringList{"inner", "precious.txt"}));
        EXPECT_EQ(contents(elsewhere.filePath("precious.txt")), "the user's");
        EXPECT_EQ(contents(elsewhere.filePath("inner/deeper.txt")), "also the user's");
    }
    QString own(const QString& relative) const { return data.filePath("Tessarine/" + relative); }

    QTemporaryDir data;
    QTemporaryDir elsewhere;
};

} // namespace

// A link where a file of the application's should be is set aside (still leading where it led) and a file of the
// application's takes its place; a write never goes through it.
TEST_F(OwnFilesTest, ALinkInPlaceOfAFileIsSetAsideAndReplaced)
{
    ASSERT_TRUE(QFile::link(elsewhere.filePath("precious.txt"), own("actionlog.json")));
    Error error;
    ASSERT_TRUE(OwnFiles::write(own("actionlog.json"), "{\"user\":\"ann\"}", &error)) << error.message.toStdString();
    EXPECT_FALSE(QFileInfo(own("actionlog.json")).isSymLink());
    EXPECT_EQ(contents(own("actionlog.json")), "{\"user\":\"ann\"}");
    EXPECT_EQ(QFileInfo(own("actionlog.json.link")).symLinkTarget(), elsewhere.filePath("precious.txt"));
    // A second link planted later goes aside under another name.
    QFile::remove(own("actionlog.json"));
    ASSERT_TRUE(QFile::link(elsewhere.filePath("precious.txt"), own("actionlog.json")));
    ASSERT_TRUE(OwnFiles::write(own("actionlog.json"), "again"));
    EXPECT_TRUE(QFileInfo(own("actionlog.json.link-2")).isSymLink());
    // Nor is one read: a link planted in place of a queue is set aside first, and the read finds no file.
    ASSERT_TRUE(QFile::link(elsewhere.filePath("precious.txt"), own("deletionqueue.json")));
    EXPECT_FALSE(OwnFiles::read(own("deletionqueue.json"), 1024));
    EXPECT_TRUE(QFileInfo(own("deletionqueue.json.link")).isSymLink());
    put(own("deletionqueue.json"), "[]");
    EXPECT_EQ(OwnFiles::read(own("deletionqueue.json"), 1024), QByteArray("[]"));
    expectElsewhereUntouched();
}

// A link in place of a folder of the application's is set aside before anything is written below it. The
// application's folder itself may be the user's own link (the user moved it): it is followed.
TEST_F(OwnFilesTest, ALinkInPlaceOfAFolderIsSetAsideBeforeAnythingLandsBelowIt)
{
    ASSERT_TRUE(QFile::link(elsewhere.path(), own("Crashes")));
    ASSERT_TRUE(OwnFiles::write(own("Crashes/crashreporter.json"), "{}"));
    EXPECT_TRUE(QFileInfo(own("Crashes")).isDir());
    EXPECT_FALSE(QFileInfo(own("Crashes")).isSymLink());
    EXPECT_EQ(contents(own("Crashes/crashreporter.json")), "{}");
    expectElsewhereUntouched();

    QDir(data.filePath("Tessarine")).removeRecursively();
    QTemporaryDir moved;
    ASSERT_TRUE(QFile::link(moved.path(), data.filePath("Tessarine")));
    ASSERT_TRUE(OwnFiles::write(own("uploadqueue/queue.json"), "[]"));
    EXPECT_TRUE(QFileInfo(data.filePath("Tessarine")).isSymLink());
    EXPECT_EQ(contents(moved.filePath("uploadqueue/queue.json")), "[]");
    expectElsewhereUntouched();
}

// Removing a folder of the application's that is a link sets the link aside; a folder's links inside go as links.
TEST_F(OwnFilesTest, RemovingNeverFollowsALink)
{
    ASSERT_TRUE(QFile::link(elsewhere.path() + "/", own("BlankTemplateAssets")));
    EXPECT_TRUE(OwnFiles::remove(own("BlankTemplateAssets/")));
    EXPECT_FALSE(QFileInfo::exists(own("BlankTemplateAssets")) || QFileInfo(own("BlankTemplateAssets")).isSymLink());
    EXPECT_TRUE(QFileInfo(own("BlankTemplateAssets.link")).isSymLink());
    expectElsewhereUntouched();

    QDir().mkpath(own("cache"));
    ASSERT_TRUE(QFile::link(elsewhere.path(), own("cache/inside")));
    ASSERT_TRUE(QFile::link(elsewhere.filePath("precious.txt"), own("cache/file")));
    EXPECT_TRUE(OwnFiles::remove(own("cache")));
    EXPECT_FALSE(QFileInfo::exists(own("cache")));
    expectElsewhereUntouched();
}

// The plain writer never writes through a link either: the new file replaces the link under the name.
TEST_F(OwnFilesTest, AnAtomicWriteReplacesALinkInsteadOfWritingThroughIt)
{
    const QString outside = data.filePath("out.json");
    ASSERT_TRUE(QFile::link(elsewhere.filePath("precious.txt"), outside));
    ASSERT_TRUE(AtomicFile::write(outside, "new"));
    EXPECT_FALSE(QFileInfo(outside).isSymLink());
    EXPECT_EQ(contents(outside), "new");
    expectElsewhereUntouched();
}

// The settings file holds the sign-in token: a link in its place (there at the start, or put there while the
// application runs) or in place of its folder is set aside before the settings are read or written.
TEST_F(OwnFilesTest, TheSettingsAreNeverWrittenThroughALink)
{
    const QString folder = data.filePath("config/Tessarine");
    QDir().mkpath(QFileInfo(folder).path());
    ASSERT_TRUE(QFile::link(elsewhere.path(), folder));
    {
        UserDefaults defaults(folder + "/Tessarine.conf");
        defaults.setValue("corvikAuthToken", "SECRET");
        EXPECT_FALSE(QFileInfo(folder).isSymLink());
        EXPECT_TRUE(contents(folder + "/Tessarine.conf").contains("SECRET"));
    }
    expectElsewhereUntouched();

    const QString store = data.filePath("config2/Tessarine.conf");
    QDir().mkpath(QFileInfo(store).path());
    ASSERT_TRUE(QFile::link(elsewhere.filePath("precious.txt"), store));
    UserDefaults defaults(store);
    defaults.setValue("corvikAuthToken", "SECRET");
    EXPECT_FALSE(QFileInfo(store).isSymLink());
    EXPECT_TRUE(contents(store).contains("SECRET"));
    // Swapped for a link while running.
    QFile::remove(store);
    ASSERT_TRUE(QFile::link(elsewhere.filePath("precious.txt"), store));
    defaults.setValue("displayName", "Ann");
    EXPECT_FALSE(QFileInfo(store).isSymLink());
    EXPECT_TRUE(contents(store).contains("displayName=Ann"));
    EXPECT_TRUE(contents(store).contains("SECRET")) << "what the store held is kept";
    EXPECT_EQ(QFile::permissions(store) & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
              QFileDevice::Permissions());
    expectElsewhereUntouched();
}

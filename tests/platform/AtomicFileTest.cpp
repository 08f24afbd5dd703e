#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/AtomicFile.h"
#include "support/QtPrinters.h"

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

class AtomicFileTest : public ::testing::Test {
protected:
    void TearDown() override { AtomicFile::setFaultInjectorForTesting({}); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(AtomicFileTest, WritesAndReplacesLeavingNoTemporaryFiles)
{
    const QString path = dir.filePath("docfile.qvd");
    Error error;
    ASSERT_TRUE(AtomicFile::write(path, "first", &error)) << error.message.toStdString();
    EXPECT_EQ(contents(path), "first");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);

    ASSERT_TRUE(AtomicFile::write(path, "second, longer", &error));
    EXPECT_EQ(contents(path), "second, longer");
    ASSERT_TRUE(AtomicFile::write(path, QByteArray(), &error));
    EXPECT_EQ(contents(path), QByteArray());
    EXPECT_EQ(entries(dir.path()), QStringList{"docfile.qvd"});
    // The replacement keeps the permissions of the file it replaces.
    const auto modeBits = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                          QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    EXPECT_EQ(QFile::permissions(path) & modeBits, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
}

TEST_F(AtomicFileTest, FailureBeforeTheRenameLeavesTheOldFileByteIdentical)
{
    const QString path = dir.filePath("docfile.qvd");
    const QByteArray old("{\"screens\":[1,2,3]}\n\0binary", 26);
    ASSERT_TRUE(AtomicFile::write(path, old));

    QString injectedFor;
    AtomicFile::setFaultInjectorForTesting([&](const QString& p) {
        injectedFor = p;
        return true;
    });
    Error error;
    EXPECT_FALSE(AtomicFile::write(path, QByteArray(1 << 20, 'x'), &error));
    EXPECT_EQ(injectedFor, path);
    EXPECT_EQ(contents(path), old);
    EXPECT_EQ(entries(dir.path()), QStringList{"docfile.qvd"}); // the temporary file is gone too
    EXPECT_EQ(error.domain, AtomicFile::errorDomain);
    EXPECT_EQ(error.code, AtomicFile::CannotWrite);
    EXPECT_TRUE(error.message.contains(path));
    EXPECT_EQ(error.userInfo.value("path").toString(), path);
}

TEST_F(AtomicFileTest, UnwritableTargetsAreErrorsAndChangeNothing)
{
    const QString regularFile = dir.filePath("plain");
    ASSERT_TRUE(AtomicFile::write(regularFile, "keep"));
    QDir(dir.path()).mkdir("folder");

    const QString targets[] = {
        dir.filePath("missing/docfile.qvd"), // no such folder
        regularFile + "/docfile.qvd",        // "folder" is a regular file
        dir.filePath("folder"),              // the target is a folder
        QString(),
    };
    for (const QString& target : targets) {
        SCOPED_TRACE(target.toStdString());
        Error error;
        EXPECT_FALSE(AtomicFile::write(target, "data", &error));
        EXPECT_FALSE(error.isNull());
        EXPECT_FALSE(error.message.isEmpty());
    }
    EXPECT_EQ(contents(regularFile), "keep");
    EXPECT_EQ(entries(dir.path()), (QStringList{"folder", "plain"}));
    EXPECT_TRUE(entries(dir.filePath("folder")).isEmpty());
}

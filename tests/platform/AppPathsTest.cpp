#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "platform/AppPaths.h"
#include "support/QtPrinters.h"
#include "support/TestEnvironment.h"

TEST(AppPaths, FollowTheXdgDataFolderAndTheTestOverrides)
{
    // The test main points XDG_DATA_HOME at a private folder.
    EXPECT_EQ(AppPaths::applicationSupport(), TestEnvironment::root() + "/data");

    const QFileInfo temporary(AppPaths::temporary());
    EXPECT_TRUE(temporary.isDir());
    EXPECT_EQ(temporary.permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup | QFile::WriteGroup),
              QFile::Permissions());
    EXPECT_EQ(AppPaths::temporary(), temporary.filePath()); // one folder per process

    QTemporaryDir dir;
    AppPaths::setApplicationSupportForTesting(dir.path() + "/support/");
    AppPaths::setTemporaryForTesting(dir.path() + "/tmp");
    EXPECT_EQ(AppPaths::applicationSupport(), dir.path() + "/support");
    EXPECT_TRUE(QFileInfo(dir.path() + "/support").isDir()); // made on first use
    EXPECT_EQ(AppPaths::temporary(), dir.path() + "/tmp");
    AppPaths::setApplicationSupportForTesting({});
    AppPaths::setTemporaryForTesting({});
    EXPECT_EQ(AppPaths::applicationSupport(), TestEnvironment::root() + "/data");
}

#include <gtest/gtest.h>

#include <cstdio>

#include <QCoreApplication>
#include <QNetworkAccessManager>

#include "foundation/ApplicationNetworkAccess.h"
#include "support/TestEnvironment.h"

// Run by the next test in a child process, whose application goes away when its tests are done.
TEST(ApplicationNetworkAccessChild, DISABLED_ReportsWhenItsManagersGo)
{
    if (qEnvironmentVariableIsEmpty("TESS_REPORT_MANAGER_END"))
        GTEST_SKIP() << "run by ManagersGoWhileTheApplicationIsStillWhole";
    for (int i = 0; i < 2; ++i) {
        QObject::connect(ApplicationNetworkAccess::newManager(), &QObject::destroyed, [] {
            std::fprintf(stderr, "manager deleted, application %s\n",
                         QCoreApplication::instance() ? "present" : "gone");
        });
    }
}

// A manager's transfer thread may still be handling a connection closed at exit; the manager (and that thread)
// must be gone before the application is.
TEST(ApplicationNetworkAccess, ManagersGoWhileTheApplicationIsStillWhole)
{
    const auto child = TestEnvironment::runTestsInChildProcess(QStringLiteral("ApplicationNetworkAccessChild.*"),
                                                               {{QStringLiteral("TESS_REPORT_MANAGER_END"), "1"}});
    ASSERT_TRUE(child.finished);
    const QString& output = child.output;
    EXPECT_EQ(child.exitCode, 0) << qPrintable(output);
    EXPECT_EQ(output.count(QStringLiteral("manager deleted, application present")), 2) << qPrintable(output);
    EXPECT_FALSE(output.contains(QStringLiteral("application gone"))) << qPrintable(output);
}

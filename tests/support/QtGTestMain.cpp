#include <gtest/gtest.h>

#include <QApplication>

#include "support/TestEnvironment.h"

int main(int argc, char** argv)
{
    TestEnvironment::isolateUserFolders();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tessarine"));
    QApplication::setApplicationName(QStringLiteral("Tessarine"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

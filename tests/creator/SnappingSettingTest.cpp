#include <QAction>
#include <QJsonArray>
#include <QJsonObject>
#include <QMenuBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "app/AppStartupHooks.h"
#include "app/QVRActionLog.h"
#include "app/QVRMainMenu.h"
#include "creator/CreatorLibrary.h"
#include "creator/snapping/SnappingGrid.h"
#include "creator/snapping/SnappingUtils.h"
#include "platform/UserDefaults.h"

TEST(SnappingSetting, TheEditMenuItemTogglesLogsAndKeepsTheChoice)
{
    QTemporaryDir folder;
    const QString defaults = folder.filePath(QStringLiteral("defaults.conf"));
    UserDefaults::setStoreFileForTesting(defaults);
    QVRActionLog log(folder.filePath(QStringLiteral("actionlog.json")),
                     [](const QByteArray&, std::function<void(bool)>) {});
    QVRActionLog::setSharedForTesting(&log);
    AppStartupHooks::resetForTesting();
    registerCreatorLibrary();
    auto& hooks = AppStartupHooks::shared();
    ASSERT_TRUE(hooks.snappingDisabled);
    ASSERT_TRUE(hooks.menuCommands.count(QStringLiteral("toggleSnapping")));

    QVRMainMenu::setSnappingDisabledQuery([] { return AppStartupHooks::shared().snappingDisabled(); });
    std::unique_ptr<QMenuBar> bar(QVRMainMenu::createMenuBar(nullptr));
    const auto title = [&] {
        QVRMainMenu::updateTitles();
        QAction* item = QVRMainMenu::action(bar.get(), QStringLiteral("toggleSnapping"));
        return item ? QVRMainMenu::plainText(item) : QString();
    };
    EXPECT_FALSE(hooks.snappingDisabled());
    EXPECT_EQ(title(), QStringLiteral("Disable Snap Guides"));

    hooks.menuCommands[QStringLiteral("toggleSnapping")]();
    EXPECT_TRUE(hooks.snappingDisabled());
    EXPECT_TRUE(SnappingUtils::sharedSnappingGrid().snappingIsDisabled());
    EXPECT_EQ(title(), QStringLiteral("Enable Snap Guides"));

    // The choice outlives the process: a fresh store on the same file reads it back.
    UserDefaults::setStoreFileForTesting(defaults);
    EXPECT_TRUE(SnappingUtils::defaultSnappingIsDisabled());

    hooks.menuCommands[QStringLiteral("toggleSnapping")]();
    EXPECT_FALSE(hooks.snappingDisabled());
    EXPECT_FALSE(SnappingUtils::sharedSnappingGrid().snappingIsDisabled());
    EXPECT_EQ(title(), QStringLiteral("Disable Snap Guides"));

    QStringList results;
    for (const auto& event : log.backlog()) {
        const QJsonObject record = event.toObject();
        if (record.value(QStringLiteral("name")).toString() == QStringLiteral("Snap Guides Toggled"))
            results << record.value(QStringLiteral("parameters"))
                           .toObject()
                           .value(QStringLiteral("Toggle Result"))
                           .toString();
    }
    EXPECT_EQ(results, QStringList({QStringLiteral("Disabled"), QStringLiteral("Enabled")}));

    bar.reset();
    QVRMainMenu::resetForTesting();
    AppStartupHooks::resetForTesting();
    QVRActionLog::setSharedForTesting(nullptr);
    UserDefaults::setStoreFileForTesting(QString());
}

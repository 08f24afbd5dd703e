#include <gtest/gtest.h>

#include "platform/WebEngineSandbox.h"

namespace {

using Conditions = WebEngineSandbox::Conditions;

// Restores the engine's sandbox variable after a test.
class ScopedSandboxVariable {
public:
    ScopedSandboxVariable()
        : m_set(qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        , m_value(qgetenv("QTWEBENGINE_DISABLE_SANDBOX"))
    {
        qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
    }
    ~ScopedSandboxVariable()
    {
        if (m_set)
            qputenv("QTWEBENGINE_DISABLE_SANDBOX", m_value);
        else
            qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
    }

private:
    bool m_set;
    QByteArray m_value;
};

TEST(WebEngineSandbox, RunsWithoutItWhereItCannotStartAndSaysWhy)
{
    Conditions root;
    root.runningAsRoot = true;
    root.userNamespaces = true;
    const auto asRoot = WebEngineSandbox::decide(root);
    EXPECT_TRUE(asRoot.runWithoutSandbox);
    EXPECT_TRUE(asRoot.reason.contains(QStringLiteral("root")));

    Conditions container;
    container.userNamespaces = false;
    const auto inContainer = WebEngineSandbox::decide(container);
    EXPECT_TRUE(inContainer.runWithoutSandbox);
    EXPECT_TRUE(inContainer.reason.contains(QStringLiteral("namespaces")));

    Conditions requested;
    requested.disabledByEngineSwitch = true;
    EXPECT_TRUE(WebEngineSandbox::decide(requested).runWithoutSandbox);
}

TEST(WebEngineSandbox, AnOrdinaryUserKeepsIt)
{
    Conditions user;
    user.userNamespaces = true;
    EXPECT_FALSE(WebEngineSandbox::decide(user).runWithoutSandbox);
    EXPECT_TRUE(WebEngineSandbox::decide(user).reason.isEmpty());
    // Where the system does not tell, the engine tries its sandbox.
    EXPECT_FALSE(WebEngineSandbox::decide(Conditions{}).runWithoutSandbox);
}

TEST(WebEngineSandbox, ApplyingTheDecisionTurnsTheSandboxOffForTheEngineOnlyWhenNeeded)
{
    ScopedSandboxVariable restore;
    Conditions user;
    user.userNamespaces = true;
    WebEngineSandbox::apply(user);
    EXPECT_FALSE(qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"));

    Conditions root;
    root.runningAsRoot = true;
    const auto decision = WebEngineSandbox::apply(root);
    EXPECT_TRUE(decision.runWithoutSandbox);
    EXPECT_EQ(qgetenv("QTWEBENGINE_DISABLE_SANDBOX"), QByteArray("1"));
    // The switch, once set, is read back as this process's own condition.
    EXPECT_TRUE(WebEngineSandbox::currentConditions().disabledByEnvironment);
}

} // namespace

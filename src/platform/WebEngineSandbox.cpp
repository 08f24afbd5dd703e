#include "platform/WebEngineSandbox.h"

#include <unistd.h>

#include <QFile>

#include "platform/PlatformLogging.h"

namespace {

constexpr char kDisableVariable[] = "QTWEBENGINE_DISABLE_SANDBOX";
constexpr char kFlagsVariable[] = "QTWEBENGINE_CHROMIUM_FLAGS";

std::optional<long> readNumber(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool ok = false;
    const long value = file.readAll().trimmed().toLong(&ok);
    return ok ? std::optional<long>(value) : std::nullopt;
}

} // namespace

WebEngineSandbox::Conditions WebEngineSandbox::currentConditions()
{
    Conditions conditions;
    conditions.runningAsRoot = ::geteuid() == 0;
    const QByteArray disabled = qgetenv(kDisableVariable);
    conditions.disabledByEnvironment = !disabled.isEmpty() && disabled != "0";
    conditions.disabledByEngineSwitch = qgetenv(kFlagsVariable).contains("--no-sandbox");
    // Either switch turns the namespaces off; without the files nothing is known.
    const auto maxNamespaces = readNumber(QStringLiteral("/proc/sys/user/max_user_namespaces"));
    const auto cloneAllowed = readNumber(QStringLiteral("/proc/sys/kernel/unprivileged_userns_clone"));
    const auto apparmorRestricted =
        readNumber(QStringLiteral("/proc/sys/kernel/apparmor_restrict_unprivileged_userns"));
    if (maxNamespaces || cloneAllowed || apparmorRestricted)
        conditions.userNamespaces =
            maxNamespaces.value_or(1) > 0 && cloneAllowed.value_or(1) != 0 && apparmorRestricted.value_or(0) == 0;
    return conditions;
}

WebEngineSandbox::Decision WebEngineSandbox::decide(const Conditions& conditions)
{
    if (conditions.disabledByEnvironment || conditions.disabledByEngineSwitch)
        return {true, QStringLiteral("the sandbox was switched off for this run")};
    if (conditions.runningAsRoot)
        return {true, QStringLiteral("the application runs as root, where the web engine's sandbox cannot start")};
    if (conditions.userNamespaces == false)
        return {true, QStringLiteral("this system allows no unprivileged user namespaces, which the web engine's "
                                     "sandbox needs")};
    return {};
}

WebEngineSandbox::Decision WebEngineSandbox::apply()
{
    return apply(currentConditions());
}

WebEngineSandbox::Decision WebEngineSandbox::apply(const Conditions& conditions)
{
    const Decision decision = decide(conditions);
    if (decision.runWithoutSandbox) {
        qputenv(kDisableVariable, "1");
        qCWarning(lcPlatform).noquote() << "web pages run without the web engine's sandbox:" << decision.reason;
    }
    return decision;
}

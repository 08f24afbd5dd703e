#include "app/QVRWindowManagerManagedWindow.h"

#include <array>
#include <cctype>

#include <QMetaMethod>
#include <QObject>

namespace {

constexpr std::array<QVRManagedWindowCommand, 35> kCommands{{
    {"cut", "canCut", "performCut"},
    {"copy", "canCopy", "performCopy"},
    {"paste", "canPaste", "performPaste"},
    {"deleteItems", "canDelete", "performDelete"},
    {"selectAll", "canSelectAll", "performSelectAll"},
    {"sendItemBackward", "canSendBackward", "performSendBackward"},
    {"sendItemToBack", "canSendToBack", "performSendToBack"},
    {"bringItemForward", "canBringForward", "performBringForward"},
    {"bringItemToFront", "canBringToFront", "performBringToFront"},
    {"undo", "canUndo", "performUndo"},
    {"redo", "canRedo", "performRedo"},
    {"changeBackgroundColor", "canChangeBackgroundColor", "performChangeBackgroundColor"},
    {"deleteScreen", "canDeleteScreen", "performDeleteScreen"},
    {"duplicateScreen", "canDuplicateScreen", "performDuplicateScreen"},
    {"nudgeRight", "canNudgeRight", "performNudgeRight"},
    {"nudgeLeft", "canNudgeLeft", "performNudgeLeft"},
    {"nudgeUp", "canNudgeUp", "performNudgeUp"},
    {"nudgeDown", "canNudgeDown", "performNudgeDown"},
    {"shiftRight", "canShiftRight", "performShiftRight"},
    {"shiftLeft", "canShiftLeft", "performShiftLeft"},
    {"shiftUp", "canShiftUp", "performShiftUp"},
    {"shiftDown", "canShiftDown", "performShiftDown"},
    {"exportToPDF", "canExportToPDF", "performExportToPDF"},
    {"print", "canPrint", "performPrint"},
    {"toggleXYPalette", "canToggleXYPalette", "performToggleXYPalette"},
    {"toggleDockedPopover", nullptr, "performToggleDockedPopover"},
    {"showiPadPreview", "canShowiPadPreview", "performShowiPadPreview"},
    {"saveDraft", "canSaveDraft", "performSaveDraft"},
    {"publish", "canPublish", "performPublish"},
    {"unpublish", "canUnpublish", "performUnpublish"},
    {"setPresenterNote", "canSetPresenterNote", "performSetPresenterNote"},
    {"setScreenAutoAdvanceSettings", "canSetScreenAutoAdvanceSettings", "performSetScreenAutoAdvanceSettings"},
    {"setFlowModelAutoAdvanceSettings", "canSetFlowModelAutoAdvanceSettings", "performSetFlowModelAutoAdvanceSettings"},
    {"showScreenPropertiesMenu", nullptr, "performShowScreenProperties"},
    {"refresh", "canRefresh", "performRefresh"},
}};

std::span<const QVRManagedWindowCommand> routed()
{
    return kCommands;
}

int methodIndex(const QMetaObject* meta, const char* name)
{
    for (int i = meta->methodCount() - 1; i >= 0; --i) {
        if (meta->method(i).name() == name)
            return i;
    }
    return -1;
}

bool isValidator(const QMetaMethod& method)
{
    return method.parameterCount() == 0 && method.returnType() == QMetaType::Bool;
}

bool isPerformer(const QMetaMethod& method)
{
    return method.parameterCount() == 1 && method.parameterType(0) == QMetaType::UInt;
}

} // namespace

std::span<const QVRManagedWindowCommand> QVRWindowManagerManagedWindow::commands()
{
    return routed();
}

const QVRManagedWindowCommand* QVRWindowManagerManagedWindow::command(const QString& action)
{
    for (const QVRManagedWindowCommand& command : routed()) {
        if (action == QLatin1String(command.action))
            return &command;
    }
    return nullptr;
}

bool QVRWindowManagerManagedWindow::respondsTo(const QObject* window, const char* method)
{
    return window && method && methodIndex(window->metaObject(), method) >= 0;
}

std::optional<bool> QVRWindowManagerManagedWindow::callValidator(QObject* window, const char* validator)
{
    if (!window || !validator)
        return std::nullopt;
    const int index = methodIndex(window->metaObject(), validator);
    if (index < 0)
        return std::nullopt;
    const QMetaMethod method = window->metaObject()->method(index);
    if (!isValidator(method))
        return std::nullopt;
    bool answer = false;
    if (!method.invoke(window, Qt::DirectConnection, Q_RETURN_ARG(bool, answer)))
        return std::nullopt;
    return answer;
}

bool QVRWindowManagerManagedWindow::callPerformer(QObject* window, const char* performer, uint modifierMask)
{
    if (!window || !performer)
        return false;
    const int index = methodIndex(window->metaObject(), performer);
    if (index < 0)
        return false;
    const QMetaMethod method = window->metaObject()->method(index);
    if (!isPerformer(method))
        return false;
    return method.invoke(window, Qt::DirectConnection, Q_ARG(uint, modifierMask));
}

QStringList QVRWindowManagerManagedWindow::unknownMethods(const QObject* window)
{
    QStringList unknown;
    if (!window)
        return unknown;
    const QMetaObject* meta = window->metaObject();
    for (int i = QObject::staticMetaObject.methodCount(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        const QByteArray name = method.name();
        const bool looksLikeValidator =
            name.startsWith("can") && name.size() > 3 && std::isupper(static_cast<unsigned char>(name[3]));
        const bool looksLikePerformer =
            name.startsWith("perform") && name.size() > 7 && std::isupper(static_cast<unsigned char>(name[7]));
        if (!looksLikeValidator && !looksLikePerformer)
            continue;
        bool known = false;
        for (const QVRManagedWindowCommand& command : routed()) {
            if (looksLikeValidator && command.validator && name == command.validator)
                known = isValidator(method);
            if (looksLikePerformer && name == command.performer)
                known = isPerformer(method);
            if (known)
                break;
        }
        if (!known)
            unknown.append(QString::fromLatin1(method.methodSignature()));
    }
    return unknown;
}

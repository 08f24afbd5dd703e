#pragma once

#include <functional>

#include <QList>
#include <QString>

class QObject;
class QWidget;

// Stand-in for interface files: a builder registered under a name makes the top-level views of that "file" in
// code (or from a compiled-in Designer form), connecting them to the owner it is given. Registration is explicit
// (call registerNib from the class's own code before its first load): a static registrar in a static library
// would be dropped by the linker.
namespace NibRegistry {

using Builder = std::function<QList<QWidget*>(QObject* owner)>;

void registerNib(const QString& name, Builder builder);
void unregisterNib(const QString& name);
bool hasNib(const QString& name);

// Makes the top-level views of the named file for `owner`; empty when no builder is registered.
QList<QWidget*> instantiate(const QString& name, QObject* owner);

// Loads the file named after the view's class (its metaObject's class name) with the view as owner. For each
// top-level view: the receiver takes that view's size (keeping its origin), and the view is added at the top-left
// as a child that follows the receiver's width and height. The first one becomes the receiver's nibView.
// Returns false (and changes nothing) when no such file is registered.
bool loadFromNib(QWidget* view);
bool loadFromNibWithNibName(QWidget* view, const QString& name);

// The first top-level view loaded into `view`, or nullptr.
QWidget* nibView(const QWidget* view);

} // namespace NibRegistry

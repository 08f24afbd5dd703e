#include "controls/NibRegistry.h"

#include <QEvent>
#include <QHash>
#include <QMutex>
#include <QPointer>
#include <QWidget>

#include "controls/ControlsLogging.h"

namespace {

const char* const kNibViewProperty = "tess_nibView";

QMutex& registryMutex()
{
    static QMutex mutex;
    return mutex;
}

QHash<QString, NibRegistry::Builder>& registry()
{
    static QHash<QString, NibRegistry::Builder> builders;
    return builders;
}

// Keeps the loaded views' width and height following the receiver's, by the receiver's change in size (the
// flexible-width-and-height autoresizing of the original interface files).
class FollowParentSize : public QObject {
public:
    FollowParentSize(QWidget* parent, QWidget* child)
        : QObject(child)
        , m_parent(parent)
        , m_child(child)
    {
        m_lastSize = parent->size();
        parent->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_parent && event->type() == QEvent::Resize && m_child) {
            const QSize delta = m_parent->size() - m_lastSize;
            m_lastSize = m_parent->size();
            m_child->resize((m_child->size() + delta).expandedTo(QSize(0, 0)));
        }
        return false;
    }

private:
    QPointer<QWidget> m_parent;
    QPointer<QWidget> m_child;
    QSize m_lastSize;
};

} // namespace

namespace NibRegistry {

void registerNib(const QString& name, Builder builder)
{
    QMutexLocker lock(&registryMutex());
    registry().insert(name, std::move(builder));
}

void unregisterNib(const QString& name)
{
    QMutexLocker lock(&registryMutex());
    registry().remove(name);
}

bool hasNib(const QString& name)
{
    QMutexLocker lock(&registryMutex());
    return registry().contains(name);
}

QList<QWidget*> instantiate(const QString& name, QObject* owner)
{
    Builder builder;
    {
        QMutexLocker lock(&registryMutex());
        builder = registry().value(name);
    }
    if (!builder) {
        qCWarning(lcControls) << "no interface registered under" << name;
        return {};
    }
    return builder(owner);
}

bool loadFromNib(QWidget* view)
{
    return view && loadFromNibWithNibName(view, QString::fromLatin1(view->metaObject()->className()));
}

bool loadFromNibWithNibName(QWidget* view, const QString& name)
{
    if (!view)
        return false;
    const QList<QWidget*> views = instantiate(name, view);
    if (views.isEmpty())
        return false;
    for (QWidget* top : views) {
        if (!top)
            continue;
        view->resize(top->size());
        top->setParent(view);
        top->move(0, 0);
        top->show();
        new FollowParentSize(view, top); // owned by `top`
        if (!nibView(view))
            view->setProperty(kNibViewProperty, QVariant::fromValue<QObject*>(top));
    }
    return true;
}

QWidget* nibView(const QWidget* view)
{
    if (!view)
        return nullptr;
    // The property holds a plain pointer: trust it only while that object is still one of the view's children.
    QObject* candidate = view->property(kNibViewProperty).value<QObject*>();
    if (!candidate || !view->children().contains(candidate))
        return nullptr;
    return qobject_cast<QWidget*>(candidate);
}

} // namespace NibRegistry

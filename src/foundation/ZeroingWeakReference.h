#pragma once

#include <memory>
#include <type_traits>

#include <QObject>
#include <QPointer>

// A non-owning reference that answers nothing once its object is gone. Blocks that may outlive a view or
// a model object capture one of these instead of the object.
//  - QObject subclasses are tracked through QPointer; obj() returns a plain pointer (main thread only,
//    like the objects themselves).
//  - Objects under std::shared_ptr are tracked through std::weak_ptr; obj() returns a shared_ptr that keeps
//    the object alive for as long as the caller holds it.
template <class T> class ZeroingWeakReference {
    static constexpr bool kIsQObject = std::is_base_of_v<QObject, T>;

public:
    ZeroingWeakReference() = default;

    static ZeroingWeakReference referenceWithObject(T* object) requires kIsQObject
    {
        ZeroingWeakReference reference;
        reference.m_object = object;
        return reference;
    }

    static ZeroingWeakReference referenceWithObject(const std::shared_ptr<T>& object) requires(!kIsQObject)
    {
        ZeroingWeakReference reference;
        reference.m_object = object;
        return reference;
    }

    auto obj() const
    {
        if constexpr (kIsQObject)
            return m_object.data();
        else
            return m_object.lock();
    }

    bool isGone() const
    {
        if constexpr (kIsQObject)
            return m_object.isNull();
        else
            return m_object.expired();
    }

private:
    std::conditional_t<kIsQObject, QPointer<T>, std::weak_ptr<T>> m_object;
};

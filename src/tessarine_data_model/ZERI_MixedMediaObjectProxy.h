#pragma once

#include <memory>

#include "tessarine_data_model/ObjectUpdateNotifier.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"

// The notifier of a proxy: it belongs to the proxy, so observations survive the object behind it being replaced.
// Its tracked object is the proxy.
class MMObjUpdateNotifierProxy : public ObjectUpdateNotifier {
public:
    explicit MMObjUpdateNotifierProxy(const ZERI_MixedMediaObjectProxy* proxy)
        : ObjectUpdateNotifier(static_cast<const void*>(proxy))
    {
    }
};

// The stable handle of a mixed-media object. Screens, views and selections hold proxies; the object behind one
// may be replaced by an object of another type (an empty object becoming an image once its content is set up)
// without anyone re-registering. Use object() or -> for the current object, as<T>() for its type's interface.
class ZERI_MixedMediaObjectProxy : public std::enable_shared_from_this<ZERI_MixedMediaObjectProxy> {
public:
    static std::shared_ptr<ZERI_MixedMediaObjectProxy> wrap(const std::shared_ptr<ZERI_MixedMediaObject>& object);

    ZERI_MixedMediaObjectProxy();
    ZERI_MixedMediaObjectProxy(const ZERI_MixedMediaObjectProxy&) = delete;
    ZERI_MixedMediaObjectProxy& operator=(const ZERI_MixedMediaObjectProxy&) = delete;

    const std::shared_ptr<ZERI_MixedMediaObject>& object() const { return m_object; }
    ZERI_MixedMediaObject* operator->() const { return m_object.get(); }
    template <class T> std::shared_ptr<T> as() const { return std::dynamic_pointer_cast<T>(m_object); }
    int type() const { return m_object->type(); }
    MMObjUpdateNotifierProxy& updateNotifier() { return m_notifier; }

    // Replaces the object by one of `type` carrying the same common state (id, frame, crop, rotation, action,
    // assets, gallery) and the type-specific state both types understand. Observers hear "type". False (and no
    // change) for a number outside the type table.
    bool changeType(int type);
    // Puts `object` behind the proxy in place of the current one, at the same place in the tree.
    void replaceObject(const std::shared_ptr<ZERI_MixedMediaObject>& object);

private:
    std::shared_ptr<ZERI_MixedMediaObject> m_object;
    MMObjUpdateNotifierProxy m_notifier;
};

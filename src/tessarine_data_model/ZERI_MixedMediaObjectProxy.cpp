#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

#include "tessarine_data_model/ModelJsonReader.h"

ZERI_MixedMediaObjectProxy::ZERI_MixedMediaObjectProxy()
    : m_notifier(this)
{
}

std::shared_ptr<ZERI_MixedMediaObjectProxy>
ZERI_MixedMediaObjectProxy::wrap(const std::shared_ptr<ZERI_MixedMediaObject>& object)
{
    if (!object)
        return nullptr;
    if (auto existing = object->proxy())
        return existing;
    auto proxy = std::make_shared<ZERI_MixedMediaObjectProxy>();
    proxy->m_object = object;
    object->m_proxy = proxy;
    return proxy;
}

bool ZERI_MixedMediaObjectProxy::changeType(int type)
{
    if (type == m_object->type())
        return true;
    auto replacement = ZERI_MixedMediaObject::makeObjectOfType(type);
    if (!replacement)
        return false;
    QJsonObject dict = m_object->jsonDictionary();
    dict.insert(QStringLiteral("type"), type);
    ModelReadStatus status;
    replacement->readFromReader(ModelJsonReader(dict, QString(), status), false);
    replaceObject(replacement);
    return true;
}

void ZERI_MixedMediaObjectProxy::replaceObject(const std::shared_ptr<ZERI_MixedMediaObject>& object)
{
    if (!object || object == m_object)
        return;
    const auto parent = m_object->parent();
    m_object->setParent(nullptr);
    m_object->m_proxy.reset();
    m_object = object;
    object->m_proxy = weak_from_this();
    object->setParent(parent);
    object->didChange(QStringLiteral("type"));
    object->invalidateScreenPreview();
}

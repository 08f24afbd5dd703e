#include "platform/leap/Config.h"

#include "platform/leap/ConfigStore.h"

namespace Leap {

namespace {

template <class T> T read(ConfigStore& store, const std::string& key)
{
    std::lock_guard lock(store.mutex);
    const auto found = store.values.find(key);
    if (found == store.values.end())
        return T();
    const T* value = std::get_if<T>(&found->second);
    return value ? *value : T();
}

template <class T> bool write(ConfigStore& store, const std::string& key, T value)
{
    if (key.empty())
        return false;
    std::lock_guard lock(store.mutex);
    store.values[key] = std::move(value);
    return true;
}

} // namespace

Config::Config()
    : m_store(std::make_shared<ConfigStore>())
{
}

Config::Config(std::shared_ptr<ConfigStore> store)
    : m_store(store ? std::move(store) : std::make_shared<ConfigStore>())
{
}

Config::ValueType Config::type(const std::string& key) const
{
    std::lock_guard lock(m_store->mutex);
    const auto found = m_store->values.find(key);
    if (found == m_store->values.end())
        return TYPE_UNKNOWN;
    static constexpr ValueType kTypes[] = {TYPE_BOOLEAN, TYPE_INT32, TYPE_FLOAT, TYPE_STRING};
    return kTypes[found->second.index()];
}

bool Config::getBool(const std::string& key) const
{
    return read<bool>(*m_store, key);
}
bool Config::setBool(const std::string& key, bool value)
{
    return write(*m_store, key, value);
}
std::int32_t Config::getInt32(const std::string& key) const
{
    return read<std::int32_t>(*m_store, key);
}
bool Config::setInt32(const std::string& key, std::int32_t value)
{
    return write(*m_store, key, value);
}
float Config::getFloat(const std::string& key) const
{
    return read<float>(*m_store, key);
}
bool Config::setFloat(const std::string& key, float value)
{
    return write(*m_store, key, value);
}
std::string Config::getString(const std::string& key) const
{
    return read<std::string>(*m_store, key);
}
bool Config::setString(const std::string& key, const std::string& value)
{
    return write(*m_store, key, value);
}

bool Config::save()
{
    return m_store->serviceConnected.load();
}

} // namespace Leap

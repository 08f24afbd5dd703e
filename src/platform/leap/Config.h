#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace Leap {

struct ConfigStore;

// Named settings of the tracking service. A handle: copies share one store. A default-constructed
// configuration has a store of its own and nothing to save it to.
class Config {
public:
    enum ValueType { TYPE_UNKNOWN = 0, TYPE_BOOLEAN = 1, TYPE_INT32 = 2, TYPE_FLOAT = 6, TYPE_STRING = 8 };

    Config();
    explicit Config(std::shared_ptr<ConfigStore> store);

    // TYPE_UNKNOWN for a key that was never set.
    ValueType type(const std::string& key) const;
    // Getters answer the zero value for an unknown key or one of another type. Setters replace the key's
    // value and type; only an empty key is refused.
    bool getBool(const std::string& key) const;
    bool setBool(const std::string& key, bool value);
    std::int32_t getInt32(const std::string& key) const;
    bool setInt32(const std::string& key, std::int32_t value);
    float getFloat(const std::string& key) const;
    bool setFloat(const std::string& key, float value);
    std::string getString(const std::string& key) const;
    bool setString(const std::string& key, const std::string& value);
    // Hands the settings to the service: false while no device is connected.
    bool save();

private:
    std::shared_ptr<ConfigStore> m_store;
};

} // namespace Leap

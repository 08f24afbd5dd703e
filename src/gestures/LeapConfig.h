#pragma once

#include <cstdint>

#include <QString>

#include "platform/leap/Config.h"

// The library's configuration value types, numbers unchanged; anything else is Unknown (0).
enum class LeapValueType : int { Unknown = 0, Boolean = 1, Int32 = 2, Float = 6, String = 8 };

// The tracking service's settings. A value: copies share the service's store. Keys go to the library as UTF-8.
class LeapConfig {
public:
    explicit LeapConfig(const Leap::Config& config);

    LeapValueType type(const QString& key) const;
    bool getBool(const QString& key) const;
    bool setBool(const QString& key, bool value);
    std::int32_t getInt32(const QString& key) const;
    bool setInt32(const QString& key, std::int32_t value);
    float getFloat(const QString& key) const;
    bool setFloat(const QString& key, float value);
    QString getString(const QString& key) const;
    bool setString(const QString& key, const QString& value);
    // False while no device is connected to save to.
    bool save();

    static LeapValueType convertFromLeapValueType(int libraryType);

private:
    Leap::Config m_config;
};

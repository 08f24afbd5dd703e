#include "gestures/LeapConfig.h"

namespace {

std::string utf8(const QString& key)
{
    return key.toStdString();
}

} // namespace

LeapConfig::LeapConfig(const Leap::Config& config)
    : m_config(config)
{
}

LeapValueType LeapConfig::type(const QString& key) const
{
    return convertFromLeapValueType(m_config.type(utf8(key)));
}
bool LeapConfig::getBool(const QString& key) const
{
    return m_config.getBool(utf8(key));
}
bool LeapConfig::setBool(const QString& key, bool value)
{
    return m_config.setBool(utf8(key), value);
}
std::int32_t LeapConfig::getInt32(const QString& key) const
{
    return m_config.getInt32(utf8(key));
}
bool LeapConfig::setInt32(const QString& key, std::int32_t value)
{
    return m_config.setInt32(utf8(key), value);
}
float LeapConfig::getFloat(const QString& key) const
{
    return m_config.getFloat(utf8(key));
}
bool LeapConfig::setFloat(const QString& key, float value)
{
    return m_config.setFloat(utf8(key), value);
}
QString LeapConfig::getString(const QString& key) const
{
    return QString::fromStdString(m_config.getString(utf8(key)));
}

bool LeapConfig::setString(const QString& key, const QString& value)
{
    return m_config.setString(utf8(key), value.toStdString());
}

bool LeapConfig::save()
{
    return m_config.save();
}

LeapValueType LeapConfig::convertFromLeapValueType(int libraryType)
{
    switch (libraryType) {
    case Leap::Config::TYPE_BOOLEAN:
        return LeapValueType::Boolean;
    case Leap::Config::TYPE_INT32:
        return LeapValueType::Int32;
    case Leap::Config::TYPE_FLOAT:
        return LeapValueType::Float;
    case Leap::Config::TYPE_STRING:
        return LeapValueType::String;
    default:
        return LeapValueType::Unknown;
    }
}

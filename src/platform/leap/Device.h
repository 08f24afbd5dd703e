#pragma once

#include <memory>
#include <string>

#include "platform/leap/Vector.h"

namespace Leap {

struct DeviceData {
    float horizontalViewAngle = 2.0f; // radians, full angle of the view pyramid in the x-y plane
    float verticalViewAngle = 2.0f;   // radians, in the z-y plane
    float range = 500;                // millimetres from the device's centre
};

// One physical controller. The view volume is a pyramid opening upwards from the device's centre, cut off
// at `range`. A handle: copies share one device and compare equal; the invalid device has no volume.
class Device {
public:
    Device() = default;
    explicit Device(std::shared_ptr<const DeviceData> data);

    static const Device& invalid();
    bool isValid() const { return m_data != nullptr; }

    float horizontalViewAngle() const;
    float verticalViewAngle() const;
    float range() const;
    // Distance from a point inside the view volume to its nearest boundary; 0 outside the volume.
    float distanceToBoundary(const Vector& position) const;

    friend bool operator==(const Device& a, const Device& b) { return a.m_data == b.m_data; }
    std::string toString() const;

private:
    std::shared_ptr<const DeviceData> m_data;
};

} // namespace Leap

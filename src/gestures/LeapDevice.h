#pragma once

#include <memory>

#include <QString>

#include "gestures/LeapVector.h"
#include "platform/leap/Device.h"

// One connected controller and its view volume.
class LeapDevice {
public:
    explicit LeapDevice(const Leap::Device& device);

    static std::shared_ptr<LeapDevice> invalid();

    float horizontalViewAngle() const { return m_device.horizontalViewAngle(); }
    float verticalViewAngle() const { return m_device.verticalViewAngle(); }
    float range() const { return m_device.range(); }
    bool isValid() const { return m_device.isValid(); }

    float distanceToBoundary(const LeapVector& position) const;
    bool equals(const LeapDevice& other) const { return m_device == other.m_device; }

    QString description() const;
    const Leap::Device& interfaceDevice() const { return m_device; }

private:
    Leap::Device m_device;
};

#include "gestures/LeapDevice.h"

LeapDevice::LeapDevice(const Leap::Device& device)
    : m_device(device)
{
}

std::shared_ptr<LeapDevice> LeapDevice::invalid()
{
    static const Leap::Device library = Leap::Device::invalid();
    return std::make_shared<LeapDevice>(library);
}

float LeapDevice::distanceToBoundary(const LeapVector& position) const
{
    return m_device.distanceToBoundary(position.toLeapVector());
}

QString LeapDevice::description() const
{
    return QString::fromLocal8Bit(m_device.toString());
}

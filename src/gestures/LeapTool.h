#pragma once

#include "gestures/LeapPointable.h"

// A pointable the library reports as a tool (a pen or a stick held over the device).
class LeapTool : public LeapPointable {
public:
    using LeapPointable::LeapPointable;

    static std::shared_ptr<LeapTool> invalid();
    // "Tool Id:<id>" or "Invalid Tool".
    QString description() const override;
};

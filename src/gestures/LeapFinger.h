#pragma once

#include "gestures/LeapPointable.h"

// A pointable the library reports as a finger.
class LeapFinger : public LeapPointable {
public:
    using LeapPointable::LeapPointable;

    static std::shared_ptr<LeapFinger> invalid();
    // "Finger Id:<id>" or "Invalid Finger".
    QString description() const override;
};

#pragma once

// Our own stand-in for the hand-tracking controller's library: the classes of namespace Leap that the
// gesture wrapper uses, with frames coming from a replaceable backend (see Controller and ScriptedBackend).

#include "platform/leap/Backend.h"
#include "platform/leap/Config.h"
#include "platform/leap/Controller.h"
#include "platform/leap/Device.h"
#include "platform/leap/Frame.h"
#include "platform/leap/FrameData.h"
#include "platform/leap/Gesture.h"
#include "platform/leap/Hand.h"
#include "platform/leap/InteractionBox.h"
#include "platform/leap/List.h"
#include "platform/leap/Listener.h"
#include "platform/leap/Matrix.h"
#include "platform/leap/Pointable.h"
#include "platform/leap/Screen.h"
#include "platform/leap/ScriptedBackend.h"
#include "platform/leap/Vector.h"

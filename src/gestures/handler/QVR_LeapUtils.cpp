#include "gestures/handler/QVR_LeapUtils.h"

#include <algorithm>
#include <cmath>

#include <QDialog>
#include <QWidget>

#include "app/QVRWindowManager.h"
#include "gestures/LeapFrame.h"
#include "gestures/LeapInteractionBox.h"
#include "gestures/LeapPointable.h"

namespace {

// Keeps absurd positions (a box of almost no size, a tip kilometres away) from overflowing the integer
// coordinates of the events and drawing built from the point.
constexpr double kLimit = 1.0e6;

double bounded(double value)
{
    if (!std::isfinite(value))
        return 0;
    return std::clamp(value, -kLimit, kLimit);
}

} // namespace

QPointF QVR_LeapUtils::centerForPointable(const std::shared_ptr<LeapPointable>& pointable,
                                          const std::shared_ptr<LeapInteractionBox>& box, const QWidget* window)
{
    if (!window || !pointable || !box)
        return {};
    const LeapVector n = box->normalizePoint(pointable->stabilizedTipPosition(), false);
    if (!std::isfinite(n.x()) || !std::isfinite(n.y()))
        return {};
    const float x = n.x() * float(window->width());
    const float y = (1.0f - n.y()) * float(window->height());
    return {bounded(x), bounded(y)};
}

bool QVR_LeapUtils::shouldAttachLeapHandlerViewToWindow(const QWidget* window, bool recurseUp)
{
    if (recurseUp)
        return shouldAttachLeapHandlerViewToWindow(window);
    if (!window)
        return false;
    const auto kind = QVRWindowManager::sharedInstance().kindOfWindow(window);
    return kind == QVRWindowManager::WindowKind::Creator || kind == QVRWindowManager::WindowKind::Viewer;
}

bool QVR_LeapUtils::shouldAttachLeapHandlerViewToWindow(const QWidget* window)
{
    if (shouldAttachLeapHandlerViewToWindow(window, false))
        return true;
    const auto* sheet = qobject_cast<const QDialog*>(window);
    if (!sheet || sheet->windowModality() != Qt::WindowModal || !sheet->parentWidget())
        return false;
    const QWidget* owner = sheet->parentWidget()->window();
    return owner != window && shouldAttachLeapHandlerViewToWindow(owner, false);
}

std::shared_ptr<LeapPointable> QVR_LeapUtils::getFrontmostPointableWithFrame(const std::shared_ptr<LeapFrame>& frame)
{
    if (!frame || frame->pointables().empty())
        return nullptr;
    return frame->pointables().front();
}

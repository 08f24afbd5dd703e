#pragma once

#include <memory>
#include <optional>

#include <QImage>
#include <QJsonObject>
#include <QPoint>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

#include "app/QVRActionLog.h"
#include "platform/NotificationCenter.h"

class QVR_SingleScreenArtBoardView;
class QWidget;
class ZERI_FlowScreenModel;
class ZERI_TessarineModel;

namespace creator_test {

// A document whose first flow holds `screens` screens with ids "S0", "S1", …; saving is off.
std::shared_ptr<ZERI_TessarineModel> makeDocument(int screens);

// Counts the posts of one notification name (any sender) and keeps the last user info.
struct PostCounter {
    explicit PostCounter(const QString& name);
    int count = 0;
    const void* lastSender = nullptr;
    QVariantMap lastUserInfo;
    NotificationObservation observation;
};

// Resizes the board until its scroll view's viewport is exactly `width` × `height` pixels.
void setViewportSize(QVR_SingleScreenArtBoardView& board, int width, int height);

// Sends a wheel event of `notches` notches (vertical angle delta) to the widget's centre.
void wheel(QWidget* target, double notches, Qt::KeyboardModifiers modifiers, bool horizontal = false);

// The colour's grey value at a pixel of the widget's picture.
int greyAt(const QImage& image, QPoint point);

// The shared action log, redirected to a temporary file for the test's lifetime.
struct CapturedActionLog {
    QTemporaryDir folder;
    QVRActionLog log{folder.filePath("actionlog.json"), [](const QByteArray&, std::function<void(bool)>) {}};
    CapturedActionLog() { QVRActionLog::setSharedForTesting(&log); }
    ~CapturedActionLog() { QVRActionLog::setSharedForTesting(nullptr); }
    // The parameters of the last event of that name; nullopt when there was none.
    std::optional<QJsonObject> find(const QString& name) const;
    // The same, empty when there was none.
    QJsonObject last(const QString& name) const { return find(name).value_or(QJsonObject()); }
};

} // namespace creator_test

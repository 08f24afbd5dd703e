#pragma once

#include <QString>

// A view shown over the viewer (a player) that receives a key press posts it to the viewer under this name,
// with itself as sender; the viewer's controller observes it and treats the key as a key press of the player.
inline const QString TessarineViewerViewKeyDownNotificationName =
    QStringLiteral("TessarineViewerViewKeyDownNotificationName");
// userInfo key of that notification: the key pressed, as a QKeyCombination.
inline const QString TessarineViewerViewKeyDownNotificationUserDictKey =
    QStringLiteral("TessarineViewerViewKeyDownNotificationUserDictKey");

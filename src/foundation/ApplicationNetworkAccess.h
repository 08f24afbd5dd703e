#pragma once

class QNetworkAccessManager;

// Network access managers that serve the application for its whole life.
class ApplicationNetworkAccess {
public:
    // A new manager owned by the application. It is deleted as the application starts to go, while the
    // application's event handling is still whole: a manager deleted with the application's other children would
    // go after that, and its transfer thread, still handling a connection the peer closed at exit, would deliver
    // events to an application already gone. Main thread only.
    static QNetworkAccessManager* newManager();
};

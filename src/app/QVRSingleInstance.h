#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;

// Keeps one running application per user data folder. The first process listens on a local socket whose name
// is derived from the data folder (so test runs with private folders never meet each other or the user's own
// instance); a later process hands its links to it and exits. The socket lives in a folder only the user can
// enter (socketFolder()), and neither side trusts a socket or a peer of another user: a process of another user
// can neither take the links nor pass for a running instance.
//
// Wire form: the client sends each link as one UTF-8 line and closes its side; the server answers "ok\n" once
// it has read every line. Lines longer than kMaxLineBytes and more than kMaxLinks links are dropped: whoever
// can reach the socket is the same user, but a stray client must not make the application hoard memory.
// Main thread only.
class QVRSingleInstance : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxLineBytes = 4096;
    static constexpr int kMaxLinks = 32;

    explicit QVRSingleInstance(QObject* parent = nullptr);
    ~QVRSingleInstance() override;

    // "<socketFolder()>/tessarine-<hash of the data folder and user id>"; empty when there is no such folder.
    static QString serverName();
    // XDG_RUNTIME_DIR when it is a folder of the user's that nobody else may enter, else "tessarine-<uid>" made in
    // the temporary folder with mode 0700 and checked likewise; empty (logged) when neither is the user's alone.
    static QString socketFolder();

    // Sends `links` to a running instance: Handed when one is running and acknowledged them (the caller then
    // exits), NoInstance when there is none (the caller becomes the instance), Refused when one is running but did
    // not take them (the caller says so and exits: two processes never share a data folder). A link given twice
    // goes once; a link longer than kMaxLineBytes, and links past kMaxLinks, are dropped (logged) before the rest
    // is sent.
    enum class Handover { Handed, NoInstance, Refused };
    static Handover forwardToRunningInstance(const QStringList& links, int timeoutMs = 3000);

    // Starts listening. A socket left behind by a crashed instance is removed first. False when another
    // instance holds the name or the socket cannot be made.
    bool listen();
    bool isListening() const;

signals:
    // Links received from a later process, in the order it sent them.
    void linksReceived(const QStringList& links);

private:
    void acceptConnections();

    QLocalServer* m_server = nullptr;
};

#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include <QString>
#include <QStringList>

class QWidget;

struct FileChooserRequest {
    enum class Mode { OpenFile, OpenFiles, OpenFolder, Save };
    // The user's own folders a chooser may start in.
    enum class Place { Home, Documents, Pictures, Movies, Music };

    Mode mode = Mode::OpenFile;
    QString title;
    QString directory;             // where the chooser starts; empty or gone = `place`
    Place place = Place::Home;     // where it starts when `directory` is not there (home when the place is not)
    QString proposedName;          // Save: the name filled in
    QStringList allowedExtensions; // without dots ("png", "pdf"); empty = any file. Save appends the first.
    QString checkBoxTitle;         // when not empty, one extra check box (e.g. an export option)
    bool checkBoxChecked = false;
};

struct FileChooserResponse {
    QStringList paths; // absolute; empty when cancelled
    bool checkBoxChecked = false;
    bool accepted() const { return !paths.isEmpty(); }
};

// Asks the user for files or folders. As with AlertPresenter, the application registers the dialog
// implementation and tests a RecordingFileChooser. Main thread only.
class FileChooser {
public:
    virtual ~FileChooser();

    virtual FileChooserResponse runModal(const FileChooserRequest& request, QWidget* parent = nullptr) = 0;
    // Window-modal to `parent`; returns at once and calls `done` on the main thread when the chooser closes.
    virtual void show(const FileChooserRequest& request, QWidget* parent,
                      std::function<void(const FileChooserResponse&)> done) = 0;

    // The registered chooser; without one, a chooser that logs and answers "cancelled".
    static FileChooser& shared();
    static void setShared(FileChooser* chooser); // not owned; nullptr unregisters
    // Whether a chooser is registered (otherwise shared() is the logging fallback).
    static bool isRegistered();

    // The folder a chooser for `request` opens in: its `directory` when that is a folder, else the user's folder
    // its `place` names, else home; never the process's working directory.
    static QString startingFolder(const FileChooserRequest& request);

    // The folder the user last chose something in through choosers of one kind, kept in the user defaults under
    // `key`; empty when none was, or it has gone since.
    static QString rememberedFolder(const QString& key);
    // Keeps the folder holding the first chosen path under `key` (nothing when the chooser was cancelled).
    static void rememberFolder(const QString& key, const FileChooserResponse& response);
};

// Records every request and answers from a script: queued responses first, then `defaultResponse`
// (cancelled unless set). show() answers from the event loop.
class RecordingFileChooser : public FileChooser {
public:
    FileChooserResponse runModal(const FileChooserRequest& request, QWidget* parent = nullptr) override;
    void show(const FileChooserRequest& request, QWidget* parent,
              std::function<void(const FileChooserResponse&)> done) override;

    void queueResponse(FileChooserResponse response) { m_responses.push_back(std::move(response)); }
    void queuePaths(const QStringList& paths) { m_responses.push_back({paths, false}); }

    FileChooserResponse defaultResponse;
    std::vector<FileChooserRequest> requests;

private:
    FileChooserResponse next(const FileChooserRequest& request);
    std::deque<FileChooserResponse> m_responses;
};

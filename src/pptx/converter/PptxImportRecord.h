#pragma once

#include <memory>

#include <QString>

class QLockFile;

// What an import under way has put on disk, noted where the next start of any of the application's programs finds
// it: its temporary folder and, once made, its new document's package. An import that ends removes both itself
// (and the note); one whose process was killed leaves them, and removeLeftovers() removes them at the next start.
// The note is a file in the application's support folder held by a lock of the running process, so that a start
// never touches the work of an import that is still running, in this process or another. Main thread only.
class PptxImportRecord {
public:
    PptxImportRecord();
    ~PptxImportRecord();
    PptxImportRecord(const PptxImportRecord&) = delete;
    PptxImportRecord& operator=(const PptxImportRecord&) = delete;

    // Starts the note for an import that puts its pictures into `temporaryFolder`; false when it cannot be made
    // (the import then runs without one).
    bool begin(const QString& temporaryFolder);
    void setDocumentPackage(const QString& packagePath);
    // The import has removed, or handed over, what it made: the note goes.
    void end();

    // Removes the temporary folders and half-built documents of imports whose process has ended without ending
    // them. Returns how many such imports were found.
    static int removeLeftovers();

private:
    bool write() const;

    std::unique_ptr<QLockFile> m_lock;
    QString m_notePath;
    QString m_temporaryFolder;
    QString m_packagePath;
};

#pragma once

#include <functional>
#include <memory>

#include <QObject>
#include <QString>
#include <QUrl>

#include "platform/Error.h"

class ZERI_TessarineModel;
class PptxConversionJob;

// Turns one .pptx deck into a new document of the user's own: one screen per slide on the first flow, one image
// object per picture and one text object per text shape, in slide order.
//
// The import runs in two phases. Reading runs on a worker: the deck is opened with its pictures extracted into a
// new folder under the temporary folder, every slide and object is copied into plain values and the deck is freed;
// the deck never leaves that worker. Building runs on the main thread: the fonts are settled first (asking the
// caller about each font the application does not offer), then the document is made and saved, and one screen is
// built per turn of the event loop; slides larger than the document's screens are fitted into them. Pictures are
// copied into the document's assets and cropped on workers, a few at a time: each picture once, each size it is
// shown at once, the other objects taking second names of those files. No document exists before the whole deck was
// read, so a deck the reader refuses leaves nothing behind; a failure or cancel after the document was made deletes
// its package, and the temporary folder goes when the import ends. A process killed in between leaves both noted
// for its next start (PptxImportRecord).
//
// Main thread only. A converter converts one file once.
class QVRPowerPointConverter : public QObject {
    Q_OBJECT
public:
    static const QString errorDomain; // "com.tessarine.QVRPowerPointConverter"
    enum ErrorCode { ReadFailed = 0, InputMissing = 1, NotAPresentation = 2 };

    // Called once at the end with the new document, or with an error; never after a cancel.
    using DoneBlock = std::function<void(const std::shared_ptr<ZERI_TessarineModel>& document, const Error& error,
                                         QVRPowerPointConverter* converter)>;
    using FontAnswer = std::function<void(const QString& replacement)>;
    // Asked about a typeface the application does not offer, by its name as written in the deck. The question may
    // be answered later (a dialog): the import waits for `answer`, which takes the PostScript name to use instead;
    // an empty answer means the default font. Each name is asked about once per import.
    using FontQuestion = std::function<void(const QString& fontName, FontAnswer answer)>;
    using ProgressBlock = std::function<void(double fraction)>;

    explicit QVRPowerPointConverter(QObject* parent = nullptr);
    ~QVRPowerPointConverter() override;

    QUrl inputFileURL() const { return m_inputFileURL; }
    void setInputFileURL(const QUrl& url) { m_inputFileURL = url; }
    void setOnDone(DoneBlock onDone) { m_onDone = std::move(onDone); }
    DoneBlock onDone() const { return m_onDone; }
    // Without a question every font the application does not offer becomes the default font.
    void setFontNeedsReplacing(FontQuestion question) { m_fontNeedsReplacing = std::move(question); }
    FontQuestion fontNeedsReplacing() const { return m_fontNeedsReplacing; }
    // From 0 to 1, never decreasing; reading is the first half. Reaches 1 before a successful onDone.
    void setOnProgress(ProgressBlock onProgress) { m_onProgress = std::move(onProgress); }

    void startConverting();
    // Stops the import at once: no more file work starts, and onDone is not called. The half-built document and the
    // temporary folder are deleted as soon as the few pictures being stored or cropped have ended.
    void cancel();
    bool cancelled() const { return m_cancelled; }

    // The folder the deck's pictures are extracted into; empty before the start.
    QString temporaryFolder() const;

    // The PostScript name a typeface named `name` in a deck is shown with when the application offers it, else an
    // empty text. By default the names of the application's font list are offered as they are; the font catalogue
    // registers a lookup that also takes a family name to its default face.
    using TypefaceLookup = std::function<QString(const QString& name)>;
    static void setOfferedTypefaceLookup(TypefaceLookup lookup);
    static QString offeredTypeface(const QString& name);

    // Imports started and not yet cleaned up (their worker, picture set-ups or temporary folder still around).
    static int unfinishedImportCount();

private:
    friend class PptxConversionJob;

    QUrl m_inputFileURL;
    DoneBlock m_onDone;
    FontQuestion m_fontNeedsReplacing;
    ProgressBlock m_onProgress;
    bool m_cancelled = false;
    bool m_started = false;
    std::shared_ptr<PptxConversionJob> m_job;
};

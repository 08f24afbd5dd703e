#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include <QString>

#include "elements/video/MediaSampleBuffer.h"
#include "platform/Error.h"

struct AVFormatContext;
struct AVPacket;
class MediaAssetWriterInput;

// Writes a QuickTime movie from its inputs' encoded packets. The file is created by create(); inputs are
// added, then startWriting() writes the header, inputs append from their own threads, and
// finishWriting() or cancelWriting() closes the file. A writer that fails keeps its partial file.
//
// A file taken away while it is written (removed, moved or replaced at its path, by another program or by the
// folder going away) interrupts the writing: the writer fails with kErrorOperationInterrupted under kErrorDomain.
// Nothing is wrong with what is being written then, so the caller may write it again.
class MediaAssetWriter {
public:
    enum class Status { Unknown, Writing, Completed, Failed, Cancelled };

    inline static const QString kErrorDomain = QStringLiteral("MediaAssetWriterErrorDomain");
    static constexpr int kErrorOperationInterrupted = -11847;

    static std::unique_ptr<MediaAssetWriter> create(const QString& path, Error* error);
    ~MediaAssetWriter();

    MediaAssetWriter(const MediaAssetWriter&) = delete;
    MediaAssetWriter& operator=(const MediaAssetWriter&) = delete;

    // Opens the input's encoder for this file; fails when the encoder refuses its settings.
    bool addInput(const std::shared_ptr<MediaAssetWriterInput>& input, Error* error);
    const std::vector<std::shared_ptr<MediaAssetWriterInput>>& inputs() const { return m_inputs; }

    bool startWriting(Error* error);
    // Samples ending before this time are left out.
    void startSessionAtSourceTime(MediaTime time) { m_sessionStart = time.seconds(); }
    double sessionStart() const { return m_sessionStart; }
    // Finishes every input still open, then completes the file. Synchronous.
    bool finishWriting(Error* error);
    void cancelWriting();

    Status status() const { return m_status.load(); }
    Error error() const;
    const QString& path() const { return m_path; }

private:
    friend class MediaAssetWriterInput;
    explicit MediaAssetWriter(QString path);

    bool writePacket(MediaAssetWriterInput* input, AVPacket* packet);
    bool isInputReady(MediaAssetWriterInput* input);
    void inputAppended(MediaAssetWriterInput* input, double until);
    void inputFinished(MediaAssetWriterInput* input);
    void fail(const Error& error);
    bool readyLocked(const MediaAssetWriterInput* input) const;
    void wakeWaitingInputsLocked();
    void closeFileLocked();
    // Whether the path still names the file this writer created; checked every few packets and at the end.
    bool fileStillInPlace() const;
    void interruptLocked();

    QString m_path;
    bool m_hasIdentity = false;
    quint64 m_device = 0;
    quint64 m_inode = 0;
    int m_packetsSinceCheck = 0;
    AVFormatContext* m_format = nullptr;
    std::vector<std::shared_ptr<MediaAssetWriterInput>> m_inputs;
    std::atomic<Status> m_status{Status::Unknown};
    double m_sessionStart = 0;
    mutable std::mutex m_mutex;
    Error m_error;
};

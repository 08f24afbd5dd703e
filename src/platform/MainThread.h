#pragma once

#include <functional>

class QObject;

// Running work on the thread that runs the application's event loop (the one that created the
// QCoreApplication). Everything the document model and the views do happens there.
namespace MainThread {

bool isMainThread();

// Runs `block` on the main thread. With `waitUntilDone`, returns only after it ran: inline when already on the
// main thread, else by blocking the calling thread (so the main thread must never wait for that thread).
// Without waiting, the block is always queued, even when called on the main thread. Without an application
// (before it is made or after it is gone) a block from the main thread runs at once and one from another thread
// is dropped with a warning.
void run(std::function<void()> block, bool waitUntilDone);

// Runs `block` once on the main thread, `seconds` after the call and never earlier; callable from any thread.
// With a `context`, the block is dropped when the context object is destroyed first.
void runAfter(double seconds, std::function<void()> block);
void runAfter(double seconds, const QObject* context, std::function<void()> block);

// Drops the blocks queued for the main thread and refuses new ones until a new application is made; a thread
// waiting for its block goes on at once. Done as the application object goes, and by whatever must wait for
// other threads then, so that none of them waits for the main thread in turn.
void closeInbox();

} // namespace MainThread

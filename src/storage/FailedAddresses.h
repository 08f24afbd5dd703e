#pragma once

#include <QString>
#include <QUrl>

#include "platform/Error.h"

// The web addresses whose downloads failed, remembered so that no object or view, however often it asks (a picture
// whose cropped, retina and original assets share one failing address; a list shown again; the next start), makes
// a server answer the same failing request again and again. A failed address may be asked again after a pause that
// doubles with each failure, up to kMaximumTries tries; one whose tries are used up, or whose failure would only
// repeat at a cost (a refused size or address), is not asked again for kRememberedSeconds. An address nothing
// answered at (no network, the host down or unknown) keeps its pauses but never uses up its tries: no server is
// asked again and again, and its file comes once it can be reached. Success forgets the address.
//
// The record lives in the application's data folder ("failedaddresses.json", written as one of its own files), by
// the SHA-1 of each address (a signed address's query never reaches the disk), so a later start goes on from it.
// Main thread only.
class FailedAddresses {
public:
    static constexpr int kMaximumTries = 3;
    static constexpr int kFirstPauseMs = 1000;
    static constexpr qint64 kRememberedSeconds = 24 * 60 * 60;

    // Milliseconds to wait before `url` may be asked: 0 at once, -1 not now (its tries are used up; `lastError`
    // then says how it failed last).
    static qint64 waitBeforeAsking(const QUrl& url, Error* lastError = nullptr);
    static void noteFailure(const QUrl& url, const Error& error, bool usedUpAtOnce);
    static void noteSuccess(const QUrl& url);

    static QString storeFile();
    // Forgets every address, the store included unless `keepStore` (then the next use reads it, as a new start
    // does); a first pause other than the usual one (0 restores it).
    static void resetForTesting(int firstPauseMs = 0, bool keepStore = false);
};

#pragma once

#include <functional>
#include <optional>

#include <QString>

// What an open request is asked to open: a document by server id, by string id, or nothing at all (a new,
// empty document: the null cue). `options` are the open request's option bits.
struct QVROpenRequestCue {
    enum class Kind { ServerID, StringID, Null };
    Kind kind = Kind::Null;
    QString value; // empty for Kind::Null
    int options = 0;

    friend bool operator==(const QVROpenRequestCue&, const QVROpenRequestCue&) = default;
};

// Links of the application's own URL schemes, "<scheme>://<command>/<argument>" (also
// "<scheme>://<command>?id=<argument>"), with the schemes "tessarine://", "quorvanta://" and "Quorvanta://" as
// written and the commands matched without regard to case:
//   loadbyid/<server id>          -> server-id cue, options 0 (the request picks creator or viewer)
//   loadbystringid/<string id>    -> string-id cue, options 8 (the request adds 128 for a document of another
//                                    user, which only the service's reply can tell)
//   playbystringid/<string id>    -> string-id cue, options 137 (play it)
//   startnewtessarine             -> null cue, options 0
// Anything else (another scheme, an unknown command, a missing, overlong or odd argument) is logged and
// ignored. Arguments are ids made by the service, so only [A-Za-z0-9_.~-] up to kMaxArgumentLength characters
// (after percent-decoding) are accepted; this keeps a crafted link from reaching the service with paths,
// queries or control characters.
//
// The open request belongs to a later library: it registers itself with setOpenRequestStarter. Until then a
// valid link is logged and dropped. Main thread only.
class QVRURLSchemeHandler {
public:
    using OpenRequestStarter = std::function<void(const QVROpenRequestCue& cue)>;

    static constexpr int kMaxLinkLength = 2048;
    static constexpr int kMaxArgumentLength = 128;
    static constexpr int kLoadByStringIDOptions = 8;
    static constexpr int kPlayByStringIDOptions = 137;

    // The cue a link asks for, or nothing when the link is not one of ours or is malformed.
    static std::optional<QVROpenRequestCue> cueForLink(const QString& link);
    // Whether the text starts with one of our scheme prefixes (used to tell links from other arguments).
    static bool hasOwnScheme(const QString& text);

    // Parses the link and starts an open request for it. Returns whether a request was started.
    static bool handleURLEvent(const QString& link);

    static void setOpenRequestStarter(OpenRequestStarter starter);
    static bool hasOpenRequestStarter();
};

#pragma once

#include <memory>
#include <optional>

#include <QString>
#include <QUrl>

class ZERI_TessarineModel;

// The addresses a published document is shared at, one per channel. Pure functions of the document's
// published address, title, alias and ownership; no widgets, nothing opened.
//
// Every query value is percent-encoded in full (all but A–Z a–z 0–9 - . _ ~), so no title can cut the shared
// text short or add fields of its own. Addresses are made with QUrl::fromEncoded in strict mode, so Qt neither
// decodes nor re-encodes them.
namespace ShareLinks {

struct Document {
    std::optional<QString> publishURL; // without scheme: web host + "/s/" + string id
    QString title;
    QString alias;
    bool ownedByCurrentUser = true;

    static Document fromModel(const ZERI_TessarineModel& model);
};

enum class Channel { Facebook, Twitter, LinkedIn, Gmail, Email };

// The channel's name ("Facebook", "Twitter", "LinkedIn", "Gmail", "Email"): the "Type" of the "Sharing Initiated"
// event, the share button's text and the network window's title.
QString channelName(Channel channel);
// The one-letter suffix of a channel ("/f", "/t", "/l", "/g", "/e").
QString channelSuffix(Channel channel);

// Titles longer than 52 UTF-16 units become their first 51 units and "…"; a surrogate pair is never split.
QString cutTitle(const QString& title);
QString percentEncoded(const QString& text);

// "https://" + the published address + "/" + the URL-friendly title; without the slash when the title has
// nothing to show. None without a published address.
std::optional<QString> documentLink(const Document& document);
// The short-link service's base + the alias; none without an alias.
std::optional<QString> shortLink(const Document& document);
// What the address field shows: the short link when there is an alias, else the published address (empty
// without one).
QString addressFieldText(const Document& document);

// The share address of a channel; none without a published address.
std::optional<QUrl> shareURL(const Document& document, Channel channel);

} // namespace ShareLinks

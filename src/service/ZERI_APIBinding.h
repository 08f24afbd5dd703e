#pragma once

#include <memory>
#include <optional>

#include <QList>
#include <QString>
#include <QStringList>

#include "foundation/SafeDictionary.h"
#include "platform/Error.h"
#include "service/BlockRequester.h"

// Document, template, e-mail, quota, upload and log operations of the web API. Like
// CorvikBlockAPIBinding: one signed request per call, the requester returned, the completion on the main
// thread with the reply text; optional texts that are empty are left out unless stated otherwise.
// docs/web-api.md lists every method with its fields and the reply members the application reads.
class ZERI_APIBinding {
public:
    using Completion = BlockRequester::Completion;
    using Requester = std::shared_ptr<BlockRequester>;

    // Domain of an API error that names none of its own.
    static constexpr const char* kErrorDomain = "ZERI_APIBindingErrorDomain";
    // At most this many files go in one "corvik.channel.add.multiple" call.
    static constexpr int kMaxFilesPerUpload = 5;

    // An error from the "error" member of a reply: code = the integer of "errorCode" (0 when it is not a
    // number, e.g. "needs_password"), message = "errorMessage" (else "localizedDescription"), domain =
    // "domainCode" when present, else kErrorDomain; userInfo holds every member, so "errorCode" stays
    // available as the service's text.
    static Error errorFromApiErrorDict(const SafeDictionary& errorDictionary);

    // "tessarine.getHelpList": "language".
    static Requester getHelpTessarinesList(const QString& language, Completion completion);
    // "tessarine.getByStringId" as a GET: "string_id", "auth_token", "password", each only when given.
    static Requester getTessarineByStringId(const QString& stringID, const QString& authToken, const QString& password,
                                            Completion completion);
    // "tessarine.getById": "id", "auth_token" (when given).
    static Requester getTessarineById(const QString& apiID, const QString& authToken, Completion completion);
    // "tessarine.getByAlias": "alias".
    static Requester getTessarineByAlias(const QString& alias, Completion completion);
    // "tessarine.getTemplates": "auth_token" (sent, empty when none), "guid" = "0", "platform" = "macosx".
    // The group id is not sent: the service picks the templates from the token.
    static Requester getTessarineTemplateListWithGroupID(const QString& groupID, const QString& authToken,
                                                         Completion completion);
    // "corvik.mailgun.send": "auth_token", "sender", "recipient", "tessarine_id", "should_notify" ("1"/"0"),
    // "subject", "message", each sent (empty when none).
    static Requester sendTrackableEmailWithAuthToken(const QString& authToken, const QString& sender,
                                                     const QString& recipient, const QString& subject,
                                                     const QString& message, const QString& tessarineID,
                                                     bool shouldNotify, Completion completion);
    // "tessarine.update": "auth_token", "id", "document_json", "published" ("1"/"0", left out when not
    // given), "deleted" ("1", only when true), "title", "description", "categories" (JSON array text),
    // "privacy", "password", "parent_draft_file_id", "parent_published_file_id", "alias". Empty texts are left
    // out, except the password: none keeps the service's password, an empty one is sent and removes it.
    static Requester tessarineUpdateWithAuthToken(
        const QString& authToken, const QString& qvdID, const QString& qvdJson, std::optional<bool> published,
        bool deleted, const QString& title, const QString& description, const QStringList& categories,
        const QString& privacyOption, const std::optional<QString>& password, const QString& parentTessarineDraftFileID,
        const QString& parentTessarinePublishedFileID, const QString& alias, Completion completion);
    // "tessarine.create": the fields of "tessarine.update" without "id" and "deleted".
    static Requester tessarineCreateWithAuthToken(const QString& authToken, const QString& qvdJson,
                                                  std::optional<bool> published, const QString& title,
                                                  const QString& description, const QStringList& categories,
                                                  const QString& privacyOption, const std::optional<QString>& password,
                                                  const QString& alias, Completion completion);
    // "tessarine.fork": "auth_token", "id", "document_json", "published", "privacy", "password" (as for
    // "tessarine.update"), "overwrite" ("1"/"0", always sent).
    static Requester tessarineForkWithAuthToken(const QString& authToken, const QString& qvdID, const QString& qvdJson,
                                                std::optional<bool> published, const QString& privacyOption,
                                                const std::optional<QString>& password, bool overwrite,
                                                Completion completion);
    // "corvik.users.getDiskQuota": "auth_token".
    static Requester userDiskQuota(const QString& authToken, Completion completion);
    // "tessarine.getUserTessarines": "auth_token" — the signed-in user's documents.
    static Requester getUserTessarinesWithAuthToken(const QString& authToken, Completion completion);
    // "corvik.channel.delete": "content_id", "auth_token".
    static Requester deleteContentItem(const QString& contentID, const QString& authToken, Completion completion);
    // "corvik.channel.add.multiple": "auth_token" and the files as parts "file0", "file1", ... (their field
    // names are set here). The caller keeps to kMaxFilesPerUpload files per call. `progress` follows the
    // request body (see BlockRequester).
    static Requester addContentItems(const QList<BlockRequester::FilePart>& files, const QString& authToken,
                                     Completion completion, BlockRequester::UploadProgress progress = {});
    // "tessarine.log": "events" (JSON array text of action-log entries), "auth_token" (when given).
    static Requester logActions(const QString& eventsJson, const QString& authToken, Completion completion);
};
